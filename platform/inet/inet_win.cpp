// SPDX-License-Identifier: MIT
#include "base/ascii.h"
#include "platform/inet/inet.h"
#include "platform/inet/inet_common.h"
#include "platform/inet/inet_testing.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>
#include <windows.h>
#include <wininet.h>

// The Windows Internet library does the work. Its time-out options cannot be relied on: Wine
// ignores the connect time-out (a dropped connect waits for the system's own, minutes), and
// honours the receive and send time-outs only when they are set on the connection or request
// handle. So the whole exchange (request, redirects, body) runs on a worker thread and the
// caller waits for it under its own watchdog, calling the wait hook as it waits: when a limit
// passes or the request is cancelled, the caller goes on with what had arrived, while the
// worker finishes in the background with its own references to everything it uses.
//
// Once sent, the request handle is the worker's alone: it stops at its next call's return and
// closes the handle itself. A handle closed from the waiting thread instead would leave the
// worker holding a value the library may already have handed to the next request (and Wine
// does not end a blocked call on a close anyway: the request handle's own time-outs do).

namespace marrowtune::inet {

namespace {

using detail::controlBytesEncoded;
using detail::escapedPath;
using detail::isPlainHost;
using detail::keep;
using detail::lookUp;
using Clock = std::chrono::steady_clock;

constexpr auto HookInterval = std::chrono::milliseconds(20);

std::array<std::atomic<bool>, 3> failingCalls{};

bool fails(testing::LibraryCall call)
{
    return failingCalls[static_cast<std::size_t>(call)].load();
}

// One handle of the Internet library. A child keeps its parent open, so the program may close
// our handles in any order while the library sees children closed before their parents.
struct LibraryHandle {
    explicit LibraryHandle(std::shared_ptr<LibraryHandle> parentHandle)
        : parent(std::move(parentHandle))
    {
    }
    ~LibraryHandle() { closeNow(); }
    LibraryHandle(const LibraryHandle&) = delete;
    LibraryHandle& operator=(const LibraryHandle&) = delete;

    // Closes the library's handle, once.
    void closeNow()
    {
        if (HINTERNET h = handle.exchange(nullptr)) {
            InternetCloseHandle(h);
        }
    }

    std::atomic<HINTERNET> handle{nullptr};
    std::shared_ptr<LibraryHandle> parent;
    // Progress of a request, reported by the library's status callback and the worker.
    std::atomic<bool> connected{false};
    std::atomic<Clock::rep> lastProgress{0};
};

void markProgress(LibraryHandle& request)
{
    request.lastProgress = Clock::now().time_since_epoch().count();
}

void CALLBACK onStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID, DWORD)
{
    auto* request = reinterpret_cast<LibraryHandle*>(context);
    if (request == nullptr) {
        return;
    }
    switch (status) {
    case INTERNET_STATUS_CONNECTED_TO_SERVER:
    case INTERNET_STATUS_REQUEST_SENT:
    case INTERNET_STATUS_RECEIVING_RESPONSE:
    case INTERNET_STATUS_RESPONSE_RECEIVED:
        request->connected = true;
        markProgress(*request);
        break;
    default:
        break;
    }
}

struct InternetObject final : Object {
    std::shared_ptr<LibraryHandle> library;
    std::string agent;
};

struct ConnectionObject final : Object {
    std::shared_ptr<LibraryHandle> internet;
    std::string host;
    int port = 0;
    std::string agent;
};

// One exchange, shared by the worker that runs it and the caller that waits for it.
struct Transfer {
    std::shared_ptr<LibraryHandle> request;
    std::string body;
    bool hasBody = false;
    std::size_t cap = detail::DefaultSizeCap;

    std::mutex mutex;
    std::condition_variable changed;
    bool begun = false;
    Clock::time_point begunAt;
    bool done = false;
    bool abandoned = false; // the caller went on; the worker keeps nothing more
    bool answered = false;
    bool completed = false;
    std::string rawHeaders;
    std::string received;
};

struct RequestObject final : Object {
    std::shared_ptr<LibraryHandle> library;
    std::string host;
    std::string agent;
    std::atomic<bool> cancelled{false};

