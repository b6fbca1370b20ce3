// SPDX-License-Identifier: MIT
#pragma once

#include "base/text.h"

#include <vector>

namespace marrowtune {

/// The window's script component `脚本组件1`: one JScript host that lives as long as the
/// window and holds the code added to it.
class ScriptComponent {
public:
    virtual ~ScriptComponent() = default;

    /// Adds a source text; its functions become callable by `run`. False when it was refused.
    virtual bool addCode(const Text& code) = 0;
    /// Adds a source text just before the component's next addCode or run, so that a component
    /// nobody has used yet does not start its host for it; whether it was refused is not told.
    virtual void addCodeOnFirstUse(const Text& code) { addCode(code); }
    /// Runs the named function of the added code with one text argument and gives its result
    /// as text; empty text when the name is not a function or the script fails.
    virtual Text run(const Text& functionName, const Text& argument) = 0;
    /// `run` of the named function once per argument, in order: one result per argument.
    virtual std::vector<Text> runEach(const Text& functionName, const std::vector<Text>& arguments)
    {
        std::vector<Text> results;
        results.reserve(arguments.size());
        for (const Text& argument : arguments) {
            results.push_back(run(functionName, argument));
        }
        return results;
    }
};

} // namespace marrowtune
