// SPDX-License-Identifier: MIT
#include "tools/sample-service/sample_service.h"

#include "base/ascii.h"
#include "platform/codepage/codepage.h"
#include "tools/sample-service/catalogue.h"

#include <chrono>
#include <httplib.h>
#include <thread>

namespace marrowtune::sample {
namespace {

constexpr const char* TextType = "application/x-javascript; charset=GBK";
constexpr const char* HtmlType = "text/html; charset=GBK";
constexpr const char* AudioType = "audio/wav";

std::string percentDecode(std::string_view text)
{
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexDigitValue(text[i + 1]) >= 0 &&
            hexDigitValue(text[i + 2]) >= 0) {
            decoded +=
                static_cast<char>(hexDigitValue(text[i + 1]) * 16 + hexDigitValue(text[i + 2]));
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

// The raw value after "url=" in the request target, up to its end: the listen-online address
// carries the link unencoded, so a link with "&" in its query must not be cut there.
std::string rawListenLink(const std::string& target)
{
    const std::size_t query = target.find('?');
    if (query == std::string::npos) {
        return {};
    }
    const std::string_view rest = std::string_view(target).substr(query + 1);
    const std::size_t key = rest.find("url=");
    if (key == std::string_view::npos || (key > 0 && rest[key - 1] != '&')) {
        return {};
    }
    return percentDecode(rest.substr(key + 4));
}

std::int64_t toNumber(const std::string& digits)
{
    try {
        return std::stoll(digits);
    } catch (...) {
        return -1;
    }
}

int pageParameter(const httplib::Request& request)
{
    const std::int64_t page = toNumber(request.get_param_value("p"));
    return page < 1 || page > 100000 ? 1 : static_cast<int>(page);
}

} // namespace

std::string utf8ToGbk(std::string_view utf8)
{
    return codepage::fromWide(codepage::toWide(utf8, CodePage::Utf8), CodePage::Gbk);
}

struct SampleService::Impl {
    LinkHosts hosts;
    httplib::Server server;
    std::thread thread;
    int port = 0;

    std::string ownHost(const httplib::Request& request) const
    {
        const std::string host = request.get_header_value("Host");
        return host.empty() ? "127.0.0.1:" + std::to_string(port) : host;
    }

    void routes()
    {
        server.Get("/fcg-bin/cgi_playlist_xml.fcg",
                   [this](const httplib::Request& request, httplib::Response& response) {
                       const std::string answer = zonePlaylistAnswer(request.get_param_value("uin"),
                                                                     hosts, ownHost(request));
                       response.set_content(utf8ToGbk(answer), TextType);
                   });
        server.Get("/fcgi-bin/fcg_search_xmldata.q",
                   [this](const httplib::Request& request, httplib::Response& response) {
                       const std::string answer = songSearchAnswer(request.get_param_value("w"),
                                                                   pageParameter(request), hosts);
                       response.set_content(utf8ToGbk(answer), TextType);
                   });
        server.Get(R"(/mp3/(\d+)/(\d+)\.mp3)",
                   [](const httplib::Request& request, httplib::Response& response) {
                       const CatalogueSong* song = findSongByMirrorId(toNumber(request.matches[2]));
                       if (song == nullptr) {
                           response.status = 404;
                           response.set_content("no such song\n", "text/plain");
                           return;
                       }
                       response.set_content(audioClip(song->songId), AudioType);
                   });
        server.Get(R"(/files/(\d+)\.mp3)",
                   [](const httplib::Request& request, httplib::Response& response) {
                       response.set_content(audioClip(toNumber(request.matches[1])), AudioType);
                   });
        server.Get(R"(/up/.*)", [](const httplib::Request& request, httplib::Response& response) {
            response.set_content(audioClip(static_cast<std::int64_t>(request.path.size())),
                                 AudioType);
        });
        server.Get("/musci/mp3.html", [](const httplib::Request& request,
                                         httplib::Response& response) {
            response.set_content(utf8ToGbk(listenPage(rawListenLink(request.target))), HtmlType);
        });
        server.Get("/about", [](const httplib::Request&, httplib::Response& response) {
            response.set_content(utf8ToGbk(aboutPage()), HtmlType);
        });
    }
};

SampleService::SampleService(LinkHosts hosts) : m_impl(std::make_unique<Impl>())
{
    m_impl->hosts = std::move(hosts);
    m_impl->routes();
}

SampleService::~SampleService()
{
    stop();
}

bool SampleService::start(int port)
{
    if (m_impl->thread.joinable()) {
        return false;
    }
    int bound = -1;
    if (port == 0) {
        bound = m_impl->server.bind_to_any_port("127.0.0.1");
    } else if (m_impl->server.bind_to_port("127.0.0.1", port)) {
        bound = port;
    }
    if (bound <= 0) {
        return false;
    }
    m_impl->port = bound;
    m_impl->thread = std::thread([this] { m_impl->server.listen_after_bind(); });
    // stop() is only safe once the accept loop runs; the socket already queues connections.
    while (!m_impl->server.is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

int SampleService::port() const
{
    return m_impl->thread.joinable() ? m_impl->port : 0;
}

std::string SampleService::hostAndPort() const
{
    return "127.0.0.1:" + std::to_string(port());
}

void SampleService::stop()
{
    if (!m_impl->thread.joinable()) {
        return;
    }
    m_impl->server.stop();
    m_impl->thread.join();
    m_impl->port = 0;
}

} // namespace marrowtune::sample
