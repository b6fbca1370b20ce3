// SPDX-License-Identifier: MIT
#pragma once
// One run of the system's regular-expression engine ("VBScript.RegExp") over one subject text,
// reached through the late-bound automation layer. The searches build one for each service
// answer, read its matches and capture groups by 1-based index, and destroy it.

#include "automation/automation_object.h"
#include "base/text.h"
#include "platform/com/runtime.h"

#include <optional>
#include <span>
#include <vector>

namespace marrowtune {

/// A pattern run over a GBK subject; matches and groups are read back by 1-based index. Every
/// failure gives empty text, 0 or false; nothing throws and nothing is shown.
class RegexObject {
public:
    /// Initialises the automation library on the calling thread; destruction releases the
    /// engine and the matches, then undoes it.
    RegexObject() = default;

    /// Makes a fresh engine with the pattern and flags (each omitted flag is true), runs it over
    /// the whole subject and keeps the matches and a copy of the subject. True when the engine
    /// handed back a match collection (even an empty one); false when the engine cannot be made
    /// or rejects the pattern.
    bool create(const Text& pattern, Text subject, std::optional<bool> ignoreCase = {},
                std::optional<bool> multiline = {}, std::optional<bool> global = {});
    /// As create with every flag true, for a caller that reads only texts: the subject is let
    /// go once it is in UTF-16, so positions and replace see an empty subject. A long answer is
    /// then never held twice.
    bool createForTexts(const Text& pattern, Text subject);
    /// Number of matches of the last create; 0 before it or when it failed.
    int matchCount() const;
    /// Text of match `index` (1-based). When `position` is given it receives the match's 0-based
    /// byte offset in the stored subject; an empty text (no such match included) gives 0 on a
    /// non-empty subject and -2 on an empty one.
    Text matchText(int index, int* position = nullptr) const;
    /// Text of capture group `groupIndex` (1-based) of match `matchIndex` (1-based); empty for a
    /// group that took no part. When `position` is given it receives the 0-based byte offset of
    /// the group's text, searched from its match's start, or -2 when it is not found; an empty
    /// text (no such match or group included) gives 0 on a non-empty subject.
    Text subMatchText(int matchIndex, int groupIndex, int* position = nullptr) const;
    /// Texts of capture groups `groups` (1-based) of every match, match by match: the texts
    /// subMatchText gives, read in one pass without an automation call per field.
    std::vector<Text> subMatchTexts(std::span<const int> groups) const;
    /// Releases the engine, the matches and the stored subject, as before the first create.
    void clear();
    /// Number of capture groups, read from the first match; 0 without a match.
    int subMatchCount() const;
    /// The pattern the engine holds; empty before create.
    Text pattern() const;
    /// The stored subject with the matches replaced (every match when global); the stored
    /// subject itself is not changed.
    Text replace(const Text& replacement) const;

private:
    bool run(const Text& pattern, Text subject, std::optional<bool> ignoreCase,
             std::optional<bool> multiline, std::optional<bool> global, bool keepSubject);
    AutomationObject matchAt(int index) const;
    void forgetLastMatch();
    int byteOffsetOf(int unitIndex) const;
    int matchPosition(const AutomationObject& match, const Text& text, bool exact) const;

    com::ThreadInitialization m_thread;
    AutomationObject m_engine;
    AutomationObject m_matches;
    Text m_subject;
    // Byte offset in m_subject of each UTF-16 unit of its conversion, built on the first
    // position request.
    mutable std::vector<int> m_unitOffsets;
    // The match subMatchText read last (0: none) and its group collection.
    mutable int m_lastMatchIndex = 0;
    mutable AutomationObject m_lastMatch;
    mutable AutomationObject m_lastGroups;
};

} // namespace marrowtune
