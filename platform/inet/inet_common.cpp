// SPDX-License-Identifier: MIT
#include "platform/inet/inet_common.h"

#include "base/percent.h"
#include "platform/inet/inet_testing.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <unordered_map>

namespace marrowtune::inet {
namespace {

std::atomic<long> connectTimeout{detail::DefaultConnectTimeoutMs};
std::atomic<long> noDataTimeout{detail::DefaultNoDataTimeoutS};
std::atomic<long> deadline{detail::DefaultDeadlineMs};
std::atomic<std::size_t> cap{detail::DefaultSizeCap};

// Bounds the calling thread set for its own requests (ScopedRequestBounds); 0: none.
thread_local long threadDeadline = 0;
thread_local std::size_t threadCap = 0;

std::mutex settingsMutex;
std::function<void()> waitHook;
std::optional<std::map<std::string, std::string>> hostMap;

// Every handle given out and not yet closed, so that a stale or foreign handle is refused
// instead of being dereferenced. Each call that uses a handle holds its own share of the
// object, so a close() from another thread only drops the table's share: the object goes
// when the last user (a running transfer, say) lets go of it.
std::mutex liveMutex;
std::unordered_map<Object*, std::shared_ptr<Object>> liveHandles;

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

} // namespace

namespace detail {

Handle keep(std::shared_ptr<Object> object)
{
    std::lock_guard lock(liveMutex);
    Object* raw = object.get();
    liveHandles.emplace(raw, std::move(object));
    return raw;
}

std::shared_ptr<Object> lookUpObject(Handle handle)
{
    if (handle == nullptr) {
        return nullptr;
    }
    std::lock_guard lock(liveMutex);
    const auto found = liveHandles.find(handle);
    return found == liveHandles.end() ? nullptr : found->second;
}

std::shared_ptr<Object> forget(Handle handle)
{
    std::lock_guard lock(liveMutex);
    const auto found = liveHandles.find(handle);
    if (found == liveHandles.end()) {
        return nullptr;
    }
    std::shared_ptr<Object> object = std::move(found->second);
    liveHandles.erase(found);
    return object;
}

std::vector<std::shared_ptr<Object>> openObjects()
{
    std::lock_guard lock(liveMutex);
    std::vector<std::shared_ptr<Object>> objects;
    objects.reserve(liveHandles.size());
    for (const auto& [raw, object] : liveHandles) {
        objects.push_back(object);
    }
    return objects;
}

long connectTimeoutMs()
{
    return connectTimeout.load();
}

long noDataTimeoutS()
{
    return noDataTimeout.load();
}

long deadlineMs()
{
    return threadDeadline > 0 ? std::min(threadDeadline, deadline.load()) : deadline.load();
}

std::size_t sizeCap()
{
    return threadCap > 0 ? std::min(threadCap, cap.load()) : cap.load();
}

std::function<void()> currentWaitHook()
{
    std::lock_guard lock(settingsMutex);
    return waitHook;
}

bool lookUpHostMap(const std::string& host, std::optional<std::string>& address)
{
    std::lock_guard lock(settingsMutex);
    if (!hostMap) {
        return false;
    }
    const auto found = hostMap->find(host);
    address = found == hostMap->end() ? std::nullopt : std::optional<std::string>(found->second);
    return true;
}

bool readBody(const std::string& body, std::size_t& offset, bool completed, void* buffer,
              std::size_t size, std::size_t& count)
{
    count = std::min(size, body.size() - offset);
    if (count == 0) {
        return completed;
    }
    std::memcpy(buffer, body.data() + offset, count);
    offset += count;
    return true;
}

bool isPlainHost(std::string_view host)
{
    return !host.empty() && std::all_of(host.begin(), host.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '-' || c == '.' || c == '_' || c == ':';
    });
}

std::string escapedPath(std::string_view path)
{
    // Everything the URL syntax has a place for goes out as the caller wrote it.
    const std::string escaped = percentEncoded(path, isUnsafeInPath);
    return path.empty() || path.front() != '/' ? "/" + escaped : escaped;
}

std::string controlBytesEncoded(std::string_view text)
{
    return percentEncoded(text, isLineBreaking);
}

std::vector<std::string_view> headerLines(std::string_view headers)
{
    std::vector<std::string_view> lines;
    while (!headers.empty()) {
        const std::size_t end = headers.find_first_of("\r\n");
        const std::string_view line = headers.substr(0, end);
        headers = end == std::string_view::npos ? std::string_view{} : headers.substr(end + 1);
        if (!line.empty()) {
            lines.push_back(line);
        }
    }
    return lines;
}

std::optional<std::string_view> headerName(std::string_view line)
{
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view name = line.substr(0, colon);
    while (!name.empty() && isBlank(name.back())) {
        name.remove_suffix(1);
    }
    return name;
}

} // namespace detail

void setWaitHook(std::function<void()> hook)
{
    std::lock_guard lock(settingsMutex);
    waitHook = std::move(hook);
}

ScopedRequestBounds::ScopedRequestBounds(std::chrono::milliseconds deadlineLimit,
                                         std::size_t sizeCap)
    : m_previousDeadline(threadDeadline), m_previousCap(threadCap)
{
    threadDeadline = std::max<long>(1, static_cast<long>(deadlineLimit.count()));
    threadCap = std::max<std::size_t>(1, sizeCap);
}

ScopedRequestBounds::~ScopedRequestBounds()
{
    threadDeadline = m_previousDeadline;
    threadCap = m_previousCap;
}

namespace testing {

void setConnectTimeout(std::chrono::milliseconds timeout)
{
    connectTimeout = std::max<long>(1, static_cast<long>(timeout.count()));
}

void setNoDataTimeout(std::chrono::seconds timeout)
{
    noDataTimeout = std::max<long>(1, static_cast<long>(timeout.count()));
}

void setDeadline(std::chrono::milliseconds limit)
{
    deadline = std::max<long>(1, static_cast<long>(limit.count()));
}

void setSizeCap(std::size_t bytes)
{
    cap = bytes;
}

void setHostMap(std::optional<std::map<std::string, std::string>> hosts)
{
    std::lock_guard lock(settingsMutex);
    hostMap = std::move(hosts);
}

void resetSeams()
{
    setLibraryCallFails(LibraryCall::Open, false);
    setLibraryCallFails(LibraryCall::OpenRequest, false);
    setLibraryCallFails(LibraryCall::Send, false);
    setConnectTimeout(std::chrono::milliseconds(detail::DefaultConnectTimeoutMs));
    setNoDataTimeout(std::chrono::seconds(detail::DefaultNoDataTimeoutS));
    setDeadline(std::chrono::milliseconds(detail::DefaultDeadlineMs));
    setSizeCap(detail::DefaultSizeCap);
    setHostMap(std::nullopt);
}

} // namespace testing
} // namespace marrowtune::inet
