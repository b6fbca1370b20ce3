// SPDX-License-Identifier: MIT
#include "automation/automation_object.h"
#include "platform/com/runtime.h"
#include "platform/system_classes.h"
#include "tests/support/gbk.h"

#include <gtest/gtest.h>

namespace marrowtune {
namespace {

using test::gbk;

class AutomationObjectTest : public testing::Test {
protected:
    void SetUp() override
    {
        registerSystemClasses();
        com::initialize();
    }
    void TearDown() override { com::uninitialize(); }
};

// An unknown class fails and leaves the handle as it was, empty or holding its old object.
TEST_F(AutomationObjectTest, CreateFailureKeepsHandle)
{
    AutomationObject object;
    EXPECT_FALSE(object.create("No.SuchClass"));
    EXPECT_TRUE(object.isEmpty());

    ASSERT_TRUE(object.create("VBScript.RegExp"));
    const com::ObjectPtr held = object.object();
    EXPECT_FALSE(object.create("{00000000-0000-0000-0000-000000000000}"));
    EXPECT_EQ(object.object(), held);
    ASSERT_TRUE(object.create("{3F4DACA4-160D-11D2-A8E9-00104B365C9F}"));
    EXPECT_NE(object.object(), held);
    object.clear();
    EXPECT_TRUE(object.isEmpty());
}

// Creation needs the library initialised on the calling thread.
TEST_F(AutomationObjectTest, CreateNeedsInitialisedThread)
{
    com::uninitialize();
    AutomationObject object;
    EXPECT_FALSE(object.create("VBScript.RegExp"));
    com::initialize();
}

// Every access through an empty handle, or to a member that does not exist or does not take
// the arguments, gives the empty value of its kind.
TEST_F(AutomationObjectTest, FailedAccessGivesEmptyValues)
{
    AutomationObject empty;
    EXPECT_EQ(empty.getProperty<Text>("Pattern"), "");
    EXPECT_EQ(empty.getProperty<double>("Count"), 0);
    EXPECT_TRUE(empty.getProperty<AutomationObject>("Item", {0}).isEmpty());
    EXPECT_TRUE(empty.callMethod<com::Variant>("Execute", {"a"}).isEmpty());
    EXPECT_FALSE(empty.putProperty("Pattern", "a"));

    AutomationObject engine;
    ASSERT_TRUE(engine.create("VBScript.RegExp"));
    EXPECT_FALSE(engine.putProperty("Singleline", true));
    EXPECT_EQ(engine.getProperty<Text>("Singleline"), "");
    EXPECT_EQ(engine.callMethod<Text>("Test", {"a", "b"}), "");             // too many
    EXPECT_EQ(engine.callMethod<Text>("Replace", {"a"}), "");               // too few
    EXPECT_TRUE(engine.getProperty<AutomationObject>("Pattern").isEmpty()); // not an object
    ASSERT_TRUE(engine.putProperty("Pattern", "("));
    EXPECT_TRUE(engine.callMethod<AutomationObject>("Execute", {"a"}).isEmpty());
}

// Booleans read as text are "-1" and "0"; a number written as text reads back as a number.
TEST_F(AutomationObjectTest, ResultKinds)
{
    AutomationObject engine;
    ASSERT_TRUE(engine.create("VBScript.RegExp"));
    ASSERT_TRUE(engine.putProperty("IgnoreCase", true));
    EXPECT_EQ(engine.getProperty<Text>("IgnoreCase"), "-1");
    ASSERT_TRUE(engine.putProperty("IgnoreCase", false));
    EXPECT_EQ(engine.getProperty<Text>("IgnoreCase"), "0");
    EXPECT_EQ(engine.getProperty<double>("IgnoreCase"), 0);
    ASSERT_TRUE(engine.putProperty("Pattern", std::int32_t{42}));
    EXPECT_EQ(engine.getProperty<double>("Pattern"), 42);
    ASSERT_TRUE(engine.putProperty("Pattern", 0.5));
    EXPECT_EQ(engine.getProperty<Text>("Pattern"), "0.5");
    EXPECT_EQ(engine.callMethod<Text>("Test", {"0.5"}), "-1");
}

// Chinese text goes into the engine as UTF-16 and comes back as the same GBK bytes.
TEST_F(AutomationObjectTest, ChineseTextRoundTrips)
{
    AutomationObject engine;
    ASSERT_TRUE(engine.create("VBScript.RegExp"));
    const Text pattern = gbk(u"\u6b4c\u540d(\u5468)");
    ASSERT_TRUE(engine.putProperty("Pattern", pattern));
    EXPECT_EQ(engine.getProperty<Text>("Pattern"), pattern);
    EXPECT_EQ(engine.callMethod<Text>("Replace", {gbk(u"x\u6b4c\u540d\u5468y"), "[$1]"}),
              gbk(u"x[\u5468]y"));
    EXPECT_TRUE(engine.putProperty("Pattern", static_cast<const char*>(nullptr)));
    EXPECT_EQ(engine.getProperty<Text>("Pattern"), "");
}

struct VariantTextCase {
    com::Variant value;
    Text text;
};

class VariantToTextTest : public testing::TestWithParam<VariantTextCase> {};

// Variant to text: the standard conversion, then GBK; anything unconvertible is empty text.
TEST_P(VariantToTextTest, Converts)
{
    EXPECT_EQ(variantToText(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Kinds, VariantToTextTest,
                         testing::Values(VariantTextCase{com::Variant(), ""},
                                         VariantTextCase{com::Variant::null(), ""},
                                         VariantTextCase{com::Variant(true), "-1"},
                                         VariantTextCase{com::Variant(1e15), "1E+15"},
                                         VariantTextCase{com::Variant(std::int32_t{-7}), "-7"},
                                         VariantTextCase{com::Variant(u"\u5468\u6770\u4f26"),
                                                         gbk(u"\u5468\u6770\u4f26")},
                                         VariantTextCase{com::Variant(com::Bytes{0x41}), ""}));

// Only byte arrays give bytes, all of them including zeros; clearing empties the variant.
TEST(AutomationVariant, BytesAndClear)
{
    EXPECT_EQ(variantToBytes(com::Variant(com::Bytes{0, 0x41, 0xff})), (ByteBuffer{0, 0x41, 0xff}));
    EXPECT_TRUE(variantToBytes(com::Variant(com::Bytes{})).empty());
    EXPECT_TRUE(variantToBytes(com::Variant(u"AB")).empty());
    com::Variant value(u"x");
    clearVariant(value);
    EXPECT_TRUE(value.isEmpty());
}

} // namespace
} // namespace marrowtune
