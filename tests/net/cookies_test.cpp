// SPDX-License-Identifier: MIT
#include "net/cookies.h"

#include <gtest/gtest.h>

namespace marrowtune {
namespace {

struct MergeRow {
    Text stored;
    Text received;
    Text merged;
    Text receivedAfter;
};

// Catches wrong order, wrong winner between equal names, a deletion not applied, or spaces and
// empty items treated differently from the list rules.
TEST(MergeCookiesTest, FoldsReceivedIntoStored)
{
    const MergeRow rows[] = {
        {"a=1; b=2", "b=3", "b=3; a=1", "b=3"},
        {"a=1; b=2", "b=deleted", "a=1", "b=deleted"},
        {"a=1", "", "a=1", ""},
        {"", "", "", ""},
        {"", "a=1; b=2", "a=1; b=2", "a=1;b=2"},
        {"x=1; x=2", "", "x=1", ""},
        {"a=hello world", "", "a=helloworld", ""},
        {"a=1;;b=2", "", "a=1; ; b=2", ""},
        {"deleted=1; a=undeleted", "", "deleted=1; a=undeleted", ""},
        {"a=1", "a=2; a=3", "a=2; a=3", "a=2;a=3"},
        {"a=1; flag", "flag", "flag; a=1", "flag"},
        {"a=1;", "b=2;", "b=2; a=1", "b=2;"},
        {"a=1",
         "\xA1\xA1"
         "c=3\xA1\xA1",
         "c=3; a=1", "c=3"},
        {"a=1; b=2", "a=deleted; b=deleted", "", "a=deleted;b=deleted"},
    };
    for (const MergeRow& row : rows) {
        Text stored = row.stored;
        Text received = row.received;
        const Text result = mergeCookies(stored, received);
        EXPECT_EQ(result, row.merged) << row.stored << " + " << row.received;
        EXPECT_EQ(stored, row.merged) << row.stored << " + " << row.received;
        EXPECT_EQ(received, row.receivedAfter) << row.stored << " + " << row.received;
    }
}

// Catches a name cut at the wrong "=" or left untrimmed.
TEST(CookieNameTest, TakesThePartBeforeTheFirstEquals)
{
    const std::pair<Text, Text> rows[] = {
        {"a=1", "a"}, {" a =1=2", "a"}, {"flag", "flag"}, {"", ""}, {"=v", ""}, {" x ", "x"},
    };
    for (const auto& [item, name] : rows) {
        EXPECT_EQ(cookieName(item), name) << item;
    }
}

// Catches a name match that is not exact.
TEST(CookieListHasNameTest, MatchesNamesExactly)
{
    const std::vector<Text> items = {"a=1", "Bb=2", "c"};
    EXPECT_TRUE(cookieListHasName(items, "a"));
    EXPECT_TRUE(cookieListHasName(items, "c"));
    EXPECT_FALSE(cookieListHasName(items, "bb"));
    EXPECT_FALSE(cookieListHasName(items, "a=1"));
    EXPECT_FALSE(cookieListHasName({}, ""));
}

} // namespace
} // namespace marrowtune
