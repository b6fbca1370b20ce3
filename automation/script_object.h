// SPDX-License-Identifier: MIT
#pragma once
// The script object: one "ScriptControl" host of its own, reached by late binding, for
// evaluating expressions, running statements and calling procedures of a script language.

#include "automation/automation_object.h"
#include "base/text.h"
#include "platform/com/runtime.h"

#include <cstdint>
#include <optional>

namespace marrowtune {

/// The host's last error, each field as text: numbers written with up to 13 significant
/// digits.
struct ScriptError {
    Text line;
    Text column;
    Text number;
    Text source;
    Text description;
    Text text;
};

/// A script host with language "JScript", made for one piece of work. Construction
/// initialises the automation library on the thread and destruction undoes it. When the host
/// cannot be created every operation gives its empty value.
class ScriptObject {
public:
    ScriptObject();
    ~ScriptObject();

    /// The host's last error; three "0" texts and three empty texts when there is no host.
    ScriptError lastError() const;
    /// Sets the language when a name is given (exactly "JScript" selects JScript, any other
    /// name VBScript) and gives the language now set; empty text without a host.
    Text language(const std::optional<Text>& name = std::nullopt);
    /// The value of an expression as text (numbers as the host writes them, "-1"/"0" for
    /// booleans); empty text when it cannot be evaluated.
    Text eval(const Text& expression);
    /// Runs a statement; always 0.
    int executeStatement(const Text& statement);
    /// Calls a procedure with five text arguments, an omitted one passed as empty text; the
    /// result as text, empty on failure.
    Text run(const Text& procedureName, const std::optional<Text>& arg1 = std::nullopt,
             const std::optional<Text>& arg2 = std::nullopt,
             const std::optional<Text>& arg3 = std::nullopt,
             const std::optional<Text>& arg4 = std::nullopt,
             const std::optional<Text>& arg5 = std::nullopt);
    /// As run, with the second and third arguments passed as 32-bit integers (0 when omitted).
    Text runWithIntegers(const Text& procedureName, const std::optional<Text>& arg1 = std::nullopt,
                         std::optional<std::int32_t> arg2 = std::nullopt,
                         std::optional<std::int32_t> arg3 = std::nullopt,
                         const std::optional<Text>& arg4 = std::nullopt,
                         const std::optional<Text>& arg5 = std::nullopt);
    /// As run, giving the result as bytes when it is an array of bytes, else empty bytes.
    ByteBuffer runBytes(const Text& procedureName, const std::optional<Text>& arg1 = std::nullopt,
                        const std::optional<Text>& arg2 = std::nullopt,
                        const std::optional<Text>& arg3 = std::nullopt,
                        const std::optional<Text>& arg4 = std::nullopt,
                        const std::optional<Text>& arg5 = std::nullopt);
    /// Starts the host's engine in the background, so that the first evaluation waits only
    /// for what is left of its start; nothing without a host.
    void prepare();
    /// Discards the host's code and globals; always 0.
    int reset();
    /// Adds code to the host; always 0.
    int addCode(const Text& code);
    /// Releases the host and undoes the thread initialisation; the destructor does it when
    /// it has not been done.
    void destroy();

private:
    com::Variant runVariant(const Text& procedureName, AutomationArgs arguments);
    Text runText(const Text& procedureName, AutomationArgs arguments);

    com::ThreadInitialization m_thread;
    AutomationObject m_host;
    AutomationObject m_errorObject;
};

} // namespace marrowtune
