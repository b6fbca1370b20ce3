// SPDX-License-Identifier: MIT
#include "platform/inet/curl_calls.h"

#include "platform/inet/inet_testing.h"

#include <array>
#include <atomic>
#include <cstddef>

namespace marrowtune::inet {
namespace {

std::array<std::atomic<bool>, 3> failingCalls{};

bool fails(testing::LibraryCall call)
{
    return failingCalls[static_cast<std::size_t>(call)].load();
}

} // namespace

namespace testing {

void setLibraryCallFails(LibraryCall call, bool fails)
{
    failingCalls[static_cast<std::size_t>(call)] = fails;
}

} // namespace testing

namespace detail {

bool curlGlobalInit()
{
    if (fails(testing::LibraryCall::Open)) {
        return false;
    }
    // A function-local static gives the one thread-safe initialisation the library asks for.
    static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return initialised;
}

CURL* curlEasyInit()
{
    if (fails(testing::LibraryCall::OpenRequest)) {
        return nullptr;
    }
    return curl_easy_init();
}

CURLM* curlMultiInit()
{
    if (fails(testing::LibraryCall::Send)) {
        return nullptr;
    }
    return curl_multi_init();
}

void curlMultiCleanup(CURLM* multi)
{
    if (multi != nullptr) {
        curl_multi_cleanup(multi);
    }
}

void curlEasyCleanup(CURL* easy)
{
    if (easy != nullptr) {
        curl_easy_cleanup(easy);
    }
}

} // namespace detail
} // namespace marrowtune::inet
