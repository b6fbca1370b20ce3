// SPDX-License-Identifier: MIT
#pragma once
// The window's script component over one "ScriptControl" host with language JScript.

#include "automation/automation_object.h"
#include "search/script_component.h"

#include <vector>

namespace marrowtune {

/// A ScriptComponent whose host lives as long as the object. Construction initialises the
/// automation library on the thread (destruction undoes it); the "ScriptControl" class must
/// be registered. Without a host every add-code is refused and every run gives empty text.
class ScriptControlComponent final : public ScriptComponent {
public:
    ScriptControlComponent();
    ScriptControlComponent(const ScriptControlComponent&) = delete;
    ScriptControlComponent& operator=(const ScriptControlComponent&) = delete;

    bool addCode(const Text& code) override;
    /// Keeps the text and adds it when the component is first used: the host's engine (its
    /// thread, heap and prelude) starts only then.
    void addCodeOnFirstUse(const Text& code) override;
    Text run(const Text& functionName, const Text& argument) override;
    /// The same results as `run` per argument, from one call into the host.
    std::vector<Text> runEach(const Text& functionName,
                              const std::vector<Text>& arguments) override;

    /// True when the host was created and speaks JScript.
    bool isReady() const;
    /// Starts the host's engine in the background with the first code kept for first use, so
    /// that the first use waits only for what is left of that start and that code.
    void prepare();

private:
    void addPendingCode();

    AutomationThread m_thread;
    AutomationObject m_host;
    std::vector<Text> m_pendingCode;
};

} // namespace marrowtune
