// SPDX-License-Identifier: MIT
#include "search/script_control_component.h"

namespace marrowtune {

ScriptControlComponent::ScriptControlComponent()
{
    if (m_host.create("ScriptControl") && !m_host.putProperty("Language", Text("JScript"))) {
        m_host.clear();
    }
}

bool ScriptControlComponent::isReady() const
{
    return !m_host.isEmpty();
}

void ScriptControlComponent::prepare()
{
    com::Variant ignored;
    if (m_pendingCode.empty()) {
        m_host.invoke("Prepare", com::InvokeKind::Method, {}, ignored);
        return;
    }
    // The first pending code goes with the start: the host adds it on its own thread while the
    // caller goes on, and the first use waits only for what is left. A host without this member
    // (the system's own) keeps it pending.
    if (m_host.invoke("Prepare", com::InvokeKind::Method, {m_pendingCode.front()}, ignored) ==
        com::Status::Ok) {
        m_pendingCode.erase(m_pendingCode.begin());
    }
}

void ScriptControlComponent::addCodeOnFirstUse(const Text& code)
{
    m_pendingCode.push_back(code);
}

void ScriptControlComponent::addPendingCode()
{
    std::vector<Text> pending;
    pending.swap(m_pendingCode);
    for (const Text& code : pending) {
        com::Variant ignored;
        m_host.invoke("AddCode", com::InvokeKind::Method, {code}, ignored);
    }
}

bool ScriptControlComponent::addCode(const Text& code)
{
    addPendingCode();
    com::Variant ignored;
    return m_host.invoke("AddCode", com::InvokeKind::Method, {code}, ignored) == com::Status::Ok;
}

Text ScriptControlComponent::run(const Text& functionName, const Text& argument)
{
    addPendingCode();
    com::Variant result;
    if (m_host.invoke("Run", com::InvokeKind::Method, {functionName, argument}, result) !=
        com::Status::Ok) {
        return {};
    }
    Text text = variantToText(result);
    clearVariant(result);
    return text;
}

std::vector<Text> ScriptControlComponent::runEach(const Text& functionName,
                                                  const std::vector<Text>& arguments)
{
    addPendingCode();
    // Every call into the host is a round trip to its worker thread; the batch makes one for
    // the whole list. The texts travel joined by NUL, which a text cannot hold otherwise.
    Text joined;
    for (const Text& argument : arguments) {
        if (argument.find('\0') != Text::npos) {
            return ScriptComponent::runEach(functionName, arguments);
        }
        if (&argument != &arguments.front()) {
            joined += '\0';
        }
        joined += argument;
    }
    if (arguments.empty()) {
        return {};
    }
    // Built in place: a braced list would copy the joined texts once more.
    AutomationArgs runArguments;
    runArguments.emplace_back(functionName);
    runArguments.emplace_back(std::move(joined));
    com::Variant result;
    const com::Status status =
        m_host.invoke("RunEach", com::InvokeKind::Method, std::move(runArguments), result);
    if (status == com::Status::UnknownName) {
        // The system's own ScriptControl (Windows) has no batch member: one call per link.
        return ScriptComponent::runEach(functionName, arguments);
    }
    if (status != com::Status::Ok) {
        return std::vector<Text>(arguments.size());
    }
    const Text all = variantToText(result);
    clearVariant(result);
    std::vector<Text> results;
    results.reserve(arguments.size());
    for (std::size_t start = 0;;) {
        const std::size_t end = all.find('\0', start);
        results.push_back(all.substr(start, end - start));
        if (end == Text::npos) {
            break;
        }
        start = end + 1;
    }
    // A result with a NUL of its own cannot be told apart; ask again one by one.
    if (results.size() != arguments.size()) {
        return ScriptComponent::runEach(functionName, arguments);
    }
    return results;
}

} // namespace marrowtune
