// SPDX-License-Identifier: MIT
#include "platform/com/dispatch.h"

#include <gtest/gtest.h>

namespace marrowtune::com {
namespace {

// A small object with one member of each shape the engines use.
class Sample : public DispatchObject {
public:
    Sample()
    {
        addPropertyGet("Count", VariantType::Int32, [this] { return Variant(m_count); });
        addMember(propertyPut("Count", {VariantType::Int32}), [this](Invocation& call) {
            m_count = call.args[0].intValue();
            return Status::Ok;
        });
        addMember(method("Twice", {VariantType::Int32}, VariantType::Int32), [](Invocation& call) {
            call.result = call.args[0].intValue() * 2;
            return Status::Ok;
        });
        MemberInfo join =
            method("Join", {VariantType::String, VariantType::String}, VariantType::String);
        join.optionalParams = 1;
        join.varArgs = true;
        addMember(join, [](Invocation& call) {
            std::u16string text;
            for (const Variant& arg : call.args) {
                Variant piece;
                changeType(arg, VariantType::String, piece);
                text += piece.stringValue();
            }
            call.result = text;
            return Status::Ok;
        });
        addMember(method("Fail"), [](Invocation& call) {
            call.result = 1;
            return call.raise(u"Object required", 424);
        });
        addMember(method("Reset"), [this](Invocation&) {
            m_count = 0;
            return Status::Ok;
        });
    }
    std::int32_t m_count = 3;
};

struct InvokeCase {
    const char* name;
    InvokeKind kind;
    std::vector<Variant> args;
    Status status;
    Variant result;
};

class DispatchInvoke : public testing::TestWithParam<InvokeCase> {};

// Lookup, argument counting and argument changes decide which calls reach the member; every
// refused call must leave the result empty.
TEST_P(DispatchInvoke, GivesStatusAndResult)
{
    auto object = std::make_shared<Sample>();
    Variant result(99);
    const InvokeCase& c = GetParam();
    EXPECT_EQ(object->invoke(c.name, c.kind, c.args, result), c.status);
    EXPECT_EQ(result, c.result);
}

INSTANTIATE_TEST_SUITE_P(
    Members, DispatchInvoke,
    testing::Values(
        InvokeCase{"Count", InvokeKind::PropertyGet, {}, Status::Ok, Variant(3)},
        InvokeCase{"count", InvokeKind::PropertyGet, {}, Status::Ok, Variant(3)},
        InvokeCase{"Missing", InvokeKind::PropertyGet, {}, Status::UnknownName, Variant()},
        InvokeCase{"Count", InvokeKind::Method, {}, Status::UnknownName, Variant()},
        InvokeCase{"Twice", InvokeKind::Method, {Variant(u"21")}, Status::Ok, Variant(42)},
        InvokeCase{"Twice", InvokeKind::Method, {Variant(u"x")}, Status::TypeMismatch, Variant()},
        InvokeCase{"Twice", InvokeKind::Method, {}, Status::BadParamCount, Variant()},
        InvokeCase{"Twice",
                   InvokeKind::Method,
                   {Variant(1), Variant(2)},
                   Status::BadParamCount,
                   Variant()},
        InvokeCase{"Join", InvokeKind::Method, {Variant(u"a")}, Status::Ok, Variant(u"a")},
        InvokeCase{"Join",
                   InvokeKind::Method,
                   {Variant(u"a"), Variant(1), Variant(true)},
                   Status::Ok,
                   Variant(u"a1-1")},
        InvokeCase{"Join", InvokeKind::Method, {}, Status::BadParamCount, Variant()},
        InvokeCase{"Fail", InvokeKind::Method, {}, Status::Exception, Variant()},
        InvokeCase{"Reset", InvokeKind::Method, {}, Status::Ok, Variant()}));

// A raised error carries its description and number out to the caller.
TEST(Dispatch, ExceptionCarriesDescription)
{
    auto object = std::make_shared<Sample>();
    Variant result;
    ExceptionInfo info;
    ASSERT_EQ(object->invoke("Fail", InvokeKind::Method, {}, result, &info), Status::Exception);
    EXPECT_EQ(info.description, u"Object required");
    EXPECT_EQ(info.code, 424);
}

// A write reaches the object; a refused write (wrong kind of value) changes nothing.
TEST(Dispatch, PropertyPutChangesStateOnlyOnSuccess)
{
    auto object = std::make_shared<Sample>();
    Variant result;
    EXPECT_EQ(object->invoke("Count", InvokeKind::PropertyPut, {Variant(8.0)}, result), Status::Ok);
    EXPECT_EQ(object->m_count, 8);
    EXPECT_EQ(object->invoke("Count", InvokeKind::PropertyPut, {Variant(u"many")}, result),
              Status::TypeMismatch);
    EXPECT_EQ(object->invoke("Singleline", InvokeKind::PropertyPut, {Variant(true)}, result),
              Status::UnknownName);
    EXPECT_EQ(object->m_count, 8);
}

// The description lists each member with its kind, parameters and variable-list flag.
TEST(Dispatch, DescribesMembers)
{
    Sample object;
    const MemberInfo* join = object.findMember("JOIN", InvokeKind::Method);
    ASSERT_NE(join, nullptr);
    EXPECT_EQ(join->params.size(), 2u);
    EXPECT_TRUE(join->varArgs);
    EXPECT_EQ(object.findMember("Join", InvokeKind::PropertyGet), nullptr);
    EXPECT_EQ(object.members().size(), 6u);
}

} // namespace
} // namespace marrowtune::com

namespace marrowtune::com {
namespace {

// Members from a table shared by a class reach the instance invoked, alongside its own ones.
class Tabled : public DispatchObject {
public:
    explicit Tabled(int value) : DispatchObject(table()), m_value(value)
    {
        addPropertyGet("Own", VariantType::Int32, [] { return Variant(1); });
    }

private:
    static std::shared_ptr<const MemberTable> table()
    {
        static const auto shared = [] {
            auto t = std::make_shared<MemberTable>();
            MemberInfo value = propertyGet("Value", VariantType::Int32);
            value.isDefault = true;
            t->add(value, [](DispatchObject& self, Invocation& call) {
                call.result = static_cast<Tabled&>(self).m_value;
                return Status::Ok;
            });
            return t;
        }();
        return shared;
    }
    std::int32_t m_value;
};

TEST(Dispatch, SharedMemberTable)
{
    auto a = std::make_shared<Tabled>(5);
    auto b = std::make_shared<Tabled>(6);
    Variant result;
    ASSERT_EQ(a->invoke("value", InvokeKind::PropertyGet, {}, result), Status::Ok);
    EXPECT_EQ(result, Variant(5));
    ASSERT_EQ(b->invoke("Value", InvokeKind::PropertyGet, {}, result), Status::Ok);
    EXPECT_EQ(result, Variant(6));
    EXPECT_EQ(b->members().size(), 2u);
    Variant text;
    ASSERT_EQ(changeType(Variant(ObjectPtr(b)), VariantType::String, text), Status::Ok);
    EXPECT_EQ(text, Variant(u"6"));
}

} // namespace
} // namespace marrowtune::com
