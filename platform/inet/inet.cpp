#include "platform/inet/inet.h"

#include "base/ascii.h"
#include "base/percent.h"
#include "platform/inet/curl_calls.h"
#include "platform/inet/inet_testing.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace marrowtune::inet {

struct Object {
    virtual ~Object() = default;
};

namespace {

constexpr long DefaultConnectTimeoutMs = 15000;
constexpr long DefaultNoDataTimeoutS = 30;
constexpr long DefaultDeadlineMs = 40000;
constexpr std::size_t DefaultSizeCap = 32u * 1024u * 1024u;
constexpr long MaxRedirects = 10;
// How often a waiting send() hands control to the wait hook.
constexpr int HookIntervalMs = 20;
// Without a hook the wait still wakes now and then; a cancel wakes it at once anyway.
constexpr int PlainWaitMs = 1000;

std::atomic<long> connectTimeoutMs{DefaultConnectTimeoutMs};
std::atomic<long> noDataTimeoutS{DefaultNoDataTimeoutS};
std::atomic<long> deadlineMs{DefaultDeadlineMs};
std::atomic<std::size_t> sizeCap{DefaultSizeCap};

std::mutex hostMapMutex;
std::optional<std::map<std::string, std::string>> hostMap;

std::mutex waitHookMutex;
std::function<void()> waitHook;

struct InternetObject final : Object {
    std::string agent;
    AccessType access = AccessType::Direct;
    std::string proxyList;
    std::string bypassList;
};

struct ConnectionObject final : Object {
    InternetObject internet; // a copy: closing the parent first leaves the child usable
    std::string host;
    int port = 0;
};

struct RequestObject final : Object {
    ~RequestObject() override { detail::curlEasyCleanup(easy); }

    ConnectionObject connection;
    std::string verb;
    std::string path;
    long httpVersion = CURL_HTTP_VERSION_1_1;
    std::uint32_t flags = 0;
    CURL* easy = nullptr;

    // A transfer may be cancelled from any thread: the flag is seen by the waiting loop, and
    // the multi handle (present only while the transfer runs) is woken so it sees it at once.
    std::atomic<bool> sent{false};
    std::atomic<bool> cancelled{false};
    std::atomic<bool> finished{false}; // send() is over; the fields below are settled
    std::mutex transferMutex;
    CURLM* multi = nullptr;

