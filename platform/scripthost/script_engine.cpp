// SPDX-License-Identifier: MIT
#include "platform/scripthost/script_engine.h"

#include "embedded/JscriptPrelude.h"
#include "embedded/JscriptPreludeBytecode.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <duktape.h>
#include <mutex>
#include <optional>
#include <span>
#include <sys/random.h>
#include <system_error>
#include <thread>
#include <type_traits>
#include <utility>
#include <variant>

namespace marrowtune::scripthost {

enum class RunKind : int { Eval, Execute, Call, CallEach };

namespace {

// Each heap draws Math.random from its own xoshiro256** state, seeded from the kernel's
// entropy pool: the engine's built-in generator is seeded from the clock, so two hosts made in
// the same millisecond would give the same sequence.
struct RandomState {
    std::uint64_t s[4] = {};

    static std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

    void seed()
    {
        std::size_t filled = 0;
        auto* bytes = reinterpret_cast<unsigned char*>(s);
        while (filled < sizeof s) {
            ssize_t n = getrandom(bytes + filled, sizeof s - filled, 0);
            if (n <= 0) {
                break;
            }
            filled += static_cast<std::size_t>(n);
        }
        if (filled < sizeof s || (s[0] | s[1] | s[2] | s[3]) == 0) {
            // No entropy source: fall back to the address of this state and the clock, mixed.
            std::uint64_t x = reinterpret_cast<std::uintptr_t>(this) ^
                              static_cast<std::uint64_t>(
                                  std::chrono::steady_clock::now().time_since_epoch().count());
            for (auto& word : s) {
                x += 0x9E3779B97F4A7C15ull;
                std::uint64_t z = x;
                z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
                z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
                word = z ^ (z >> 31);
            }
        }
    }

    std::uint64_t next()
    {
        const std::uint64_t result = rotl(s[1] * 5, 7) * 9;
        const std::uint64_t t = s[1] << 17;
        s[2] ^= s[0];
        s[3] ^= s[1];
        s[1] ^= s[2];
        s[0] ^= s[3];
        s[2] ^= t;
        s[3] = rotl(s[3], 45);
        return result;
    }

