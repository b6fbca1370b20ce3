// SPDX-License-Identifier: MIT
#pragma once
// The program's Internet library: an Internet handle, a connection and a request, opened,
// used and closed in that order, as the HTTP engine expects of it. Built on libcurl, one easy
// handle per request, without curl's cookie engine and without any cache.
//
// Transfer: send() performs the whole exchange (including any redirects the library follows)
// and keeps the final response's body in memory; read() hands it out in pieces. The raw header
// block is the final response's only.
//
// Bounds (every request blocks its caller, so each is bounded; a transfer that hits one ends
// as a broken one: read() reports the failure at the end of what arrived):
//   - establishing the connection, name resolution included: 15 seconds;
//   - after the connection is made, a transfer that moves less than one byte a second for 30
//     seconds in a row is aborted (so is a server that goes silent). The rate is measured over
//     the last few seconds, so a server that trickles a byte every few seconds is cut off too;
//   - the whole request, connection, redirects and transfer together: 40 seconds, so a server
//     that drips just fast enough for the rule above still cannot hold the caller longer;
//   - what a request takes in, header blocks and bodies of all its responses together: 32 MiB
//     (the largest real answers are well under 2 MB). An announced length over it fails before
//     the body is read; an unannounced one fails as soon as the bound is passed.
// Redirects followed by the library: at most 10 in a row.
//
// Waiting and cancelling: while send() waits on the network it calls the wait hook (see
// setWaitHook) every 20 ms on the waiting thread. Any thread, the hook included, may cancel
// one request or all of them; a cancelled transfer ends at once as a broken one (send() gives
// false when nothing was answered yet). Each call holds its own share of the handle it uses,
// so close() from another thread during send() cancels the transfer and the request is freed
// only after the transfer has let go of it.
//
// On the wire the library adds only what HTTP/1.1 needs of it: the Host line, the agent as
// the User-Agent line (unless the header text carries one) and Content-Length when a body is
// sent; through an http proxy the request line takes the absolute form and, as the Windows
// library's does, a Proxy-Connection line goes with it. It never adds Accept, Content-Type,
// Expect, Accept-Encoding, Cookie or caching lines.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace marrowtune::inet {

/// An open Internet handle, connection or request; null means none.
struct Object;
using Handle = Object*;

/// How an Internet handle reaches servers.
enum class AccessType {
    Direct, ///< straight to the server
    Proxy,  ///< through the proxy list given to open()
};

/// Request flags (the values are those of the Windows Internet library).
inline constexpr std::uint32_t Reload = 0x80000000u;    ///< no cache: always the case here
inline constexpr std::uint32_t NeedFile = 0x00000010u;  ///< accepted; nothing is written to disk
inline constexpr std::uint32_t NoCookies = 0x00080000u; ///< no cookie store: always the case
inline constexpr std::uint32_t NoAutoRedirect = 0x00200000u; ///< 3xx answers come back as they are
inline constexpr std::uint32_t Secure = 0x00800000u; ///< TLS with certificate verification on
/// A followed redirect may go from http to https.
inline constexpr std::uint32_t IgnoreRedirectToHttps = 0x00004000u;
/// A followed redirect may go from https to http.
inline constexpr std::uint32_t IgnoreRedirectToHttp = 0x00008000u;

/// Sets up the network library ahead of the first open, which otherwise does it; a caller with
/// other work to wait for can take that cost out of its first request.
void prepare();
/// Opens an Internet handle. proxyList is a list of "[scheme=]HOST:PORT" entries separated by
/// spaces or ";"; an entry with nothing after "=" (as in "http=") means a direct connection for
/// that scheme. bypassList names hosts reached directly. Null on failure.
Handle open(std::string_view agent, AccessType access, std::string_view proxyList = {},
            std::string_view bypassList = {});
/// A connection to host:port (port 0: 443 for secure requests, else 80). Nothing is sent yet;
/// null for a null or wrong handle, an empty host or a port outside 0..65535.
Handle connect(Handle internet, std::string_view host, int port);
/// A request for `path` with `verb` and `version` ("HTTP/1.1", "HTTP/1.0" or empty for 1.1).
/// Null for a null or wrong handle, an empty verb or an unknown version.
Handle openRequest(Handle connection, std::string_view verb, std::string_view path,
                   std::string_view version, std::uint32_t flags);
/// Sends the request: `headers` holds header lines separated by CR LF (empty lines are not put
/// on the wire); `body` with `bodySize` bytes is sent when not null (a POST always carries a
/// Content-Length). Performs the exchange; false when no response came back at all.
bool send(Handle request, std::string_view headers, const void* body, std::size_t bodySize);
/// Copies up to `size` body bytes into `buffer` and sets `count`; a count of 0 marks the end.
/// False (count 0) for a request that was never answered, or once the body is exhausted when
/// the transfer broke off part-way.
bool read(Handle request, void* buffer, std::size_t size, std::size_t& count);
/// The body bytes not read yet, once send() has ended; nothing for a request without an answer.
std::optional<std::size_t> queryDataAvailable(Handle request);
/// The final response's header block: the status line, one header a line, CR LF line ends
/// and an empty line at the end. Nothing when there was no response or when the block with a
/// terminating zero does not fit in `bufferSize` bytes.
std::optional<std::string> queryRawHeaders(Handle request, std::size_t bufferSize);
/// Closes any handle; false for a null or unknown handle. Handles may be closed in any order;
/// closing a request cancels its transfer.
bool close(Handle handle);

/// Tighter bounds for the requests sent from the calling thread while the object lives (where
/// the bounds above are tighter, they stay in force): an overall deadline, and the most header
/// and body bytes a request takes in. A transfer cut by either ends as a broken one; the header
/// block of an answer that came stays readable.
class ScopedRequestBounds {
public:
    ScopedRequestBounds(std::chrono::milliseconds deadline, std::size_t sizeCap);
    ~ScopedRequestBounds();
    ScopedRequestBounds(const ScopedRequestBounds&) = delete;
    ScopedRequestBounds& operator=(const ScopedRequestBounds&) = delete;

private:
    long m_previousDeadline;
    std::size_t m_previousCap;
};

/// Sets the function every waiting send() calls at least every 20 ms, process-wide, on the
/// waiting thread (an empty function: send() just blocks). The hook may run an event loop but
/// must not start another request from within itself.
void setWaitHook(std::function<void()> hook);
/// Ends every open request's transfer, running or about to run, as a failure; thread-safe and
/// callable from the wait hook. Requests opened afterwards are not affected.
void cancelAll();
/// Ends one request's transfer as a failure; thread-safe. False for a null or unknown handle.
bool cancel(Handle request);

} // namespace marrowtune::inet
