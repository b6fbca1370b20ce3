// SPDX-License-Identifier: MIT
#pragma once
// A compiled JScript regular expression over UTF-16 code units, run by PCRE2's 16-bit library.
// Internal to the "VBScript.RegExp" class; the program reaches it only through that class.

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace marrowtune::regexp {

/// One match: code-unit offsets of the whole match and of each capture group (-1 when the group
/// took no part in the match).
struct MatchSpan {
    std::size_t start = 0;
    std::size_t end = 0;
    /// Start and end of groups 1..n, in pairs; -1 for a group that did not participate.
    std::vector<std::ptrdiff_t> groups;
};

/// The outcome of one search.
enum class SearchResult { Found, NotFound, Failed };

/// Rewrites a JScript pattern into PCRE2 syntax with JScript's meaning: the dot and the
/// multiline anchors know the four line terminators, "$" without multiline matches only at the
/// very end, \v \xHH \uHHHH and identity escapes read as JScript reads them. Returns false for a
/// pattern JScript rejects (unbalanced class, trailing backslash, "(*", "(?" forms JScript
/// lacks).
bool translatePattern(std::u16string_view pattern, bool multiline, std::u16string& out);

/// A pattern compiled once for a set of flags; it owns the compiled code, so it is neither
/// copied nor moved.
class CompiledPattern {
public:
    CompiledPattern();
    ~CompiledPattern();

    /// Compiles; false (and no pattern) when the pattern is not valid JScript.
    bool compile(std::u16string_view pattern, bool ignoreCase, bool multiline);
    bool isCompiled() const;
    /// Number of capture groups.
    int groupCount() const;
    /// Searches `subject` from code unit `start` on. Failed when the match limit is hit (a
    /// pattern that backtracks without end) or the engine reports another error.
    SearchResult search(std::u16string_view subject, std::size_t start, MatchSpan& match) const;
    /// Every match (or only the first when !global), advancing by one past an empty match.
    /// False when a search failed or the searches outran the run budget; `matches` then holds
    /// nothing.
    bool searchAll(std::u16string_view subject, bool global, std::vector<MatchSpan>& matches) const;
    /// Longest time the searches of one searchAll may take together before it gives up: each
    /// search is bounded by the match limit, but a subject with many costly matches is not.
    void setRunBudget(std::chrono::milliseconds budget) { m_runBudget = budget; }

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    // Five seconds: far beyond any service answer, short enough for the window to come back.
    std::chrono::milliseconds m_runBudget{5000};
};

/// The JScript replacement text for one match: $$ $& $` $' $n $nn; anything else is literal.
std::u16string expandReplacement(std::u16string_view replacement, std::u16string_view subject,
                                 const MatchSpan& match);

} // namespace marrowtune::regexp
