// SPDX-License-Identifier: GPL-3.0-or-later
// corvanegv-gamesim: many simulated game servers on 127.0.0.1, one UDP socket each, answering
// status queries; steerable at run time through standard input.
//
// Written from the wire format on its own: it shares no code with the program, so that an
// encoding fault on either side shows up as a disagreement instead of cancelling out.
#include "ServerConfig.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

using namespace gamesim;

namespace {

using Clock = std::chrono::steady_clock;

volatile sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

// Datagrams taken from one server socket per turn, so one flooded server cannot starve the rest.
constexpr int kMaxPerTurn = 64;

struct TServer {
    TServerConfig config;
    int fd = -1;
    long queries = 0;
};

struct TPending {
    Clock::time_point due;
    int port;  // the server's port: the reply goes out only if it still exists
    sockaddr_in to;
    std::string bytes;
};

class TSimulator {
public:
    // Replies thrown away at random, in percent: a lossy network for the benchmarks.
    explicit TSimulator(double dropPercent)
        : drop_(dropPercent / 100.0), rng_(std::random_device{}()), epfd_(::epoll_create1(EPOLL_CLOEXEC)) {}
    ~TSimulator() {
        for (auto& [port, s] : servers_) ::close(s.fd);
        if (epfd_ >= 0) ::close(epfd_);
    }

    // Binds a new server; returns its port, or 0 with a message in error.
    int Add(TServerConfig config, std::string& error) {
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            error = std::string("socket: ") + std::strerror(errno);
            return 0;
        }
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(static_cast<std::uint16_t>(config.port));
        socklen_t len = sizeof a;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
            error = "cannot bind 127.0.0.1:" + std::to_string(config.port) + ": " + std::strerror(errno);
            ::close(fd);
            return 0;
        }
        config.port = ntohs(a.sin_port);
        // Thousands of servers: the kernel keeps the set, so a turn costs what is ready, not
        // what exists.
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.u32 = static_cast<std::uint32_t>(config.port);
        if (::epoll_ctl(epfd_, EPOLL_CTL_ADD, fd, &ev) != 0) {
            error = std::string("epoll_ctl: ") + std::strerror(errno);
            ::close(fd);
            return 0;
        }
        servers_[config.port] = TServer{config, fd, 0};
        std::cout << "server 127.0.0.1:" << config.port << " " << Printable(config.name) << "\n";
        return config.port;
    }

    // One command line from standard input; answers "ok" or "error ...".
    void Command(const std::string& line) {
        std::istringstream in(line);
        std::string verb;
        in >> verb;
        std::string rest;
        std::getline(in, rest);
        std::string error;
        if (verb.empty()) return;
        if (verb == "set") {
            std::istringstream r(rest);
            int port = 0;
            std::string words;
            r >> port;
            std::getline(r, words);
            auto it = servers_.find(port);
            if (it == servers_.end()) error = "no server on port " + std::to_string(port);
            else ApplySettings(words, it->second.config, false, error);
        } else if (verb == "add") {
            TServerConfig c;
            if (ApplySettings(rest, c, true, error)) Add(c, error);
        } else if (verb == "remove") {
            auto it = servers_.find(std::atoi(rest.c_str()));
            if (it == servers_.end()) {
                error = "no server on port" + rest;
            } else {
                ::epoll_ctl(epfd_, EPOLL_CTL_DEL, it->second.fd, nullptr);
                ::close(it->second.fd);
                servers_.erase(it);
            }
        } else if (verb == "queries") {
            const int port = std::atoi(rest.c_str());
            auto it = servers_.find(port);
            if (it == servers_.end()) error = "no server on port" + rest;
            else std::cout << "queries " << port << " " << it->second.queries << "\n";
        } else if (verb == "quit") {
            g_stop = 1;
        } else {
            error = "unknown command " + verb;
        }
        std::cout << (error.empty() ? "ok" : "error " + error) << std::endl;
    }

    // Waits for datagrams, the due late replies, standard input or a signal; one turn.
    void Turn(bool& stdinOpen, bool exitOnEof, const sigset_t& unblocked) {
        std::vector<pollfd> fds;
        if (stdinOpen) fds.push_back({0, POLLIN, 0});
        fds.push_back({epfd_, POLLIN, 0});
        timespec wait{1, 0};
        if (!pending_.empty()) {
            auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(pending_.begin()->first - Clock::now());
            if (left.count() < 0) left = std::chrono::nanoseconds(0);
            if (left < std::chrono::seconds(1)) wait = timespec{0, static_cast<long>(left.count())};
        }
        // ppoll unblocks the stop signals only while waiting, so none slips in before the wait.
        const int n = ::ppoll(fds.data(), fds.size(), &wait, &unblocked);
        if (n > 0) {
            std::size_t i = 0;
            if (stdinOpen) {
                if (fds[0].revents) ReadStdin(stdinOpen, exitOnEof);
                i = 1;
            }
            if (fds[i].revents) {
                epoll_event ready[256];
                const int m = ::epoll_wait(epfd_, ready, 256, 0);
                for (int k = 0; k < m; ++k) Serve(static_cast<int>(ready[k].data.u32));
            }
        }
        SendDue();
        std::cout.flush();
    }

