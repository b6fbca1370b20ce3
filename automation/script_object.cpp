// SPDX-License-Identifier: MIT
#include "automation/script_object.h"

#include "base/numbers.h"
#include "platform/com/runtime.h"

#include <cstdio>
#include <utility>

namespace marrowtune {

namespace {

// The program's number-to-text rule: a 10-digit error number must stay whole.
Text numberText(double value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.13g", value);
    return buffer;
}

Text given(const std::optional<Text>& value)
{
    return value.value_or(Text());
}

// The five optional text arguments of a run, an omitted one as empty text.
AutomationArgs givenTexts(const std::optional<Text>& arg1, const std::optional<Text>& arg2,
                          const std::optional<Text>& arg3, const std::optional<Text>& arg4,
                          const std::optional<Text>& arg5)
{
    return {given(arg1), given(arg2), given(arg3), given(arg4), given(arg5)};
}

} // namespace

ScriptObject::ScriptObject()
{
    if (!m_host.create("ScriptControl")) {
        return;
    }
    m_errorObject.clear();
    m_errorObject = m_host.getProperty<AutomationObject>("Error");
    language("JScript");
}

// Out of line: inlined into every holder, GCC mistakes the released members for unset ones.
ScriptObject::~ScriptObject() = default;

void ScriptObject::destroy()
{
    m_host.clear();
    m_errorObject.clear();
    m_thread.release();
}

ScriptError ScriptObject::lastError() const
{
    ScriptError error;
    error.line = numberText(m_errorObject.getProperty<double>("Line"));
    error.column = numberText(m_errorObject.getProperty<double>("Column"));
    error.number = numberText(m_errorObject.getProperty<double>("Number"));
    error.source = m_errorObject.getProperty<Text>("Source");
    error.description = m_errorObject.getProperty<Text>("Description");
    error.text = m_errorObject.getProperty<Text>("Text");
    return error;
}

Text ScriptObject::language(const std::optional<Text>& name)
{
    if (name) {
        m_host.putProperty("Language", Text(*name == "JScript" ? "JScript" : "VBScript"));
    }
    return m_host.getProperty<Text>("Language");
}

void ScriptObject::prepare()
{
    com::Variant ignored;
    m_host.invoke("Prepare", com::InvokeKind::Method, {}, ignored);
}

Text ScriptObject::eval(const Text& expression)
{
    com::Variant result = m_host.callMethod<com::Variant>("Eval", {expression});
    Text text = variantToText(result);
    clearVariant(result);
    return text;
}

// The host gives no value from these three methods; the result is read anyway, as a whole
// number.
int ScriptObject::executeStatement(const Text& statement)
{
    return truncatedToInt(m_host.callMethod<double>("ExecuteStatement", {statement}));
}

int ScriptObject::reset()
{
    return truncatedToInt(m_host.callMethod<double>("Reset"));
}

int ScriptObject::addCode(const Text& code)
{
    return truncatedToInt(m_host.callMethod<double>("AddCode", {code}));
}

com::Variant ScriptObject::runVariant(const Text& procedureName, AutomationArgs arguments)
{
    arguments.insert(arguments.begin(), AutomationArg(procedureName));
    return m_host.callMethod<com::Variant>("Run", arguments);
}

Text ScriptObject::runText(const Text& procedureName, AutomationArgs arguments)
{
    com::Variant result = runVariant(procedureName, std::move(arguments));
    Text text = variantToText(result);
    clearVariant(result);
    return text;
}

Text ScriptObject::run(const Text& procedureName, const std::optional<Text>& arg1,
                       const std::optional<Text>& arg2, const std::optional<Text>& arg3,
                       const std::optional<Text>& arg4, const std::optional<Text>& arg5)
{
    return runText(procedureName, givenTexts(arg1, arg2, arg3, arg4, arg5));
}

Text ScriptObject::runWithIntegers(const Text& procedureName, const std::optional<Text>& arg1,
                                   std::optional<std::int32_t> arg2,
                                   std::optional<std::int32_t> arg3,
                                   const std::optional<Text>& arg4, const std::optional<Text>& arg5)
{
    return runText(procedureName,
                   {given(arg1), arg2.value_or(0), arg3.value_or(0), given(arg4), given(arg5)});
}

ByteBuffer ScriptObject::runBytes(const Text& procedureName, const std::optional<Text>& arg1,
                                  const std::optional<Text>& arg2, const std::optional<Text>& arg3,
                                  const std::optional<Text>& arg4, const std::optional<Text>& arg5)
{
    com::Variant result = runVariant(procedureName, givenTexts(arg1, arg2, arg3, arg4, arg5));
    ByteBuffer bytes = variantToBytes(result);
    clearVariant(result);
    return bytes;
}

} // namespace marrowtune
