// SPDX-License-Identifier: GPL-3.0-or-later
// The platform socket calls of the connection, the datagram socket and the poll loop; failures
// come back as Windows Sockets numbers. One back end file per platform implements them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace wsapi {

// Each call returns its platform result (-1 on failure) and sets error (0 on success).
// Addresses and ports are in network byte order.
// A non-blocking, close-on-exec IPv4 socket: datagram or stream.
int CreateSocket(bool datagram, int protocol, int& error);
int Connect(int fd, std::uint32_t addr, std::uint16_t port, int& error);
int Bind(int fd, std::uint32_t addr, std::uint16_t port, int& error);
long Send(int fd, const void* data, std::size_t count, int& error);
long Receive(int fd, void* buffer, std::size_t size, bool peek, int& error);
int PendingBytes(int fd, int& error);
// The error a failed non-blocking connect left behind (SO_ERROR); 0 when it succeeded.
int PendingError(int fd);
int ShutdownSend(int fd, int& error);
int Close(int fd, int& error);
int SetLinger(int fd, bool on, int seconds, int& error);
int SetKeepAlive(int fd, int& error);
int SetReuseAddr(int fd, int& error);

// Name lookups; each returns 0 or the error number.
int LookupProtocol(const std::string& name, int& number);
int LookupService(const std::string& name, const std::string& proto, std::uint16_t& port);
int LookupHost(const std::string& name, std::uint32_t& addr);

// Byte order, and inet_aton's reading of a dotted address ("127.1", hex and octal parts).
std::uint16_t HostToNet16(std::uint16_t value);
std::uint16_t NetToHost16(std::uint16_t value);
std::uint32_t HostToNet32(std::uint32_t value);
bool ParseDottedAddress(const std::string& text, std::uint32_t& addr);
// Whether text is an IPv4 or IPv6 address in inet_pton's strict form (no host name).
bool IsAddressLiteral(const std::string& text);
// inet_addr's reading; INADDR_NONE (all ones) when text is none.
std::uint32_t InetAddr(const std::string& text);

// Datagrams. ReceiveFrom returns the datagram's real length, which is more than size when it
// was cut; the sender is known then too.
long SendTo(int fd, const void* data, std::size_t count, std::uint32_t addr, std::uint16_t port, int& error);
long ReceiveFrom(int fd, void* buffer, std::size_t size, std::uint32_t& addr, std::uint16_t& port, int& error);
// Binds to a port on every address; reason is the system's text when it fails.
bool BindAnyAddress(int fd, std::uint16_t hostPort, std::string& reason);
int LocalPort(int fd);  // host order; 0 when unknown
void RequestReceiveBuffer(int fd, int bytes);  // best effort
int ReceiveBufferSize(int fd);                 // 0 when unknown
bool DatagramWaiting(int fd);
// Errors that only mean "try again later".
bool IsRetryLater(int error);

// Wakes the loop from another thread: a byte written to writeFd makes readFd readable.
bool OpenWakePair(int& readFd, int& writeFd);
void Wake(int writeFd);
void DrainWake(int readFd);
void CloseDescriptor(int fd);

// Readiness of several descriptors; waits up to timeoutMs (0: none). Returns how many are
// ready, or -1.
enum : unsigned { PollIn = 1u, PollOut = 2u, PollErr = 4u, PollHup = 8u };
struct TPollFd {
    int fd;
    unsigned events;
    unsigned revents;
};
int Poll(TPollFd* fds, std::size_t count, int timeoutMs);

}  // namespace wsapi
