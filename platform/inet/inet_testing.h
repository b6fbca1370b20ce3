// SPDX-License-Identifier: MIT
#pragma once
// Test seams of the Internet library: make the network library's set-up calls fail and
// shorten its time-outs, so the failure paths of its callers can be driven without a broken
// machine or a long wait. Nothing in the program calls these.

#include <chrono>
#include <cstddef>
#include <map>
#include <optional>
#include <string>

namespace marrowtune::inet::testing {

/// The network library's calls that can be made to fail, named by the operation that makes
/// them (whichever library is underneath).
enum class LibraryCall {
    Open,        ///< the library's set-up, made by open(): open() then gives no handle
    OpenRequest, ///< one per request, made by openRequest(): it then gives no handle
    Send,        ///< the transfer's set-up, made by send(): nothing is sent, nothing is answered
};

/// Makes every later `call` fail (or succeed again when `fails` is false).
void setLibraryCallFails(LibraryCall call, bool fails);
/// The time allowed to establish a connection (15 s unless changed).
void setConnectTimeout(std::chrono::milliseconds timeout);
/// How long a transfer may stay below one byte a second before it is aborted (30 s unless
/// changed; whole seconds, at least 1).
void setNoDataTimeout(std::chrono::seconds timeout);
/// The overall deadline of one request (40 s unless changed).
void setDeadline(std::chrono::milliseconds deadline);
/// The most header and body bytes one request may take in (32 MiB unless changed).
void setSizeCap(std::size_t bytes);
/// Replaces name resolution: a host named in `hosts` connects to its address (on the
/// request's own port), an IP literal to itself, and any other name fails as one that does not
/// resolve, without a look-up. Nothing restores the system resolver.
void setHostMap(std::optional<std::map<std::string, std::string>> hosts);
/// Restores the real library calls, the documented time-outs and bounds, and the resolver.
void resetSeams();

/// Restores the seams when a test ends, whatever it changed.
class ScopedSeams {
public:
    ScopedSeams() = default;
    ScopedSeams(const ScopedSeams&) = delete;
    ScopedSeams& operator=(const ScopedSeams&) = delete;
    ~ScopedSeams() { resetSeams(); }
};

} // namespace marrowtune::inet::testing
