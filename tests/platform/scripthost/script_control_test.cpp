// SPDX-License-Identifier: MIT
#include "platform/com/dispatch.h"
#include "platform/com/runtime.h"
#include "platform/scripthost/script_control.h"
#include "platform/scripthost/script_engine.h"

#include <gtest/gtest.h>

namespace marrowtune::scripthost {
namespace {

using com::InvokeKind;
using com::Status;
using com::Variant;

class ScriptControlTest : public testing::Test {
protected:
    void SetUp() override
    {
        registerScriptControlClass();
        com::initialize();
        ASSERT_EQ(com::createObject("scriptcontrol", m_host), Status::Ok);
        Variant error;
        ASSERT_EQ(m_host->invoke("Error", InvokeKind::PropertyGet, {}, error), Status::Ok);
        m_error = error.objectValue();
    }
    void TearDown() override
    {
        m_error.reset();
        m_host.reset();
        com::uninitialize();
    }

    Status put(const char* name, Variant value)
    {
        Variant ignored;
        return m_host->invoke(name, InvokeKind::PropertyPut, {std::move(value)}, ignored);
    }
    Variant get(const com::ObjectPtr& object, const char* name)
    {
        Variant value;
        object->invoke(name, InvokeKind::PropertyGet, {}, value);
        return value;
    }
    Status call(const char* name, std::vector<Variant> args, Variant* result = nullptr,
                com::ExceptionInfo* exception = nullptr)
    {
        Variant value;
        Status status = m_host->invoke(name, InvokeKind::Method, std::move(args), value, exception);
        if (result) {
            *result = value;
        }
        return status;
    }

