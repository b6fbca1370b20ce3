// SPDX-License-Identifier: MIT
#include "platform/scripthost/script_control.h"

#include "base/ascii.h"
#include "platform/com/dispatch.h"
#include "platform/com/runtime.h"
#include "platform/scripthost/script_engine.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace marrowtune::scripthost {

namespace {

using com::Invocation;
using com::Status;
using com::Variant;
using com::VariantType;

constexpr std::u16string_view JScriptName = u"JScript";
constexpr std::u16string_view VBScriptName = u"VBScript";

Variant toVariant(const ScriptValue& value)
{
    struct Convert {
        Variant operator()(std::monostate) const { return {}; }
        Variant operator()(ScriptNull) const { return Variant::null(); }
        Variant operator()(std::int32_t v) const { return v; }
        Variant operator()(double v) const { return v; }
        Variant operator()(const std::u16string& v) const { return v; }
        Variant operator()(bool v) const { return Variant(v); }
    };
    return std::visit(Convert{}, value);
}

// An object argument stands for its default value; byte arrays have no script form.
bool toScriptValue(const Variant& value, ScriptValue& out)
{
    switch (value.type()) {
    case VariantType::Empty:
        out = std::monostate{};
        return true;
    case VariantType::Null:
        out = ScriptNull{};
        return true;
    case VariantType::Bool:
        out = value.boolValue();
        return true;
    case VariantType::Int32:
        out = value.intValue();
        return true;
    case VariantType::Double:
        out = value.doubleValue();
        return true;
    case VariantType::String:
        out = value.stringValue();
        return true;
    case VariantType::Object: {
        Variant text;
        if (com::changeType(value, VariantType::String, text) != Status::Ok) {
            return false;
        }
        out = text.stringValue();
        return true;
    }
    default:
        return false;
    }
}

/// The host's "Error" object: the last failure, until the next run or Clear.
class ScriptErrorObject : public com::DispatchObject {
public:
    ScriptErrorObject()
    {
        addPropertyGet("Number", VariantType::Int32, [this] { return Variant(current().number); });
        addPropertyGet("Source", VariantType::String, [this] { return Variant(current().source); });
        addPropertyGet("Description", VariantType::String,
                       [this] { return Variant(current().description); });
        addPropertyGet("HelpFile", VariantType::String, [] { return Variant(u""); });
        addPropertyGet("HelpContext", VariantType::Int32, [] { return Variant(0); });
        addPropertyGet("Text", VariantType::String, [this] { return Variant(current().text); });
        addPropertyGet("Line", VariantType::Int32, [this] { return Variant(current().line); });
        addPropertyGet("Column", VariantType::Int32, [this] { return Variant(current().column); });
        addMember(com::method("Clear"), [this](Invocation&) {
            current();
            clear();
            return Status::Ok;
        });
    }

    void set(ScriptFailure failure) { m_failure = std::move(failure); }
    void clear() { m_failure = ScriptFailure{}; }
    /// Called before every read: the host settles code it is still adding in the background.
    void setBeforeRead(std::function<void()> beforeRead) { m_beforeRead = std::move(beforeRead); }

private:
    const ScriptFailure& current()
    {
        if (m_beforeRead) {
            m_beforeRead();
        }
        return m_failure;
    }

