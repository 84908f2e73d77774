// SPDX-License-Identifier: GPL-3.0-or-later
// The socket calls on POSIX; errno comes back as Windows Sockets numbers.
#include "net/WSocketApi.h"

#include "net/WSocketErrors.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>
#include <system_error>

namespace wsapi {

namespace {

int Done(int result, int& error) {
    error = result < 0 ? WinSockErrorFromErrno(errno) : 0;
    return result;
}

sockaddr_in Ipv4(std::uint32_t addr, std::uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = addr;
    a.sin_port = port;
    return a;
}

int SetFlag(int fd, int option, int& error) {
    const int on = 1;
    return Done(::setsockopt(fd, SOL_SOCKET, option, &on, sizeof on), error);
}

}  // namespace

int CreateSocket(bool datagram, int protocol, int& error) {
    const int type = (datagram ? SOCK_DGRAM : SOCK_STREAM) | SOCK_NONBLOCK | SOCK_CLOEXEC;
    return Done(::socket(AF_INET, type, protocol), error);
}

int Connect(int fd, std::uint32_t addr, std::uint16_t port, int& error) {
    const sockaddr_in a = Ipv4(addr, port);
    return Done(::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a), error);
}

int Bind(int fd, std::uint32_t addr, std::uint16_t port, int& error) {
    const sockaddr_in a = Ipv4(addr, port);
    return Done(::bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a), error);
}

long Send(int fd, const void* data, std::size_t count, int& error) {
    // MSG_NOSIGNAL: a peer that reset the connection must give an error, not kill the process.
    const ssize_t n = ::send(fd, data, count, MSG_NOSIGNAL);
    error = n < 0 ? WinSockErrorFromErrno(errno) : 0;
    return static_cast<long>(n);
}

long Receive(int fd, void* buffer, std::size_t size, bool peek, int& error) {
    const ssize_t n = ::recv(fd, buffer, size, peek ? MSG_PEEK : 0);
    error = n < 0 ? WinSockErrorFromErrno(errno) : 0;
    return static_cast<long>(n);
}

int PendingBytes(int fd, int& error) {
    int count = 0;
    if (Done(::ioctl(fd, FIONREAD, &count), error) < 0) return -1;
    return count;
}

int PendingError(int fd) {
    int err = 0;
    socklen_t len = sizeof err;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) < 0) err = errno;
    return WinSockErrorFromErrno(err);
}

int ShutdownSend(int fd, int& error) { return Done(::shutdown(fd, SHUT_WR), error); }

int Close(int fd, int& error) { return Done(::close(fd), error); }

int SetLinger(int fd, bool on, int seconds, int& error) {
    linger l{};
    l.l_onoff = on ? 1 : 0;
    l.l_linger = seconds;
    return Done(::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l), error);
}

int SetKeepAlive(int fd, int& error) { return SetFlag(fd, SO_KEEPALIVE, error); }

int SetReuseAddr(int fd, int& error) { return SetFlag(fd, SO_REUSEADDR, error); }

int LookupProtocol(const std::string& name, int& number) {
    protoent entry{};
    protoent* found = nullptr;
    char buf[1024];
    if (::getprotobyname_r(name.c_str(), &entry, buf, sizeof buf, &found) != 0 || !found) return WSANO_DATA;
    number = found->p_proto;
    return 0;
}

int LookupService(const std::string& name, const std::string& proto, std::uint16_t& port) {
    servent entry{};
    servent* found = nullptr;
    char buf[1024];
    if (::getservbyname_r(name.c_str(), proto.c_str(), &entry, buf, sizeof buf, &found) != 0 || !found)
        return WSANO_DATA;
    port = static_cast<std::uint16_t>(found->s_port);  // already in network byte order
    return 0;
}

int LookupHost(const std::string& name, std::uint32_t& addr) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    const int rc = ::getaddrinfo(name.c_str(), nullptr, &hints, &list);
    if (rc != 0) return WinSockErrorFromLookup(rc, errno);
    int result = WSANO_DATA;
    for (addrinfo* p = list; p; p = p->ai_next) {
        if (p->ai_family != AF_INET || !p->ai_addr) continue;
        addr = reinterpret_cast<const sockaddr_in*>(p->ai_addr)->sin_addr.s_addr;
        result = 0;
        break;
    }
    ::freeaddrinfo(list);
    return result;
}