    com::ObjectPtr m_host;
    com::ObjectPtr m_error;
};

// Catches a host that runs before a language is chosen or accepts unknown languages.
TEST_F(ScriptControlTest, LanguageIsCheckedAndCanonical)
{
    EXPECT_EQ(get(m_host, "Language"), Variant(u""));
    EXPECT_EQ(call("Eval", {u"1"}), Status::Exception);
    EXPECT_EQ(put("Language", u"jscript"), Status::Ok);
    EXPECT_EQ(get(m_host, "Language"), Variant(u"JScript"));
    EXPECT_EQ(put("Language", u"Perl"), Status::Exception);
    EXPECT_EQ(get(m_host, "Language"), Variant(u"JScript"));
}

// Catches VBScript silently running as JScript or failing without saying why.
TEST_F(ScriptControlTest, VBScriptIsAcceptedButCannotRun)
{
    ASSERT_EQ(put("Language", u"VBScript"), Status::Ok);
    EXPECT_EQ(get(m_host, "Language"), Variant(u"VBScript"));
    for (const char* member : {"Eval", "AddCode", "ExecuteStatement", "Run"}) {
        com::ExceptionInfo exception;
        EXPECT_EQ(call(member, {u"x"}, nullptr, &exception), Status::Exception) << member;
        EXPECT_NE(exception.description.find(u"VBScript"), std::u16string::npos) << member;
        EXPECT_EQ(get(m_error, "Number"), Variant(errors::NoEngine)) << member;
    }
}

struct EvalCase {
    const char16_t* expression;
    Variant expected;
};

class ScriptControlEval : public ScriptControlTest, public testing::WithParamInterface<EvalCase> {};

// Catches results crossing as the wrong variant kind.
TEST_P(ScriptControlEval, ResultCrossesAsItsVariantKind)
{
    ASSERT_EQ(put("Language", u"JScript"), Status::Ok);
    Variant result;
    ASSERT_EQ(call("Eval", {GetParam().expression}, &result), Status::Ok);
    EXPECT_EQ(result, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Kinds, ScriptControlEval,
                         testing::Values(EvalCase{u"1+1", Variant(2)},
                                         EvalCase{u"0.25", Variant(0.25)},
                                         EvalCase{u"4294967296", Variant(4294967296.0)},
                                         EvalCase{u"'\u6587' + 1", Variant(u"\u65871")},
                                         EvalCase{u"2 > 1", Variant(true)},
                                         EvalCase{u"undefined", Variant()},
                                         EvalCase{u"null", Variant::null()}));

// Catches a failed run that leaves the error object empty, or one that is never cleared.
TEST_F(ScriptControlTest, ErrorObjectDescribesTheLastFailure)
{
    ASSERT_EQ(put("Language", u"JScript"), Status::Ok);
    com::ExceptionInfo exception;
    ASSERT_EQ(call("AddCode",
                   {
                       u"var a = 1;\nfunction (",
                   },
                   nullptr, &exception),
              Status::Exception);
    EXPECT_EQ(exception.code, errors::SyntaxError);
    EXPECT_EQ(get(m_error, "Number"), Variant(errors::SyntaxError));
    EXPECT_EQ(get(m_error, "Line"), Variant(2));
    EXPECT_EQ(get(m_error, "Text"), Variant(u"function ("));
    EXPECT_EQ(get(m_error, "Source"), Variant(std::u16string(CompileErrorSource)));
    EXPECT_NE(get(m_error, "Description"), Variant(u""));

    EXPECT_EQ(call("Clear", {}), Status::UnknownName); // Clear belongs to the error object
    Variant ignored;
    EXPECT_EQ(m_error->invoke("Clear", InvokeKind::Method, {}, ignored), Status::Ok);
    EXPECT_EQ(get(m_error, "Number"), Variant(0));
    EXPECT_EQ(get(m_error, "Description"), Variant(u""));

    ASSERT_EQ(call("Eval", {u"nothing"}), Status::Exception);
    EXPECT_EQ(get(m_error, "Number"), Variant(errors::Undefined));
    ASSERT_EQ(call("Eval", {u"1"}), Status::Ok);
    EXPECT_EQ(get(m_error, "Number"), Variant(0));
}

// Catches code handed to Prepare (added on the engine's thread in the background) ending
// otherwise than AddCode of it would: the same Error object, read straight after the call, and
// the same code in place for the next run.
TEST_F(ScriptControlTest, PreparedCodeEndsAsAddCodeWould)
{
    const char16_t* const codes[] = {u"var a = 1;\nfunction (", u"var a = 1;\nnothing.x = 2;",
                                     u"function f(x) { return x + 1; }"};
    for (const char16_t* code : codes) {
        com::ObjectPtr added;
        ASSERT_EQ(com::createObject("ScriptControl", added), Status::Ok);
        Variant addedError;
        ASSERT_EQ(added->invoke("Error", InvokeKind::PropertyGet, {}, addedError), Status::Ok);
        Variant ignored;
        ASSERT_EQ(added->invoke("Language", InvokeKind::PropertyPut, {u"JScript"}, ignored),
                  Status::Ok);
        added->invoke("AddCode", InvokeKind::Method, {code}, ignored);

        ASSERT_EQ(put("Language", u"JScript"), Status::Ok);
        ASSERT_EQ(call("Prepare", {code}), Status::Ok);
        for (const char* field : {"Number", "Source", "Description", "Line", "Column", "Text"}) {
            EXPECT_EQ(get(m_error, field), get(addedError.objectValue(), field)) << field;
        }
        Variant prepared;
        Variant direct;
        call("Eval", {u"typeof f + typeof a"}, &prepared);
        added->invoke("Eval", InvokeKind::Method, {u"typeof f + typeof a"}, direct);
        EXPECT_EQ(prepared, direct);
        ASSERT_EQ(put("Language", u"JScript"), Status::Ok); // a fresh engine for the next code
    }
}

// Catches Run dropping or retyping its variable argument list.
TEST_F(ScriptControlTest, RunPassesEveryArgument)
{
    ASSERT_EQ(put("Language", u"JScript"), Status::Ok);
    ASSERT_EQ(call("AddCode", {u"function f() { var s = arguments.length + ':';"
                               u" for (var i = 0; i < arguments.length; i++)"
                               u" s += typeof arguments[i] + '=' + arguments[i] + ';';"
                               u" return s; }"}),
              Status::Ok);
    Variant result;
    ASSERT_EQ(call("Run", {u"f", u"", u"t", 7, 2.5, true, Variant(), Variant::null()}, &result),
              Status::Ok);
    EXPECT_EQ(result, Variant(u"7:string=;string=t;number=7;number=2.5;boolean=true;"
                              u"undefined=undefined;object=null;"));
    EXPECT_EQ(call("Run", {u"missing"}), Status::Exception);
    EXPECT_EQ(call("Run", {u"f", Variant(com::Bytes{1, 2})}), Status::Exception);
    EXPECT_EQ(get(m_error, "Number"), Variant(errors::TypeMismatch));
}

// Catches Reset or a language change that keeps the old code.
TEST_F(ScriptControlTest, ResetAndLanguageChangeDropAddedCode)
{
    ASSERT_EQ(put("Language", u"JScript"), Status::Ok);
    ASSERT_EQ(call("ExecuteStatement", {u"var kept = 5"}), Status::Ok);
    Variant result;
    ASSERT_EQ(call("Eval", {u"kept"}, &result), Status::Ok);
    EXPECT_EQ(result, Variant(5));
    ASSERT_EQ(call("Reset", {}), Status::Ok);
    EXPECT_EQ(call("Eval", {u"kept"}), Status::Exception);
    ASSERT_EQ(call("ExecuteStatement", {u"var kept = 5"}), Status::Ok);
    ASSERT_EQ(put("Language", u"JScript"), Status::Ok);
    EXPECT_EQ(call("Eval", {u"kept"}), Status::Exception);
}

// Catches a runaway script holding the caller; no limit at all must not be settable.
TEST_F(ScriptControlTest, TimeoutBoundsEveryRun)
{
    ASSERT_EQ(put("Language", u"JScript"), Status::Ok);
    EXPECT_EQ(get(m_host, "Timeout"), Variant(10000));
    EXPECT_EQ(put("Timeout", -1), Status::Exception);
    ASSERT_EQ(put("Timeout", 50), Status::Ok);
    EXPECT_EQ(call("Eval", {u"while (true) {}"}), Status::Exception);
    EXPECT_EQ(get(m_error, "Number"), Variant(errors::TimedOut));
    Variant result;
    EXPECT_EQ(call("Eval", {u"6 * 7"}, &result), Status::Ok);
    EXPECT_EQ(result, Variant(42));
}

} // namespace
} // namespace marrowtune::scripthost