    ScriptFailure m_failure;
    std::function<void()> m_beforeRead;
};

class ScriptControlObject : public com::DispatchObject {
public:
    ScriptControlObject() : m_error(std::make_shared<ScriptErrorObject>())
    {
        // The Error object may be read on its own, and may outlive the host.
        m_error->setBeforeRead([this] { settleQueuedCode(); });
        addPropertyGet("Language", VariantType::String, [this] { return Variant(m_language); });
        addSettledMember(com::propertyPut("Language", {VariantType::String}),
                         [this](Invocation& call) { return putLanguage(call); });
        addPropertyGet("Timeout", VariantType::Int32, [this] {
            return Variant(static_cast<std::int32_t>(m_engine.runLimit().count()));
        });
        addSettledMember(com::propertyPut("Timeout", {VariantType::Int32}), [this](
                                                                                Invocation& call) {
            // A script must never hold its caller forever, so "no limit" is not offered.
            if (call.args[0].intValue() < 1) {
                return call.raise(u"Invalid procedure call or argument", errors::InvalidArgument);
            }
            m_engine.setRunLimit(std::chrono::milliseconds(call.args[0].intValue()));
            return Status::Ok;
        });
        addSettledMember(com::propertyGet("Error", VariantType::Object), [this](Invocation& call) {
            call.result = Variant(com::ObjectPtr(m_error));
            return Status::Ok;
        });
        addSettledMember(com::method("Eval", {VariantType::String}, VariantType::Any),
                         [this](Invocation& call) {
                             return finish(call, run([&] { return m_engine.eval(text(call, 0)); }));
                         });
        addSettledMember(
            com::method("ExecuteStatement", {VariantType::String}), [this](Invocation& call) {
                return finish(call, run([&] { return m_engine.execute(text(call, 0)); }));
            });
        addSettledMember(com::method("AddCode", {VariantType::String}),
                         [this](Invocation& call) { return addCode(call); });
        com::MemberInfo runInfo = com::method("Run", {VariantType::String}, VariantType::Any);
        runInfo.varArgs = true;
        addSettledMember(std::move(runInfo),
                         [this](Invocation& call) { return callProcedure(call); });
        // Not one of the class's documented members: the program's own batch form of Run.
        addSettledMember(
            com::method("RunEach", {VariantType::String, VariantType::String}, VariantType::String),
            [this](Invocation& call) { return callProcedureEach(call); });
        // Also the program's own: starts the engine in the background, so that the first run
        // does not wait for the whole start of its thread, heap and prelude. Given code, it is
        // AddCode done on the engine's thread as soon as the heap is ready: the next call on the
        // host (or a read of its Error object) first waits for it, and its failure is then in
        // the Error object exactly as AddCode's would be.
        com::MemberInfo prepareInfo = com::method("Prepare", {VariantType::String});
        prepareInfo.optionalParams = 1;
        addSettledMember(std::move(prepareInfo), [this](Invocation& call) {
            if (call.args.empty()) {
                if (m_language == JScriptName) {
                    m_engine.start();
                }
            } else if (m_language == JScriptName) {
                m_engine.queueExecute(text(call, 0));
            } else {
                // No engine to give it to: it fails now, as AddCode does, and says so in Error.
                addCode(call);
            }
            return Status::Ok;
        });
        addSettledMember(com::method("Reset"), [this](Invocation&) {
            m_engine.reset();
            m_error->clear();
            return Status::Ok;
        });
    }

    ~ScriptControlObject() override { m_error->setBeforeRead({}); }

private:
    // Every member that runs code, reads the error or changes what later runs see first
    // settles code queued by Prepare, so the order of effects is that of a synchronous AddCode.
    void addSettledMember(com::MemberInfo info, com::MemberHandler handler)
    {
        addMember(std::move(info), [this, handler = std::move(handler)](Invocation& call) {
            settleQueuedCode();
            return handler(call);
        });
    }

    void settleQueuedCode()
    {
        std::optional<ScriptOutcome> outcome = m_engine.takeQueuedOutcome();
        if (!outcome) {
            return;
        }
        m_error->clear();
        if (!outcome->ok) {
            m_error->set(std::move(outcome->failure));
        }
    }

    Status addCode(Invocation& call)
    {
        return finish(call, run([&] { return m_engine.execute(text(call, 0)); }));
    }

    static const std::u16string& text(const Invocation& call, std::size_t index)
    {
        return call.args[index].stringValue();
    }

