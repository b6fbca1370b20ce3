#include "platform/inet/inet.h"
#include "platform/inet/inet_testing.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_set>
#include <vector>
#include <windows.h>
#include <wininet.h>

// The Windows Internet library does the work. Its time-out options cannot be relied on: Wine
// ignores the connect time-out (a dropped connect waits for the system's own, minutes), and
// honours the receive and send time-outs only when they are set on the connection or request
// handle. So the exchange runs on a worker thread and the caller waits for it under its own
// watchdog: when the connect limit or the no-data limit passes, the request handle is closed
// and the caller goes on without a response, while the worker finishes in the background with
// its own references to everything it uses.

namespace marrowtune::inet {

struct Object {
    virtual ~Object() = default;
};

namespace {

using Clock = std::chrono::steady_clock;

constexpr long DefaultConnectTimeoutMs = 15000;
constexpr long DefaultNoDataTimeoutS = 30;

std::atomic<long> connectTimeoutMs{DefaultConnectTimeoutMs};
std::atomic<long> noDataTimeoutS{DefaultNoDataTimeoutS};
std::array<std::atomic<bool>, 3> failingCalls{};

bool fails(testing::CurlCall call)
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

    // Closing a handle makes a call blocked on it (on another thread) return.
    void closeNow()
    {
        if (HINTERNET h = handle.exchange(nullptr)) {
            InternetCloseHandle(h);
        }
    }

    std::atomic<HINTERNET> handle{nullptr};
    std::shared_ptr<LibraryHandle> parent;
    // Progress of a request, reported by the library's status callback.
    std::atomic<bool> connected{false};
    std::atomic<Clock::rep> lastProgress{0};
};

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
        request->lastProgress = Clock::now().time_since_epoch().count();
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
    std::shared_ptr<LibraryHandle> library;
    std::string host;
    std::string agent;
};

struct RequestObject final : Object {
    std::shared_ptr<LibraryHandle> library;
    std::string host;
    std::string agent;
    bool sent = false;
    bool answered = false;
};

// One exchange on the worker thread; shared by the worker and the waiting caller.
struct SendJob {
    std::shared_ptr<LibraryHandle> request;
    std::string headers;
    std::string body;
    bool hasBody = false;

    std::mutex mutex;
    std::condition_variable finished;
    bool begun = false;
    Clock::time_point begunAt;
    bool done = false;
    bool ok = false;
};

std::mutex liveMutex;
std::unordered_set<Object*> liveHandles;

Handle keep(std::unique_ptr<Object> object)
{
    std::lock_guard lock(liveMutex);
    Object* raw = object.release();
    liveHandles.insert(raw);
    return raw;
}

template <typename T> T* lookUp(Handle handle)
{
    if (handle == nullptr) {
        return nullptr;
    }
    std::lock_guard lock(liveMutex);
    if (!liveHandles.contains(handle)) {
        return nullptr;
    }
    return dynamic_cast<T*>(handle);
}

// Host names and IP literals only, as on every platform this program runs on.
bool isPlainHost(std::string_view host)
{
    return !host.empty() && std::all_of(host.begin(), host.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '-' || c == '.' || c == '_' || c == ':';
    });
}

// The caller's header lines, each ended by CR LF; empty lines would end the header block.
std::string headerBlock(std::string_view headers)
{
    std::string out;
    while (!headers.empty()) {
        const std::size_t end = headers.find_first_of("\r\n");
        const std::string_view line = headers.substr(0, end);
        headers = end == std::string_view::npos ? std::string_view{} : headers.substr(end + 1);
        if (!line.empty()) {
            out += line;
            out += "\r\n";
        }
    }
    return out;
}

// True when `block` (CR LF ended lines) has a line named `name`, ignoring case.
bool hasLine(std::string_view block, std::string_view name)
{
    while (!block.empty()) {
        const std::size_t end = block.find("\r\n");
        const std::string_view line = block.substr(0, end);
        block.remove_prefix(std::min(block.size(), end + 2));
        const std::size_t colon = line.find(':');
        std::string_view lineName = line.substr(0, colon);
        while (!lineName.empty() && (lineName.back() == ' ' || lineName.back() == '\t')) {
            lineName.remove_suffix(1);
        }
        if (colon != std::string_view::npos && lineName.size() == name.size() &&
            std::equal(lineName.begin(), lineName.end(), name.begin(),
                       [](char x, char y) { return (x | 0x20) == (y | 0x20); })) {
            return true;
        }
    }
    return false;
}

void setTimeout(HINTERNET handle, DWORD option, long milliseconds)
{
    DWORD value = static_cast<DWORD>(std::clamp<long>(milliseconds, 1, LONG_MAX));
    InternetSetOptionA(handle, option, &value, sizeof value);
}

