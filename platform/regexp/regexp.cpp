#include "platform/regexp/regexp.h"

#include "platform/com/dispatch.h"
#include "platform/com/runtime.h"
#include "platform/regexp/pattern.h"

#include <mutex>

namespace marrowtune::regexp {

namespace {

using com::Invocation;
using com::InvokeKind;
using com::Status;
using com::Variant;
using com::VariantType;

// The engine's own error numbers and texts.
constexpr std::int32_t InvalidCallCode = 5;
constexpr std::int32_t OutOfStackCode = 28;
constexpr std::int32_t SyntaxErrorCode = 5017;
constexpr char16_t InvalidCallText[] = u"Invalid procedure call or argument";
constexpr char16_t OutOfStackText[] = u"Out of stack space";
constexpr char16_t SyntaxErrorText[] = u"Syntax error in regular expression";

// The subject one Execute ran over, shared by its collection and every match read from it.
using SharedSubject = std::shared_ptr<const std::u16string>;

Status raiseRangeError(Invocation& call)
{
    return call.raise(InvalidCallText, InvalidCallCode);
}

// Reads a 0-based index argument; false when it is outside [0, count).
bool indexIn(const Variant& index, std::size_t count, std::size_t& out)
{
    const std::int32_t i = index.intValue();
    if (i < 0 || static_cast<std::size_t>(i) >= count) {
        return false;
    }
    out = static_cast<std::size_t>(i);
    return true;
}

class SubMatches : public com::DispatchObject {
public:
    SubMatches(SharedSubject subject, std::vector<std::ptrdiff_t> groups)
        : m_subject(std::move(subject)), m_groups(std::move(groups))
    {
        addPropertyGet("Count", VariantType::Int32,
                       [this] { return Variant(static_cast<std::int32_t>(m_groups.size() / 2)); });
        com::MemberInfo item = com::propertyGet("Item", VariantType::Any, {VariantType::Int32});
        item.isDefault = true;
        addMember(item, [this](Invocation& call) {
            std::size_t g = 0;
            if (!indexIn(call.args[0], m_groups.size() / 2, g)) {
                return raiseRangeError(call);
            }
            const std::ptrdiff_t s = m_groups[2 * g];
            const std::ptrdiff_t e = m_groups[2 * g + 1];
            // A group that took no part in the match is an empty variant, not empty text.
            if (s >= 0) {
                call.result =
                    m_subject->substr(static_cast<std::size_t>(s), static_cast<std::size_t>(e - s));
            }
            return Status::Ok;
        });
    }

private:
    SharedSubject m_subject;
    std::vector<std::ptrdiff_t> m_groups;
};

class Match : public com::DispatchObject {
public:
    Match(SharedSubject subject, MatchSpan span)
        : m_subject(std::move(subject)), m_span(std::move(span))
    {
        addPropertyGet(
            "Value", VariantType::String,
            [this] { return Variant(m_subject->substr(m_span.start, m_span.end - m_span.start)); },
            true);
        addPropertyGet("FirstIndex", VariantType::Int32,
                       [this] { return Variant(static_cast<std::int32_t>(m_span.start)); });
        addPropertyGet("Length", VariantType::Int32, [this] {
            return Variant(static_cast<std::int32_t>(m_span.end - m_span.start));
        });
        addPropertyGet("SubMatches", VariantType::Object, [this] {
            return Variant(com::ObjectPtr(std::make_shared<SubMatches>(m_subject, m_span.groups)));
        });
    }

private:
    SharedSubject m_subject;
    MatchSpan m_span;
};

class MatchCollection : public com::DispatchObject {
public:
    MatchCollection(SharedSubject subject, std::vector<MatchSpan> matches)
        : m_subject(std::move(subject)), m_matches(std::move(matches))
    {
        addPropertyGet("Count", VariantType::Int32,
                       [this] { return Variant(static_cast<std::int32_t>(m_matches.size())); });
        com::MemberInfo item = com::propertyGet("Item", VariantType::Object, {VariantType::Int32});
        item.isDefault = true;
        addMember(item, [this](Invocation& call) {
            std::size_t i = 0;
            if (!indexIn(call.args[0], m_matches.size(), i)) {
                return raiseRangeError(call);
            }
            // Matches are made when asked for: an answer may hold thousands of them.
            call.result = com::ObjectPtr(std::make_shared<Match>(m_subject, m_matches[i]));
            return Status::Ok;
        });
    }

private:
    SharedSubject m_subject;
    std::vector<MatchSpan> m_matches;
};

class RegExp : public com::DispatchObject {
public:
    RegExp()
    {
        addBoolProperty("IgnoreCase", m_ignoreCase, true);
        addBoolProperty("Global", m_global, false);
        addBoolProperty("Multiline", m_multiline, true);
        addPropertyGet("Pattern", VariantType::String, [this] { return Variant(m_pattern); });
        addMember(com::propertyPut("Pattern", {VariantType::String}), [this](Invocation& call) {
            if (call.args[0].stringValue() != m_pattern) {
                m_pattern = call.args[0].stringValue();
                m_dirty = true;
            }
            return Status::Ok;
        });
        addMember(com::method("Execute", {VariantType::String}, VariantType::Object),
                  [this](Invocation& call) { return execute(call); });
        addMember(com::method("Test", {VariantType::String}, VariantType::Bool),
                  [this](Invocation& call) { return test(call); });
        addMember(
            com::method("Replace", {VariantType::String, VariantType::Any}, VariantType::String),
            [this](Invocation& call) { return replace(call); });
    }

private:
    void addBoolProperty(const char* name, bool& field, bool recompiles)
    {
        addPropertyGet(name, VariantType::Bool, [&field] { return Variant(field); });
        addMember(com::propertyPut(name, {VariantType::Bool}),
                  [this, &field, recompiles](Invocation& call) {
                      const bool value = call.args[0].boolValue();
                      if (value != field) {
                          field = value;
                          m_dirty = m_dirty || recompiles;
                      }
                      return Status::Ok;
                  });
    }

