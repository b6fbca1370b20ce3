// SPDX-License-Identifier: MIT
#include "platform/com/runtime.h"
#include "platform/regexp/pattern.h"
#include "platform/regexp/regexp.h"

#include <gtest/gtest.h>

namespace marrowtune::regexp {
namespace {

using com::InvokeKind;
using com::ObjectPtr;
using com::Status;
using com::Variant;

struct Flags {
    bool ignoreCase = false;
    bool global = true;
    bool multiline = false;
};

// Drives one "VBScript.RegExp" instance through its members, as a late-bound caller does.
class RegExpTest : public testing::Test {
protected:
    void SetUp() override
    {
        registerRegExpClass();
        com::initialize();
        ASSERT_EQ(com::createObject(RegExpProgId, m_engine), Status::Ok);
    }
    void TearDown() override
    {
        m_engine.reset();
        com::uninitialize();
    }

    void setUp(const std::u16string& pattern, Flags flags)
    {
        put("Pattern", Variant(pattern));
        put("IgnoreCase", Variant(flags.ignoreCase));
        put("Global", Variant(flags.global));
        put("Multiline", Variant(flags.multiline));
    }
    void put(const char* name, Variant value)
    {
        Variant ignored;
        ASSERT_EQ(m_engine->invoke(name, InvokeKind::PropertyPut, {std::move(value)}, ignored),
                  Status::Ok);
    }
    static Variant get(const ObjectPtr& object, const char* name, std::vector<Variant> args = {})
    {
        Variant result;
        EXPECT_EQ(object->invoke(name, InvokeKind::PropertyGet, std::move(args), result),
                  Status::Ok);
        return result;
    }
    Status call(const char* name, std::vector<Variant> args, Variant& result,
                com::ExceptionInfo* info = nullptr)
    {
        return m_engine->invoke(name, InvokeKind::Method, std::move(args), result, info);
    }
    // Execute's matches as (FirstIndex, Value) pairs.
    std::vector<std::pair<int, std::u16string>> execute(const std::u16string& subject)
    {
        Variant collection;
        EXPECT_EQ(call("Execute", {Variant(subject)}, collection), Status::Ok);
        std::vector<std::pair<int, std::u16string>> found;
        if (collection.type() != com::VariantType::Object) {
            return found;
        }
        const ObjectPtr& matches = collection.objectValue();
        const int count = get(matches, "Count").intValue();
        for (int i = 0; i < count; ++i) {
            ObjectPtr match = get(matches, "Item", {Variant(i)}).objectValue();
            const std::u16string value = get(match, "Value").stringValue();
            EXPECT_EQ(get(match, "Length").intValue(), static_cast<int>(value.size()));
            found.emplace_back(get(match, "FirstIndex").intValue(), value);
        }
        return found;
    }

