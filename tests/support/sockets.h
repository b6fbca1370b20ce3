// SPDX-License-Identifier: MIT
#pragma once
// The few socket calls the loopback server makes, over BSD sockets or Winsock. A socket is an
// int on both: Winsock's handles are small numbers in practice, and -1 stays "no socket".

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstddef>
#include <string_view>

namespace marrowtune::test::sockets {

/// Makes the socket library ready; call before any other of these. False when it cannot be.
inline bool startUp()
{
#ifdef _WIN32
    static const bool ready = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return ready;
#else
    return true;
#endif
}

/// A new TCP socket that child processes do not inherit, or -1.
inline int newStreamSocket()
{
#ifdef _WIN32
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    return s == INVALID_SOCKET ? -1 : static_cast<int>(s);
#else
    return ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
#endif
}

/// Accepts a connection on a listening socket; -1 on failure.
inline int acceptConnection(int listening)
{
#ifdef _WIN32
    const SOCKET s = ::accept(static_cast<SOCKET>(listening), nullptr, nullptr);
    return s == INVALID_SOCKET ? -1 : static_cast<int>(s);
#else
    return ::accept4(listening, nullptr, nullptr, SOCK_CLOEXEC);
#endif
}

/// True when a failed accept may simply be tried again.
inline bool acceptMayRetry()
{
#ifdef _WIN32
    return WSAGetLastError() == WSAECONNRESET;
#else
    return errno == EINTR || errno == ECONNABORTED;
#endif
}

/// Sends what it can of `bytes` without raising SIGPIPE; the count sent, or -1.
inline long sendSome(int socket, std::string_view bytes)
{
#ifdef _WIN32
    const int chunk = bytes.size() > 1 << 30 ? 1 << 30 : static_cast<int>(bytes.size());
    return ::send(static_cast<SOCKET>(socket), bytes.data(), chunk, 0);
#else
    return ::send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
#endif
}

/// Receives up to `size` bytes; the count, 0 at the end, or -1.
inline long receiveSome(int socket, char* buffer, std::size_t size)
{
#ifdef _WIN32
    return ::recv(static_cast<SOCKET>(socket), buffer, static_cast<int>(size), 0);
#else
    return ::recv(socket, buffer, size, 0);
#endif
}

/// True when the last failed call was only interrupted.
inline bool interrupted()
{
#ifdef _WIN32
    return false;
#else
    return errno == EINTR;
#endif
}

/// Wakes a thread blocked in recv() on a connection. Wine's recv() does not wake on shutdown(),
/// so there the socket is closed here and closeAfterWake() does nothing more.
inline void wakeConnection(int socket)
{
#ifdef _WIN32
    ::closesocket(static_cast<SOCKET>(socket));
#else
    ::shutdown(socket, SHUT_RDWR);
#endif
}

/// Closes a connection after wakeConnection().
inline void closeAfterWake(int socket)
{
#ifdef _WIN32
    (void)socket;
#else
    ::close(socket);
#endif
}

/// Closes a socket.
inline void closeSocket(int socket)
{
#ifdef _WIN32
    ::closesocket(static_cast<SOCKET>(socket));
#else
    ::close(socket);
#endif
}

/// Wakes the thread blocked in accept() on a listening socket. Winsock wakes it only by closing
/// the socket, so there it is closed here and closeListening() does nothing more.
inline void wakeListening(int socket)
{
#ifdef _WIN32
    closeSocket(socket);
#else
    ::shutdown(socket, SHUT_RDWR);
#endif
}

/// Closes a listening socket after wakeListening().
inline void closeListening(int socket)
{
#ifdef _WIN32
    (void)socket;
#else
    ::close(socket);
#endif
}

} // namespace marrowtune::test::sockets
