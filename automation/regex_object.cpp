// SPDX-License-Identifier: MIT
#include "automation/regex_object.h"

#include "base/gbk_find.h"
#include "base/numbers.h"
#include "platform/codepage/codepage.h"
#include "platform/com/group_texts.h"
#include "platform/com/runtime.h"

#include <algorithm>
#include <cmath>

namespace marrowtune {

namespace {

constexpr char EngineClass[] = "VBScript.RegExp";
constexpr int NotFound = -2;

// GBK pairs start with 0x81 to 0xFE; 0x80 (the euro sign) and 0xFF stand alone.
bool isGbkLeadByte(unsigned char byte)
{
    return byte >= 0x81 && byte <= 0xFE;
}

} // namespace

bool RegexObject::create(const Text& pattern, Text subject, std::optional<bool> ignoreCase,
                         std::optional<bool> multiline, std::optional<bool> global)
{
    return run(pattern, std::move(subject), ignoreCase, multiline, global, true);
}

bool RegexObject::createForTexts(const Text& pattern, Text subject)
{
    return run(pattern, std::move(subject), {}, {}, {}, false);
}

bool RegexObject::run(const Text& pattern, Text subject, std::optional<bool> ignoreCase,
                      std::optional<bool> multiline, std::optional<bool> global, bool keepSubject)
{
    m_engine.clear();
    m_engine.create(EngineClass);
    m_engine.putProperty("IgnoreCase", ignoreCase.value_or(true));
    m_engine.putProperty("Multiline", multiline.value_or(true));
    // The engine has no "Singleline"; the write is refused and the dot keeps stopping at line
    // breaks, which is what the service patterns are written for.
    m_engine.putProperty("Singleline", true);
    m_engine.putProperty("Global", global.value_or(true));
    m_engine.putProperty("Pattern", pattern);
    m_matches.clear();
    forgetLastMatch();
    // The subject crosses into UTF-16 once; the engine keeps it and every match and group read
    // afterwards converts only its own text. The argument list is built in place: a braced
    // list would copy the converted subject, which for a long answer is megabytes.
    AutomationArgs arguments;
    arguments.emplace_back(subject);
    if (!keepSubject) {
        Text().swap(subject);
    }
    m_matches = m_engine.callMethod<AutomationObject>("Execute", std::move(arguments));
    m_subject = std::move(subject);
    m_unitOffsets.clear();
    return !m_matches.isEmpty();
}

void RegexObject::clear()
{
    m_engine.clear();
    m_matches.clear();
    forgetLastMatch();
    // A long answer's text is released, not just emptied.
    Text().swap(m_subject);
    std::vector<int>().swap(m_unitOffsets);
}

std::vector<Text> RegexObject::subMatchTexts(std::span<const int> groups) const
{
    std::vector<Text> texts;
    const int matches = matchCount();
    if (matches < 1) {
        return texts;
    }
    texts.reserve(static_cast<std::size_t>(matches) * groups.size());
    const auto* table = dynamic_cast<const com::GroupTexts*>(m_matches.object().get());
    for (int i = 1; i <= matches; ++i) {
        for (const int group : groups) {
            if (!table) {
                texts.push_back(subMatchText(i, group));
                continue;
            }
            const auto text = group >= 1 ? table->groupText(static_cast<std::size_t>(i - 1),
                                                            static_cast<std::size_t>(group - 1))
                                         : std::nullopt;
            texts.push_back(text ? codepage::fromWide(*text, CodePage::Ansi) : Text());
        }
    }
    return texts;
}

int RegexObject::matchCount() const
{
    return truncatedToInt(m_matches.getProperty<double>("Count"));
}

void RegexObject::forgetLastMatch()
{
    m_lastGroups.clear();
    m_lastMatch.clear();
    m_lastMatchIndex = 0;
}

AutomationObject RegexObject::matchAt(int index) const
{
    if (index < 1) {
        return AutomationObject();
    }
    return m_matches.getProperty<AutomationObject>("Item", {index - 1});
}

Text RegexObject::matchText(int index, int* position) const
{
    const AutomationObject match = matchAt(index);
    Text text = match.getProperty<Text>("Value");
    if (position) {
        *position = matchPosition(match, text, true);
    }
    return text;
}

Text RegexObject::subMatchText(int matchIndex, int groupIndex, int* position) const
{
    // The searches read several groups of one match in a row; the match and its group
    // collection are read once for all of them.
    if (matchIndex != m_lastMatchIndex) {
        m_lastMatch = matchAt(matchIndex);
        m_lastGroups = m_lastMatch.getProperty<AutomationObject>("SubMatches");
        m_lastMatchIndex = matchIndex;
    }
    const AutomationObject& match = m_lastMatch;
    Text text;
    if (groupIndex >= 1) {
        com::Variant value = m_lastGroups.getProperty<com::Variant>("Item", {groupIndex - 1});
        text = variantToText(value);
        clearVariant(value);
    }
    if (position) {
        *position = matchPosition(match, text, false);
    }
    return text;
}

int RegexObject::subMatchCount() const
{
    const AutomationObject groups = matchAt(1).getProperty<AutomationObject>("SubMatches");
    return truncatedToInt(groups.getProperty<double>("Count"));
}

Text RegexObject::pattern() const
{
    if (m_engine.isEmpty()) {
        return Text();
    }
    return m_engine.getProperty<Text>("Pattern");
}

Text RegexObject::replace(const Text& replacement) const
{
    return m_engine.callMethod<Text>("Replace", {m_subject, replacement});
}

int RegexObject::byteOffsetOf(int unitIndex) const
{
    if (m_unitOffsets.empty()) {
        // Walk the subject character by character as the conversion reads it: an ASCII byte
        // is one unit, any other character converts on its own (a pair gives one unit when
        // valid, one replacement unit per byte when not).
        const std::size_t size = m_subject.size();
        m_unitOffsets.reserve(size + 1);
        for (std::size_t i = 0; i < size;) {
            const auto byte = static_cast<unsigned char>(m_subject[i]);
            const std::size_t length = !isGbkLeadByte(byte) || i + 1 == size ? 1 : 2;
            const std::size_t units =
                byte < 0x80 ? 1
                            : codepage::toWide(std::string_view(m_subject).substr(i, length),
                                               CodePage::Ansi)
                                  .size();
            for (std::size_t k = 0; k < units; ++k) {
                m_unitOffsets.push_back(static_cast<int>(i + std::min(k, length - 1)));
            }
            i += length;
        }
        m_unitOffsets.push_back(static_cast<int>(size));
        // Should the whole conversion read an invalid sequence differently, the table does not
        // describe the engine's indices; mark it unusable.
        if (m_unitOffsets.size() != codepage::toWide(m_subject, CodePage::Ansi).size() + 1) {
            m_unitOffsets.assign(1, -1);
        }
    }
    if (m_unitOffsets.size() == 1 || unitIndex < 0 ||
        static_cast<std::size_t>(unitIndex) >= m_unitOffsets.size()) {
        return -1;
    }
    return m_unitOffsets[static_cast<std::size_t>(unitIndex)];
}

int RegexObject::matchPosition(const AutomationObject& match, const Text& text, bool exact) const
{
    // An absent match has no "FirstIndex": the read fails and the search starts at 0.
    const int first = match.isEmpty() ? 0 : truncatedToInt(match.getProperty<double>("FirstIndex"));
    const int offset = byteOffsetOf(first);
    // An empty text counts as found at the subject's start, whatever the match's offset, while
    // anything is left to search from the start position on.
    if (text.empty()) {
        const std::size_t start = static_cast<std::size_t>(offset >= 0 ? offset : first);
        return start < m_subject.size() ? 0 : NotFound;
    }
    // The match's own text sits exactly at its start; a group's text is searched from there.
    if (exact && offset >= 0 && m_subject.compare(offset, text.size(), text) == 0) {
        return offset;
    }
    const std::size_t found =
        findGbk(m_subject, text, static_cast<std::size_t>(offset >= 0 ? offset : first));
    return found == std::string_view::npos ? NotFound : static_cast<int>(found);
}

} // namespace marrowtune
