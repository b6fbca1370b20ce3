// SPDX-License-Identifier: MIT
#include "platform/regexp/regexp.h"

#include "platform/com/dispatch.h"
#include "platform/com/group_texts.h"
#include "platform/com/runtime.h"
#include "platform/regexp/pattern.h"

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <tuple>

namespace marrowtune::regexp {

namespace {

using com::Invocation;
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

// Builds a class's member table once; `T` is the class whose instances the handlers receive.
template <class T>
std::shared_ptr<const com::MemberTable>
sharedTable(std::initializer_list<std::pair<com::MemberInfo, Status (*)(T&, Invocation&)>> members)
{
    auto table = std::make_shared<com::MemberTable>();
    for (const auto& member : members) {
        // A named copy: Clang before 16 cannot capture a structured binding.
        const auto handler = member.second;
        table->add(member.first, [handler](com::DispatchObject& self, Invocation& call) {
            return handler(static_cast<T&>(self), call);
        });
    }
    return table;
}

com::MemberInfo asDefault(com::MemberInfo info)
{
    info.isDefault = true;
    return info;
}

// The member table of a read-only collection, built once: Count, and Item(index) as its
// default member, answered by the instance's count() and item().
template <class T, VariantType ItemType>
const std::shared_ptr<const com::MemberTable>& collectionTable()
{
    static const auto table = sharedTable<T>({
        {com::propertyGet("Count", VariantType::Int32),
         [](T& self, Invocation& call) {
             call.result = static_cast<std::int32_t>(self.count());
             return Status::Ok;
         }},
        {asDefault(com::propertyGet("Item", ItemType, {VariantType::Int32})),
         [](T& self, Invocation& call) { return self.item(call); }},
    });
    return table;
}

class SubMatches : public com::DispatchObject {
public:
    // `subject` keeps the Execute result, and with it `groups`, alive.
    SubMatches(SharedSubject subject, const std::vector<std::ptrdiff_t>* groups)
        : DispatchObject(collectionTable<SubMatches, VariantType::Any>()),
          m_subject(std::move(subject)), m_groups(*groups)
    {
    }

    std::size_t count() const { return m_groups.size() / 2; }

    Status item(Invocation& call) const
    {
        std::size_t g = 0;
        if (!indexIn(call.args[0], count(), g)) {
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
    }

private:
    SharedSubject m_subject;
    const std::vector<std::ptrdiff_t>& m_groups;
};

class Match : public com::DispatchObject {
public:
    Match(SharedSubject subject, const MatchSpan* span)
        : DispatchObject(members()), m_subject(std::move(subject)), m_span(span)
    {
    }

private:
    static const std::shared_ptr<const com::MemberTable>& members()
    {
        static const auto table = sharedTable<Match>({
            {asDefault(com::propertyGet("Value", VariantType::String)),
             [](Match& self, Invocation& call) {
                 call.result = self.m_subject->substr(self.m_span->start,
                                                      self.m_span->end - self.m_span->start);
                 return Status::Ok;
             }},
            {com::propertyGet("FirstIndex", VariantType::Int32),
             [](Match& self, Invocation& call) {
                 call.result = static_cast<std::int32_t>(self.m_span->start);
                 return Status::Ok;
             }},
            {com::propertyGet("Length", VariantType::Int32),
             [](Match& self, Invocation& call) {
                 call.result = static_cast<std::int32_t>(self.m_span->end - self.m_span->start);
                 return Status::Ok;
             }},
            {com::propertyGet("SubMatches", VariantType::Object),
             [](Match& self, Invocation& call) {
                 call.result = com::ObjectPtr(
                     std::make_shared<SubMatches>(self.m_subject, &self.m_span->groups));
                 return Status::Ok;
             }},
        });
        return table;
    }

