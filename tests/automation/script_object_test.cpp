// SPDX-License-Identifier: MIT
#include "automation/script_object.h"
#include "platform/system_classes.h"
#include "tests/support/wine.h"

#include <gtest/gtest.h>

namespace marrowtune {
namespace {

class ScriptObjectTest : public testing::Test {
protected:
    static void SetUpTestSuite() { registerSystemClasses(); }
};

struct LanguageCase {
    std::optional<Text> name;
    const char* expected;
};

class ScriptObjectLanguage : public ScriptObjectTest,
                             public testing::WithParamInterface<LanguageCase> {};

// Catches any name but the exact "JScript" selecting JScript.
TEST_P(ScriptObjectLanguage, OnlyExactJScriptSelectsJScript)
{
    ScriptObject script;
    EXPECT_EQ(script.language(GetParam().name), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Names, ScriptObjectLanguage,
                         testing::Values(LanguageCase{std::nullopt, "JScript"},
                                         LanguageCase{Text("JScript"), "JScript"},
                                         LanguageCase{Text("VBScript"), "VBScript"},
                                         LanguageCase{Text("jscript"), "VBScript"},
                                         LanguageCase{Text("JScript "), "VBScript"},
                                         LanguageCase{Text("Perl"), "VBScript"},
                                         LanguageCase{Text(""), "VBScript"}));

struct EvalCase {
    const char* expression;
    const char* expected;
};

class ScriptObjectEval : public ScriptObjectTest, public testing::WithParamInterface<EvalCase> {};

// Catches results converted to text other than the platform's way.
TEST_P(ScriptObjectEval, GivesTheValueAsText)
{
    ScriptObject script;
    EXPECT_EQ(script.eval(GetParam().expression), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ScriptObjectEval,
    testing::Values(EvalCase{"1+1", "2"}, EvalCase{"0.25", "0.25"},
                    EvalCase{"1/3", "0.333333333333333"}, EvalCase{"2 > 1", "-1"},
                    EvalCase{"1e21", "1E+21"},
                    EvalCase{"new Date(1700000000123).getTime()", "1700000000123"},
                    EvalCase{"'\xD6\xD0' + '\xCE\xC4'", "\xD6\xD0\xCE\xC4"}, EvalCase{"null", ""},
                    EvalCase{"undefined", ""}, EvalCase{"1+", ""}));

// Catches a failure that leaves lastError empty or numbers written other than "%.13g".
TEST_F(ScriptObjectTest, SyntaxErrorFillsLastError)
{
    ScriptObject script;
    const ScriptError none = script.lastError();
    EXPECT_EQ(none.number, "0");
    EXPECT_EQ(none.line, "0");
    EXPECT_EQ(none.description, "");

    EXPECT_EQ(script.eval("1;\n(2 +"), "");
    const ScriptError error = script.lastError();
    EXPECT_EQ(error.number, "-2146827286");
    EXPECT_EQ(error.line, "2");
    // Wine's engine counts the column of a compilation error; Windows' and ours give 0.
    if (!test::underWine()) {
        EXPECT_EQ(error.column, "0");
    }
#ifdef _WIN32
    // The system's engine names itself in the system's language ("Microsoft JScript
    // 编译错误" on a Chinese Windows).
    EXPECT_NE(error.source.find("JScript"), Text::npos);
#else
    EXPECT_EQ(error.source, "JScript compilation error");
#endif
    EXPECT_EQ(error.text, "(2 +");
    EXPECT_FALSE(error.description.empty());
}

// Catches omitted arguments not reaching the script as five empty texts, and integers
// passed as text.
TEST_F(ScriptObjectTest, RunPassesFiveArguments)
{
    ScriptObject script;
    EXPECT_EQ(script.addCode("function f(a, b, c, d, e) { return arguments.length + ':' +"
                             " [a, b, c, d, e].join('|') + ':' + typeof a + typeof e; }"
                             "function g(a, b, c) { return typeof b + (b + c); }"),
              0);
    EXPECT_EQ(script.run("f"), "5:||||:stringstring");
    EXPECT_EQ(script.run("f", Text("x"), std::nullopt, Text("z")), "5:x||z||:stringstring");
    EXPECT_EQ(script.runWithIntegers("g", std::nullopt, 2, 3), "number5");
    EXPECT_EQ(script.runWithIntegers("g"), "number0");
    EXPECT_EQ(script.run("missing"), "");
    EXPECT_TRUE(script.runBytes("f").empty());
}

// Catches the integer operations reporting anything but 0, and reset keeping the code.
TEST_F(ScriptObjectTest, IntegerOperationsAlwaysGiveZero)
{
    ScriptObject script;
    EXPECT_EQ(script.executeStatement("var kept = 4"), 0);
    EXPECT_EQ(script.executeStatement("var = "), 0);
    EXPECT_EQ(script.addCode("function ("), 0);
    EXPECT_EQ(script.eval("kept"), "4");
    EXPECT_EQ(script.reset(), 0);
    // Wine's ScriptControl keeps the globals across Reset; Windows' and ours drop them.
    if (!test::underWine()) {
        EXPECT_EQ(script.eval("typeof kept"), "undefined");
    }
}

// Catches VBScript quietly running as JScript.
TEST_F(ScriptObjectTest, VBScriptHasNoEngine)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has a VBScript engine of its own";
#endif
    ScriptObject script;
    ASSERT_EQ(script.language(Text("VBScript")), "VBScript");
    EXPECT_EQ(script.eval("1+1"), "");
    EXPECT_NE(script.lastError().description.find("VBScript"), Text::npos);
    EXPECT_EQ(script.language(Text("JScript")), "JScript");
    EXPECT_EQ(script.eval("1+1"), "2");
}

// Catches a destroyed object still reaching its host.
TEST_F(ScriptObjectTest, DestroyReleasesTheHost)
{
    ScriptObject script;
    script.destroy();
    EXPECT_EQ(script.eval("1+1"), "");
    EXPECT_EQ(script.language(), "");
    EXPECT_EQ(script.lastError().number, "0");
    script.destroy();
}

} // namespace
} // namespace marrowtune
