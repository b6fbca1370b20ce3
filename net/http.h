// SPDX-License-Identifier: MIT
#pragma once
// The HTTP engine: one synchronous exchange per call over the Internet library. Nothing is
// kept between calls; cookie continuity is the caller's cookie text, updated in place.

#include "net/text.h"

#include <functional>
#include <optional>

namespace marrowtune {

/// The agent sent when the caller's header text has no User-Agent line.
inline constexpr std::string_view DefaultAgent =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; Kovu; .NET CLR 2.0.50727; "
    ".NET CLR 3.0.04506.648; .NET CLR 3.5.21022)";

/// Performs one exchange with `url` and returns the response body (empty on any failure; an
/// answer that ended short, or a request cut off by a time limit, the size bound or a cancel,
/// is a failure too, and then the raw header block is empty as well).
/// method 1 sends POST, any other value GET; every method but 0 sends a body: `formBytes`, or
/// when that is empty the bytes of `formText` (left in `formBytes`). `headers` is completed in
/// place with the default lines it lacks and `cookies` (sent when not empty) is replaced by the
/// merged cookie list; `newCookies` receives the cookies the response set, `location` the value
/// of its last Location line (or, when none came and it is still empty, the raw header text),
/// `rawHeaders` the response's raw header block. A present `proxy`, even empty, opens the
/// connection through the proxy list "http=" + proxy. A null pointer means the caller passes
/// nothing. Redirects are followed by the library unless `noRedirect`.
ByteBuffer httpRequest(const Text& url, int method = 0, const Text& formText = {},
                       Text* cookies = nullptr, Text* newCookies = nullptr, Text* headers = nullptr,
                       Text* location = nullptr, bool noRedirect = false,
                       ByteBuffer* formBytes = nullptr,
                       const std::optional<Text>& proxy = std::nullopt, Text* rawHeaders = nullptr);

/// httpRequest with every parameter counted present (an omitted proxy is a present empty
/// text); the body as text, ending before its first zero byte.
Text httpGetText(const Text& url, int method = 0, const Text& formText = {},
                 Text* cookies = nullptr, Text* newCookies = nullptr, Text* headers = nullptr,
                 Text* location = nullptr, bool noRedirect = false, ByteBuffer* formBytes = nullptr,
                 const std::optional<Text>& proxy = Text{}, Text* rawHeaders = nullptr);

/// What a server answered a probe of a link.
struct ProbeAnswer {
    std::optional<int> status; ///< the final answer's status code; nothing when none came
    Text contentType;          ///< its Content-Type value (empty when it had none)
};

/// Asks for the first two bytes of `url` (a GET with "Range: bytes=0-1" besides the default
/// lines, redirects followed, `proxy` as httpRequest's) within the engine's bounds and tighter
/// ones: the whole probe at most 10 s, and little of a body taken in when the server ignores the
/// range. Only the head counts, so an answer whose body was cut short still gives its status.
ProbeAnswer probeUrl(const Text& url, const std::optional<Text>& proxy);

/// Sets the function every request calls at least every 20 ms while it waits on the network,
/// on the waiting thread (an empty function: requests just block). The hook may run an event
/// loop but must not start another request from within itself.
void setRequestWaitHook(std::function<void()> hook);
/// Sets up the network library now instead of in the first request.
void prepareRequests();
/// Ends every request under way, or about to start, as a failure; thread-safe and callable
/// from the wait hook. Requests started afterwards are not affected.
void cancelAllRequests();

/// The response header scan of httpRequest: `location` takes the value of the last line holding
/// "Location:" (or, when none came and it is still empty, the whole block), `newCookies` the
/// name=value items of the lines holding "Set-Cookie", joined by "; ".
void scanRawHeaders(const Text& rawHeaders, Text& location, Text& newCookies);

/// The text after the first ":" of a header line, trimmed; empty when there is no ":".
Text headerValue(const Text& line);

/// The agent for a request header text: the trimmed value of its User-Agent line (the name
/// found ignoring case), or DefaultAgent when it has none.
Text requestAgent(const Text& headers);

} // namespace marrowtune