    // The subject holder also keeps the collection's spans alive (see MatchCollection).
    SharedSubject m_subject;
    const MatchSpan* m_span;
};

// The subject and the spans of one Execute, kept together so that matches handed out can
// outlive the collection.
struct ExecuteResult {
    std::u16string subject;
    std::vector<MatchSpan> matches;
};

class MatchCollection : public com::DispatchObject, public com::GroupTexts {
public:
    explicit MatchCollection(std::shared_ptr<const ExecuteResult> result)
        : DispatchObject(collectionTable<MatchCollection, VariantType::Object>()),
          m_result(std::move(result))
    {
    }

    std::size_t matchCount() const override { return m_result->matches.size(); }

    // The same texts as Item(match).SubMatches(group).
    std::optional<std::u16string_view> groupText(std::size_t match,
                                                 std::size_t group) const override
    {
        if (match >= m_result->matches.size()) {
            return std::nullopt;
        }
        const std::vector<std::ptrdiff_t>& groups = m_result->matches[match].groups;
        if (group >= groups.size() / 2 || groups[2 * group] < 0) {
            return std::nullopt;
        }
        const auto start = static_cast<std::size_t>(groups[2 * group]);
        const auto end = static_cast<std::size_t>(groups[2 * group + 1]);
        return std::u16string_view(m_result->subject).substr(start, end - start);
    }

    std::size_t count() const { return m_result->matches.size(); }

    Status item(Invocation& call) const
    {
        std::size_t i = 0;
        if (!indexIn(call.args[0], count(), i)) {
            return raiseRangeError(call);
        }
        // Matches are made when asked for: an answer may hold thousands of them. Each shares
        // the result, which holds both its subject and its span.
        SharedSubject subject(m_result, &m_result->subject);
        call.result = com::ObjectPtr(std::make_shared<Match>(subject, &m_result->matches[i]));
        return Status::Ok;
    }

private:
    std::shared_ptr<const ExecuteResult> m_result;
};

// Compiling (and JIT-compiling) a pattern costs more than running it over a service answer,
// and the searches use the same few patterns again and again, so each thread keeps what it
// compiled, keyed by the pattern and the two flags that shape it. A compiled pattern holds its
// own match data and is used by one search at a time, hence one cache per thread.
std::shared_ptr<CompiledPattern> compiledPattern(const std::u16string& pattern, bool ignoreCase,
                                                 bool multiline)
{
    constexpr std::size_t MostKept = 64;
    thread_local std::map<std::tuple<std::u16string, bool, bool>, std::shared_ptr<CompiledPattern>>
        cache;
    auto key = std::make_tuple(pattern, ignoreCase, multiline);
    if (auto found = cache.find(key); found != cache.end()) {
        return found->second;
    }
    auto compiled = std::make_shared<CompiledPattern>();
    compiled->compile(pattern, ignoreCase, multiline);
    if (cache.size() == MostKept) {
        cache.clear();
    }
    cache.emplace(std::move(key), compiled);
    return compiled;
}

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

    // Takes the compiled pattern when it or a flag that shapes it changed since the last run.
    Status ensureCompiled(Invocation& call)
    {
        if (m_dirty) {
            m_compiled = compiledPattern(m_pattern, m_ignoreCase, m_multiline);
            m_dirty = false;
        }
        if (!m_compiled->isCompiled()) {
            return call.raise(SyntaxErrorText, SyntaxErrorCode);
        }
        return Status::Ok;
    }

    Status execute(Invocation& call)
    {
        if (Status status = ensureCompiled(call); status != Status::Ok) {
            return status;
        }
        auto result = std::make_shared<ExecuteResult>();
        result->subject = call.args[0].takeString();
        if (!m_compiled->searchAll(result->subject, m_global, result->matches)) {
            return call.raise(OutOfStackText, OutOfStackCode);
        }
        call.result = com::ObjectPtr(std::make_shared<MatchCollection>(std::move(result)));
        return Status::Ok;
    }

    Status test(Invocation& call)
    {
        if (Status status = ensureCompiled(call); status != Status::Ok) {
            return status;
        }
        MatchSpan match;
        const SearchResult result = m_compiled->search(call.args[0].stringValue(), 0, match);
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
        if (!m_compiled->searchAll(subject, m_global, matches)) {
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
    std::shared_ptr<CompiledPattern> m_compiled;
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
