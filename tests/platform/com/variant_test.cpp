// SPDX-License-Identifier: MIT
#include "platform/com/dispatch.h"
#include "platform/com/variant.h"

#include <gtest/gtest.h>
#include <limits>

namespace marrowtune::com {
namespace {

struct ToTextCase {
    Variant value;
    std::u16string text;
};

class VariantToText : public testing::TestWithParam<ToTextCase> {};

// The standard conversion to text is what callers show; a wrong digit count or sign shows up
// in every number read as text.
TEST_P(VariantToText, GivesThePlatformsText)
{
    Variant out;
    ASSERT_EQ(changeType(GetParam().value, VariantType::String, out), Status::Ok);
    EXPECT_EQ(out.stringValue(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, VariantToText,
    testing::Values(ToTextCase{Variant(), u""}, ToTextCase{Variant(true), u"-1"},
                    ToTextCase{Variant(false), u"0"}, ToTextCase{Variant(-42), u"-42"},
                    ToTextCase{Variant(std::numeric_limits<std::int32_t>::min()), u"-2147483648"},
                    ToTextCase{Variant(0.5), u"0.5"}, ToTextCase{Variant(100.0), u"100"},
                    ToTextCase{Variant(-0.0), u"0"}, ToTextCase{Variant(1e15), u"1E+15"},
                    ToTextCase{Variant(1e14), u"100000000000000"},
                    ToTextCase{Variant(1e-5), u"1E-05"}, ToTextCase{Variant(0.0001), u"0.0001"},
                    ToTextCase{Variant(0.1 + 0.2), u"0.3"},
                    ToTextCase{Variant(2.0 / 3.0), u"0.666666666666667"},
                    ToTextCase{Variant(123456789012345678.0), u"1.23456789012346E+17"},
                    ToTextCase{Variant(u"\u4e2d"), u"\u4e2d"}));

struct ChangeCase {
    Variant value;
    VariantType type;
    Status status;
    Variant expected;
};

class VariantChange : public testing::TestWithParam<ChangeCase> {};

// Numbers read from text, rounding into integers and refused changes decide whether an
// argument reaches a member or fails the call.
TEST_P(VariantChange, FollowsTheStandardRules)
{
    Variant out(7);
    EXPECT_EQ(changeType(GetParam().value, GetParam().type, out), GetParam().status);
    EXPECT_EQ(out, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, VariantChange,
    testing::Values(
        ChangeCase{Variant(u" 12.5 "), VariantType::Double, Status::Ok, Variant(12.5)},
        ChangeCase{Variant(u"-3e2"), VariantType::Double, Status::Ok, Variant(-300.0)},
        ChangeCase{Variant(u""), VariantType::Double, Status::TypeMismatch, Variant()},
        ChangeCase{Variant(u"abc"), VariantType::Double, Status::TypeMismatch, Variant()},
        ChangeCase{Variant(u"0x10"), VariantType::Double, Status::TypeMismatch, Variant()},
        ChangeCase{Variant(u"nan"), VariantType::Double, Status::TypeMismatch, Variant()},
        ChangeCase{Variant(u"12"), VariantType::Int32, Status::Ok, Variant(12)},
        ChangeCase{Variant(2.5), VariantType::Int32, Status::Ok, Variant(2)},
        ChangeCase{Variant(3.5), VariantType::Int32, Status::Ok, Variant(4)},
        ChangeCase{Variant(-2.5), VariantType::Int32, Status::Ok, Variant(-2)},
        ChangeCase{Variant(3e9), VariantType::Int32, Status::Overflow, Variant()},
        ChangeCase{Variant(true), VariantType::Int32, Status::Ok, Variant(-1)},
        ChangeCase{Variant(), VariantType::Double, Status::Ok, Variant(0.0)},
        ChangeCase{Variant(u"True"), VariantType::Bool, Status::Ok, Variant(true)},
        ChangeCase{Variant(u"false"), VariantType::Bool, Status::Ok, Variant(false)},
        ChangeCase{Variant(u"0"), VariantType::Bool, Status::Ok, Variant(false)},
        ChangeCase{Variant(0.25), VariantType::Bool, Status::Ok, Variant(true)},
        ChangeCase{Variant::null(), VariantType::String, Status::TypeMismatch, Variant()},
        ChangeCase{Variant::null(), VariantType::Any, Status::Ok, Variant::null()},
        ChangeCase{Variant(Bytes{1, 2}), VariantType::String, Status::TypeMismatch, Variant()},
        ChangeCase{Variant(u"x"), VariantType::Object, Status::TypeMismatch, Variant()},
        ChangeCase{Variant(ObjectPtr()), VariantType::String, Status::TypeMismatch, Variant()}));

class Holder : public DispatchObject {
public:
    explicit Holder(Variant value, bool withDefault)
    {
        addPropertyGet(
            "Value", VariantType::Any, [value] { return value; }, withDefault);
    }
};

// An object stands for its default member's value; one without a default member has no value.
TEST(VariantObject, ChangesThroughTheDefaultMember)
{
    Variant out;
    auto withDefault = std::make_shared<Holder>(Variant(1.5), true);
    ASSERT_EQ(changeType(Variant(withDefault), VariantType::String, out), Status::Ok);
    EXPECT_EQ(out.stringValue(), u"1.5");

    auto withoutDefault = std::make_shared<Holder>(Variant(1.5), false);
    EXPECT_EQ(changeType(Variant(withoutDefault), VariantType::String, out), Status::TypeMismatch);
    EXPECT_TRUE(out.isEmpty());
}

// Copies of an object variant share the object: they count references, not clone.
TEST(VariantObject, CopiesShareOneReference)
{
    auto object = std::make_shared<Holder>(Variant(), true);
    Variant a(object);
    Variant b = a;
    EXPECT_EQ(object.use_count(), 3);
    a.clear();
    b.clear();
    EXPECT_EQ(object.use_count(), 1);
}

} // namespace
} // namespace marrowtune::com
