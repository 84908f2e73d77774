// The platform socket calls of the TCP connection; failures come back as Windows Sockets numbers.
#include "net/WSocketApi.h"

#include "net/WSocketErrors.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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

}  // namespace wsapi