    Status putLanguage(Invocation& call)
    {
        const std::u16string& name = text(call, 0);
        std::u16string_view canonical;
        if (equalsIgnoringAsciiCase(name, JScriptName)) {
            canonical = JScriptName;
        } else if (equalsIgnoringAsciiCase(name, VBScriptName)) {
            canonical = VBScriptName;
        } else {
            return call.raise(u"Can't create the script engine for language " + name,
                              errors::NoEngine);
        }
        // A new language starts a new engine: nothing added before survives.
        m_language = canonical;
        m_engine.reset();
        m_error->clear();
        return Status::Ok;
    }

    template <typename Body> ScriptOutcome run(Body body)
    {
        m_error->clear();
        if (m_language == VBScriptName) {
            return failed(errors::NoEngine, u"This host has no VBScript engine");
        }
        if (m_language != JScriptName) {
            return failed(errors::InvalidArgument, u"The Language property is not set");
        }
        return body();
    }

    static ScriptOutcome failed(std::int32_t number, std::u16string_view description)
    {
        ScriptOutcome outcome;
        outcome.failure.number = number;
        outcome.failure.source = u"ScriptControl";
        outcome.failure.description = description;
        return outcome;
    }

    Status callProcedure(Invocation& call)
    {
        std::vector<ScriptValue> arguments;
        arguments.reserve(call.args.size() - 1);
        for (std::size_t i = 1; i < call.args.size(); ++i) {
            ScriptValue value;
            if (!toScriptValue(call.args[i], value)) {
                return finish(call, failed(errors::TypeMismatch, u"Type mismatch"));
            }
            arguments.push_back(std::move(value));
        }
        return finish(call, run([&] { return m_engine.call(text(call, 0), arguments); }));
    }

    // RunEach(name, texts): the texts are separated by NUL characters (a program text never
    // holds one), the function runs once per text in one engine run, and the results come back
    // joined the same way; a call that fails gives an empty result and leaves its failure in
    // the Error object, as Run does.
    Status callProcedureEach(Invocation& call)
    {
        std::vector<ScriptValue> arguments;
        const std::u16string& joined = text(call, 1);
        for (std::size_t start = 0;;) {
            const std::size_t end = joined.find(u'\0', start);
            arguments.emplace_back(joined.substr(start, end - start));
            if (end == std::u16string::npos) {
                break;
            }
            start = end + 1;
        }
        std::vector<ScriptOutcome> outcomes;
        ScriptOutcome notRun = run([&] {
            outcomes = m_engine.callEach(text(call, 0), std::move(arguments));
            return ScriptOutcome{true, {}, {}};
        });
        if (!notRun.ok) {
            return finish(call, std::move(notRun));
        }
        std::u16string results;
        for (std::size_t i = 0; i < outcomes.size(); ++i) {
            if (i > 0) {
                results += u'\0';
            }
            if (!outcomes[i].ok) {
                m_error->set(std::move(outcomes[i].failure));
                continue;
            }
            // Texts, what the searches' functions give, go straight into the joined result.
            if (const auto* text = std::get_if<std::u16string>(&outcomes[i].value)) {
                results += *text;
                continue;
            }
            const Variant value = toVariant(outcomes[i].value);
            Variant converted;
            if (value.type() == VariantType::String) {
                results += value.stringValue();
            } else if (com::changeType(value, VariantType::String, converted) == Status::Ok) {
                results += converted.stringValue();
            }
        }
        call.result = Variant(std::move(results));
        return Status::Ok;
    }

    Status finish(Invocation& call, ScriptOutcome outcome)
    {
        if (!outcome.ok) {
            call.exception.source = outcome.failure.source;
            Status status = call.raise(outcome.failure.description, outcome.failure.number);
            m_error->set(std::move(outcome.failure));
            return status;
        }
        call.result = toVariant(outcome.value);
        return Status::Ok;
    }

    ScriptEngine m_engine;
    std::u16string m_language;
    std::shared_ptr<ScriptErrorObject> m_error;
};

} // namespace

void registerScriptControlClass()
{
    com::registerClass(std::string(ScriptControlProgId), std::string(ScriptControlClassId),
                       [] { return std::make_shared<ScriptControlObject>(); });
}

} // namespace marrowtune::scripthost
