// SPDX-License-Identifier: MIT
#include "platform/inet/inet.h"

#include "base/ascii.h"
#include "platform/inet/curl_calls.h"
#include "platform/inet/inet_common.h"
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

namespace {

using detail::controlBytesEncoded;
using detail::currentWaitHook;
using detail::escapedPath;
using detail::isPlainHost;
using detail::keep;
using detail::lookUp;

constexpr long MaxRedirects = 10;
// How often a waiting send() hands control to the wait hook.
constexpr int HookIntervalMs = 20;
// Without a hook the wait still wakes now and then; a cancel wakes it at once anyway.
constexpr int PlainWaitMs = 1000;

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

// Ends a request's transfer (or the one it is about to start) as a failure.
void cancelRequest(RequestObject& request)
{
    request.cancelled = true;
    std::lock_guard lock(request.transferMutex);
    if (request.multi != nullptr) {
        curl_multi_wakeup(request.multi);
    }
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
    std::vector<std::string_view> names;
    for (const std::string_view line : detail::headerLines(headers)) {
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0) {
            continue; // a line without a name is not a header
        }
        std::string entry = controlBytesEncoded(line);
        if (trimmed(line.substr(colon + 1)).empty()) {
            entry = controlBytesEncoded(line.substr(0, colon)) + ";";
        }
        names.push_back(trimmed(*detail::headerName(line)));
        list = curl_slist_append(list, entry.c_str());
    }
    for (const char* own : {"Accept", "Content-Type", "Expect"}) {
        const bool given = std::any_of(names.begin(), names.end(), [own](std::string_view n) {
            return equalsIgnoringAsciiCase(n, own);
        });
        if (!given) {
            list = curl_slist_append(list, (std::string(own) + ":").c_str());
        }
    }
    return list;
}

// One header line of a response (its line break still on).
void takeHeaderLine(RequestObject& request, std::string_view line)
{
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    if ((request.headerLines.empty() || request.headerDone) && startsWith(line, "HTTP/")) {
        // A new response (after a followed redirect or an interim 1xx): only the last counts.
        request.headerLines.assign(1, std::string(line));
        request.headerDone = false;
        request.body.clear();
        request.answered = true;
    } else if (!request.headerDone && !request.headerLines.empty()) {
        if (line.empty()) {
            request.headerDone = true;
        } else {
            request.headerLines.emplace_back(line);
        }
    }
}

// One piece of a response body.
void takeBody(RequestObject& request, std::string_view piece)
{
    if (request.body.empty()) {
        // A body of announced length is kept in one allocation instead of a doubling string.
        curl_off_t announced = -1;
        curl_easy_getinfo(request.easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
        if (announced > 0 && static_cast<std::size_t>(announced) <= detail::sizeCap()) {
            request.body.reserve(static_cast<std::size_t>(announced));
        }
    }
    request.body.append(piece);
}

// curl's header and body callbacks: every piece counts against the size cap first. Once the
// cap is passed the callback takes nothing, and curl ends the transfer with an error.
template <void (*Take)(RequestObject&, std::string_view)>
size_t receive(char* data, size_t size, size_t count, void* user)
{
    auto* request = static_cast<RequestObject*>(user);
    const std::size_t length = size * count;
    request->received += length;
    if (request->received > detail::sizeCap()) {
        return 0;
    }
    Take(*request, std::string_view(data, length));
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
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, detail::connectTimeoutMs());
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, detail::noDataTimeoutS());
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, detail::deadlineMs());
    // An announced length over the cap fails before any of the body is taken in.
    curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(detail::sizeCap()));
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
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, receive<takeHeaderLine>);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &request);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, receive<takeBody>);
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
    const std::string& host = request.connection.host;
    std::optional<std::string> address;
    if (!detail::lookUpHostMap(host, address)) {
        return true;
    }
    if (!address) {
        // IP literals need no look-up; any other name is one that does not resolve.
        return std::all_of(host.begin(), host.end(),
                           [](char c) { return (c >= '0' && c <= '9') || c == '.' || c == ':'; });
    }
    int port = request.connection.port;
    if (port == 0) {
        port = (request.flags & Secure) != 0 ? 443 : 80;
    }
    const std::string entry = host + ":" + std::to_string(port) + ":" + *address;
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
    return detail::readBody(request->body, request->readOffset, request->completed, buffer, size,
                            count);
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
    const std::shared_ptr<Object> object = detail::forget(handle);
    if (object == nullptr) {
        return false;
    }
    // A transfer still running on the request ends; it keeps its own share until it has.
    if (const auto request = std::dynamic_pointer_cast<RequestObject>(object)) {
        cancelRequest(*request);
    }
    return true;
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
    for (const std::shared_ptr<Object>& object : detail::openObjects()) {
        if (const auto request = std::dynamic_pointer_cast<RequestObject>(object)) {
            cancelRequest(*request);
        }
    }
}

} // namespace marrowtune::inet