    std::size_t received = 0; // header and body bytes of every response, against the size cap
    bool answered = false;    // a status line arrived
    bool completed = false;   // the transfer ended without an error
    bool headerDone = false;  // the empty line after the current response's headers arrived
    std::vector<std::string> headerLines;
    std::string body;
    std::size_t readOffset = 0;
};

// Every handle given out and not yet closed, so that a stale or foreign handle is refused
// instead of being dereferenced. Each call that uses a handle holds its own share of the
// object, so a close() from another thread only drops the table's share: the object goes
// when the last user (a running transfer, say) lets go of it.
std::mutex liveMutex;
std::unordered_map<Object*, std::shared_ptr<Object>> liveHandles;

Handle keep(std::shared_ptr<Object> object)
{
    std::lock_guard lock(liveMutex);
    Object* raw = object.get();
    liveHandles.emplace(raw, std::move(object));
    return raw;
}

template <typename T> std::shared_ptr<T> lookUp(Handle handle)
{
    if (handle == nullptr) {
        return nullptr;
    }
    std::lock_guard lock(liveMutex);
    const auto found = liveHandles.find(handle);
    if (found == liveHandles.end()) {
        return nullptr;
    }
    return std::dynamic_pointer_cast<T>(found->second);
}

// Ends a request's transfer (or the one it is about to start) as a failure.
void cancelRequest(RequestObject& request)
{
    request.cancelled = true;
    std::lock_guard lock(request.transferMutex);
    if (request.multi != nullptr) {
        curl_multi_wakeup(request.multi);
    }
}

// Counts bytes against the size cap; false once the cap is passed.
bool withinCap(RequestObject& request, std::size_t length)
{
    request.received += length;
    return request.received <= sizeCap.load();
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

// The proxy server for a request, or nothing for a direct connection.
std::optional<std::string> proxyFor(const InternetObject& internet, bool secure)
{
    if (internet.access != AccessType::Proxy) {
        return std::nullopt;
    }
    const std::string_view wanted = secure ? "https" : "http";
    std::optional<std::string_view> forScheme;
    std::optional<std::string_view> forAll;
    std::string_view list = internet.proxyList;
    while (!list.empty()) {
        const std::size_t end = list.find_first_of(" \t;");
        const std::string_view entry = list.substr(0, end);
        list = end == std::string_view::npos ? std::string_view{} : list.substr(end + 1);
        if (entry.empty()) {
            continue;
        }
        const std::size_t equals = entry.find('=');
        if (equals == std::string_view::npos) {
            forAll = forAll.value_or(entry);
        } else if (equalsIgnoringAsciiCase(entry.substr(0, equals), wanted) && !forScheme) {
            forScheme = entry.substr(equals + 1);
        }
    }
    const std::string_view server = forScheme.value_or(forAll.value_or(std::string_view{}));
    if (server.empty()) {
        return std::nullopt;
    }
    if (server.find("://") != std::string_view::npos) {
        return std::string(server);
    }
    return "http://" + std::string(server);
}

// Host names and IP literals only: anything else could change the meaning of the URL handed
// to curl (a "?" or "@" in the host), so such a name is treated as one that does not resolve.
bool isPlainHost(std::string_view host)
{
    return !host.empty() && std::all_of(host.begin(), host.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '-' || c == '.' || c == '_' || c == ':';
    });
}

// curl refuses spaces and control bytes in a URL; bytes the URL syntax has no place for are
// percent-encoded, and so is "#", which would cut the rest of the path off as a fragment.
// Everything else goes out as the caller wrote it.
std::string escapedPath(std::string_view path)
{
    const std::string escaped = percentEncoded(path, isUnsafeInPath);
    return path.empty() || path.front() != '/' ? "/" + escaped : escaped;
}

// The last guard of the request head: within one line, a control byte other than a tab goes
// out percent-encoded, so neither an agent nor a header line can carry a line of its own.
std::string controlBytesEncoded(std::string_view text)
{
    return percentEncoded(text, isLineBreaking);
}

std::string requestUrl(const RequestObject& request, bool secure)
{
    const ConnectionObject& connection = request.connection;
    int port = connection.port;
    if (port == 0) {
        port = secure ? 443 : 80;
    }
    std::string host = connection.host;
    if (host.find(':') != std::string::npos) {
        host = "[" + host + "]";
    }
    return std::string(secure ? "https://" : "http://") + host + ":" + std::to_string(port) +
           escapedPath(request.path);
}

std::string redirectProtocols(std::uint32_t flags, bool secure)
{
    const bool toHttps = secure || (flags & IgnoreRedirectToHttps) != 0;
    const bool toHttp = !secure || (flags & IgnoreRedirectToHttp) != 0;
    if (toHttps && toHttp) {
        return "http,https";
    }
    return toHttps ? "https" : "http";
}

// A curl string list, freed when its owner goes.
struct SlistFree {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using OwnedSlist = std::unique_ptr<curl_slist, SlistFree>;

// Header lines for curl. A line with nothing after its colon is written "Name;" so that curl
// sends it empty rather than reading it as "remove this header". Lines curl would otherwise
// add on its own (Accept, Content-Type, Expect) are switched off unless the caller sends them.
curl_slist* headerList(std::string_view headers)
{
    curl_slist* list = nullptr;
    std::vector<std::string> names;
    while (!headers.empty()) {
        const std::size_t end = headers.find_first_of("\r\n");
        const std::string_view line = headers.substr(0, end);
        headers = end == std::string_view::npos ? std::string_view{} : headers.substr(end + 1);
        const std::size_t colon = line.find(':');
        if (line.empty() || colon == std::string_view::npos || colon == 0) {
            continue; // an empty line would end the header block; a line without a name is not a
                      // header
        }
        std::string entry = controlBytesEncoded(line);
        if (trimmed(line.substr(colon + 1)).empty()) {
            entry = controlBytesEncoded(line.substr(0, colon)) + ";";
        }
        names.emplace_back(trimmed(line.substr(0, colon)));
        list = curl_slist_append(list, entry.c_str());
    }
    for (const char* own : {"Accept", "Content-Type", "Expect"}) {
        const bool given = std::any_of(names.begin(), names.end(), [own](const std::string& n) {
            return equalsIgnoringAsciiCase(n, own);
        });
        if (!given) {
            list = curl_slist_append(list, (std::string(own) + ":").c_str());
        }
    }
    return list;
}

size_t onHeader(char* data, size_t size, size_t count, void* user)
{
    auto* request = static_cast<RequestObject*>(user);
    const std::size_t length = size * count;
    if (!withinCap(*request, length)) {
        return 0; // curl ends the transfer with an error
    }
    std::string_view line(data, length);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    if ((request->headerLines.empty() || request->headerDone) && startsWith(line, "HTTP/")) {
        // A new response (after a followed redirect or an interim 1xx): only the last counts.
        request->headerLines.assign(1, std::string(line));
        request->headerDone = false;
        request->body.clear();
        request->answered = true;
    } else if (!request->headerDone && !request->headerLines.empty()) {
        if (line.empty()) {
            request->headerDone = true;
        } else {
            request->headerLines.emplace_back(line);
        }
    }
    return length;
}

size_t onBody(char* data, size_t size, size_t count, void* user)
{
    auto* request = static_cast<RequestObject*>(user);
    const std::size_t length = size * count;
    if (!withinCap(*request, length)) {
        return 0; // curl ends the transfer with an error
    }
    if (request->body.empty()) {
        // A body of announced length is kept in one allocation instead of a doubling string.
        curl_off_t announced = -1;
        curl_easy_getinfo(request->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
        if (announced > 0 && static_cast<std::size_t>(announced) <= sizeCap.load()) {
            request->body.reserve(static_cast<std::size_t>(announced));
        }
    }
    request->body.append(data, length);
    return length;
}

void configure(RequestObject& request, curl_slist* headerLines, const void* body,
               std::size_t bodySize, std::string& bodyCopy)
{
    CURL* easy = request.easy;
    const bool secure = (request.flags & Secure) != 0;
    const std::string url = requestUrl(request, secure);
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR,
                     redirectProtocols(request.flags, secure).c_str());
    curl_easy_setopt(easy, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, request.httpVersion);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, (request.flags & NoAutoRedirect) != 0 ? 0L : 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, MaxRedirects);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, connectTimeoutMs.load());
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, noDataTimeoutS.load());
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, deadlineMs.load());
    // An announced length over the cap fails before any of the body is taken in.
    curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(sizeCap.load()));
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);

    const InternetObject& internet = request.connection.internet;
    if (!internet.agent.empty()) {
        curl_easy_setopt(easy, CURLOPT_USERAGENT, internet.agent.c_str());
    }
    // An empty proxy also keeps curl from picking one up from the environment.
    const std::optional<std::string> proxy = proxyFor(internet, secure);
    curl_easy_setopt(easy, CURLOPT_PROXY, proxy ? proxy->c_str() : "");
    std::string bypass = internet.bypassList;
    std::replace_if(
        bypass.begin(), bypass.end(), [](char c) { return c == ';' || isSpace(c); }, ',');
    if (!bypass.empty()) {
        curl_easy_setopt(easy, CURLOPT_NOPROXY, bypass.c_str());
    }

    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headerLines);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &request);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &request);

    if (body != nullptr || request.verb == "POST") {
        if (body != nullptr) {
            bodyCopy.assign(static_cast<const char*>(body), bodySize);
        }
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(bodyCopy.size()));
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, bodyCopy.c_str());
        if (request.verb != "POST") {
            curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, request.verb.c_str());
        }
    } else if (request.verb == "GET") {
        curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    } else if (request.verb == "HEAD") {
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else {
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, request.verb.c_str());
    }
}

} // namespace

