// SPDX-License-Identifier: MIT
#include "net/http.h"

#include "base/percent.h"
#include "net/cookies.h"
#include "net/url.h"
#include "platform/inet/inet.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <memory>
#include <vector>

namespace marrowtune {
namespace {

constexpr std::string_view LineEnd = "\r\n";
constexpr std::string_view ProxyListPrefix = "http=";
constexpr std::string_view HttpVersion = "HTTP/1.1";
constexpr std::string_view UserAgentMarker = "User-Agent:";
constexpr std::string_view SetCookieMarker = "Set-Cookie:";
constexpr std::size_t ReadPiece = 1024;
constexpr std::size_t HeaderBufferSize = 5000;

// An Internet handle closed when its owner goes: httpRequest declares the Internet handle,
// the connection and the request in that order, so every path out closes them innermost first.
struct HandleCloser {
    void operator()(inet::Handle handle) const { inet::close(handle); }
};
using OwnedHandle = std::unique_ptr<inet::Object, HandleCloser>;

// A control byte in a text put on a header line would end the line early and let the rest
// stand as a line of its own (a QQ box holding CR LF, say); such bytes go out percent-encoded,
// as they do in the request path.
Text controlBytesEncoded(const Text& text)
{
    return percentEncoded(text, [](unsigned char byte) { return byte < 0x20 || byte == 0x7F; });
}

// The header defaults, each searched with case respected anywhere in the text.
void completeHeaders(Text& headers, const Text& url, const Text& cookies)
{
    if (findText(headers, "Referer:") == -1) {
        headers += headers.empty() ? Text("Referer: ") : Text("\r\nReferer: ");
        headers += controlBytesEncoded(url);
    }
    if (findText(headers, "Accept:") == -1) {
        headers += "\r\nAccept: */*";
    }
    if (findText(headers, "Accept-Language:") == -1) {
        headers += "\r\nAccept-Language: zh-cn";
    }
    if (findText(headers, "Content-Type:") == -1) {
        headers += "\r\nContent-Type: application/x-www-form-urlencoded";
    }
    if (!cookies.empty()) {
        headers += "\r\nCookie: ";
        headers += controlBytesEncoded(cookies);
    }
}

// The name=value part of a Set-Cookie line. A cookie without attributes has no ";" after its
// value; it contributes its whole value rather than an empty item.
Text setCookieItem(const Text& line)
{
    Text item = trimText(textBetween(line, SetCookieMarker, ";"));
    if (!item.empty()) {
        return item;
    }
    const int marker = findText(line, SetCookieMarker, 1, true);
    if (marker == -1) {
        return {};
    }
    const std::string_view rest =
        std::string_view(line).substr(static_cast<size_t>(marker - 1) + SetCookieMarker.size());
    if (rest.find(';') != std::string_view::npos) {
        return {}; // an empty value before the ";"
    }
    return trimText(rest);
}

} // namespace

Text headerValue(const Text& line)
{
    const int colon = findText(line, ":");
    if (colon == -1) {
        return {};
    }
    return trimText(std::string_view(line).substr(static_cast<size_t>(colon)));
}

Text requestAgent(const Text& headers)
{
    const int marker = findText(headers, UserAgentMarker, 1, true);
    if (marker == -1) {
        return Text(DefaultAgent);
    }
    // The value runs to the end of its own line, whether or not a CR LF follows it.
    std::string_view value =
        std::string_view(headers).substr(static_cast<size_t>(marker - 1) + UserAgentMarker.size());
    value = value.substr(0, value.find(LineEnd));
    return trimText(value);
}

ByteBuffer httpRequest(const Text& url, int method, const Text& formText, Text* cookies,
                       Text* newCookies, Text* headers, Text* location, bool noRedirect,
                       ByteBuffer* formBytes, const std::optional<Text>& proxy, Text* rawHeaders)
{
    Text localCookies;
    Text localNewCookies;
    Text localHeaders;
    Text localLocation;
    Text localRawHeaders;
    ByteBuffer localFormBytes;
    Text& cookieText = cookies != nullptr ? *cookies : localCookies;
    Text& newCookieText = newCookies != nullptr ? *newCookies : localNewCookies;
    Text& headerText = headers != nullptr ? *headers : localHeaders;
    Text& locationText = location != nullptr ? *location : localLocation;
    Text& rawHeaderText = rawHeaders != nullptr ? *rawHeaders : localRawHeaders;
    ByteBuffer& formBuffer = formBytes != nullptr ? *formBytes : localFormBytes;

    const std::string_view verb = method == 1 ? "POST" : "GET";
    const Text agent = requestAgent(headerText);

    const OwnedHandle internet(
        proxy ? inet::open(agent, inet::AccessType::Proxy, Text(ProxyListPrefix) + *proxy, "")
              : inet::open(agent, inet::AccessType::Direct));
    if (internet == nullptr) {
        return {};
    }
    const OwnedHandle connection(inet::connect(internet.get(), urlHost(url), urlPort(url)));
    if (connection == nullptr) {
        return {};
    }
    std::uint32_t flags = inet::Reload | inet::NeedFile | inet::NoCookies;
    if (noRedirect) {
        flags |= inet::NoAutoRedirect;
    }
    flags |= toLowerText(leftText(url, 5)) == "https" ? inet::Secure : inet::IgnoreRedirectToHttps;
    const OwnedHandle owned(
        inet::openRequest(connection.get(), verb, urlPath(url), HttpVersion, flags));
    if (owned == nullptr) {
        return {};
    }
    const inet::Handle request = owned.get();

    completeHeaders(headerText, url, cookieText);
    bool answered = false;
    if (method == 0) {
        answered = inet::send(request, headerText, nullptr, 0);
    } else {
        if (formBuffer.empty()) {
            formBuffer = textToBytes(formText);
        }
        answered = inet::send(request, headerText, formBuffer.empty() ? nullptr : formBuffer.data(),
                              formBuffer.size());
    }

    // A transfer that broke off (closed early, cut by a time limit or the size bound, or
    // cancelled) is a failed request as a whole, not a shorter answer: nothing of it is used.
    ByteBuffer body;
    body.reserve(inet::queryDataAvailable(request).value_or(0));
    bool whole = answered;
    while (whole) {
        std::array<std::uint8_t, ReadPiece> piece{};
        std::size_t count = 0;
        whole = inet::read(request, piece.data(), piece.size(), count);
        if (count == 0) {
            break;
        }
        body.insert(body.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(count));
    }
    if (whole) {
        rawHeaderText = inet::queryRawHeaders(request, HeaderBufferSize).value_or(Text());
    } else {
        body.clear();
        rawHeaderText.clear();
    }
    scanRawHeaders(rawHeaderText, locationText, newCookieText);
    mergeCookies(cookieText, newCookieText);
    return body;
}

ProbeAnswer probeUrl(const Text& url, const std::optional<Text>& proxy)
{
    constexpr auto ProbeDeadline = std::chrono::seconds(10);
    constexpr std::size_t ProbeSizeCap = 64 * 1024;
    const inet::ScopedRequestBounds bounds(ProbeDeadline, ProbeSizeCap);
    const Text agent(DefaultAgent);
    const OwnedHandle internet(
        proxy ? inet::open(agent, inet::AccessType::Proxy, Text(ProxyListPrefix) + *proxy, "")
              : inet::open(agent, inet::AccessType::Direct));
    const OwnedHandle connection(inet::connect(internet.get(), urlHost(url), urlPort(url)));
    const std::uint32_t flags =
        inet::Reload | inet::NeedFile | inet::NoCookies |
        (toLowerText(leftText(url, 5)) == "https" ? inet::Secure : inet::IgnoreRedirectToHttps);
    const OwnedHandle request(
        inet::openRequest(connection.get(), "GET", urlPath(url), HttpVersion, flags));
    Text headers = "Range: bytes=0-1";
    completeHeaders(headers, url, {});
    ProbeAnswer answer;
    if (request == nullptr || !inet::send(request.get(), headers, nullptr, 0)) {
        return answer;
    }
    const Text block = inet::queryRawHeaders(request.get(), HeaderBufferSize).value_or(Text());
    const std::vector<Text> lines = splitText(block, LineEnd);
    // "HTTP/1.1 206 Partial Content": the three digits after the first space.
    const std::string_view statusLine = lines.empty() ? std::string_view() : lines.front();
    const std::size_t space = statusLine.find(' ');
    const std::string_view code =
        space == std::string_view::npos ? std::string_view() : statusLine.substr(space + 1, 3);
    if (code.size() == 3 &&
        std::all_of(code.begin(), code.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        answer.status = std::stoi(std::string(code));
    }
    for (const Text& line : lines) {
        if (findText(line, "Content-Type:", 1, true) == 1) {
            answer.contentType = headerValue(line);
        }
    }
    return answer;
}

void setRequestWaitHook(std::function<void()> hook)
{
    inet::setWaitHook(std::move(hook));
}

void prepareRequests()
{
    inet::prepare();
}

void cancelAllRequests()
{
    inet::cancelAll();
}

void scanRawHeaders(const Text& rawHeaders, Text& location, Text& newCookies)
{
    newCookies.clear();
    for (const Text& line : splitText(rawHeaders, LineEnd)) {
        if (findText(line, "Location:") != -1) {
            location = headerValue(line);
        }
        if (findText(line, "Set-Cookie") != -1) {
            newCookies += setCookieItem(line);
            newCookies += "; ";
        }
    }
    newCookies = leftText(newCookies, static_cast<int>(newCookies.size()) - 2);
    if (location.empty()) {
        location = rawHeaders;
    }
}

Text httpGetText(const Text& url, int method, const Text& formText, Text* cookies, Text* newCookies,
                 Text* headers, Text* location, bool noRedirect, ByteBuffer* formBytes,
                 const std::optional<Text>& proxy, Text* rawHeaders)
{
    return bytesToText(httpRequest(url, method, formText, cookies, newCookies, headers, location,
                                   noRedirect, formBytes, proxy, rawHeaders));
}

} // namespace marrowtune
