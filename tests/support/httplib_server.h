// SPDX-License-Identifier: MIT
#pragma once
// A cpp-httplib server on 127.0.0.1 with an ephemeral port, run on its own thread: a tidy,
// independent HTTP implementation to check the client against (chunked bodies, keep-alive,
// redirects as a real server writes them).
//
//   HttplibServer server;
//   server.server().Get("/x", [](const httplib::Request&, httplib::Response& r) { ... });
//   server.start();

#include <chrono>
#include <httplib.h>
#include <string>
#include <string_view>
#include <thread>

namespace marrowtune::test {

class HttplibServer {
public:
    HttplibServer() = default;
    ~HttplibServer() { stop(); }
    HttplibServer(const HttplibServer&) = delete;
    HttplibServer& operator=(const HttplibServer&) = delete;

    /// The server, to register handlers on before start().
    httplib::Server& server() { return m_server; }
    /// Listens on 127.0.0.1 on a free port and serves on a thread; false when that fails.
    bool start()
    {
        m_port = m_server.bind_to_any_port("127.0.0.1");
        if (m_port <= 0) {
            return false;
        }
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        // Serving begins on the thread; wait (a bounded while) until it does.
        for (int i = 0; i < 5000 && !m_server.is_running(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return m_server.is_running();
    }
    /// Stops serving and waits for the thread.
    void stop()
    {
        if (m_thread.joinable()) {
            m_server.stop();
            m_thread.join();
        }
    }
    /// The port listened on.
    int port() const { return m_port; }
    /// "http://127.0.0.1:PORT" followed by `path`.
    std::string url(std::string_view path = "/") const
    {
        return "http://127.0.0.1:" + std::to_string(m_port) + std::string(path);
    }

private:
    httplib::Server m_server;
    std::thread m_thread;
    int m_port = 0;
};

} // namespace marrowtune::test