void prepare()
{
    detail::curlGlobalInit();
}

Handle open(std::string_view agent, AccessType access, std::string_view proxyList,
            std::string_view bypassList)
{
    if (!detail::curlGlobalInit()) {
        return nullptr;
    }
    auto internet = std::make_shared<InternetObject>();
    // The agent becomes a header line: a line break in it would start a line of its own.
    internet->agent = controlBytesEncoded(agent.substr(0, agent.find_first_of("\r\n")));
    internet->access = access;
    internet->proxyList = proxyList;
    internet->bypassList = bypassList;
    return keep(std::move(internet));
}

Handle connect(Handle internet, std::string_view host, int port)
{
    const std::shared_ptr<InternetObject> parent = lookUp<InternetObject>(internet);
    if (parent == nullptr || host.empty() || port < 0 || port > 65535) {
        return nullptr;
    }
    auto connection = std::make_shared<ConnectionObject>();
    connection->internet = *parent;
    connection->host = host;
    connection->port = port;
    return keep(std::move(connection));
}

Handle openRequest(Handle connection, std::string_view verb, std::string_view path,
                   std::string_view version, std::uint32_t flags)
{
    const std::shared_ptr<ConnectionObject> parent = lookUp<ConnectionObject>(connection);
    if (parent == nullptr || verb.empty()) {
        return nullptr;
    }
    long httpVersion = CURL_HTTP_VERSION_1_1;
    if (version == "HTTP/1.0") {
        httpVersion = CURL_HTTP_VERSION_1_0;
    } else if (!version.empty() && version != "HTTP/1.1") {
        return nullptr;
    }
    auto request = std::make_shared<RequestObject>();
    request->easy = detail::curlEasyInit();
    if (request->easy == nullptr) {
        return nullptr;
    }
    request->connection = *parent;
    request->verb = verb;
    request->path = path;
    request->httpVersion = httpVersion;
    request->flags = flags;
    return keep(std::move(request));
}