    double nextDouble() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
};

// What one heap owns besides the heap itself: its memory account and its random state. Every
// block carries its size in a header so the account can be kept.
struct HeapState {
    std::size_t used = 0;
    std::size_t limit = DefaultMemoryLimit;
    RandomState random;
};

constexpr std::size_t BlockHeader = alignof(std::max_align_t);

void* heapAlloc(void* udata, duk_size_t size)
{
    auto* state = static_cast<HeapState*>(udata);
    if (size > state->limit - std::min(state->used, state->limit)) {
        return nullptr;
    }
    auto* block = static_cast<unsigned char*>(std::malloc(size + BlockHeader));
    if (!block) {
        return nullptr;
    }
    std::memcpy(block, &size, sizeof size);
    state->used += size;
    return block + BlockHeader;
}

void heapFree(void* udata, void* ptr)
{
    if (!ptr) {
        return;
    }
    auto* state = static_cast<HeapState*>(udata);
    auto* block = static_cast<unsigned char*>(ptr) - BlockHeader;
    std::size_t size = 0;
    std::memcpy(&size, block, sizeof size);
    state->used -= size;
    std::free(block);
}

void* heapRealloc(void* udata, void* ptr, duk_size_t size)
{
    if (!ptr) {
        return heapAlloc(udata, size);
    }
    if (size == 0) {
        heapFree(udata, ptr);
        return nullptr;
    }
    auto* state = static_cast<HeapState*>(udata);
    auto* block = static_cast<unsigned char*>(ptr) - BlockHeader;
    std::size_t old = 0;
    std::memcpy(&old, block, sizeof old);
    if (size > old && size - old > state->limit - std::min(state->used, state->limit)) {
        return nullptr;
    }
    auto* grown = static_cast<unsigned char*>(std::realloc(block, size + BlockHeader));
    if (!grown) {
        return nullptr;
    }
    std::memcpy(grown, &size, sizeof size);
    state->used = state->used - old + size;
    return grown + BlockHeader;
}

// Only reached when an error escapes every protected call, which our calls never allow.
void heapFatal(void*, const char*)
{
    std::abort();
}

HeapState* heapState(duk_context* ctx)
{
    duk_memory_functions functions{};
    duk_get_memory_functions(ctx, &functions);
    return static_cast<HeapState*>(functions.udata);
}

duk_ret_t mathRandom(duk_context* ctx)
{
    duk_push_number(ctx, heapState(ctx)->random.nextDouble());
    return 1;
}

// Duktape reports errors by long jumps, which must never cross a C++ frame that owns
// anything. So each run has three stages: the arguments are prepared in C++, then one
// protected call with only trivial locals does every Duktape call that may throw and leaves a
// fixed set of plain values on the stack, and C++ reads those back with calls that cannot
// throw. An error anywhere in the middle stage (say, memory running out) fails the run instead
// of ending the process.

// An argument ready to be pushed: a ScriptValue with its string already in the engine's form.
using PreparedValue =
    std::variant<std::monostate, ScriptNull, std::int32_t, double, std::string, bool>;

PreparedValue prepare(const ScriptValue& value)
{
    return std::visit(
        [](const auto& v) -> PreparedValue {
            if constexpr (std::is_same_v<std::decay_t<decltype(v)>, std::u16string>) {
                return toCesu8(v);
            } else {
                return v;
            }
        },
        value);
}

enum RunStatus { RunOk = 0, RunCompileError = 1, RunRuntimeError = 2, RunUnknownName = 3 };

// The plain values a run leaves on the stack, from the bottom: status, value (a primitive),
// error name, error message, error line, error number.
constexpr duk_idx_t ResultSlots = 6;

struct Job {
    RunKind kind = RunKind::Eval;
    std::string code; // source text, or the function name for Call
    std::vector<PreparedValue> arguments;
};

void pushPrepared(duk_context* ctx, const PreparedValue& value)
{
    std::visit(
        [ctx](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, ScriptNull>) {
                duk_push_null(ctx);
            } else if constexpr (std::is_same_v<T, std::int32_t>) {
                duk_push_int(ctx, v);
            } else if constexpr (std::is_same_v<T, double>) {
                duk_push_number(ctx, v);
            } else if constexpr (std::is_same_v<T, std::string>) {
                duk_push_lstring(ctx, v.data(), v.size());
            } else if constexpr (std::is_same_v<T, bool>) {
                duk_push_boolean(ctx, v);
            } else {
                duk_push_undefined(ctx);
            }
        },
        value);
}

// Objects have no automation form here; they cross as their text form.
void makePrimitive(duk_context* ctx, duk_idx_t index)
{
    if (duk_check_type_mask(ctx, index,
                            DUK_TYPE_MASK_OBJECT | DUK_TYPE_MASK_BUFFER | DUK_TYPE_MASK_POINTER |
                                DUK_TYPE_MASK_LIGHTFUNC)) {
        duk_safe_to_string(ctx, index);
    }
}

void pushErrorProperty(duk_context* ctx, duk_idx_t error, const char* name)
{
    if (error < 0) {
        duk_push_undefined(ctx);
        return;
    }
    duk_get_prop_string(ctx, error, name);
    makePrimitive(ctx, -1);
}

duk_ret_t runProtected(duk_context* ctx, void* udata)
{
    const Job* job = static_cast<const Job*>(udata);
    duk_require_stack(ctx, static_cast<duk_idx_t>(job->arguments.size()) + 16);
    int status = RunOk;
    if (job->kind == RunKind::Call) {
        duk_push_global_object(ctx);
        duk_get_prop_lstring(ctx, -1, job->code.data(), job->code.size());
        duk_remove(ctx, -2);
        if (!duk_is_function(ctx, -1)) {
            duk_pop(ctx);
            duk_push_int(ctx, RunUnknownName);
            duk_push_undefined(ctx);
            duk_push_undefined(ctx);
            duk_push_undefined(ctx);
            duk_push_undefined(ctx);
            duk_push_undefined(ctx);
            return ResultSlots;
        }
        for (const PreparedValue& argument : job->arguments) {
            pushPrepared(ctx, argument);
        }
        if (duk_pcall(ctx, static_cast<duk_idx_t>(job->arguments.size())) != 0) {
            status = RunRuntimeError;
        }
    } else {
        duk_push_string(ctx, "code");
        if (duk_pcompile_lstring_filename(ctx, job->kind == RunKind::Eval ? DUK_COMPILE_EVAL : 0,
                                          job->code.data(), job->code.size()) != 0) {
            status = RunCompileError;
        } else if (duk_pcall(ctx, 0) != 0) {
            status = RunRuntimeError;
        }
    }
    if (status == RunOk && job->kind == RunKind::Execute) {
        duk_pop(ctx);
        duk_push_undefined(ctx);
    }
    // [value]
    const duk_idx_t value = duk_get_top_index(ctx);
    const duk_idx_t error = status != RunOk && duk_is_error(ctx, value) ? value : -1;
    duk_push_int(ctx, status);
    duk_insert(ctx, value);
    // [status value]
    pushErrorProperty(ctx, error + (error >= 0 ? 1 : 0), "name");
    pushErrorProperty(ctx, error + (error >= 0 ? 1 : 0), "message");
    pushErrorProperty(ctx, error + (error >= 0 ? 1 : 0), "lineNumber");
    pushErrorProperty(ctx, error + (error >= 0 ? 1 : 0), "number");
    makePrimitive(ctx, value + 1);
    return ResultSlots;
}

// Only reads, so nothing here can throw.
std::u16string readText(duk_context* ctx, duk_idx_t index)
{
    duk_size_t length = 0;
    const char* bytes = duk_get_lstring(ctx, index, &length);
    return bytes ? fromCesu8(std::string_view(bytes, length)) : std::u16string();
}

std::string readUtf8(duk_context* ctx, duk_idx_t index)
{
    duk_size_t length = 0;
    const char* bytes = duk_get_lstring(ctx, index, &length);
    return bytes ? std::string(bytes, length) : std::string();
}

ScriptValue readValue(duk_context* ctx, duk_idx_t index)
{
    switch (duk_get_type(ctx, index)) {
    case DUK_TYPE_NULL:
        return ScriptNull{};
    case DUK_TYPE_BOOLEAN:
        return duk_get_boolean(ctx, index) != 0;
    case DUK_TYPE_NUMBER: {
        const double number = duk_get_number(ctx, index);
        if (std::isfinite(number) && number >= -2147483648.0 && number <= 2147483647.0 &&
            number == std::trunc(number)) {
            return static_cast<std::int32_t>(number);
        }
        return number;
    }
    case DUK_TYPE_STRING:
        return readText(ctx, index);
    default:
        return std::monostate{};
    }
}

std::u16string lineOf(std::u16string_view code, int line)
{
    if (line < 1) {
        return {};
    }
    std::size_t begin = 0;
    for (int i = 1; i < line; ++i) {
        begin = code.find(u'\n', begin);
        if (begin == std::u16string_view::npos) {
            return {};
        }
        ++begin;
    }
    std::size_t end = code.find(u'\n', begin);
    std::u16string_view text = code.substr(
        begin, end == std::u16string_view::npos ? std::u16string_view::npos : end - begin);
    if (!text.empty() && text.back() == u'\r') {
        text.remove_suffix(1);
    }
    return std::u16string(text);
}

bool contains(const std::string& text, const char* part)
{
    return text.find(part) != std::string::npos;
}

std::int32_t numberFor(const std::string& name, const std::string& message)
{
    if (contains(message, "alloc failed")) {
        return errors::OutOfMemory;
    }
    if (name == "SyntaxError") {
        return errors::SyntaxError;
    }
    if (name == "ReferenceError") {
        return errors::Undefined;
    }
    if (name == "TypeError") {
        return contains(message, "not callable") || contains(message, "not constructable")
                   ? errors::FunctionExpected
                   : errors::ObjectExpected;
    }
    if (name == "RangeError") {
        if (contains(message, "stack") || contains(message, "recursion")) {
            return errors::OutOfStack;
        }
        return errors::InvalidArgument;
    }
    if (name == "URIError" || name == "EvalError") {
        return errors::InvalidArgument;
    }
    return errors::UncaughtException;
}

// The engine appends " (line N, ...)" to compile messages; the line has a field of its own.
std::string withoutLineSuffix(std::string message)
{
    const auto at = message.rfind(" (line ");
    if (at != std::string::npos && !message.empty() && message.back() == ')') {
        message.erase(at);
    }
    return message;
}

ScriptFailure simpleFailure(std::int32_t number, std::u16string_view description)
{
    ScriptFailure failure;
    failure.number = number;
    failure.source = RuntimeErrorSource;
    failure.description = description;
    return failure;
}

// Reads the slots runProtected left at `base`.
ScriptOutcome readOutcome(duk_context* ctx, duk_idx_t base, RunKind kind, std::u16string_view code)
{
    ScriptOutcome outcome;
    const int status = duk_get_int(ctx, base);
    if (status == RunOk) {
        outcome.ok = true;
        outcome.value = readValue(ctx, base + 1);
        return outcome;
    }
    if (status == RunUnknownName) {
        outcome.failure = simpleFailure(errors::UnknownName, u"Unknown name.");
        return outcome;
    }
    ScriptFailure& failure = outcome.failure;
    const bool compiling = status == RunCompileError;
    failure.source = compiling ? CompileErrorSource : RuntimeErrorSource;
    if (duk_is_string(ctx, base + 2)) {
        const std::string name = readUtf8(ctx, base + 2);
        const std::string message = readUtf8(ctx, base + 3);
        if (duk_is_number(ctx, base + 4)) {
            failure.line = static_cast<int>(duk_get_number(ctx, base + 4));
        }
        failure.number = compiling                      ? errors::SyntaxError
                         : duk_is_number(ctx, base + 5) ? duk_get_int(ctx, base + 5)
                                                        : numberFor(name, message);
        failure.description = fromCesu8(withoutLineSuffix(message));
        // Only a compile error is known to lie in the text just given; a run-time error may
        // come from any code added before.
        if (compiling && kind != RunKind::Call) {
            failure.text = lineOf(code, failure.line);
        }
    } else {
        failure.number = errors::UncaughtException;
        failure.description = u"Exception thrown and not caught";
        failure.text = readText(ctx, base + 1);
    }
    return outcome;
}

ScriptOutcome runJob(duk_context* ctx, RunKind kind, const std::u16string& code,
                     std::span<const ScriptValue> arguments)
{
    Job job;
    job.kind = kind;
    job.code = toCesu8(code);
    job.arguments.reserve(arguments.size());
    for (const ScriptValue& argument : arguments) {
        job.arguments.push_back(prepare(argument));
    }
    const duk_idx_t base = duk_get_top(ctx);
    ScriptOutcome outcome;
    if (duk_safe_call(ctx, runProtected, &job, 0, ResultSlots) != 0) {
        // The run itself could not be carried out; the error value's text says why.
        duk_safe_to_string(ctx, base);
        const std::string message = readUtf8(ctx, base);
        outcome.failure = simpleFailure(contains(message, "alloc") ? errors::OutOfMemory
                                                                   : errors::InvalidArgument,
                                        fromCesu8(message));
    } else {
        outcome = readOutcome(ctx, base, kind, code);
    }
    duk_set_top(ctx, base);
    return outcome;
}

// The prelude as the engine's bytecode, made at build time by the packaged Duktape: loading it
// costs a small part of compiling the source. It starts with the version of the library that
// made it (a 32-bit number in the machine's byte order); bytecode is only valid for the engine
// that made it, so a heap whose library reports another version compiles the source instead.
struct PreludeCode {
    std::span<const unsigned char> bytecode;
    std::uint32_t version = 0;
};

PreludeCode preludeCode()
{
    PreludeCode code;
    const auto embedded = embedded::JscriptPreludeBytecode();
    if (embedded.size() > sizeof code.version) {
        std::memcpy(&code.version, embedded.data(), sizeof code.version);
        code.bytecode = embedded.subspan(sizeof code.version);
    }
    return code;
}

duk_ret_t installProtected(duk_context* ctx, void*)
{
    duk_push_global_object(ctx);
    duk_get_prop_string(ctx, -1, "Math");
    duk_push_c_function(ctx, mathRandom, 0);
    duk_put_prop_string(ctx, -2, "random");
    duk_pop(ctx);
    // Read before the global goes: the running library's own version.
    duk_get_prop_string(ctx, -1, "Duktape");
    duk_get_prop_string(ctx, -1, "version");
    const duk_uint_t runningVersion = duk_get_uint(ctx, -1);
    duk_pop_2(ctx);
    // The engine's own global would let a script register finalizers, which run while the
    // heap is destroyed where no run limit reaches them; none of our scripts needs it.
    duk_del_prop_string(ctx, -1, "Duktape");
    duk_pop(ctx);

    const PreludeCode code = preludeCode();
    if (!code.bytecode.empty() && runningVersion == code.version) {
        void* buffer = duk_push_fixed_buffer(ctx, code.bytecode.size());
        std::memcpy(buffer, code.bytecode.data(), code.bytecode.size());
        duk_load_function(ctx);
    } else {
        const auto prelude = embedded::JscriptPrelude();
        duk_push_string(ctx, "prelude");
        duk_compile_lstring_filename(ctx, 0, reinterpret_cast<const char*>(prelude.data()),
                                     prelude.size());
    }
    duk_call(ctx, 0);
    duk_pop(ctx);
    return 0;
}

bool installPrelude(duk_context* ctx)
{
    return duk_safe_call(ctx, installProtected, nullptr, 0, 0) == 0;
}

} // namespace

