// SPDX-License-Identifier: GPL-3.0-or-later
// The tests' loopback peers on Winsock.
#include "support/TestSupport.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <stdexcept>

namespace testing_support {

namespace {

bool Started() {
    static const bool started = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

SOCKET S(int fd) { return static_cast<SOCKET>(static_cast<unsigned>(fd)); }

int BoundSocket(int type, int& port) {
    if (!Started()) throw std::runtime_error("WSAStartup failed");
    const SOCKET s = ::socket(AF_INET, type, 0);
    if (s == INVALID_SOCKET) throw std::runtime_error("socket failed");
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) throw std::runtime_error("bind failed");
    int len = sizeof a;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    return static_cast<int>(s);
}

bool Readable(int fd, int ms) {
    WSAPOLLFD p{S(fd), POLLRDNORM, 0};
    return ::WSAPoll(&p, 1, ms) > 0;
}

}  // namespace

TUdpPeer::TUdpPeer() { fd_ = BoundSocket(SOCK_DGRAM, port_); }
TUdpPeer::~TUdpPeer() { ::closesocket(S(fd_)); }

void TUdpPeer::SendTo(int port, const std::string& bytes) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<u_short>(port));
    ::sendto(S(fd_), bytes.data(), static_cast<int>(bytes.size()), 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
}

bool TUdpPeer::Receive(std::string& bytes, int& fromPort, int ms) {
    if (!Readable(fd_, ms)) return false;
    char buf[65536];
    sockaddr_in a{};
    int len = sizeof a;
    const int n = ::recvfrom(S(fd_), buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&a), &len);
    if (n < 0) return false;
    bytes.assign(buf, static_cast<size_t>(n));
    fromPort = ntohs(a.sin_port);
    return true;
}

TTcpListener::TTcpListener() {
    fd_ = BoundSocket(SOCK_STREAM, port_);
    ::listen(S(fd_), 16);
}
TTcpListener::~TTcpListener() { ::closesocket(S(fd_)); }

int TTcpListener::Accept(int ms) {
    if (!Readable(fd_, ms)) return -1;
    const SOCKET s = ::accept(S(fd_), nullptr, nullptr);
    return s == INVALID_SOCKET ? -1 : static_cast<int>(s);
}

int UnusedTcpPort() {
    int port = 0;
    const int fd = BoundSocket(SOCK_STREAM, port);
    ::closesocket(S(fd));
    return port;
}

}  // namespace testing_support
