#include "search/script_control_component.h"

#include "platform/com/runtime.h"

namespace marrowtune {

ScriptControlComponent::ScriptControlComponent()
{
    com::initialize();
    if (m_host.create("ScriptControl") && !m_host.putProperty("Language", Text("JScript"))) {
        m_host.clear();
    }
}

ScriptControlComponent::~ScriptControlComponent()
{
    m_host.clear();
    com::uninitialize();
}

bool ScriptControlComponent::isReady() const
{
    return !m_host.isEmpty();
}

bool ScriptControlComponent::addCode(const Text& code)
{
    com::Variant ignored;
    return m_host.invoke("AddCode", com::InvokeKind::Method, {code}, ignored) == com::Status::Ok;
}

Text ScriptControlComponent::run(const Text& functionName, const Text& argument)
{
    com::Variant result;
    if (m_host.invoke("Run", com::InvokeKind::Method, {functionName, argument}, result) !=
        com::Status::Ok) {
        return {};
    }
    Text text = variantToText(result);
    clearVariant(result);
    return text;
}

} // namespace marrowtune