// Waits for the worker; true when it finished, false when a limit passed first.
bool waitWithWatchdog(SendJob& job)
{
    const auto connectLimit = std::chrono::milliseconds(connectTimeoutMs.load());
    const auto noDataLimit = std::chrono::seconds(noDataTimeoutS.load());
    std::unique_lock lock(job.mutex);
    // The limits count from the moment the worker starts: on a busy machine starting a thread
    // can take a while, and that time is not the server's.
    job.finished.wait(lock, [&job] { return job.begun; });
    const auto start = job.begunAt;
    while (!job.done) {
        auto deadline = start + connectLimit;
        if (job.request->connected) {
            const Clock::time_point last{Clock::duration(job.request->lastProgress.load())};
            deadline = std::max(last, start) + noDataLimit;
        }
        if (Clock::now() >= deadline) {
            return false;
        }
        // Progress moves the deadline without waking us: look again at least every 100 ms.
        job.finished.wait_until(lock,
                                std::min(deadline, Clock::now() + std::chrono::milliseconds(100)));
    }
    return true;
}

} // namespace

Handle open(std::string_view agent, AccessType access, std::string_view proxyList,
            std::string_view bypassList)
{
    if (fails(testing::CurlCall::GlobalInit)) {
        return nullptr;
    }
    // The agent becomes a header line: a line break in it would start a line of its own.
    const std::string agentLine(agent.substr(0, agent.find_first_of("\r\n")));
    const std::string proxy(proxyList);
    const std::string bypass(bypassList);
    HINTERNET handle = nullptr;
    if (access == AccessType::Proxy) {
        handle = InternetOpenA(agentLine.c_str(), INTERNET_OPEN_TYPE_PROXY, proxy.c_str(),
                               bypass.empty() ? nullptr : bypass.c_str(), 0);
    } else {
        handle = InternetOpenA(agentLine.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    }
    if (handle == nullptr) {
        return nullptr;
    }
    InternetSetStatusCallbackA(handle, onStatus);
    auto internet = std::make_unique<InternetObject>();
    internet->library = std::make_shared<LibraryHandle>(nullptr);
    internet->library->handle = handle;
    internet->agent = agentLine;
    return keep(std::move(internet));
}

Handle connect(Handle internet, std::string_view host, int port)
{
    const InternetObject* parent = lookUp<InternetObject>(internet);
    if (parent == nullptr || host.empty() || port < 0 || port > 65535) {
        return nullptr;
    }
    auto connection = std::make_unique<ConnectionObject>();
    connection->host = host;
    connection->agent = parent->agent;
    connection->library = std::make_shared<LibraryHandle>(parent->library);
    // Port 0 asks the library for the scheme's own port when the request is sent.
    HINTERNET handle = InternetConnectA(parent->library->handle, connection->host.c_str(),
                                        static_cast<INTERNET_PORT>(port), nullptr, nullptr,
                                        INTERNET_SERVICE_HTTP, 0, 0);
    if (handle == nullptr) {
        return nullptr;
    }
    connection->library->handle = handle;
    return keep(std::move(connection));
}

Handle openRequest(Handle connection, std::string_view verb, std::string_view path,
                   std::string_view version, std::uint32_t flags)
{
    const ConnectionObject* parent = lookUp<ConnectionObject>(connection);
    if (parent == nullptr || verb.empty()) {
        return nullptr;
    }
    if (!version.empty() && version != "HTTP/1.1" && version != "HTTP/1.0") {
        return nullptr;
    }
    if (fails(testing::CurlCall::EasyInit)) {
        return nullptr;
    }
    auto request = std::make_unique<RequestObject>();
    request->host = parent->host;
    request->agent = parent->agent;
    request->library = std::make_shared<LibraryHandle>(parent->library);
    const std::string verbText(verb);
    const std::string pathText(path.empty() ? std::string_view("/") : path);
    const std::string versionText(version.empty() ? std::string_view("HTTP/1.1") : version);
    // Nothing is kept in the cache and the library never asks the user anything.
    const DWORD libraryFlags = flags | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI;
    HINTERNET handle = HttpOpenRequestA(parent->library->handle, verbText.c_str(), pathText.c_str(),
                                        versionText.c_str(), nullptr, nullptr, libraryFlags,
                                        reinterpret_cast<DWORD_PTR>(request->library.get()));
    if (handle == nullptr) {
        return nullptr;
    }
    request->library->handle = handle;
    // Set on the request handle, where every implementation honours them.
    setTimeout(handle, INTERNET_OPTION_CONNECT_TIMEOUT, connectTimeoutMs.load());
    setTimeout(handle, INTERNET_OPTION_SEND_TIMEOUT, noDataTimeoutS.load() * 1000);
    setTimeout(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, noDataTimeoutS.load() * 1000);
    return keep(std::move(request));
}

bool send(Handle handle, std::string_view headers, const void* body, std::size_t bodySize)
{
    RequestObject* request = lookUp<RequestObject>(handle);
    if (request == nullptr || request->sent) {
        return false;
    }
    request->sent = true;
    if (!isPlainHost(request->host) || fails(testing::CurlCall::Perform) || bodySize > MAXDWORD) {
        return false;
    }
    auto job = std::make_shared<SendJob>();
    job->request = request->library;
    job->headers = headerBlock(headers);
    if (body != nullptr) {
        job->body.assign(static_cast<const char*>(body), bodySize);
        job->hasBody = true;
    }
    // Header lines handed to HttpSendRequest replace earlier lines of the same name; added one
    // by one as new lines, a name the caller repeats goes out as often as it was written.
    // The library would add its User-Agent line after the caller's lines; added first, it goes
    // out first, as on the wire of the other platforms.
    std::string_view lines = job->headers;
    if (!request->agent.empty() && !hasLine(lines, "User-Agent")) {
        const std::string line = "User-Agent: " + request->agent + "\r\n";
        HttpAddRequestHeadersA(request->library->handle, line.c_str(),
                               static_cast<DWORD>(line.size()), HTTP_ADDREQ_FLAG_ADD);
    }
    while (!lines.empty()) {
        const std::size_t end = lines.find("\r\n");
        const std::string line(lines.substr(0, end + 2));
        lines.remove_prefix(end + 2);
        HttpAddRequestHeadersA(request->library->handle, line.c_str(),
                               static_cast<DWORD>(line.size()), HTTP_ADDREQ_FLAG_ADD);
    }
    std::thread([job] {
        {
            std::lock_guard lock(job->mutex);
            job->begun = true;
            job->begunAt = Clock::now();
            job->finished.notify_all();
        }
        HINTERNET h = job->request->handle;
        BOOL ok = FALSE;
        if (h != nullptr) {
            ok = HttpSendRequestA(h, nullptr, 0, job->hasBody ? job->body.data() : nullptr,
                                  static_cast<DWORD>(job->body.size()));
        }
        std::lock_guard lock(job->mutex);
        job->done = true;
        job->ok = ok != FALSE;
        job->finished.notify_all();
    }).detach();

    if (!waitWithWatchdog(*job)) {
        request->library->closeNow();
        return false;
    }
    request->answered = job->ok;
    return request->answered;
}

bool read(Handle handle, void* buffer, std::size_t size, std::size_t& count)
{
    count = 0;
    RequestObject* request = lookUp<RequestObject>(handle);
    if (request == nullptr || !request->answered || (buffer == nullptr && size > 0)) {
        return false;
    }
    HINTERNET h = request->library->handle;
    if (h == nullptr) {
        return false;
    }
    DWORD got = 0;
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(size, MAXDWORD));
    if (!InternetReadFile(h, buffer, wanted, &got)) {
        return false; // the transfer broke off or went silent past the receive limit
    }
    count = got;
    return true;
}

