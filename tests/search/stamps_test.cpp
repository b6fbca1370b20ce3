// SPDX-License-Identifier: MIT
#include "platform/system_classes.h"
#include "search/stamps.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace marrowtune {
namespace {

bool isStampForm(const Text& stamp)
{
    if (stamp.size() != 17 || stamp.compare(0, 2, "0.") != 0) {
        return false;
    }
    for (std::size_t i = 2; i < stamp.size(); ++i) {
        if (stamp[i] < '0' || stamp[i] > '9') {
            return false;
        }
    }
    return true;
}

std::int64_t nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

class StampsTest : public testing::Test {
protected:
    void SetUp() override { registerSystemClasses(); }
};

// Catches a stamp in another unit or form than thirteen decimal digits of milliseconds, also
// from a host started in the background beforehand (twice: a second start changes nothing).
TEST_F(StampsTest, TimeStampIsThirteenDigitsOfMilliseconds)
{
    prepareStampScript();
    prepareStampScript();
    const std::int64_t before = nowMs();
    const Text stamp = makeTimeStamp();
    const std::int64_t after = nowMs();
    ASSERT_EQ(stamp.size(), 13u) << stamp;
    ASSERT_EQ(stamp.find_first_not_of("0123456789"), Text::npos) << stamp;
    EXPECT_GE(std::stoll(stamp), before);
    EXPECT_LE(std::stoll(stamp), after);
}

// Catches random stamps of the wrong length or form, and the loop not letting events run.
TEST_F(StampsTest, RandomStampIsAlwaysSeventeenCharacters)
{
    std::vector<Text> stamps;
    for (int i = 0; i < 40; ++i) {
        int events = 0;
        stamps.push_back(makeRandomStamp([&] { ++events; }));
        EXPECT_TRUE(isStampForm(stamps.back())) << stamps.back();
        EXPECT_GE(events, 1);
    }
    std::sort(stamps.begin(), stamps.end());
    EXPECT_EQ(std::unique(stamps.begin(), stamps.end()), stamps.end());
}

struct LoopCase {
    const char* name;
    std::vector<Text> draws;
    Text expected;
    int events;
};

class RandomStampLoop : public testing::TestWithParam<LoopCase> {};

// Catches texts of the wrong length accepted, a missing leading zero, or events not run
// after every draw.
TEST_P(RandomStampLoop, KeepsDrawingUntilSeventeenCharacters)
{
    std::size_t next = 0;
    int events = 0;
    const Text stamp = makeRandomStampFrom(
        [&] { return next < GetParam().draws.size() ? GetParam().draws[next++] : Text(); },
        [&] { ++events; });
    EXPECT_EQ(stamp, GetParam().expected);
    EXPECT_EQ(events, GetParam().events);
}

INSTANTIATE_TEST_SUITE_P(
    Draws, RandomStampLoop,
    testing::Values(LoopCase{"first", {"0.548813503927325"}, "0.548813503927325", 1},
                    LoopCase{"noLeadingZero", {".548813503927325"}, "0.548813503927325", 1},
                    LoopCase{"rejected",
                             {"0.0548813503927325", "0.54881350392732", "5.48813503927325E-05", "",
                              "0.715189366372419"},
                             "0.715189366372419",
                             5}),
    [](const testing::TestParamInfo<LoopCase>& param) { return param.param.name; });

// Catches the loop never ending when no host can evaluate: the program's own source steps in
// after the bound, in the same form.
TEST(RandomStamp, HostThatNeverEvaluatesStillGivesAStamp)
{
    int draws = 0;
    int events = 0;
    const Text stamp = makeRandomStampFrom(
        [&] {
            ++draws;
            return Text();
        },
        [&] { ++events; });
    EXPECT_TRUE(isStampForm(stamp)) << stamp;
    EXPECT_EQ(draws, RandomStampDraws);
    EXPECT_EQ(events, RandomStampDraws);
    EXPECT_TRUE(isStampForm(makeRandomStampFrom(nullptr, nullptr)));
}

// Catches own stamps that a host could never have printed (a first or last digit 0).
TEST(RandomStamp, OwnStampsHaveTheHostForm)
{
    for (int i = 0; i < 200; ++i) {
        const Text stamp = ownRandomStamp();
        ASSERT_TRUE(isStampForm(stamp)) << stamp;
        EXPECT_NE(stamp[2], '0');
        EXPECT_NE(stamp[16], '0');
    }
}

} // namespace
} // namespace marrowtune
