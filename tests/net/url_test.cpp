// SPDX-License-Identifier: MIT
#include "net/url.h"

#include <gtest/gtest.h>

namespace marrowtune {
namespace {

struct UrlCase {
    const char* url;
    const char* host;
    int port;
    const char* path;
};

// Host lower case without port, port by scheme or number, path in the input's case.
TEST(UrlTest, HostPortPath)
{
    const UrlCase cases[] = {
        {"http://a.b.c/x/y?z=1", "a.b.c", 80, "/x/y?z=1"},
        {"HTTP://A.B.C:8080", "a.b.c", 8080, "/"},
        {"a.b.c/x", "a.b.c", 80, "/x"},
        {"https://b.c", "b.c", 443, "/"},
        {"https://b.c:8443/p", "b.c", 8443, "/p"},
        {"http://h?x=1", "h?x=1", 80, "/"},
        {"http://h:/x", "h", 0, "/x"},
        {"http://Host.COM/Path/File.HTML", "host.com", 80, "/Path/File.HTML"},
        {"", "", 80, "/"},
        {"http://127.0.0.1:18990/fcg-bin/a.fcg?uin=1", "127.0.0.1", 18990, "/fcg-bin/a.fcg?uin=1"},
        {"http://h:abc/", "h", 0, "/"},
        // A host that also occurs inside the scheme must not move the path to the scheme.
        {"http://t/x", "t", 80, "/x"},
        {"https://s/y", "s", 443, "/y"},
        // A scheme-less URL whose query holds a link is still taken as http to its own host.
        {"a.b/x?u=http://c/", "a.b", 80, "/x?u=http://c/"},
    };
    for (const UrlCase& c : cases) {
        EXPECT_EQ(urlHost(c.url), c.host) << c.url;
        EXPECT_EQ(urlPort(c.url), c.port) << c.url;
        EXPECT_EQ(urlPath(c.url), c.path) << c.url;
    }
}

TEST(UrlTest, HostSwitches)
{
    EXPECT_EQ(urlHost("http://a.b.c:81/x", false, true), "a.b.c:81");
    EXPECT_EQ(urlHost("http://a.b.c/x", true, false), "b.c");
    EXPECT_EQ(urlHost("http://localhost/x", true, false), "localhost");
}

} // namespace
} // namespace marrowtune