    // Compiles the pattern when it or a flag that shapes it changed since the last run.
    Status ensureCompiled(Invocation& call)
    {
        if (m_dirty) {
            m_compiled.compile(m_pattern, m_ignoreCase, m_multiline);
            m_dirty = false;
        }
        if (!m_compiled.isCompiled()) {
            return call.raise(SyntaxErrorText, SyntaxErrorCode);
        }
        return Status::Ok;
    }

    Status execute(Invocation& call)
    {
        if (Status status = ensureCompiled(call); status != Status::Ok) {
            return status;
        }
        auto subject = std::make_shared<const std::u16string>(call.args[0].stringValue());
        std::vector<MatchSpan> matches;
        if (!m_compiled.searchAll(*subject, m_global, matches)) {
            return call.raise(OutOfStackText, OutOfStackCode);
        }
        call.result = com::ObjectPtr(
            std::make_shared<MatchCollection>(std::move(subject), std::move(matches)));
        return Status::Ok;
    }

    Status test(Invocation& call)
    {
        if (Status status = ensureCompiled(call); status != Status::Ok) {
            return status;
        }
        MatchSpan match;
        const SearchResult result = m_compiled.search(call.args[0].stringValue(), 0, match);
        if (result == SearchResult::Failed) {
            return call.raise(OutOfStackText, OutOfStackCode);
        }
        call.result = result == SearchResult::Found;
        return Status::Ok;
    }

    Status replace(Invocation& call)
    {
        Variant replacement;
        if (Status status = com::changeType(call.args[1], VariantType::String, replacement);
            status != Status::Ok) {
            return status;
        }
        if (Status status = ensureCompiled(call); status != Status::Ok) {
            return status;
        }
        const std::u16string& subject = call.args[0].stringValue();
        std::vector<MatchSpan> matches;
        if (!m_compiled.searchAll(subject, m_global, matches)) {
            return call.raise(OutOfStackText, OutOfStackCode);
        }
        std::u16string out;
        std::size_t copied = 0;
        for (const MatchSpan& match : matches) {
            out.append(subject, copied, match.start - copied);
            out += expandReplacement(replacement.stringValue(), subject, match);
            copied = match.end;
        }
        out.append(subject, copied);
        call.result = std::move(out);
        return Status::Ok;
    }

    std::u16string m_pattern;
    bool m_ignoreCase = false;
    bool m_global = false;
    bool m_multiline = false;
    bool m_dirty = true;
    CompiledPattern m_compiled;
};

} // namespace

void registerRegExpClass()
{
    static std::once_flag once;
    std::call_once(once, [] {
        com::registerClass(RegExpProgId, RegExpClassId, [] { return std::make_shared<RegExp>(); });
    });
}

} // namespace marrowtune::regexp