std::string toCesu8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char16_t unit : text) {
        const auto c = static_cast<unsigned>(unit);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

std::u16string fromCesu8(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
    const auto continuation = [&](std::size_t at) {
        return at < text.size() && (byte(at) & 0xC0) == 0x80;
    };
    while (i < text.size()) {
        const unsigned lead = byte(i);
        if (lead < 0x80) {
            out.push_back(static_cast<char16_t>(lead));
            ++i;
        } else if ((lead & 0xE0) == 0xC0 && continuation(i + 1)) {
            out.push_back(static_cast<char16_t>(((lead & 0x1F) << 6) | (byte(i + 1) & 0x3F)));
            i += 2;
        } else if ((lead & 0xF0) == 0xE0 && continuation(i + 1) && continuation(i + 2)) {
            out.push_back(static_cast<char16_t>(
                ((lead & 0x0F) << 12) | ((byte(i + 1) & 0x3F) << 6) | (byte(i + 2) & 0x3F)));
            i += 3;
        } else if ((lead & 0xF8) == 0xF0 && continuation(i + 1) && continuation(i + 2) &&
                   continuation(i + 3)) {
            const unsigned c = ((lead & 0x07) << 18) | ((byte(i + 1) & 0x3F) << 12) |
                               ((byte(i + 2) & 0x3F) << 6) | (byte(i + 3) & 0x3F);
            if (c >= 0x10000 && c <= 0x10FFFF) {
                out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
                out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
            } else {
                out.push_back(u'\uFFFD');
            }
            i += 4;
        } else {
            out.push_back(u'\uFFFD');
            ++i;
        }
    }
    return out;
}

// The heap and everything a run needs live here, shared by the engine and the worker thread,
// so that a worker abandoned in a run that never ends still owns what it touches.
struct ScriptEngine::Worker {
    std::mutex mutex;
    std::condition_variable jobReady;
    std::condition_variable jobDone;
    bool pending = false;
    bool started = false;
    bool done = false;
    bool quit = false;
    // Where the present job's run limit counts from: when it was handed to a worker that had
    // its heap, or, for a job handed over while the heap was being made, when the worker took
    // it (right after the prelude, in the same hold of the lock that marks it started).
    std::optional<std::chrono::steady_clock::time_point> jobStarted;
    RunKind kind = RunKind::Eval;
    std::u16string code;
    std::vector<ScriptValue> arguments;
    ScriptOutcome outcome;
    std::vector<ScriptOutcome> outcomes;
    HeapState heap;
    std::thread thread;

    static void main(std::shared_ptr<Worker> self)
    {
        self->heap.random.seed();
        duk_context* ctx =
            duk_create_heap(heapAlloc, heapRealloc, heapFree, &self->heap, heapFatal);
        const bool ready = ctx && installPrelude(ctx);
        std::unique_lock lock(self->mutex);
        self->started = true;
        self->jobDone.notify_all();
        for (;;) {
            self->jobReady.wait(lock, [&] { return self->pending || self->quit; });
            if (self->quit) {
                break;
            }
            self->pending = false;
            if (!self->jobStarted) {
                self->jobStarted = std::chrono::steady_clock::now();
            }
            const RunKind kind = self->kind;
            const std::u16string code = std::move(self->code);
            const std::vector<ScriptValue> arguments = std::move(self->arguments);
            lock.unlock();
            const ScriptOutcome notReady{
                false, {}, simpleFailure(errors::OutOfMemory, u"Out of memory")};
            ScriptOutcome outcome;
            std::vector<ScriptOutcome> outcomes;
            if (kind == RunKind::CallEach) {
                // One call per argument, all in this one job.
                outcomes.reserve(arguments.size());
                for (const ScriptValue& argument : arguments) {
                    outcomes.push_back(
                        ready ? runJob(ctx, RunKind::Call, code, std::span(&argument, 1))
                              : notReady);
                }
                outcome.ok = true;
            } else {
                outcome = ready ? runJob(ctx, kind, code, arguments) : notReady;
            }
            lock.lock();
            self->outcome = std::move(outcome);
            self->outcomes = std::move(outcomes);
            self->done = true;
            self->jobDone.notify_all();
        }
        lock.unlock();
        if (ctx) {
            duk_destroy_heap(ctx);
        }
    }
};

namespace {
/// How long a new host may take to make its heap and prelude before its first run.
constexpr std::chrono::seconds HostStartLimit{10};
} // namespace

ScriptEngine::ScriptEngine(std::chrono::milliseconds runLimit, std::size_t memoryLimit)
    : m_runLimit(runLimit), m_memoryLimit(memoryLimit)
{
}

ScriptEngine::~ScriptEngine()
{
    reset();
}

void ScriptEngine::reset()
{
    // A queued job still running is waited for as any run is, so a job that never ends cannot
    // hold the reset (or the engine's destruction) for ever.
    settleQueued();
    if (!m_worker) {
        return;
    }
    {
        std::lock_guard lock(m_worker->mutex);
        m_worker->quit = true;
    }
    m_worker->jobReady.notify_all();
    m_worker->thread.join();
    m_worker.reset();
}

ScriptOutcome ScriptEngine::eval(std::u16string_view expression)
{
    return runOnWorker(RunKind::Eval, std::u16string(expression), {});
}

ScriptOutcome ScriptEngine::execute(std::u16string_view code)
{
    return runOnWorker(RunKind::Execute, std::u16string(code), {});
}

ScriptOutcome ScriptEngine::call(std::u16string_view name,
                                 const std::vector<ScriptValue>& arguments)
{
    return runOnWorker(RunKind::Call, std::u16string(name), arguments);
}

std::vector<ScriptOutcome> ScriptEngine::callEach(std::u16string_view name,
                                                  std::vector<ScriptValue> arguments)
{
    const std::size_t count = arguments.size();
    std::vector<ScriptOutcome> outcomes;
    ScriptOutcome outcome =
        runOnWorker(RunKind::CallEach, std::u16string(name), std::move(arguments), &outcomes);
    if (!outcome.ok) {
        // The batch as a whole failed (it ran out of time): every call shares its failure.
        outcomes.assign(count, outcome);
    }
    return outcomes;
}

void ScriptEngine::start()
{
    startWorker();
}

void ScriptEngine::queueExecute(std::u16string code)
{
    settleQueued();
    m_queuedOutcome.reset();
    if (m_worker) {
        std::lock_guard lock(m_worker->mutex);
        postJob(RunKind::Execute, std::move(code), {});
    } else if (!startWorker(&code)) {
        m_queuedOutcome =
            ScriptOutcome{false, {}, simpleFailure(errors::OutOfMemory, u"Out of memory")};
        return;
    }
    m_queued = true;
}

std::optional<ScriptOutcome> ScriptEngine::takeQueuedOutcome()
{
    settleQueued();
    return std::exchange(m_queuedOutcome, std::nullopt);
}

void ScriptEngine::settleQueued()
{
    if (!m_queued) {
        return;
    }
    m_queued = false;
    std::unique_lock lock(m_worker->mutex);
    m_queuedOutcome = awaitJob(lock, nullptr);
}

void ScriptEngine::postJob(RunKind kind, std::u16string code, std::vector<ScriptValue> arguments)
{
    m_worker->kind = kind;
    m_worker->code = std::move(code);
    m_worker->arguments = std::move(arguments);
    m_worker->pending = true;
    m_worker->done = false;
    m_worker->jobStarted.reset();
    if (m_worker->started) {
        m_worker->jobStarted = std::chrono::steady_clock::now();
    }
    m_worker->jobReady.notify_all();
}

ScriptOutcome ScriptEngine::awaitJob(std::unique_lock<std::mutex>& lock,
                                     std::vector<ScriptOutcome>* outcomes)
{
    // The run limit is for the script, not for making the heap: a host started on a busy
    // machine must not time out its first run. Making the heap is bounded on its own.
    if (!m_worker->jobDone.wait_for(lock, HostStartLimit, [&] { return m_worker->started; })) {
        m_worker->pending = false;
        return {false, {}, simpleFailure(errors::OutOfMemory, u"Out of memory")};
    }
    if (!m_worker->jobDone.wait_until(lock, *m_worker->jobStarted + m_runLimit,
                                      [&] { return m_worker->done; })) {
        // The run cannot be interrupted: leave it to its thread, which ends when (if ever) the
        // script does, and go on with a fresh heap next time.
        m_worker->quit = true;
        lock.unlock();
        m_worker->thread.detach();
        m_worker.reset();
        return {false,
                {},
                simpleFailure(errors::TimedOut, u"The script did not finish in time and was "
                                                u"abandoned; its global state is lost.")};
    }
    if (outcomes) {
        *outcomes = std::move(m_worker->outcomes);
    }
    return std::move(m_worker->outcome);
}

bool ScriptEngine::startWorker(std::u16string* queuedCode)
{
    if (m_worker) {
        return true;
    }
    auto worker = std::make_shared<Worker>();
    worker->heap.limit = m_memoryLimit;
    if (queuedCode) {
        // Filled in before the thread starts: the worker runs it right after the prelude.
        worker->kind = RunKind::Execute;
        worker->code = std::move(*queuedCode);
        worker->pending = true;
    }
    try {
        worker->thread = std::thread(&Worker::main, worker);
    } catch (const std::system_error&) {
        return false;
    }
    m_worker = std::move(worker);
    return true;
}

ScriptOutcome ScriptEngine::runOnWorker(RunKind kind, std::u16string code,
                                        std::vector<ScriptValue> arguments,
                                        std::vector<ScriptOutcome>* outcomes)
{
    settleQueued();
    if (!startWorker()) {
        return {false, {}, simpleFailure(errors::OutOfMemory, u"Out of memory")};
    }
    std::unique_lock lock(m_worker->mutex);
    // Handed over at once, even while the heap is still being made: the worker takes it right
    // after the prelude instead of first waking this thread to be given it.
    postJob(kind, std::move(code), std::move(arguments));
    return awaitJob(lock, outcomes);
}

} // namespace marrowtune::scripthost
