// SPDX-License-Identifier: MIT
// marrowtune-sample-service [--port N]: the local stand-in for the music services, on
// 127.0.0.1, until SIGINT or SIGTERM.

#include "marrowtune/config.h"
#include "tools/sample-service/sample_service.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

constexpr const char* Usage =
    "usage: marrowtune-sample-service [--port N]\n"
    "Serves the sample Zone playlists, song search, mirror, listen-online page and about\n"
    "page on 127.0.0.1 (default port %d) until interrupted.\n";

bool parsePort(std::string_view text, int& port)
{
    if (text.empty() || text.size() > 5) {
        return false;
    }
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > 65535) {
        return false;
    }
    port = value;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    int port = marrowtune::config::SamplePort;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::printf(Usage, marrowtune::config::SamplePort);
            return 0;
        }
        if (arg == "--port" && i + 1 < argc && parsePort(argv[i + 1], port)) {
            ++i;
            continue;
        }
        std::fprintf(stderr, Usage, marrowtune::config::SamplePort);
        return 2;
    }

    // Block the stop signals in every thread and wait for them here, so that stopping the
    // server never happens inside a signal handler.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    marrowtune::sample::SampleService service;
    if (!service.start(port)) {
        std::fprintf(stderr, "marrowtune-sample-service: cannot listen on 127.0.0.1:%d\n", port);
        return 1;
    }
    std::printf("marrowtune-sample-service: listening on http://%s\n",
                service.hostAndPort().c_str());
    std::fflush(stdout);

    int received = 0;
    sigwait(&stopSignals, &received);
    service.stop();
    return 0;
}
