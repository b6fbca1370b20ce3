// SPDX-License-Identifier: MIT
#pragma once
// The one place from which the Internet library calls libcurl's life-cycle functions, so that
// a test can make them fail (see inet_testing.h).

#include <curl/curl.h>

namespace marrowtune::inet::detail {

/// curl_global_init, made once for the process; false when it (or the seam) fails.
bool curlGlobalInit();
/// curl_easy_init; null when it (or the seam) fails.
CURL* curlEasyInit();
/// curl_multi_init, which every transfer runs on; null when it (or the seam) fails, and the
/// transfer then fails as one that could not connect.
CURLM* curlMultiInit();
/// curl_multi_cleanup; a null handle is ignored.
void curlMultiCleanup(CURLM* multi);
/// curl_easy_cleanup; a null handle is ignored.
void curlEasyCleanup(CURL* easy);

} // namespace marrowtune::inet::detail
