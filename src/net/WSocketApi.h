// The platform socket calls of the TCP connection; failures come back as Windows Sockets numbers.
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

}  // namespace wsapi
