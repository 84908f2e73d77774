// SPDX-License-Identifier: GPL-3.0-or-later
// The tests' loopback peers on POSIX sockets.
#include "support/TestSupport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace testing_support {

static int BoundSocket(int type, int& port) {
    int fd = ::socket(AF_INET, type, 0);
    if (fd < 0) throw std::runtime_error("socket failed");
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) throw std::runtime_error("bind failed");
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    return fd;
}

TUdpPeer::TUdpPeer() { fd_ = BoundSocket(SOCK_DGRAM, port_); }
TUdpPeer::~TUdpPeer() { ::close(fd_); }

void TUdpPeer::SendTo(int port, const std::string& bytes) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    ::sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
}

bool TUdpPeer::Receive(std::string& bytes, int& fromPort, int ms) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, ms) <= 0) return false;
    char buf[65536];
    sockaddr_in a{};
    socklen_t len = sizeof a;
    ssize_t n = ::recvfrom(fd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&a), &len);
    if (n < 0) return false;
    bytes.assign(buf, static_cast<size_t>(n));
    fromPort = ntohs(a.sin_port);
    return true;
}

TTcpListener::TTcpListener() {
    fd_ = BoundSocket(SOCK_STREAM, port_);
    ::listen(fd_, 16);
}
TTcpListener::~TTcpListener() { ::close(fd_); }

int TTcpListener::Accept(int ms) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, ms) <= 0) return -1;
    return ::accept(fd_, nullptr, nullptr);
}

int UnusedTcpPort() {
    int port = 0;
    int fd = BoundSocket(SOCK_STREAM, port);
    ::close(fd);
    return port;
}

}  // namespace testing_support
