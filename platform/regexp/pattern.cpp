// SPDX-License-Identifier: MIT
#include "platform/regexp/pattern.h"

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

namespace marrowtune::regexp {

namespace {

// A search that takes more backtracking steps than this fails instead of running on: enough for
// the service patterns over answers of hundreds of kilobytes, small enough that a pattern which
// backtracks without end gives up within a fraction of a second.
constexpr std::uint32_t MatchLimit = 10'000'000;
// JIT stack: bounded repeats such as [\s\S]{0,200} need more than the 32 KB default.
constexpr std::size_t JitStackStart = 32 * 1024;
constexpr std::size_t JitStackMax = 4 * 1024 * 1024;

// JScript's line terminators: LF, CR, LINE SEPARATOR, PARAGRAPH SEPARATOR.
constexpr std::u16string_view NotTerminator = u"[^\\n\\r\\x{2028}\\x{2029}]";

bool isHex(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

bool isAsciiLetter(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isAsciiDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

bool hasHex(std::u16string_view p, std::size_t at, std::size_t count)
{
    if (at + count > p.size()) {
        return false;
    }
    for (std::size_t k = 0; k < count; ++k) {
        if (!isHex(p[at + k])) {
            return false;
        }
    }
    return true;
}

// A character taken literally: ASCII punctuation is escaped, letters, digits and everything
// beyond ASCII stand for themselves.
void appendLiteral(std::u16string& out, char16_t c)
{
    if (c < 0x80 && !isAsciiLetter(c) && !isAsciiDigit(c)) {
        if (c < 0x20 || c == 0x7f) {
            static const char16_t* hex = u"0123456789abcdef";
            out += u"\\x{";
            out += hex[c >> 4];
            out += hex[c & 0xf];
            out += u'}';
            return;
        }
        out += u'\\';
    }
    out += c;
}

// True when p[i] == '{' opens a quantifier {n}, {n,} or {n,m}; `end` is set past its '}'.
bool isQuantifier(std::u16string_view p, std::size_t i, std::size_t& end)
{
    std::size_t j = i + 1;
    std::size_t digits = 0;
    while (j < p.size() && isAsciiDigit(p[j])) {
        ++j;
        ++digits;
    }
    if (digits == 0) {
        return false;
    }
    if (j < p.size() && p[j] == u',') {
        ++j;
        while (j < p.size() && isAsciiDigit(p[j])) {
            ++j;
        }
    }
    if (j < p.size() && p[j] == u'}') {
        end = j + 1;
        return true;
    }
    return false;
}

// True when p[i] starts a class escape (\d \D \s \S \w \W), which cannot end a range.
bool isClassEscapeAt(std::u16string_view p, std::size_t i)
{
    if (i + 1 >= p.size() || p[i] != u'\\') {
        return false;
    }
    const char16_t n = p[i + 1];
    return n == u'd' || n == u'D' || n == u's' || n == u'S' || n == u'w' || n == u'W';
}

// Translates the escape that starts at p[i] == '\'; i is left on its last character.
bool translateEscape(std::u16string_view p, std::size_t& i, bool inClass, std::u16string& out)
{
    if (i + 1 >= p.size()) {
        return false; // a trailing backslash
    }
    const char16_t n = p[++i];
    switch (n) {
    case u'd':
    case u'D':
    case u'w':
    case u'W':
    case u's':
    case u'S':
    case u'f':
    case u'n':
    case u'r':
    case u't':
        out += u'\\';
        out += n;
        return true;
    case u'b':
        out += inClass ? u"\\x{08}" : u"\\b";
        return true;
    case u'B':
        if (inClass) {
            out += u'B';
        } else {
            out += u"\\B";
        }
        return true;
    case u'v':
        out += u"\\x{0b}";
        return true;
    case u'c':
        if (i + 1 < p.size() && isAsciiLetter(p[i + 1])) {
            out += u"\\c";
            out += p[++i];
        } else {
            out += u"\\\\c"; // JScript reads a lone \c as a backslash and a "c"
        }
        return true;
    case u'x':
    case u'u': {
        const std::size_t count = n == u'x' ? 2 : 4;
        if (hasHex(p, i + 1, count)) {
            out += u"\\x{";
            out += p.substr(i + 1, count);
            out += u'}';
            i += count;
        } else {
            out += n;
        }
        return true;
    }
    default:
        if (isAsciiDigit(n)) {
            out += u'\\'; // back reference, or \0 and octal forms, read alike by both
            out += n;
            return true;
        }
        appendLiteral(out, n); // identity escape
        return true;
    }
}

// A line anchor: with `multiline` it holds next to a line terminator (or an end of the text),
// else only at the text's own start or end.
void appendAnchor(bool atStart, bool multiline, std::u16string& out)
{
    if (!multiline) {
        out += atStart ? u"\\A" : u"\\z";
        return;
    }
    out += atStart ? u"(?<!" : u"(?!";
    out += NotTerminator;
    out += u')';
}

// The group opened at `i`: plain, or one of (?: (?= (?!; `i` ends on its last unit.
bool translateGroupOpen(std::u16string_view p, std::size_t& i, std::u16string& out)
{
    if (i + 1 < p.size() && p[i + 1] == u'*') {
        return false; // nothing to repeat; PCRE2 would read a verb here
    }
    if (i + 1 < p.size() && p[i + 1] == u'?') {
        if (i + 2 >= p.size() || (p[i + 2] != u':' && p[i + 2] != u'=' && p[i + 2] != u'!')) {
            return false;
        }
        out += p.substr(i, 3);
        i += 2;
    } else {
        out += p[i];
    }
    return true;
}

// The character class opened at `i`; `i` ends on its closing bracket.
bool translateClass(std::u16string_view p, std::size_t& i, std::u16string& out)
{
    std::size_t j = i + 1;
    const bool negated = j < p.size() && p[j] == u'^';
    if (negated) {
        ++j;
    }
    if (j < p.size() && p[j] == u']') {
        // [] matches nothing and [^] matches any unit.
        out += negated ? u"[\\s\\S]" : u"(?!)";
        i = j;
        return true;
    }
    out += negated ? u"[^" : u"[";
    bool afterClassEscape = false;
    for (; j < p.size(); ++j) {
        const char16_t k = p[j];
        if (k == u']') {
            out += u']';
            i = j;
            return true;
        }
        const bool classEscape = isClassEscapeAt(p, j);
        if (k == u'\\') {
            if (!translateEscape(p, j, true, out)) {
                return false;
            }
        } else if (k == u'-' && (afterClassEscape || isClassEscapeAt(p, j + 1))) {
            // JScript reads a hyphen next to a class escape as itself ("[\w-.]");
            // PCRE2 would refuse the range.
            out += u"\\-";
        } else if (k == u'[') {
            out += u"\\["; // never a POSIX class such as [:alpha:]
        } else {
            out += k;
        }
        afterClassEscape = classEscape;
    }
    return false; // never closed
}

} // namespace

bool translatePattern(std::u16string_view p, bool multiline, std::u16string& out)
{
    out.clear();
    out.reserve(p.size() * 2);
    for (std::size_t i = 0; i < p.size(); ++i) {
        const char16_t c = p[i];
        switch (c) {
        case u'\\':
            if (!translateEscape(p, i, false, out)) {
                return false;
            }
            break;
        case u'.':
            out += NotTerminator;
            break;
        case u'^':
        case u'$':
            appendAnchor(c == u'^', multiline, out);
            break;
        case u'(':
            if (!translateGroupOpen(p, i, out)) {
                return false;
            }
            break;
        case u'{': {
            std::size_t end = 0;
            if (isQuantifier(p, i, end)) {
                out += p.substr(i, end - i);
                i = end - 1;
            } else {
                out += u"\\{";
            }
            break;
        }
        case u'}':
            out += u"\\}";
            break;
        case u']':
            out += u"\\]";
            break;
        case u'[':
            if (!translateClass(p, i, out)) {
                return false;
            }
            break;
        default:
            out += c;
            break;
        }
    }
    return true;
}

struct CompiledPattern::Impl {
    pcre2_code* code = nullptr;
    pcre2_match_data* matchData = nullptr;
    pcre2_match_context* matchContext = nullptr;
    pcre2_jit_stack* jitStack = nullptr;
    int groups = 0;

    void reset()
    {
        pcre2_match_data_free(matchData);
        pcre2_code_free(code);
        matchData = nullptr;
        code = nullptr;
        groups = 0;
    }
    ~Impl()
    {
        reset();
        pcre2_match_context_free(matchContext);
        pcre2_jit_stack_free(jitStack);
    }
};

CompiledPattern::CompiledPattern() : m_impl(std::make_unique<Impl>())
{
}

CompiledPattern::~CompiledPattern() = default;

bool CompiledPattern::compile(std::u16string_view pattern, bool ignoreCase, bool multiline)
{
    m_impl->reset();
    std::u16string translated;
    if (!translatePattern(pattern, multiline, translated)) {
        return false;
    }
    // Code units, not code points: no UTF, and no pattern may switch it on. Without UCP the
    // classes \d \s \w and \b are ASCII, as in JScript.
    std::uint32_t options =
        PCRE2_NEVER_UTF | PCRE2_NEVER_UCP | PCRE2_NEVER_BACKSLASH_C | PCRE2_MATCH_UNSET_BACKREF;
    if (ignoreCase) {
        options |= PCRE2_CASELESS;
    }
    int error = 0;
    PCRE2_SIZE offset = 0;
    pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(translated.data()),
                                     translated.size(), options, &error, &offset, nullptr);
    if (!code) {
        return false;
    }
    m_impl->code = code;
    // Without JIT support the interpreter runs the same pattern.
    pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);
    m_impl->matchData = pcre2_match_data_create_from_pattern(code, nullptr);
    std::uint32_t captures = 0;
    pcre2_pattern_info(code, PCRE2_INFO_CAPTURECOUNT, &captures);
    m_impl->groups = static_cast<int>(captures);
    if (!m_impl->matchContext) {
        m_impl->matchContext = pcre2_match_context_create(nullptr);
        pcre2_set_match_limit(m_impl->matchContext, MatchLimit);
    }
    if (!m_impl->jitStack) {
        m_impl->jitStack = pcre2_jit_stack_create(JitStackStart, JitStackMax, nullptr);
        pcre2_jit_stack_assign(m_impl->matchContext, nullptr, m_impl->jitStack);
    }
    return m_impl->matchData != nullptr && m_impl->matchContext != nullptr;
}

bool CompiledPattern::isCompiled() const
{
    return m_impl->code != nullptr;
}

int CompiledPattern::groupCount() const
{
    return m_impl->groups;
}

SearchResult CompiledPattern::search(std::u16string_view subject, std::size_t start,
                                     MatchSpan& match) const
{
    if (!m_impl->code || start > subject.size()) {
        return m_impl->code ? SearchResult::NotFound : SearchResult::Failed;
    }
    const int rc = pcre2_match(m_impl->code, reinterpret_cast<PCRE2_SPTR>(subject.data()),
                               subject.size(), start, 0, m_impl->matchData, m_impl->matchContext);
    if (rc == PCRE2_ERROR_NOMATCH) {
        return SearchResult::NotFound;
    }
    if (rc < 0) {
        return SearchResult::Failed;
    }
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(m_impl->matchData);
    match.start = ovector[0];
    match.end = ovector[1];
    match.groups.assign(static_cast<std::size_t>(m_impl->groups) * 2, -1);
    // rc counts the pairs up to the highest group that was set; later ones stay -1.
    for (int g = 1; g < rc && g <= m_impl->groups; ++g) {
        const PCRE2_SIZE s = ovector[2 * g];
        const PCRE2_SIZE e = ovector[2 * g + 1];
        if (s != PCRE2_UNSET) {
            match.groups[2 * (g - 1)] = static_cast<std::ptrdiff_t>(s);
            match.groups[2 * (g - 1) + 1] = static_cast<std::ptrdiff_t>(e);
        }
    }
    return SearchResult::Found;
}

bool CompiledPattern::searchAll(std::u16string_view subject, bool global,
                                std::vector<MatchSpan>& matches) const
{
    matches.clear();
    const auto deadline = std::chrono::steady_clock::now() + m_runBudget;
    std::size_t position = 0;
    while (position <= subject.size()) {
        if (!matches.empty() && std::chrono::steady_clock::now() >= deadline) {
            matches.clear();
            return false;
        }
        MatchSpan match;
        const SearchResult result = search(subject, position, match);
        if (result == SearchResult::Failed) {
            matches.clear();
            return false;
        }
        if (result == SearchResult::NotFound) {
            break;
        }
        position = match.end > match.start ? match.end : match.start + 1;
        matches.push_back(std::move(match));
        if (!global) {
            break;
        }
    }
    return true;
}

std::u16string expandReplacement(std::u16string_view replacement, std::u16string_view subject,
                                 const MatchSpan& match)
{
    const std::size_t groups = match.groups.size() / 2;
    auto group = [&](std::size_t n) -> std::u16string_view {
        const std::ptrdiff_t s = match.groups[2 * (n - 1)];
        const std::ptrdiff_t e = match.groups[2 * (n - 1) + 1];
        if (s < 0) {
            return {};
        }
        return subject.substr(static_cast<std::size_t>(s), static_cast<std::size_t>(e - s));
    };
    std::u16string out;
    out.reserve(replacement.size());
    for (std::size_t i = 0; i < replacement.size(); ++i) {
        const char16_t c = replacement[i];
        if (c != u'$' || i + 1 >= replacement.size()) {
            out += c;
            continue;
        }
        const char16_t n = replacement[i + 1];
        if (n == u'$') {
            out += u'$';
            ++i;
        } else if (n == u'&') {
            out += subject.substr(match.start, match.end - match.start);
            ++i;
        } else if (n == u'`') {
            out += subject.substr(0, match.start);
            ++i;
        } else if (n == u'\'') {
            out += subject.substr(match.end);
            ++i;
        } else if (isAsciiDigit(n)) {
            // Two digits when they name a group, else one digit when it does, else literal.
            std::size_t one = static_cast<std::size_t>(n - u'0');
            if (i + 2 < replacement.size() && isAsciiDigit(replacement[i + 2])) {
                std::size_t two = one * 10 + static_cast<std::size_t>(replacement[i + 2] - u'0');
                if (two >= 1 && two <= groups) {
                    out += group(two);
                    i += 2;
                    continue;
                }
            }
            if (one >= 1 && one <= groups) {
                out += group(one);
                ++i;
            } else {
                out += c;
            }
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace marrowtune::regexp
