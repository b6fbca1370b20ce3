// SPDX-License-Identifier: MIT
#pragma once
// A scripted HTTP server on 127.0.0.1 for tests. It records each request exactly as it came
// off the wire (request line, header lines in order, body) and answers with exactly the bytes
// a test scripts, so tests can check header text byte for byte and produce answers a tidy
// server would not (duplicate lines, huge header blocks, a connection closed mid-body, no
// answer at all).
//
//   LoopbackServer server;
//   server.setHandler([](const RecordedRequest& r) { return ScriptedResponse::text("hi"); });
//   server.start();
//   httpGetText("http://127.0.0.1:" + std::to_string(server.port()) + "/x");
//   server.requests().front().headerLines ...

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace marrowtune::test {

/// One request as received.
struct RecordedRequest {
    std::string requestLine;              ///< e.g. "GET /x HTTP/1.1"
    std::vector<std::string> headerLines; ///< in order, without line ends
    std::string body;                     ///< the Content-Length bytes that followed

    /// The method of the request line.
    std::string method() const;
    /// The target of the request line (path and query).
    std::string target() const;
    /// The value (trimmed) of the first header line named `name`, ignoring case.
    std::optional<std::string> header(std::string_view name) const;
    /// The header lines without the two the transport owns (Host, Content-Length): those the
    /// caller's header text put on the wire.
    std::vector<std::string> callerHeaderLines() const;
};

/// The bytes to answer one request with.
struct ScriptedResponse {
    std::string statusLine = "HTTP/1.1 200 OK";
    std::vector<std::string> headerLines; ///< written as given, each followed by CR LF
    std::string body;
    /// Adds a Content-Length line unless one of headerLines already is one.
    bool addContentLength = true;
    /// Writes only this many body bytes, then closes the connection.
    std::optional<std::size_t> closeAfterBodyBytes;
    /// Accepts the request and never answers (the connection is held until stop()).
    bool neverAnswer = false;
    /// With closeAfterBodyBytes: holds the connection open and silent instead of closing it.
    bool silentAfterCut = false;
    /// When not zero, writes the response one byte at a time with this pause after each byte.
    std::chrono::milliseconds dripInterval{0};

    /// 200 with `body`.
    static ScriptedResponse text(std::string body, std::vector<std::string> headerLines = {});
    /// A redirect with status `code` to `location`, with `headerLines` after its Location line
    /// and `body`.
    static ScriptedResponse redirect(std::string location, int code = 302,
                                     std::vector<std::string> headerLines = {},
                                     std::string body = {});
    /// A response that never comes: the request is taken and left unanswered.
    static ScriptedResponse unanswered();
};

/// Loopback HTTP/1.1 server with keep-alive, one thread per connection.
class LoopbackServer {
public:
    using Handler = std::function<ScriptedResponse(const RecordedRequest&)>;

    LoopbackServer() = default;
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    /// Listens on 127.0.0.1 on a free port; false when that fails.
    bool start();
    /// Closes every connection and waits for the server's threads.
    void stop();
    /// The port listened on (0 before start()).
    int port() const { return m_port; }
    /// "http://127.0.0.1:PORT" followed by `path`.
    std::string url(std::string_view path = "/") const;

    /// Answers every request with what `handler` returns (default: 200 with an empty body).
    void setHandler(Handler handler);
    /// Answers every request with `response`.
    void setResponse(ScriptedResponse response);
    /// The requests received so far, oldest first.
    std::vector<RecordedRequest> requests() const;
    /// How many connections were accepted so far.
    int connectionCount() const;

    /// A port on 127.0.0.1 on which nothing listens (a connection is refused).
    static int unusedPort();

private:
    void acceptLoop();
    void serve(int socket);
    bool answer(int socket, const ScriptedResponse& response);
    bool write(int socket, std::string_view bytes, std::chrono::milliseconds dripInterval);
    void holdUntilStopped();

    int m_listenSocket = -1;
    int m_port = 0;
    std::thread m_acceptThread;
    mutable std::mutex m_mutex;
    std::condition_variable m_stopped;
    bool m_stopping = false;
    Handler m_handler;
    std::vector<RecordedRequest> m_requests;
    std::vector<int> m_openSockets;
    std::vector<std::thread> m_connectionThreads;
    int m_connectionCount = 0;
};

} // namespace marrowtune::test
