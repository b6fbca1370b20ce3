// SPDX-License-Identifier: MIT
#include "platform/com/runtime.h"

#include <gtest/gtest.h>
#include <thread>

namespace marrowtune::com {
namespace {

class Plain : public DispatchObject {};

void registerTestClass()
{
    static const bool once = registerClass("Test.Plain", "{11111111-2222-3333-4444-555555555555}",
                                           [] { return std::make_shared<Plain>(); });
    (void)once;
}

class Runtime : public testing::Test {
protected:
    void SetUp() override { registerTestClass(); }
};

// Creating on a thread that has not initialised fails, as on the real platform, and the
// counting keeps the library up until the last uninitialise.
TEST_F(Runtime, CreationNeedsCountedInitialisation)
{
    ObjectPtr object;
    EXPECT_EQ(createObject("Test.Plain", object), Status::NotInitialized);
    EXPECT_EQ(object, nullptr);

    ASSERT_EQ(initialize(), Status::Ok);
    ASSERT_EQ(initialize(), Status::Ok);
    uninitialize();
    EXPECT_EQ(createObject("Test.Plain", object), Status::Ok);
    EXPECT_NE(object, nullptr);
    uninitialize();
    uninitialize(); // one too many: harmless
    EXPECT_FALSE(isInitialized());
    ObjectPtr again;
    EXPECT_EQ(createObject("Test.Plain", again), Status::NotInitialized);
}

// Initialisation belongs to a thread: another thread starts uninitialised.
TEST_F(Runtime, InitialisationIsPerThread)
{
    initialize();
    Status other = Status::Ok;
    std::thread([&] {
        ObjectPtr object;
        other = createObject("Test.Plain", object);
    }).join();
    EXPECT_EQ(other, Status::NotInitialized);
    uninitialize();
}

struct NameCase {
    const char* name;
    Status status;
};

class RuntimeNames : public Runtime, public testing::WithParamInterface<NameCase> {};

// Program identifiers and braced class identifiers both reach the class; anything else fails.
TEST_P(RuntimeNames, CreateByName)
{
    initialize();
    ObjectPtr object;
    EXPECT_EQ(createObject(GetParam().name, object), GetParam().status);
    EXPECT_EQ(object != nullptr, GetParam().status == Status::Ok);
    uninitialize();
}

INSTANTIATE_TEST_SUITE_P(
    Names, RuntimeNames,
    testing::Values(NameCase{"Test.Plain", Status::Ok}, NameCase{"test.plain", Status::Ok},
                    NameCase{"{11111111-2222-3333-4444-555555555555}", Status::Ok},
                    NameCase{"11111111-2222-3333-4444-555555555555", Status::ClassNotRegistered},
                    NameCase{"{Test.Plain}", Status::ClassNotRegistered},
                    NameCase{"Test.Missing", Status::ClassNotRegistered},
                    NameCase{"", Status::ClassNotRegistered}));

// A second class cannot take a name already registered, nor register without braces.
TEST_F(Runtime, RefusesTakenOrMalformedNames)
{
    auto factory = [] { return std::make_shared<Plain>(); };
    EXPECT_FALSE(registerClass("TEST.PLAIN", "{99999999-0000-0000-0000-000000000000}", factory));
    EXPECT_FALSE(registerClass("Test.Other", "{11111111-2222-3333-4444-555555555555}", factory));
    EXPECT_FALSE(registerClass("Test.Other", "no-braces", factory));
    EXPECT_FALSE(registerClass("Test.Other", "{99999999-0000-0000-0000-000000000000}", nullptr));
    EXPECT_FALSE(isRegistered("Test.Other"));
}

} // namespace
} // namespace marrowtune::com
