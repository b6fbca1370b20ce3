// SPDX-License-Identifier: MIT
// Taking URLs apart: host, port and path of arbitrary bytes.
//
// Input: a flags byte, then the URL.

#include "fuzz/fuzz_input.h"
#include "net/url.h"

using namespace marrowtune;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput input(data, size);
    const std::uint8_t flags = input.byte();
    const Text url = input.rest();
    const bool domainOnly = (flags & 1) != 0;
    const bool keepPort = (flags & 2) != 0;

    // The host is in lower case (ASCII letters outside double-byte characters) and, without
    // its port, holds no ":".
    const Text host = urlHost(url, domainOnly, keepPort);
    FUZZ_CHECK(toLowerText(host) == host);
    FUZZ_CHECK(host.size() <= url.size());
    if (!keepPort)
        FUZZ_CHECK(findText(host, ":") == -1);

    const int port = urlPort(url);
    if (findText(urlHost(url, false, true), ":") == -1)
        FUZZ_CHECK(port == 80 || port == 443);

    // The path starts with "/" and is the URL's own tail, or the lone "/" when it has none.
    const Text path = urlPath(url);
    FUZZ_CHECK(path.starts_with('/'));
    FUZZ_CHECK(path == "/" || url.ends_with(path));
    return 0;
}
