// SPDX-License-Identifier: MIT
#pragma once
// What both Internet library stand-ins (libcurl's and the Windows library's) share: the table
// of open handles, the request bounds and test seams, the wait hook, and the rules that keep a
// request head to the lines its caller meant. Only the two stand-ins include this.

#include "platform/inet/inet.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace marrowtune::inet {

/// What a Handle points at: an Internet handle, a connection or a request of one stand-in.
struct Object {
    virtual ~Object() = default;
};

namespace detail {

inline constexpr long DefaultConnectTimeoutMs = 15000;
inline constexpr long DefaultNoDataTimeoutS = 30;
inline constexpr long DefaultDeadlineMs = 40000;
inline constexpr std::size_t DefaultSizeCap = 32u * 1024u * 1024u;

/// Puts an object into the table of open handles and gives its handle.
Handle keep(std::shared_ptr<Object> object);
/// The object of an open handle; null for a null or unknown handle.
std::shared_ptr<Object> lookUpObject(Handle handle);
/// The object of an open handle as a T; null for a null or unknown handle or another type.
template <typename T> std::shared_ptr<T> lookUp(Handle handle)
{
    return std::dynamic_pointer_cast<T>(lookUpObject(handle));
}
/// Takes a handle out of the table and gives its object (null when it was not open); callers
/// that still hold a share keep the object alive.
std::shared_ptr<Object> forget(Handle handle);
/// The objects of every open handle.
std::vector<std::shared_ptr<Object>> openObjects();

/// The connect limit in force (milliseconds).
long connectTimeoutMs();
/// How long a transfer may stay below one byte a second (seconds).
long noDataTimeoutS();
/// The overall deadline of one request (milliseconds).
long deadlineMs();
/// The most header and body bytes one request may take in.
std::size_t sizeCap();
/// The wait hook set now (possibly empty).
std::function<void()> currentWaitHook();
/// False when no host map is set (names resolve as usual). Otherwise true, with `address` the
/// address the map gives `host`, or nothing when the map lacks it.
bool lookUpHostMap(const std::string& host, std::optional<std::string>& address);

/// read() over a received body: copies up to `size` bytes from `offset` on into `buffer`,
/// moves `offset` and sets `count`. At the end (count 0) it gives `completed`, so a transfer
/// that broke off reports it there, as a reset connection would.
bool readBody(const std::string& body, std::size_t& offset, bool completed, void* buffer,
              std::size_t size, std::size_t& count);

/// Host names and IP literals only: anything else could change the meaning of the URL the
/// library is given (a "?" or "@" in the host), so such a name is treated as one that does not
/// resolve.
bool isPlainHost(std::string_view host);
/// The request path as it goes out: bytes the URL syntax has no place for, and "#" (which
/// would cut the rest off as a fragment), percent-encoded; a leading "/" added when missing.
std::string escapedPath(std::string_view path);
/// Within one line of the request head, a control byte other than a tab goes out
/// percent-encoded, so neither an agent nor a header line can carry a line of its own.
std::string controlBytesEncoded(std::string_view text);
/// The caller's header lines, without the empty ones (an empty line would end the block).
std::vector<std::string_view> headerLines(std::string_view headers);
/// The name of a header line: the text before its first colon, without the blanks just before
/// the colon; nothing when the line has no colon.
std::optional<std::string_view> headerName(std::string_view line);

} // namespace detail
} // namespace marrowtune::inet