    std::mutex mutex; // guards the state below against a send() on another thread
    bool sent = false;
    bool ended = false;
    bool answered = false;
    bool completed = false;
    std::string rawHeaders;
    std::string body;
    std::size_t readOffset = 0;
};

bool isIpLiteral(std::string_view host)
{
    return host.find(':') != std::string_view::npos ||
           std::all_of(host.begin(), host.end(),
                       [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
}

bool namesLine(std::string_view line, std::string_view name)
{
    const std::optional<std::string_view> lineName = detail::headerName(line);
    return lineName && equalsIgnoringAsciiCase(*lineName, name);
}

void addLine(HINTERNET request, std::string_view line, DWORD how)
{
    const std::string withEnd = controlBytesEncoded(line) + "\r\n";
    HttpAddRequestHeadersA(request, withEnd.c_str(), static_cast<DWORD>(withEnd.size()), how);
}

void setTimeout(HINTERNET handle, DWORD option, long milliseconds)
{
    DWORD value = static_cast<DWORD>(std::clamp<long>(milliseconds, 1, LONG_MAX));
    InternetSetOptionA(handle, option, &value, sizeof value);
}

// The final response's header block, asked for its size first: Wine's HttpQueryInfoA writes a
// block that does not fit rather than failing.
std::string rawHeaderBlock(HINTERNET request)
{
    DWORD length = 0;
    if (HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, nullptr, &length, nullptr) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER || length == 0) {
        return {};
    }
    std::string block(length, '\0');
    if (!HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, block.data(), &length, nullptr)) {
        return {};
    }
    block.resize(std::min<std::size_t>(length, block.size()));
    while (!block.empty() && block.back() == '\0') {
        block.pop_back();
    }
    return block;
}

// The worker: the exchange and the whole body, within the size cap.
void runTransfer(const std::shared_ptr<Transfer>& transfer)
{
    {
        std::lock_guard lock(transfer->mutex);
        transfer->begun = true;
        transfer->begunAt = Clock::now();
        transfer->changed.notify_all();
    }
    LibraryHandle& library = *transfer->request;
    HINTERNET h = library.handle;
    const auto abandoned = [&transfer] {
        std::lock_guard lock(transfer->mutex);
        return transfer->abandoned;
    };
    const bool ok =
        h != nullptr &&
        HttpSendRequestA(h, nullptr, 0, transfer->hasBody ? transfer->body.data() : nullptr,
                         static_cast<DWORD>(transfer->body.size())) != FALSE;
    bool completed = false;
    if (ok && !abandoned()) {
        markProgress(library);
        std::string headers = rawHeaderBlock(h);
        const std::size_t headerSize = headers.size();
        std::size_t taken = headerSize;
        {
            std::lock_guard lock(transfer->mutex);
            transfer->answered = true;
            transfer->rawHeaders = std::move(headers);
        }
        DWORD announced = 0;
        DWORD size = sizeof announced;
        if (!HttpQueryInfoA(h, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &announced,
                            &size, nullptr)) {
            announced = 0;
        }
        const bool tooLarge = taken + announced > transfer->cap;
        std::vector<char> piece(16384);
        while (!tooLarge) {
            DWORD got = 0;
            if (!InternetReadFile(h, piece.data(), static_cast<DWORD>(piece.size()), &got)) {
                break; // broken off, cut by the watchdog or cancelled
            }
            if (got == 0) {
                // Wine reports a connection closed before the announced length as the end.
                completed = announced == 0 || taken - headerSize >= announced;
                break;
            }
            markProgress(library);
            taken += got;
            std::lock_guard lock(transfer->mutex);
            if (transfer->abandoned || taken > transfer->cap) {
                break;
            }
            transfer->received.append(piece.data(), got);
        }
    }
    library.closeNow();
    std::lock_guard lock(transfer->mutex);
    transfer->done = true;
    transfer->completed = completed;
    transfer->changed.notify_all();
}

// Waits for the worker, calling the wait hook; true when it finished, false when a limit
// passed or the request was cancelled first.
bool waitWithWatchdog(Transfer& transfer, const RequestObject& request)
{
    const auto connectLimit = std::chrono::milliseconds(detail::connectTimeoutMs());
    const auto noDataLimit = std::chrono::seconds(detail::noDataTimeoutS());
    const auto overall = std::chrono::milliseconds(detail::deadlineMs());
    const std::function<void()> hook = detail::currentWaitHook();
    // The limits count from the moment the worker starts: on a busy machine starting a thread
    // can take a while, and that time is not the server's.
    std::unique_lock lock(transfer.mutex);
    while (!transfer.begun) {
        transfer.changed.wait_for(lock, HookInterval);
    }
    const auto start = transfer.begunAt;
    for (;;) {
        if (transfer.done) {
            return true;
        }
        const auto now = Clock::now();
        auto deadline = start + connectLimit;
        if (transfer.request->connected) {
            const Clock::time_point last{Clock::duration(transfer.request->lastProgress.load())};
            deadline = std::max(last, start) + noDataLimit;
        }
        if (request.cancelled || now >= deadline || now >= start + overall) {
            return false;
        }
        // The hook runs every HookInterval, not in a busy loop: a hook that finds no events
        // to handle returns at once, and would otherwise keep a core busy for the whole wait.
        transfer.changed.wait_for(lock, HookInterval);
        if (hook && !transfer.done && !request.cancelled) {
            lock.unlock();
            hook();
            lock.lock();
        }
    }
}

} // namespace

