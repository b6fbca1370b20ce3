// SPDX-License-Identifier: MIT
#include "tests/support/loopback_server.h"

#include "tests/support/sockets.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace marrowtune::test {
namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

bool sendAll(int socket, std::string_view bytes)
{
    while (!bytes.empty()) {
        const long sent = sockets::sendSome(socket, bytes);
        if (sent < 0 && sockets::interrupted()) {
            continue;
        }
        if (sent <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

int listeningSocket(int& port)
{
    if (!sockets::startUp()) {
        return -1;
    }
    const int fd = sockets::newStreamSocket();
    if (fd < 0) {
        return -1;
    }
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        sockets::closeSocket(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

} // namespace

std::string RecordedRequest::method() const
{
    return requestLine.substr(0, requestLine.find(' '));
}

std::string RecordedRequest::target() const
{
    const std::size_t first = requestLine.find(' ');
    if (first == std::string::npos) {
        return {};
    }
    const std::size_t second = requestLine.find(' ', first + 1);
    return requestLine.substr(first + 1,
                              second == std::string::npos ? std::string::npos : second - first - 1);
}

std::optional<std::string> RecordedRequest::header(std::string_view name) const
{
    for (const std::string& line : headerLines) {
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos &&
            equalsIgnoringCase(trimmed(std::string_view(line).substr(0, colon)), name)) {
            return std::string(trimmed(std::string_view(line).substr(colon + 1)));
        }
    }
    return std::nullopt;
}

std::vector<std::string> RecordedRequest::callerHeaderLines() const
{
    std::vector<std::string> lines;
    for (const std::string& line : headerLines) {
        if (line.rfind("Host:", 0) != 0 && line.rfind("Content-Length:", 0) != 0) {
            lines.push_back(line);
        }
    }
    return lines;
}

ScriptedResponse ScriptedResponse::text(std::string body, std::vector<std::string> headerLines)
{
    ScriptedResponse response;
    response.body = std::move(body);
    response.headerLines = std::move(headerLines);
    return response;
}

ScriptedResponse ScriptedResponse::redirect(std::string location, int code,
                                            std::vector<std::string> headerLines, std::string body)
{
    ScriptedResponse response;
    response.statusLine = "HTTP/1.1 " + std::to_string(code) + " Moved";
    response.headerLines = {"Location: " + location};
    response.headerLines.insert(response.headerLines.end(), headerLines.begin(), headerLines.end());
    response.body = std::move(body);
    return response;
}

ScriptedResponse ScriptedResponse::unanswered()
{
    ScriptedResponse response;
    response.neverAnswer = true;
    return response;
}

LoopbackServer::~LoopbackServer()
{
    stop();
}

bool LoopbackServer::start()
{
    if (m_listenSocket >= 0) {
        return true;
    }
    m_listenSocket = listeningSocket(m_port);
    if (m_listenSocket < 0 || ::listen(m_listenSocket, 64) != 0) {
        return false;
    }
    m_stopping = false;
    m_acceptThread = std::thread([this] { acceptLoop(); });
    return true;
}

void LoopbackServer::stop()
{
    if (m_listenSocket < 0) {
        return;
    }
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        // Shutting the sockets down wakes the threads blocked in accept() and recv().
        sockets::wakeListening(m_listenSocket);
        for (const int socket : m_openSockets) {
            sockets::wakeConnection(socket);
        }
    }
    m_stopped.notify_all();
    m_acceptThread.join();
    {
        std::lock_guard lock(m_mutex);
        threads.swap(m_connectionThreads);
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    sockets::closeListening(m_listenSocket);
    m_listenSocket = -1;
}

std::string LoopbackServer::url(std::string_view path) const
{
    return "http://127.0.0.1:" + std::to_string(m_port) + std::string(path);
}

void LoopbackServer::setHandler(Handler handler)
{
    std::lock_guard lock(m_mutex);
    m_handler = std::move(handler);
}

void LoopbackServer::setResponse(ScriptedResponse response)
{
    setHandler([response = std::move(response)](const RecordedRequest&) { return response; });
}

std::vector<RecordedRequest> LoopbackServer::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

int LoopbackServer::connectionCount() const
{
    std::lock_guard lock(m_mutex);
    return m_connectionCount;
}

int LoopbackServer::unusedPort()
{
    int port = 0;
    const int fd = listeningSocket(port);
    if (fd < 0) {
        return 0;
    }
    // The kernel hands ephemeral ports out in turn, so the port just released stays free for
    // the few moments a test needs it.
    sockets::closeSocket(fd);
    return port;
}

void LoopbackServer::acceptLoop()
{
    for (;;) {
        const int socket = sockets::acceptConnection(m_listenSocket);
        std::lock_guard lock(m_mutex);
        if (m_stopping) {
            if (socket >= 0) {
                sockets::closeSocket(socket);
            }
            return;
        }
        if (socket < 0) {
            if (sockets::acceptMayRetry()) {
                continue;
            }
            return;
        }
        ++m_connectionCount;
        m_openSockets.push_back(socket);
        m_connectionThreads.emplace_back([this, socket] { serve(socket); });
    }
}

void LoopbackServer::serve(int socket)
{
    std::string pending;
    char chunk[16384];
    bool open = true;
    while (open) {
        std::size_t headEnd = pending.find("\r\n\r\n");
        while (headEnd == std::string::npos) {
            const long got = sockets::receiveSome(socket, chunk, sizeof chunk);
            if (got <= 0) {
                open = false;
                break;
            }
            pending.append(chunk, static_cast<std::size_t>(got));
            headEnd = pending.find("\r\n\r\n");
        }
        if (!open) {
            break;
        }
        RecordedRequest request;
        std::string_view head = std::string_view(pending).substr(0, headEnd);
        std::size_t lineEnd = head.find("\r\n");
        request.requestLine = head.substr(0, lineEnd);
        while (lineEnd != std::string_view::npos) {
            head.remove_prefix(lineEnd + 2);
            lineEnd = head.find("\r\n");
            request.headerLines.emplace_back(head.substr(0, lineEnd));
        }
        pending.erase(0, headEnd + 4);
        // A missing or malformed length reads as no body.
        const std::string lengthText = request.header("Content-Length").value_or("0");
        const std::size_t length = std::strtoul(lengthText.c_str(), nullptr, 10);
        while (pending.size() < length) {
            const long got = sockets::receiveSome(socket, chunk, sizeof chunk);
            if (got <= 0) {
                open = false;
                break;
            }
            pending.append(chunk, static_cast<std::size_t>(got));
        }
        request.body = pending.substr(0, length);
        pending.erase(0, std::min(length, pending.size()));

        Handler handler;
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back(request);
            handler = m_handler;
        }
        const ScriptedResponse response = handler ? handler(request) : ScriptedResponse{};
        if (response.neverAnswer) {
            holdUntilStopped();
            break;
        }
        open = open && answer(socket, response);
    }
    std::lock_guard lock(m_mutex);
    m_openSockets.erase(std::remove(m_openSockets.begin(), m_openSockets.end(), socket),
                        m_openSockets.end());
    // While stopping, stop() has woken this connection already.
    if (m_stopping) {
        sockets::closeAfterWake(socket);
    } else {
        sockets::closeSocket(socket);
    }
}

bool LoopbackServer::answer(int socket, const ScriptedResponse& response)
{
    std::string head = response.statusLine + "\r\n";
    bool hasLength = false;
    for (const std::string& line : response.headerLines) {
        head += line + "\r\n";
        const std::size_t colon = line.find(':');
        hasLength = hasLength ||
                    (colon != std::string::npos &&
                     equalsIgnoringCase(std::string_view(line).substr(0, colon), "Content-Length"));
    }
    if (response.addContentLength && !hasLength) {
        head += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
    }
    head += "\r\n";
    if (response.closeAfterBodyBytes) {
        const std::string_view part =
            std::string_view(response.body).substr(0, *response.closeAfterBodyBytes);
        if (write(socket, head + std::string(part), response.dripInterval) &&
            response.silentAfterCut) {
            holdUntilStopped();
        }
        return false;
    }
    return write(socket, head + response.body, response.dripInterval);
}

bool LoopbackServer::write(int socket, std::string_view bytes,
                           std::chrono::milliseconds dripInterval)
{
    if (dripInterval.count() == 0) {
        return sendAll(socket, bytes);
    }
    for (const char byte : bytes) {
        if (!sendAll(socket, std::string_view(&byte, 1))) {
            return false;
        }
        std::unique_lock lock(m_mutex);
        if (m_stopped.wait_for(lock, dripInterval, [this] { return m_stopping; })) {
            return false;
        }
    }
    return true;
}

void LoopbackServer::holdUntilStopped()
{
    std::unique_lock lock(m_mutex);
    m_stopped.wait(lock, [this] { return m_stopping; });
}

} // namespace marrowtune::test