namespace {

std::function<void()> currentWaitHook()
{
    std::lock_guard lock(waitHookMutex);
    return waitHook;
}

// Runs the transfer on a multi handle of its own, so that the wait can be interrupted by a
// cancel and can hand control to the wait hook between polls.
CURLcode transfer(RequestObject& request)
{
    CURLM* multi = detail::curlMultiInit();
    if (multi == nullptr) {
        return CURLE_COULDNT_CONNECT;
    }
    curl_multi_add_handle(multi, request.easy);
    {
        std::lock_guard lock(request.transferMutex);
        request.multi = multi;
    }
    CURLcode result = CURLE_ABORTED_BY_CALLBACK;
    while (!request.cancelled) {
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            result = CURLE_RECV_ERROR;
            break;
        }
        if (running == 0) {
            int queued = 0;
            const CURLMsg* message = curl_multi_info_read(multi, &queued);
            result = message != nullptr && message->msg == CURLMSG_DONE ? message->data.result
                                                                        : CURLE_RECV_ERROR;
            break;
        }
        const std::function<void()> hook = currentWaitHook();
        curl_multi_poll(multi, nullptr, 0, hook ? HookIntervalMs : PlainWaitMs, nullptr);
        if (hook && !request.cancelled) {
            hook();
        }
    }
    {
        std::lock_guard lock(request.transferMutex);
        request.multi = nullptr;
    }
    curl_multi_remove_handle(multi, request.easy);
    detail::curlMultiCleanup(multi);
    return request.cancelled ? CURLE_ABORTED_BY_CALLBACK : result;
}

// Whether the resolver seam lets the host be reached; pins it to its address when it does.
bool pinHost(const RequestObject& request, curl_slist*& pinned)
{
    std::lock_guard lock(hostMapMutex);
    if (!hostMap) {
        return true;
    }
    const std::string& host = request.connection.host;
    const auto found = hostMap->find(host);
    if (found == hostMap->end()) {
        // IP literals need no look-up; any other name is one that does not resolve.
        return std::all_of(host.begin(), host.end(),
                           [](char c) { return (c >= '0' && c <= '9') || c == '.' || c == ':'; });
    }
    int port = request.connection.port;
    if (port == 0) {
        port = (request.flags & Secure) != 0 ? 443 : 80;
    }
    const std::string entry = host + ":" + std::to_string(port) + ":" + found->second;
    pinned = curl_slist_append(pinned, entry.c_str());
    return true;
}

} // namespace

bool send(Handle handle, std::string_view headers, const void* body, std::size_t bodySize)
{
    const std::shared_ptr<RequestObject> request = lookUp<RequestObject>(handle);
    if (request == nullptr || request->sent.exchange(true)) {
        return false;
    }
    curl_slist* pinnedEntries = nullptr;
    const bool reachable =
        isPlainHost(request->connection.host) && pinHost(*request, pinnedEntries);
    const OwnedSlist pinned(pinnedEntries);
    if (!reachable) {
        request->finished = true;
        return false;
    }
    const OwnedSlist lines(headerList(headers));
    std::string bodyCopy;
    configure(*request, lines.get(), body, bodySize, bodyCopy);
    curl_easy_setopt(request->easy, CURLOPT_RESOLVE, pinned.get());
    const CURLcode result = transfer(*request);
    request->completed = result == CURLE_OK && request->answered;
    request->finished = true;
    return request->answered;
}