private:
    void ReadStdin(bool& stdinOpen, bool exitOnEof) {
        char buf[4096];
        const ssize_t n = ::read(0, buf, sizeof buf);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
        if (n <= 0) {
            stdinOpen = false;
            if (exitOnEof) g_stop = 1;
            return;
        }
        input_.append(buf, static_cast<std::size_t>(n));
        std::size_t nl;
        while ((nl = input_.find('\n')) != std::string::npos) {
            const std::string line = input_.substr(0, nl);
            input_.erase(0, nl + 1);
            Command(line);
        }
    }

    void Serve(int port) {
        auto it = servers_.find(port);
        if (it == servers_.end()) return;  // removed by a command of this turn
        TServer& s = it->second;
        for (int k = 0; k < kMaxPerTurn; ++k) {
            char buf[65536];
            sockaddr_in from{};
            socklen_t len = sizeof from;
            const ssize_t n = ::recvfrom(s.fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
            if (n < 0) return;
            // Only the exact 2-byte query is answered; everything else is someone else's business.
            if (n != 2 || buf[0] != '\x00' || buf[1] != '\xE2') continue;
            ++s.queries;
            const std::string reply = BuildReply(s.config);
            if (reply.empty()) continue;
            if (drop_ > 0 && std::uniform_real_distribution<double>(0.0, 1.0)(rng_) < drop_) continue;
            if (s.config.mode == TReplyMode::Late)
                pending_.emplace(Clock::now() + std::chrono::milliseconds(s.config.lateMs),
                                 TPending{{}, port, from, reply});
            else
                ::sendto(s.fd, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), sizeof from);
        }
    }

    void SendDue() {
        const auto now = Clock::now();
        while (!pending_.empty() && pending_.begin()->first <= now) {
            const TPending& p = pending_.begin()->second;
            auto it = servers_.find(p.port);
            if (it != servers_.end())
                ::sendto(it->second.fd, p.bytes.data(), p.bytes.size(), 0,
                         reinterpret_cast<const sockaddr*>(&p.to), sizeof p.to);
            pending_.erase(pending_.begin());
        }
    }

    double drop_;
    std::mt19937 rng_;
    int epfd_;
    std::map<int, TServer> servers_;
    std::multimap<Clock::time_point, TPending> pending_;
    std::string input_;
};

void Usage() {
    std::cout
        << "usage: corvanegv-gamesim [--config FILE] [--server 'WORDS'] [--many N] [--drop PERCENT]\n"
           "                         [--exit-on-eof]\n"
           "Simulated game servers on 127.0.0.1, one UDP port each, answering status queries;\n"
           "--drop throws that share of the replies away at random.\n"
           "Server words (config lines; # starts a comment):\n"
           "  port=0 name=\"Alpha Squadron\" file=\"mission1.fs2\" mission=\"Operation X\"\n"
           "  players=3 state=129 flags=0x34 extra=\"...\" mode=normal|silent|late=MS|short|\n"
           "  badmagic|lenpast|huge|truncated   (in quotes: \\\" \\\\ \\xHH)\n"
           "Prints 'server 127.0.0.1:PORT NAME' per server, then 'ready'.\n"
           "Standard input: set PORT WORDS | add WORDS | remove PORT | queries PORT | quit;\n"
           "each answered by 'ok' or 'error TEXT'.\n";
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<TServerConfig> configs;
    bool exitOnEof = false;
    double dropPercent = 0;
    auto addLine = [&configs](const std::string& line, const std::string& where) {
        const std::size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#') return true;
        TServerConfig c;
        std::string error;
        if (!ApplySettings(line, c, true, error)) {
            std::cerr << "gamesim: " << where << ": " << error << "\n";
            return false;
        }
        configs.push_back(c);
        return true;
    };

    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--help" || a == "-h") {
            Usage();
            return 0;
        } else if (a == "--exit-on-eof") {
            exitOnEof = true;
        } else if (a == "--config" && hasValue) {
            const std::string path = argv[++i];
            std::ifstream f(path);
            if (!f) {
                std::cerr << "gamesim: cannot read " << path << "\n";
                return 2;
            }
            std::string line;
            for (int lineNo = 1; std::getline(f, line); ++lineNo)
                if (!addLine(line, path + ":" + std::to_string(lineNo))) return 2;
        } else if (a == "--server" && hasValue) {
            if (!addLine(argv[++i], "--server")) return 2;
        } else if (a == "--drop" && hasValue) {
            char* end = nullptr;
            dropPercent = std::strtod(argv[++i], &end);
            if (*end != '\0' || !(dropPercent >= 0 && dropPercent <= 100)) {
                std::cerr << "gamesim: --drop takes a percentage from 0 to 100\n";
                return 2;
            }
        } else if (a == "--many" && hasValue) {
            const int n = std::atoi(argv[++i]);
            for (int k = 1; k <= n; ++k) {
                TServerConfig c;
                c.name = "Sim Server " + std::to_string(k);
                c.mission = "Mission " + std::to_string(k);
                c.file = "sim" + std::to_string(k) + ".fs2";
                c.players = k % 12;
                c.state = 1;
                configs.push_back(c);
            }
        } else {
            std::cerr << "gamesim: unknown argument " << a << "\n";
            Usage();
            return 2;
        }
    }

    struct sigaction sa{};
    sa.sa_handler = OnSignal;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
    ::signal(SIGPIPE, SIG_IGN);  // a reader that went away must not kill the servers
    sigset_t stopSignals, unblocked;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    ::sigprocmask(SIG_BLOCK, &stopSignals, &unblocked);
    sigdelset(&unblocked, SIGTERM);
    sigdelset(&unblocked, SIGINT);

    TSimulator sim(dropPercent);
    for (const auto& c : configs) {
        std::string error;
        if (sim.Add(c, error) == 0) {
            std::cerr << "gamesim: " << error << "\n";
            return 1;
        }
    }
    std::cout << "ready" << std::endl;

    bool stdinOpen = true;
    while (!g_stop) sim.Turn(stdinOpen, exitOnEof, unblocked);
    return 0;
}
