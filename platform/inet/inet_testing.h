#pragma once
// Test seams of the Internet library: make its curl calls fail and shorten its time-outs, so
// the failure paths of its callers can be driven without a broken machine or a long wait.
// Nothing in the program calls these.

#include <chrono>

namespace marrowtune::inet::testing {

/// The curl calls that can be made to fail.
enum class CurlCall {
    GlobalInit, ///< library set-up, made by open(): open() then gives no handle
    EasyInit,   ///< one per request, made by openRequest(): it then gives no handle
    Perform,    ///< the exchange, made by send(): nothing is sent, nothing is answered
};

/// Makes every later `call` fail (or succeed again when `fails` is false).
void setCurlCallFails(CurlCall call, bool fails);
/// The time allowed to establish a connection (15 s unless changed).
void setConnectTimeout(std::chrono::milliseconds timeout);
/// How long a transfer may stay below one byte a second before it is aborted (30 s unless
/// changed; whole seconds, at least 1).
void setNoDataTimeout(std::chrono::seconds timeout);
/// Restores the real curl calls and the documented time-outs.
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
