// SPDX-License-Identifier: GPL-3.0-or-later
// The socket calls on Winsock 2; its error numbers are already the ones the connection reports.
#include "net/WSocketApi.h"

#include "net/WSocket.h"
#include "net/WSocketErrors.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <vector>

// Not in MinGW's headers; the value is Windows' own.
#ifndef SIO_UDP_CONNRESET
#define SIO_UDP_CONNRESET _WSAIOW(IOC_VENDOR, 12)
#endif

namespace wsapi {

namespace {

// Winsock needs WSAStartup before its first call; the process keeps it until it ends.
bool Started() {
    static const bool started = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

SOCKET S(int fd) { return static_cast<SOCKET>(static_cast<unsigned>(fd)); }

int Done(int result, int& error) {
    error = result == SOCKET_ERROR ? ::WSAGetLastError() : 0;
    return result == SOCKET_ERROR ? -1 : result;
}

sockaddr_in Ipv4(std::uint32_t addr, std::uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = addr;
    a.sin_port = port;
    return a;
}

int SetFlag(int fd, int option, int& error) {
    const BOOL on = TRUE;
    return Done(::setsockopt(S(fd), SOL_SOCKET, option, reinterpret_cast<const char*>(&on), sizeof on), error);
}

int Chunk(std::size_t count) { return count > 0x7fffffff ? 0x7fffffff : static_cast<int>(count); }

}  // namespace

int CreateSocket(bool datagram, int protocol, int& error) {
    if (!Started()) {
        error = WSANOTINITIALISED;
        return -1;
    }
    // Not inherited: a started game must not keep our sockets open.
    const SOCKET s = ::WSASocketW(AF_INET, datagram ? SOCK_DGRAM : SOCK_STREAM, protocol, nullptr, 0,
                                  WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET) {
        error = ::WSAGetLastError();
        return -1;
    }
    u_long nonBlocking = 1;
    if (::ioctlsocket(s, FIONBIO, &nonBlocking) == SOCKET_ERROR) {
        error = ::WSAGetLastError();
        ::closesocket(s);
        return -1;
    }
    if (datagram) {
        // Otherwise an ICMP "port unreachable" for one server's query turns the next receive
        // into WSAECONNRESET, and a reply from another server waits behind it.
        BOOL report = FALSE;
        DWORD returned = 0;
        (void)::WSAIoctl(s, SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &returned, nullptr, nullptr);
    }
    error = 0;
    return static_cast<int>(s);
}

int Connect(int fd, std::uint32_t addr, std::uint16_t port, int& error) {
    const sockaddr_in a = Ipv4(addr, port);
    return Done(::connect(S(fd), reinterpret_cast<const sockaddr*>(&a), sizeof a), error);
}

int Bind(int fd, std::uint32_t addr, std::uint16_t port, int& error) {
    const sockaddr_in a = Ipv4(addr, port);
    return Done(::bind(S(fd), reinterpret_cast<const sockaddr*>(&a), sizeof a), error);
}

long Send(int fd, const void* data, std::size_t count, int& error) {
    return Done(::send(S(fd), static_cast<const char*>(data), Chunk(count), 0), error);
}

long Receive(int fd, void* buffer, std::size_t size, bool peek, int& error) {
    return Done(::recv(S(fd), static_cast<char*>(buffer), Chunk(size), peek ? MSG_PEEK : 0), error);
}

int PendingBytes(int fd, int& error) {
    u_long count = 0;
    if (Done(::ioctlsocket(S(fd), FIONREAD, &count), error) < 0) return -1;
    return count > 0x7fffffff ? 0x7fffffff : static_cast<int>(count);
}

int PendingError(int fd) {
    int err = 0;
    int len = sizeof err;
    if (::getsockopt(S(fd), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err), &len) == SOCKET_ERROR)
        err = ::WSAGetLastError();
    return err;
}

int ShutdownSend(int fd, int& error) { return Done(::shutdown(S(fd), SD_SEND), error); }

int Close(int fd, int& error) { return Done(::closesocket(S(fd)), error); }

int SetLinger(int fd, bool on, int seconds, int& error) {
    linger l{};
    l.l_onoff = on ? 1 : 0;
    l.l_linger = static_cast<u_short>(seconds);
    return Done(::setsockopt(S(fd), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l), error);
}

int SetKeepAlive(int fd, int& error) { return SetFlag(fd, SO_KEEPALIVE, error); }

int SetReuseAddr(int fd, int& error) { return SetFlag(fd, SO_REUSEADDR, error); }

int LookupProtocol(const std::string& name, int& number) {
    if (!Started()) return WSANOTINITIALISED;
    const protoent* found = ::getprotobyname(name.c_str());
    if (!found) return WSANO_DATA;
    number = found->p_proto;
    return 0;
}

int LookupService(const std::string& name, const std::string& proto, std::uint16_t& port) {
    if (!Started()) return WSANOTINITIALISED;
    const servent* found = ::getservbyname(name.c_str(), proto.c_str());
    if (!found) return WSANO_DATA;
    port = static_cast<std::uint16_t>(found->s_port);  // already in network byte order
    return 0;
}

int LookupHost(const std::string& name, std::uint32_t& addr) {
    if (!Started()) return WSANOTINITIALISED;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    // getaddrinfo's codes are the Windows Sockets numbers here.
    if (const int rc = ::getaddrinfo(name.c_str(), nullptr, &hints, &list); rc != 0) return rc;
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

// inet_aton is missing from Winsock; this is its reading: one to four parts, each decimal,
// octal (leading 0) or hex (0x), the last part filling the bytes that remain.
bool ParseDottedAddress(const std::string& text, std::uint32_t& addr) {
    std::uint32_t parts[4] = {};
    int count = 0;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (true) {
        if (i >= n || count == 4) return false;
        unsigned base = 10;
        if (text[i] == '0') {
            base = 8;
            if (i + 1 < n && (text[i + 1] == 'x' || text[i + 1] == 'X')) base = 16, i += 2;
        }
        std::uint64_t value = 0;
        bool digits = base == 8;  // a lone "0" is a number
        for (; i < n; ++i) {
            const char c = text[i];
            unsigned d;
            if (c >= '0' && c <= '9') d = static_cast<unsigned>(c - '0');
            else if (base == 16 && c >= 'a' && c <= 'f') d = static_cast<unsigned>(c - 'a' + 10);
            else if (base == 16 && c >= 'A' && c <= 'F') d = static_cast<unsigned>(c - 'A' + 10);
            else break;
            if (d >= base) return false;
            value = value * base + d;
            if (value > 0xFFFFFFFFu) return false;
            digits = true;
        }
        if (!digits) return false;
        parts[count++] = static_cast<std::uint32_t>(value);
        if (i == n) break;
        if (text[i] != '.') {
            // inet_aton stops at white space and ignores what follows.
            if (text[i] != ' ' && text[i] != '\t' && text[i] != '\n') return false;
            break;
        }
        ++i;
    }
    std::uint32_t host = 0;
    const std::uint32_t lastMax[] = {0xFFFFFFFFu, 0xFFFFFFu, 0xFFFFu, 0xFFu};
    for (int k = 0; k < count - 1; ++k) {
        if (parts[k] > 0xFF) return false;
        host |= parts[k] << (24 - 8 * k);
    }
    if (parts[count - 1] > lastMax[count - 1]) return false;
    host |= parts[count - 1];
    addr = htonl(host);
    return true;
}

bool IsAddressLiteral(const std::string& text) {
    unsigned char buf[16];
    return ::inet_pton(AF_INET, text.c_str(), buf) == 1 || ::inet_pton(AF_INET6, text.c_str(), buf) == 1;
}

std::uint32_t InetAddr(const std::string& text) { return ::inet_addr(text.c_str()); }

long SendTo(int fd, const void* data, std::size_t count, std::uint32_t addr, std::uint16_t port, int& error) {
    const sockaddr_in to = Ipv4(addr, port);
    return Done(::sendto(S(fd), static_cast<const char*>(data), Chunk(count), 0, reinterpret_cast<const sockaddr*>(&to),
                         sizeof to),
                error);
}

long ReceiveFrom(int fd, void* buffer, std::size_t size, std::uint32_t& addr, std::uint16_t& port, int& error) {
    sockaddr_in from{};
    int len = sizeof from;
    const int n = ::recvfrom(S(fd), static_cast<char*>(buffer), Chunk(size), 0, reinterpret_cast<sockaddr*>(&from), &len);
    error = n == SOCKET_ERROR ? ::WSAGetLastError() : 0;
    addr = from.sin_addr.s_addr;
    port = from.sin_port;
    // Winsock fills the buffer and fails a longer datagram; it was cut, and its sender is known.
    if (n == SOCKET_ERROR && error == 10040) {
        error = 0;
        return static_cast<long>(size) + 1;
    }
    return n == SOCKET_ERROR ? -1 : n;
}

bool BindAnyAddress(int fd, std::uint16_t hostPort, std::string& reason) {
    int error = 0;
    if (Bind(fd, htonl(INADDR_ANY), htons(hostPort), error) == 0) return true;
    reason = ErrorText(error);
    return false;
}

int LocalPort(int fd) {
    sockaddr_in local{};
    int len = sizeof local;
    if (::getsockname(S(fd), reinterpret_cast<sockaddr*>(&local), &len) == SOCKET_ERROR) return 0;
    return ntohs(local.sin_port);
}

void RequestReceiveBuffer(int fd, int bytes) {
    (void)::setsockopt(S(fd), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes), sizeof bytes);
}

int ReceiveBufferSize(int fd) {
    int size = 0;
    int len = sizeof size;
    if (::getsockopt(S(fd), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<char*>(&size), &len) == SOCKET_ERROR) return 0;
    return size;
}

bool DatagramWaiting(int fd) {
    char byte;
    // A datagram longer than the one byte peeked at fails with "message too long"; it is there.
    return ::recv(S(fd), &byte, 1, MSG_PEEK) != SOCKET_ERROR || ::WSAGetLastError() == 10040;
}

bool IsRetryLater(int error) { return error == WSAEWOULDBLOCK || error == 10004; }

// WSAPoll watches sockets only, so the wake-up is a loopback datagram socket and its sender.
bool OpenWakePair(int& readFd, int& writeFd) {
    int error = 0;
    const int reader = CreateSocket(true, 0, error);
    if (reader < 0) return false;
    const int writer = CreateSocket(true, 0, error);
    if (writer < 0) {
        Close(reader, error);
        return false;
    }
    const std::uint32_t loopback = htonl(INADDR_LOOPBACK);
    if (Bind(reader, loopback, 0, error) != 0 || Connect(writer, loopback, htons(static_cast<std::uint16_t>(LocalPort(reader))), error) != 0) {
        Close(reader, error);
        Close(writer, error);
        return false;
    }
    readFd = reader;
    writeFd = writer;
    return true;
}

void Wake(int writeFd) {
    const char wake = 1;
    (void)::send(S(writeFd), &wake, 1, 0);
}

void DrainWake(int readFd) {
    char drain[16];
    while (::recv(S(readFd), drain, sizeof drain, 0) != SOCKET_ERROR) {
    }
}

void CloseDescriptor(int fd) { ::closesocket(S(fd)); }

int Poll(TPollFd* fds, std::size_t count, int timeoutMs) {
    // WSAPoll refuses an empty set; a loop with only timers still has to wait.
    if (count == 0) {
        if (timeoutMs > 0) ::Sleep(static_cast<DWORD>(timeoutMs));
        return 0;
    }
    std::vector<WSAPOLLFD> p(count);
    for (std::size_t i = 0; i < count; ++i) {
        p[i].fd = S(fds[i].fd);
        p[i].events = static_cast<SHORT>(((fds[i].events & PollIn) ? POLLRDNORM : 0) |
                                         ((fds[i].events & PollOut) ? POLLWRNORM : 0));
    }
    const int n = ::WSAPoll(p.data(), static_cast<ULONG>(p.size()), timeoutMs);
    for (std::size_t i = 0; i < count; ++i) {
        const SHORT r = n > 0 ? p[i].revents : 0;
        fds[i].revents = ((r & POLLRDNORM) ? PollIn : 0u) | ((r & POLLWRNORM) ? PollOut : 0u) |
                         ((r & (POLLERR | POLLNVAL)) ? PollErr : 0u) | ((r & POLLHUP) ? PollHup : 0u);
    }
    return n == SOCKET_ERROR ? -1 : n;
}

}  // namespace wsapi
