// SPDX-License-Identifier: MIT
#pragma once
// One JScript-compatible script engine over Duktape: a heap with the compatibility prelude
// installed, code added to its global scope, expressions evaluated, functions called by name.
// Every run is bounded in time: the heap lives on a worker thread of its own and the caller
// waits for at most the run limit, counted from when the heap is ready (making a new heap is
// bounded separately, by 10 seconds). A run that overstays is abandoned with its heap (the engine
// starts afresh, as after reset) because the packaged Duktape has no way to interrupt a
// running script.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace marrowtune::scripthost {

/// The script null value, as opposed to the empty (undefined) value.
struct ScriptNull {
    bool operator==(const ScriptNull&) const = default;
};

/// A value crossing the engine boundary: empty (undefined), null, a whole 32-bit number, any
/// other number, a string or a boolean.
using ScriptValue =
    std::variant<std::monostate, ScriptNull, std::int32_t, double, std::u16string, bool>;

/// A failed run described the way the JScript host describes its errors.
struct ScriptFailure {
    int line = 0;
    int column = 0;
    /// JScript-style error number (an HRESULT such as 0x800A03EA, as a signed value).
    std::int32_t number = 0;
    std::u16string source;
    std::u16string description;
    /// The source line the error was found in, when known.
    std::u16string text;
};

/// The result of one run: a value or a failure.
struct ScriptOutcome {
    bool ok = false;
    ScriptValue value;
    ScriptFailure failure;
};

/// JScript error numbers used by the engine.
namespace errors {
inline constexpr std::int32_t SyntaxError = -2146827286;       // 0x800A03EA (1002)
inline constexpr std::int32_t Undefined = -2146823279;         // 0x800A1391 (5009)
inline constexpr std::int32_t ObjectExpected = -2146823281;    // 0x800A138F (5007)
inline constexpr std::int32_t FunctionExpected = -2146823286;  // 0x800A138A (5002)
inline constexpr std::int32_t UncaughtException = -2146823266; // 0x800A139E (5022)
inline constexpr std::int32_t OutOfMemory = -2146828281;       // 0x800A0007 (7)
inline constexpr std::int32_t OutOfStack = -2146828260;        // 0x800A001C (28)
inline constexpr std::int32_t InvalidArgument = -2146828283;   // 0x800A0005 (5)
inline constexpr std::int32_t TypeMismatch = -2146828275;      // 0x800A000D (13)
inline constexpr std::int32_t UnknownName = -2147352570;       // 0x80020006 DISP_E_UNKNOWNNAME
inline constexpr std::int32_t TimedOut = -2147467260;          // 0x80004004 E_ABORT
inline constexpr std::int32_t NoEngine = -2147221164;          // 0x80040154 class not registered
} // namespace errors

/// The engine's source name for compile errors and for errors raised while running.
inline constexpr std::u16string_view CompileErrorSource = u"JScript compilation error";
inline constexpr std::u16string_view RuntimeErrorSource = u"JScript runtime error";
/// Longest time one run may take before it is abandoned.
inline constexpr std::chrono::milliseconds DefaultRunLimit{10000};
/// Most memory one heap may hold; an allocation beyond it fails as out of memory.
inline constexpr std::size_t DefaultMemoryLimit = 256u << 20;

/// A JScript engine with its own global scope, used from one thread at a time.
/// What a run on the engine's thread does with its code (defined with the engine).
enum class RunKind : int;

class ScriptEngine {
public:
    explicit ScriptEngine(std::chrono::milliseconds runLimit = DefaultRunLimit,
                          std::size_t memoryLimit = DefaultMemoryLimit);
    ~ScriptEngine();
    ScriptEngine(const ScriptEngine&) = delete;
    ScriptEngine& operator=(const ScriptEngine&) = delete;

    /// Evaluates an expression (or statements: the value of the last one) in the global scope.
    ScriptOutcome eval(std::u16string_view expression);
    /// Runs statements in the global scope; their function and variable declarations stay.
    ScriptOutcome execute(std::u16string_view code);
    /// Calls the global function `name` with the arguments.
    ScriptOutcome call(std::u16string_view name, const std::vector<ScriptValue>& arguments);
    /// Calls the global function `name` once per argument, in order, in one run on the worker:
    /// one outcome per argument, each as `call` with that one argument gives it. The run limit
    /// bounds the whole batch, not each call; when the batch overruns it every outcome is the
    /// time-out failure.
    std::vector<ScriptOutcome> callEach(std::u16string_view name,
                                        std::vector<ScriptValue> arguments);
    /// Starts the engine's worker, which makes the heap and its prelude, without waiting for
    /// it: the next run waits only for what is left of that start.
    void start();
    /// Hands `code` to the worker to run as `execute` as soon as its heap is ready, starting the
    /// worker when needed, without waiting for it. The next run, reset or takeQueuedOutcome
    /// first waits for it, bounded by the run limit counted from when it began; an earlier
    /// queued job is waited for first and its outcome, if not taken, dropped.
    void queueExecute(std::u16string code);
    /// The queued job's outcome, once, after waiting for it; nothing when no job was queued
    /// or its outcome was already taken.
    std::optional<ScriptOutcome> takeQueuedOutcome();
    /// Changes the longest time one run may take.
    void setRunLimit(std::chrono::milliseconds limit) { m_runLimit = limit; }
    std::chrono::milliseconds runLimit() const { return m_runLimit; }
    /// Discards every global the scripts made: the next run starts on a fresh heap.
    void reset();

private:
    struct Worker;
    bool startWorker(std::u16string* queuedCode = nullptr);
    void settleQueued();
    // Hands a job to the worker; the worker's lock is held.
    void postJob(RunKind kind, std::u16string code, std::vector<ScriptValue> arguments);
    // Waits for the job handed over, within the start limit and then the run limit; abandons
    // the worker when the run overstays.
    ScriptOutcome awaitJob(std::unique_lock<std::mutex>& lock,
                           std::vector<ScriptOutcome>* outcomes);
    ScriptOutcome runOnWorker(RunKind kind, std::u16string code, std::vector<ScriptValue> arguments,
                              std::vector<ScriptOutcome>* outcomes = nullptr);

    std::chrono::milliseconds m_runLimit;
    std::size_t m_memoryLimit;
    std::shared_ptr<Worker> m_worker;
    bool m_queued = false;
    std::optional<ScriptOutcome> m_queuedOutcome;
};

/// UTF-16 to the engine's internal form (CESU-8: each surrogate encoded on its own).
std::string toCesu8(std::u16string_view text);
/// The engine's internal form back to UTF-16; a malformed byte becomes U+FFFD.
std::u16string fromCesu8(std::string_view text);

} // namespace marrowtune::scripthost