bool read(Handle handle, void* buffer, std::size_t size, std::size_t& count)
{
    count = 0;
    const std::shared_ptr<RequestObject> request = lookUp<RequestObject>(handle);
    if (request == nullptr || !request->finished || !request->answered ||
        (buffer == nullptr && size > 0)) {
        return false;
    }
    const std::size_t left = request->body.size() - request->readOffset;
    count = std::min(size, left);
    if (count > 0) {
        std::memcpy(buffer, request->body.data() + request->readOffset, count);
        request->readOffset += count;
        return true;
    }
    // The end: a transfer that broke off reports it, as a reset connection would.
    return request->completed;
}

std::optional<std::size_t> queryDataAvailable(Handle handle)
{
    const std::shared_ptr<RequestObject> request = lookUp<RequestObject>(handle);
    if (request == nullptr || !request->finished || !request->answered) {
        return std::nullopt;
    }
    return request->body.size() - request->readOffset;
}

std::optional<std::string> queryRawHeaders(Handle handle, std::size_t bufferSize)
{
    const std::shared_ptr<RequestObject> request = lookUp<RequestObject>(handle);
    if (request == nullptr || !request->finished || !request->answered) {
        return std::nullopt;
    }
    std::string block;
    for (const std::string& line : request->headerLines) {
        block += line;
        block += "\r\n";
    }
    block += "\r\n";
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
    std::shared_ptr<Object> object;
    {
        std::lock_guard lock(liveMutex);
        const auto found = liveHandles.find(handle);
        if (found == liveHandles.end()) {
            return false;
        }
        object = std::move(found->second);
        liveHandles.erase(found);
    }
    // A transfer still running on the request ends; it keeps its own share until it has.
    if (const auto request = std::dynamic_pointer_cast<RequestObject>(object)) {
        cancelRequest(*request);
    }
    return true;
}

void setWaitHook(std::function<void()> hook)
{
    std::lock_guard lock(waitHookMutex);
    waitHook = std::move(hook);
}

bool cancel(Handle handle)
{
    const std::shared_ptr<RequestObject> request = lookUp<RequestObject>(handle);
    if (request == nullptr) {
        return false;
    }
    cancelRequest(*request);
    return true;
}

void cancelAll()
{
    std::vector<std::shared_ptr<RequestObject>> requests;
    {
        std::lock_guard lock(liveMutex);
        for (const auto& [raw, object] : liveHandles) {
            if (auto request = std::dynamic_pointer_cast<RequestObject>(object)) {
                requests.push_back(std::move(request));
            }
        }
    }
    for (const auto& request : requests) {
        cancelRequest(*request);
    }
}

namespace testing {

void setConnectTimeout(std::chrono::milliseconds timeout)
{
    connectTimeoutMs = std::max<long>(1, static_cast<long>(timeout.count()));
}

void setNoDataTimeout(std::chrono::seconds timeout)
{
    noDataTimeoutS = std::max<long>(1, static_cast<long>(timeout.count()));
}

void setDeadline(std::chrono::milliseconds deadline)
{
    deadlineMs = std::max<long>(1, static_cast<long>(deadline.count()));
}

void setSizeCap(std::size_t bytes)
{
    sizeCap = bytes;
}

void setHostMap(std::optional<std::map<std::string, std::string>> hosts)
{
    std::lock_guard lock(hostMapMutex);
    hostMap = std::move(hosts);
}

void resetSeams()
{
    setCurlCallFails(CurlCall::GlobalInit, false);
    setCurlCallFails(CurlCall::EasyInit, false);
    setCurlCallFails(CurlCall::Perform, false);
    connectTimeoutMs = DefaultConnectTimeoutMs;
    noDataTimeoutS = DefaultNoDataTimeoutS;
    deadlineMs = DefaultDeadlineMs;
    sizeCap = DefaultSizeCap;
    setHostMap(std::nullopt);
}

} // namespace testing
} // namespace marrowtune::inet
// SPDX-License-Identifier: MIT
