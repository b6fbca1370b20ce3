// SPDX-License-Identifier: MIT
#pragma once
// The local sample service: an HTTP server on 127.0.0.1 that stands in for the Zone playlist
// service, the song-search service, the mirror host, the listen-online page and the author's
// home page, answering from the built-in catalogue.

#include "tools/sample-service/answers.h"

#include <memory>
#include <string>

namespace marrowtune::sample {

/// Turns UTF-8 text into GBK bytes (characters GBK lacks become "?").
std::string utf8ToGbk(std::string_view utf8);

/// The sample service. Runs on a thread of its own between start() and stop().
class SampleService {
public:
    explicit SampleService(LinkHosts hosts = LinkHosts::buildDefaults());
    ~SampleService();
    SampleService(const SampleService&) = delete;
    SampleService& operator=(const SampleService&) = delete;

    /// Binds 127.0.0.1:`port` (0: an ephemeral port) and starts answering. False when the
    /// port cannot be bound or the service already runs.
    bool start(int port = 0);
    /// The bound port, 0 when not running.
    int port() const;
    /// "127.0.0.1:" + port.
    std::string hostAndPort() const;
    /// Stops answering and waits for the server thread; harmless when not running.
    void stop();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace marrowtune::sample