std::uint16_t HostToNet16(std::uint16_t value) { return htons(value); }
std::uint16_t NetToHost16(std::uint16_t value) { return ntohs(value); }
std::uint32_t HostToNet32(std::uint32_t value) { return htonl(value); }

bool ParseDottedAddress(const std::string& text, std::uint32_t& addr) {
    in_addr parsed{};
    if (text.find('\0') != std::string::npos || ::inet_aton(text.c_str(), &parsed) == 0) return false;
    addr = parsed.s_addr;
    return true;
}

bool IsAddressLiteral(const std::string& text) {
    unsigned char buf[16];
    return ::inet_pton(AF_INET, text.c_str(), buf) == 1 || ::inet_pton(AF_INET6, text.c_str(), buf) == 1;
}

std::uint32_t InetAddr(const std::string& text) { return ::inet_addr(text.c_str()); }

long SendTo(int fd, const void* data, std::size_t count, std::uint32_t addr, std::uint16_t port, int& error) {
    const sockaddr_in to = Ipv4(addr, port);
    const ssize_t n = ::sendto(fd, data, count, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    error = n < 0 ? WinSockErrorFromErrno(errno) : 0;
    return static_cast<long>(n);
}

long ReceiveFrom(int fd, void* buffer, std::size_t size, std::uint32_t& addr, std::uint16_t& port, int& error) {
    sockaddr_in from{};
    socklen_t len = sizeof from;
    // MSG_TRUNC makes recvfrom return the datagram's real length while it still writes at
    // most the buffer, so a longer datagram is recognised as cut.
    const ssize_t n = ::recvfrom(fd, buffer, size, MSG_TRUNC, reinterpret_cast<sockaddr*>(&from), &len);
    error = n < 0 ? WinSockErrorFromErrno(errno) : 0;
    addr = from.sin_addr.s_addr;
    port = from.sin_port;
    return static_cast<long>(n);
}

bool BindAnyAddress(int fd, std::uint16_t hostPort, std::string& reason) {
    const sockaddr_in local = Ipv4(htonl(INADDR_ANY), htons(hostPort));
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0) return true;
    reason = std::generic_category().message(errno);
    return false;
}

int LocalPort(int fd) {
    sockaddr_in local{};
    socklen_t len = sizeof local;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &len) != 0) return 0;
    return ntohs(local.sin_port);
}

void RequestReceiveBuffer(int fd, int bytes) { (void)::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes); }

int ReceiveBufferSize(int fd) {
    int size = 0;
    socklen_t len = sizeof size;
    if (::getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, &len) != 0) return 0;
    return size;
}

bool DatagramWaiting(int fd) {
    char byte;
    return ::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) >= 0;
}

bool IsRetryLater(int error) { return error == WSAEWOULDBLOCK || error == 10004; }

bool OpenWakePair(int& readFd, int& writeFd) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    readFd = fds[0];
    writeFd = fds[1];
    return true;
}

void Wake(int writeFd) {
    const char wake = 1;
    (void)!::write(writeFd, &wake, 1);
}

void DrainWake(int readFd) {
    char drain[16];
    while (::read(readFd, drain, sizeof drain) > 0) {
    }
}

void CloseDescriptor(int fd) { ::close(fd); }

int Poll(TPollFd* fds, std::size_t count, int timeoutMs) {
    std::vector<pollfd> p(count);
    for (std::size_t i = 0; i < count; ++i) {
        p[i].fd = fds[i].fd;
        p[i].events = static_cast<short>(((fds[i].events & PollIn) ? POLLIN : 0) | ((fds[i].events & PollOut) ? POLLOUT : 0));
    }
    const int n = ::poll(p.data(), p.size(), timeoutMs);
    for (std::size_t i = 0; i < count; ++i) {
        const short r = n > 0 ? p[i].revents : 0;
        fds[i].revents = ((r & POLLIN) ? PollIn : 0u) | ((r & POLLOUT) ? PollOut : 0u) | ((r & POLLERR) ? PollErr : 0u) |
                         ((r & POLLHUP) ? PollHup : 0u);
    }
    return n;
}

}  // namespace wsapi
