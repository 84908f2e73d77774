// Helpers shared by the tests.
#include "support/TestSupport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <stdexcept>

namespace testing_support {

bool WaitFor(TEventLoop& loop, const std::function<bool()>& pred, int ms) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (!pred()) {
        const auto now = Clock::now();
        if (now >= deadline) return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
        loop.ProcessMessagesWaiting(std::min(left, std::chrono::milliseconds(10)));
    }
    return true;
}

void Drain(TEventLoop& loop, int ms) { WaitFor(loop, [] { return false; }, ms); }

std::string Escaped(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c == '\\') out += "\\\\";
        else if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else if (c >= 0x20 && c < 0x7F) out += static_cast<char>(c);
        else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        }
    }
    return out;
}

std::string Hex(const std::string& pairs) {
    std::string out, digits;
    for (char c : pairs) {
        if (c == ' ') continue;
        digits += c;
        if (digits.size() == 2) {
            out += static_cast<char>(std::stoi(digits, nullptr, 16));
            digits.clear();
        }
    }
    if (!digits.empty()) throw std::invalid_argument("odd hex digit count");
    return out;
}

TTempDir::TTempDir() {
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() / ("cgv-test-" + std::to_string(rd()) + "-" + std::to_string(::getpid()));
    std::filesystem::create_directories(path_);
}

TTempDir::~TTempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

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