std::optional<std::string> queryRawHeaders(Handle handle, std::size_t bufferSize)
{
    const RequestObject* request = lookUp<RequestObject>(handle);
    // After a failed send Wine still hands out a block of "\r\n": only an answered request
    // has headers.
    if (request == nullptr || !request->answered || bufferSize == 0) {
        return std::nullopt;
    }
    HINTERNET h = request->library->handle;
    if (h == nullptr) {
        return std::nullopt;
    }
    // Asked for its size first: Wine's HttpQueryInfoA writes a block that does not fit rather
    // than failing.
    DWORD length = 0;
    if (HttpQueryInfoA(h, HTTP_QUERY_RAW_HEADERS_CRLF, nullptr, &length, nullptr) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER || length == 0 || length >= bufferSize) {
        return std::nullopt;
    }
    std::string block(length, '\0');
    if (!HttpQueryInfoA(h, HTTP_QUERY_RAW_HEADERS_CRLF, block.data(), &length, nullptr)) {
        return std::nullopt;
    }
    block.resize(std::min<std::size_t>(length, block.size()));
    while (!block.empty() && block.back() == '\0') {
        block.pop_back();
    }
    if (block.size() + 1 > bufferSize) {
        return std::nullopt;
    }
    return block;
}

bool close(Handle handle)
{
    if (handle == nullptr) {
        return false;
    }
    {
        std::lock_guard lock(liveMutex);
        if (liveHandles.erase(handle) == 0) {
            return false;
        }
    }
    delete handle;
    return true;
}

namespace testing {

void setCurlCallFails(CurlCall call, bool callFails)
{
    failingCalls[static_cast<std::size_t>(call)] = callFails;
}

void setConnectTimeout(std::chrono::milliseconds timeout)
{
    connectTimeoutMs = std::max<long>(1, static_cast<long>(timeout.count()));
}

void setNoDataTimeout(std::chrono::seconds timeout)
{
    noDataTimeoutS = std::max<long>(1, static_cast<long>(timeout.count()));
}

void resetSeams()
{
    setCurlCallFails(CurlCall::GlobalInit, false);
    setCurlCallFails(CurlCall::EasyInit, false);
    setCurlCallFails(CurlCall::Perform, false);
    connectTimeoutMs = DefaultConnectTimeoutMs;
    noDataTimeoutS = DefaultNoDataTimeoutS;
}

} // namespace testing
} // namespace marrowtune::inet