void prepare()
{
    // The system's Internet library sets itself up in the first open.
}

Handle open(std::string_view agent, AccessType access, std::string_view proxyList,
            std::string_view bypassList)
{
    if (fails(testing::LibraryCall::Open)) {
        return nullptr;
    }
    // The agent becomes a header line: a line break in it would start a line of its own.
    const std::string agentLine(agent.substr(0, agent.find_first_of("\r\n")));
    const std::string proxy(proxyList);
    const std::string bypass(bypassList);
    HINTERNET handle = nullptr;
    if (access == AccessType::Proxy) {
        // The list goes to the library's own proxy parameter as it is ("http=" and the proxy,
        // with or without "http://"). The library speaks to http proxies only, which is why the
        // programs accept no socks5h:// proxy on Windows.
        handle = InternetOpenA(agentLine.c_str(), INTERNET_OPEN_TYPE_PROXY, proxy.c_str(),
                               bypass.empty() ? nullptr : bypass.c_str(), 0);
    } else {
        handle = InternetOpenA(agentLine.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    }
    if (handle == nullptr) {
        return nullptr;
    }
    InternetSetStatusCallbackA(handle, onStatus);
    auto internet = std::make_shared<InternetObject>();
    internet->library = std::make_shared<LibraryHandle>(nullptr);
    internet->library->handle = handle;
    internet->agent = agentLine;
    return keep(std::move(internet));
}

Handle connect(Handle internet, std::string_view host, int port)
{
    const auto parent = lookUp<InternetObject>(internet);
    if (parent == nullptr || host.empty() || port < 0 || port > 65535) {
        return nullptr;
    }
    // The library's connection is made with the request, once the host map (a test seam) has
    // had its say about where the name leads.
    auto connection = std::make_shared<ConnectionObject>();
    connection->internet = parent->library;
    connection->host = host;
    connection->port = port;
    connection->agent = parent->agent;
    return keep(std::move(connection));
}

Handle openRequest(Handle connection, std::string_view verb, std::string_view path,
                   std::string_view version, std::uint32_t flags)
{
    const auto parent = lookUp<ConnectionObject>(connection);
    if (parent == nullptr || verb.empty()) {
        return nullptr;
    }
    if (!version.empty() && version != "HTTP/1.1" && version != "HTTP/1.0") {
        return nullptr;
    }
    if (fails(testing::LibraryCall::OpenRequest)) {
        return nullptr;
    }
    auto request = std::make_shared<RequestObject>();
    request->host = parent->host;
    request->agent = parent->agent;
    request->library = std::make_shared<LibraryHandle>(nullptr);

    // Where the name leads: the system resolver, or the host map when a test set one (an IP
    // literal leads to itself, a name the map lacks nowhere).
    std::string address = parent->host;
    bool mapped = false;
    std::optional<std::string> mappedTo;
    if (!isIpLiteral(parent->host) && detail::lookUpHostMap(parent->host, mappedTo)) {
        address = mappedTo.value_or(std::string());
        mapped = true;
    }
    if (address.empty() || !isPlainHost(parent->host)) {
        // Nothing to connect to: the request exists, and its send fails as an unresolvable
        // name does.
        return keep(std::move(request));
    }
    auto connectionHandle = std::make_shared<LibraryHandle>(parent->internet);
    // Port 0 asks the library for the scheme's own port.
    connectionHandle->handle = InternetConnectA(parent->internet->handle, address.c_str(),
                                                static_cast<INTERNET_PORT>(parent->port), nullptr,
                                                nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    if (connectionHandle->handle == nullptr) {
        return nullptr;
    }
    request->library = std::make_shared<LibraryHandle>(connectionHandle);
    const std::string verbText(verb);
    const std::string pathText = escapedPath(path);
    const std::string versionText(version.empty() ? std::string_view("HTTP/1.1") : version);
    // Nothing is kept in the cache and the library never asks the user anything. The caller's
    // "need a file" flag is taken and dropped: with it the library writes the answer into the
    // user's Internet cache even when told not to cache it.
    const DWORD libraryFlags = (flags & ~static_cast<DWORD>(INTERNET_FLAG_NEED_FILE)) |
                               INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI;
    HINTERNET handle = HttpOpenRequestA(
        connectionHandle->handle, verbText.c_str(), pathText.c_str(), versionText.c_str(), nullptr,
        nullptr, libraryFlags, reinterpret_cast<DWORD_PTR>(request->library.get()));
    if (handle == nullptr) {
        return nullptr;
    }
    request->library->handle = handle;
    if (mapped) {
        const bool defaultPort = parent->port == 0;
        addLine(handle,
                "Host: " + parent->host + (defaultPort ? "" : ":" + std::to_string(parent->port)),
                HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE);
    }
    // Set on the request handle, where every implementation honours them.
    setTimeout(handle, INTERNET_OPTION_CONNECT_TIMEOUT, detail::connectTimeoutMs());
    setTimeout(handle, INTERNET_OPTION_SEND_TIMEOUT, detail::noDataTimeoutS() * 1000);
    setTimeout(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, detail::noDataTimeoutS() * 1000);
    return keep(std::move(request));
}

bool send(Handle handle, std::string_view headers, const void* body, std::size_t bodySize)
{
    const auto request = lookUp<RequestObject>(handle);
    if (request == nullptr) {
        return false;
    }
    {
        std::lock_guard lock(request->mutex);
        if (request->sent) {
            return false;
        }
        request->sent = true;
    }
    HINTERNET h = request->library->handle;
    if (h == nullptr || fails(testing::LibraryCall::Send) || bodySize > MAXDWORD ||
        request->cancelled) {
        std::lock_guard lock(request->mutex);
        request->ended = true;
        return false;
    }
    // The library would add its User-Agent line after the caller's lines and let a later line
    // replace an earlier one of the same name; added one by one, first the agent, the lines go
    // out in the caller's order and as often as the caller wrote them.
    const std::vector<std::string_view> lines = detail::headerLines(headers);
    const bool ownAgent = std::any_of(lines.begin(), lines.end(), [](std::string_view line) {
        return namesLine(line, "User-Agent");
    });
    if (!request->agent.empty() && !ownAgent) {
        addLine(h, "User-Agent: " + request->agent, HTTP_ADDREQ_FLAG_ADD);
    }
    for (const std::string_view line : lines) {
        addLine(h, line, HTTP_ADDREQ_FLAG_ADD);
    }

    auto transfer = std::make_shared<Transfer>();
    transfer->request = request->library;
    transfer->cap = detail::sizeCap();
    if (body != nullptr) {
        transfer->body.assign(static_cast<const char*>(body), bodySize);
        transfer->hasBody = true;
    }
    std::thread([transfer] { runTransfer(transfer); }).detach();

    const bool finished = waitWithWatchdog(*transfer, *request);
    std::lock_guard transferLock(transfer->mutex);
    transfer->abandoned = true;
    std::lock_guard lock(request->mutex);
    request->ended = true;
    request->answered = transfer->answered;
    request->completed = finished && transfer->completed;
    request->rawHeaders = std::move(transfer->rawHeaders);
    request->body = std::move(transfer->received);
    return request->answered;
}

bool read(Handle handle, void* buffer, std::size_t size, std::size_t& count)
{
    count = 0;
    const auto request = lookUp<RequestObject>(handle);
    if (request == nullptr || (buffer == nullptr && size > 0)) {
        return false;
    }
    std::lock_guard lock(request->mutex);
    if (!request->ended || !request->answered) {
        return false;
    }
    return detail::readBody(request->body, request->readOffset, request->completed, buffer, size,
                            count);
}

std::optional<std::size_t> queryDataAvailable(Handle handle)
{
    const auto request = lookUp<RequestObject>(handle);
    if (request == nullptr) {
        return std::nullopt;
    }
    std::lock_guard lock(request->mutex);
    if (!request->ended || !request->answered) {
        return std::nullopt;
    }
    return request->body.size() - request->readOffset;
}

std::optional<std::string> queryRawHeaders(Handle handle, std::size_t bufferSize)
{
    const auto request = lookUp<RequestObject>(handle);
    if (request == nullptr) {
        return std::nullopt;
    }
    // After a failed send Wine still hands out a block of "\r\n": only an answered request
    // has headers.
    std::lock_guard lock(request->mutex);
    if (!request->ended || !request->answered || request->rawHeaders.empty() ||
        request->rawHeaders.size() + 1 > bufferSize) {
        return std::nullopt;
    }
    return request->rawHeaders;
}

bool close(Handle handle)
{
    const std::shared_ptr<Object> object = detail::forget(handle);
    if (object == nullptr) {
        return false;
    }
    if (auto* request = dynamic_cast<RequestObject*>(object.get())) {
        request->cancelled = true;
    }
    return true;
}

void cancelAll()
{
    for (const std::shared_ptr<Object>& object : detail::openObjects()) {
        if (auto* request = dynamic_cast<RequestObject*>(object.get())) {
            request->cancelled = true;
        }
    }
}

bool cancel(Handle handle)
{
    const auto request = lookUp<RequestObject>(handle);
    if (request == nullptr) {
        return false;
    }
    request->cancelled = true;
    return true;
}

namespace testing {

void setLibraryCallFails(LibraryCall call, bool callFails)
{
    failingCalls[static_cast<std::size_t>(call)] = callFails;
}

} // namespace testing
} // namespace marrowtune::inet