    ObjectPtr m_engine;
};

struct ExecuteCase {
    const char* what;
    std::u16string pattern;
    std::u16string subject;
    Flags flags;
    std::vector<std::pair<int, std::u16string>> matches;
};

class RegExpExecute : public RegExpTest, public testing::WithParamInterface<ExecuteCase> {};

// Each case pins one JScript rule that PCRE2 reads differently by default.
TEST_P(RegExpExecute, MatchesAsJScriptDoes)
{
    setUp(GetParam().pattern, GetParam().flags);
    EXPECT_EQ(execute(GetParam().subject), GetParam().matches) << GetParam().what;
}

const Flags Global{false, true, false};
const Flags First{false, false, false};
const Flags Caseless{true, true, false};
const Flags Lines{false, true, true};

INSTANTIATE_TEST_SUITE_P(
    Rules, RegExpExecute,
    testing::Values(
        ExecuteCase{"dot stops at LF", u"a.b", u"a\nb a\rb a\u2028b a\u2029b", Global, {}},
        ExecuteCase{
            "dot takes VT and FF", u"a.b", u"a\vb a\fb", Global, {{0, u"a\vb"}, {4, u"a\fb"}}},
        ExecuteCase{
            "code units", u"ab", u"\u4e2d\u6587ab \U0001F600ab", Global, {{2, u"ab"}, {7, u"ab"}}},
        ExecuteCase{"dot is one unit", u"^.$", u"\U0001F600", Global, {}},
        ExecuteCase{"digits are ASCII", u"\\d+", u"\uff11\uff122", Global, {{2, u"2"}}},
        ExecuteCase{"word is ASCII", u"\\w+", u"\u00e9t\u00e9_1", Global, {{1, u"t"}, {3, u"_1"}}},
        ExecuteCase{"ignore case", u"AbC", u"abc ABC", Caseless, {{0, u"abc"}, {4, u"ABC"}}},
        ExecuteCase{"case kept", u"AbC", u"abc ABC AbC", Global, {{8, u"AbC"}}},
        ExecuteCase{"first only", u"a", u"aaa", First, {{0, u"a"}}},
        ExecuteCase{
            "empty match advances", u"a*", u"baaa", Global, {{0, u""}, {1, u"aaa"}, {4, u""}}},
        ExecuteCase{"empty pattern", u"", u"ab", Global, {{0, u""}, {1, u""}, {2, u""}}},
        ExecuteCase{"caret at start only", u"^b", u"a\nb", Global, {}},
        ExecuteCase{
            "caret per line", u"^b", u"a\nb\rb\u2028b", Lines, {{2, u"b"}, {4, u"b"}, {6, u"b"}}},
        ExecuteCase{
            "caret between CR and LF", u"^", u"a\r\nb", Lines, {{0, u""}, {2, u""}, {3, u""}}},
        ExecuteCase{"dollar at very end only", u"a$", u"a\na\n", Global, {}},
        ExecuteCase{"dollar per line", u"a$", u"a\ra\n", Lines, {{0, u"a"}, {2, u"a"}}},
        ExecuteCase{"unicode escape", u"\\u4E2D", u"x\u4e2d", Global, {{1, u"\u4e2d"}}},
        ExecuteCase{"hex escape", u"\\x41", u"bA", Global, {{1, u"A"}}},
        ExecuteCase{"short \\u is u", u"\\u12", u"u12", Global, {{0, u"u12"}}},
        ExecuteCase{"\\v is VT", u"\\v", u"\n\v", Global, {{1, u"\v"}}},
        ExecuteCase{"identity escape", u"\\z\\Q", u"zQ", Global, {{0, u"zQ"}}},
        ExecuteCase{"[^] takes anything", u"a[^]b", u"a\nb", Global, {{0, u"a\nb"}}},
        ExecuteCase{"[] takes nothing", u"a[]", u"a", Global, {}},
        ExecuteCase{"bracket inside class", u"[[:a]+", u"x[:a", Global, {{1, u"[:a"}}},
        ExecuteCase{"brace not a quantifier", u"a{,2}b{", u"a{,2}b{", Global, {{0, u"a{,2}b{"}}},
        ExecuteCase{"bounded repeat",
                    u"[\\s\\S]{2,3}",
                    u"\u4e2d\n\u6587x",
                    Global,
                    {{0, u"\u4e2d\n\u6587"}}},
        ExecuteCase{"unset back reference", u"(a)?b\\1", u"b", Global, {{0, u"b"}}},
        ExecuteCase{"hyphen after a class escape is literal",
                    u"[\\w-.]+",
                    u"a-b.c d",
                    Global,
                    {{0, u"a-b.c"}, {6, u"d"}}},
        ExecuteCase{"hyphen before a class escape is literal",
                    u"[%-\\d]+",
                    u"x5-%",
                    Global,
                    {{1, u"5-%"}}}));

// A pattern JScript refuses fails Execute, Test and Replace with the engine's syntax error.
TEST_F(RegExpTest, InvalidPatternFailsEveryRun)
{
    for (const char16_t* pattern : {u"(", u"[a", u"a\\", u"(?<n>a)", u"(*FAIL)", u"a)", u"*"}) {
        setUp(pattern, Global);
        Variant result(1);
        com::ExceptionInfo info;
        EXPECT_EQ(call("Execute", {Variant(u"a")}, result, &info), Status::Exception)
            << std::string(pattern, pattern + std::char_traits<char16_t>::length(pattern));
        EXPECT_TRUE(result.isEmpty());
        EXPECT_EQ(info.description, u"Syntax error in regular expression");
        EXPECT_EQ(call("Test", {Variant(u"a")}, result), Status::Exception);
        EXPECT_EQ(call("Replace", {Variant(u"a"), Variant(u"b")}, result), Status::Exception);
    }
}

// A pattern that backtracks without end gives up with an error instead of hanging.
TEST_F(RegExpTest, RunawayBacktrackingFails)
{
    setUp(u"^(a+)+$", Global);
    const std::u16string subject = std::u16string(40, u'a') + u"b";
    Variant result;
    EXPECT_EQ(call("Execute", {Variant(subject)}, result), Status::Exception);
    EXPECT_EQ(call("Test", {Variant(subject)}, result), Status::Exception);
    // The same object still works on a harmless subject.
    EXPECT_EQ(execute(u"aa"), (std::vector<std::pair<int, std::u16string>>{{0, u"aa"}}));
}

// Each search stays under the match limit, yet many costly matches in one subject would add up
// without end: the searches of one run share a budget and give up together when it is spent.
TEST(CompiledPattern, ManySearchesShareOneBudget)
{
    CompiledPattern pattern;
    ASSERT_TRUE(pattern.compile(u"a", false, false));
    std::vector<MatchSpan> matches;
    EXPECT_TRUE(pattern.searchAll(u"aaa", true, matches));
    EXPECT_EQ(matches.size(), 3u);
    pattern.setRunBudget(std::chrono::milliseconds(0));
    EXPECT_FALSE(pattern.searchAll(u"aaa", true, matches));
    EXPECT_TRUE(matches.empty());
    // A single search is never cut short.
    EXPECT_TRUE(pattern.searchAll(u"aaa", false, matches));
    EXPECT_EQ(matches.size(), 1u);
}

// Groups that took no part give an empty variant; indices outside the collections fail.
TEST_F(RegExpTest, SubMatchesAndRanges)
{
    setUp(u"(a)|(b)", Global);
    Variant collection;
    ASSERT_EQ(call("Execute", {Variant(u"b")}, collection), Status::Ok);
    const ObjectPtr& matches = collection.objectValue();
    ObjectPtr match = get(matches, "Item", {Variant(0)}).objectValue();
    ObjectPtr groups = get(match, "SubMatches").objectValue();
    EXPECT_EQ(get(groups, "Count"), Variant(2));
    EXPECT_TRUE(get(groups, "Item", {Variant(0)}).isEmpty());
    EXPECT_EQ(get(groups, "Item", {Variant(1)}), Variant(u"b"));

    Variant out;
    EXPECT_EQ(groups->invoke("Item", InvokeKind::PropertyGet, {Variant(2)}, out),
              Status::Exception);
    EXPECT_EQ(matches->invoke("Item", InvokeKind::PropertyGet, {Variant(1)}, out),
              Status::Exception);
    EXPECT_EQ(matches->invoke("Item", InvokeKind::PropertyGet, {Variant(-1)}, out),
              Status::Exception);
}

struct ReplaceCase {
    std::u16string pattern;
    Flags flags;
    std::u16string replacement;
    std::u16string expected;
};

class RegExpReplace : public RegExpTest, public testing::WithParamInterface<ReplaceCase> {};

// The replacement text follows JScript's $ forms; unknown forms stay literal.
TEST_P(RegExpReplace, ExpandsReplacement)
{
    setUp(GetParam().pattern, GetParam().flags);
    Variant result;
    ASSERT_EQ(call("Replace", {Variant(u"x ab cd y"), Variant(GetParam().replacement)}, result),
              Status::Ok);
    EXPECT_EQ(result, Variant(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(Forms, RegExpReplace,
                         testing::Values(ReplaceCase{u"(\\w)(\\w)", Global, u"$2$1", u"x ba dc y"},
                                         ReplaceCase{u"(\\w)(\\w)", First, u"$2$1", u"x ba cd y"},
                                         ReplaceCase{u"ab", Global, u"[$&]", u"x [ab] cd y"},
                                         ReplaceCase{u"ab", Global, u"$$", u"x $ cd y"},
                                         ReplaceCase{u"ab", Global, u"<$`>", u"x <x > cd y"},
                                         ReplaceCase{u"ab", Global, u"<$'>", u"x < cd y> cd y"},
                                         ReplaceCase{u"(a)b", Global, u"$10", u"x a0 cd y"},
                                         ReplaceCase{u"(a)b", Global, u"$0$2$", u"x $0$2$ cd y"},
                                         ReplaceCase{u"q", Global, u"z", u"x ab cd y"}));

// Changing a flag that shapes the pattern after a run takes effect on the next run.
TEST_F(RegExpTest, FlagChangeRecompiles)
{
    setUp(u"AB", Global);
    EXPECT_TRUE(execute(u"ab").empty());
    put("IgnoreCase", Variant(true));
    EXPECT_EQ(execute(u"ab").size(), 1u);
    put("Pattern", Variant(std::u16string(u"^b")));
    put("Multiline", Variant(true));
    EXPECT_EQ(execute(u"a\nb").size(), 1u);
    EXPECT_EQ(get(m_engine, "Pattern"), Variant(u"^b"));
}

// Test answers whether anything matches, whatever Global says.
TEST_F(RegExpTest, TestAnswersWhetherAnythingMatches)
{
    setUp(u"b", First);
    Variant result;
    ASSERT_EQ(call("Test", {Variant(u"abc")}, result), Status::Ok);
    EXPECT_EQ(result, Variant(true));
    ASSERT_EQ(call("Test", {Variant(u"ac")}, result), Status::Ok);
    EXPECT_EQ(result, Variant(false));
}

// The engine has no "Singleline": writing it is refused and changes nothing.
TEST_F(RegExpTest, HasNoSingleline)
{
    setUp(u"a.b", Global);
    Variant ignored;
    EXPECT_EQ(m_engine->invoke("Singleline", InvokeKind::PropertyPut, {Variant(true)}, ignored),
              Status::UnknownName);
    EXPECT_TRUE(execute(u"a\nb").empty());
}

} // namespace
} // namespace marrowtune::regexp
