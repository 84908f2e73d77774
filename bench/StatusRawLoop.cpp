// SPDX-License-Identifier: GPL-3.0-or-later
// status_raw_loop: the baseline of the end-to-end status benchmark. A bare sendto/recvfrom
// loop over the servers named on standard input ("ADDRESS:PORT" lines), one query each, at
// most 64 waiting for a reply: send up to that, then read what arrives. It ends when every
// server has answered, when 100 ms pass without a datagram after the last query, or at the
// time limit (first argument, seconds). Prints "answered A of N in MS ms".
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <unordered_set>
#include <vector>

namespace {

constexpr int kBatch = 64;

std::uint64_t Key(const sockaddr_in& a) {
    return (static_cast<std::uint64_t>(a.sin_addr.s_addr) << 16) | a.sin_port;
}

}  // namespace

int main(int argc, char** argv) {
    const double limitSeconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    std::vector<sockaddr_in> servers;
    std::string line;
    while (std::getline(std::cin, line)) {
        const auto colon = line.rfind(':');
        if (colon == std::string::npos) continue;
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<std::uint16_t>(std::atoi(line.c_str() + colon + 1)));
        if (::inet_pton(AF_INET, line.substr(0, colon).c_str(), &a.sin_addr) != 1) continue;
        servers.push_back(a);
    }

    const auto start = std::chrono::steady_clock::now();
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    if (fd < 0) return 1;
    std::unordered_set<std::uint64_t> answered;
    char buf[2048];
    auto readArrived = [&] {
        std::size_t got = 0;
        for (;; ++got) {
            sockaddr_in from{};
            socklen_t len = sizeof from;
            const ssize_t n = ::recvfrom(fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
            if (n < 0) return got;
            if (n >= 4 && buf[0] == '\x00' && buf[1] == '\xE1') answered.insert(Key(from));
        }
    };
    const char query[2] = {'\x00', '\xE2'};
    const auto deadline = start + std::chrono::duration<double>(limitSeconds);
    std::size_t next = 0, received = 0;
    int idleMs = 0;
    while (answered.size() < servers.size() && std::chrono::steady_clock::now() < deadline) {
        while (next < servers.size() && next - received < kBatch) {
            (void)::sendto(fd, query, sizeof query, 0, reinterpret_cast<const sockaddr*>(&servers[next]),
                           sizeof servers[next]);
            ++next;
        }
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, 10);
        const std::size_t got = readArrived();
        received = std::min(next, received + got);
        if (ready > 0 || got > 0) {
            idleMs = 0;
            continue;
        }
        // Nothing for a while: what is still out is lost.
        received = next;
        idleMs += 10;
        if (next == servers.size() && idleMs >= 100) break;
    }
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("answered %zu of %zu in %.1f ms\n", answered.size(), servers.size(), ms);
    ::close(fd);
    return 0;
}
