// SPDX-License-Identifier: GPL-3.0-or-later
// corvanegv-trackersim: a local game tracker for tests and the demo, one TCP port per game type.
//
// Written from the wire format on its own: it shares no code with the program, so that an
// encoding fault on either side shows up as a disagreement instead of cancelling out.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kGameTypes = 4;
constexpr std::size_t kRecordSize = 228;

volatile sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

using Clock = std::chrono::steady_clock;

// How one game type's tracker port behaves.
struct Game {
    std::vector<std::pair<std::string, int>> servers;  // address text, port
    std::string mode = "normal";  // normal | refuse | noterm | hang | flood
    std::vector<std::size_t> splits;  // byte offsets at which the reply is cut into writes
    int delayMs = 0;                  // wait after the request before the first byte
    int trickleMs = 0;                // when set, one byte per this many ms
    std::string fragment;             // bytes sent after the records, before the end marker
    std::string trailing;             // bytes sent after the end marker
    int listenFd = -1;
    int connections = 0;
    int requests = 0;  // well-formed requests answered
    long received = 0; // bytes from clients, requests included: a client sends one request only
};

struct Client {
    int fd;
    int game;
    std::string request;
    std::string out;          // reply bytes still to send
    std::vector<std::size_t> cuts;  // absolute offsets in out where a write must stop
    std::size_t sent = 0;
    Clock::time_point sendAt;
    bool replying = false;
    bool closeAfter = true;
    bool flood = false;
    int trickleMs = 0;
};

std::string Record(const std::string& address, int port) {
    std::string r(kRecordSize, '\0');
    // The first 208 bytes carry nothing the viewer reads; fill them so that a reader that
    // looks in the wrong place sees garbage instead of zeros.
    for (std::size_t i = 0; i < 208; ++i) r[i] = static_cast<char>('A' + i % 26);
    std::memcpy(&r[208], address.data(), std::min<std::size_t>(address.size(), 16));
    r[224] = static_cast<char>(port & 0xFF);
    r[225] = static_cast<char>((port >> 8) & 0xFF);
    r[226] = '\x7f';
    r[227] = '\x7f';
    return r;
}

std::string EndMarker() { return std::string("\x02\x00\x00\x00TERM", 8); }

std::string Reply(const Game& g) {
    std::string out;
    for (const auto& [addr, port] : g.servers) out += Record(addr, port);
    out += g.fragment;
    if (g.mode != "noterm" && g.mode != "hang") out += EndMarker() + g.trailing;
    return out;
}

int Listen(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 16) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool IsHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

// \xHH escapes; false when one is incomplete.
bool Unescape(const std::string& s, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == 'x') {
            if (i + 3 >= s.size() || !IsHex(s[i + 2]) || !IsHex(s[i + 3])) return false;
            out += static_cast<char>(std::stoi(s.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return true;
}

// A whole decimal number from 0 to max.
bool Number(const std::string& text, long max, long& value) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    value = std::stol(text);
    return value <= max;
}

bool ParseHostPort(const std::string& text, std::string& host, int& port) {
    auto colon = text.rfind(':');
    if (colon == std::string::npos) return false;
    host = text.substr(0, colon);
    long value = 0;
    if (!Number(text.substr(colon + 1), 65535, value)) return false;
    port = static_cast<int>(value);
    return true;
}

// One configuration word: key=value for game g. Returns an error text or "".
std::string Apply(std::vector<Game>& games, int g, const std::string& word) {
    auto eq = word.find('=');
    if (eq == std::string::npos) return "expected key=value: " + word;
    std::string key = word.substr(0, eq), value = word.substr(eq + 1);
    Game& game = games[g];
    if (key == "server") {
        std::string host;
        int port;
        if (!ParseHostPort(value, host, port)) return "bad server: " + value;
        game.servers.emplace_back(host, port);
    } else if (key == "mode") {
        if (value != "normal" && value != "refuse" && value != "noterm" && value != "hang" && value != "flood")
            return "bad mode: " + value;
        game.mode = value;
    } else if (key == "split") {
        std::vector<std::size_t> splits;
        std::stringstream ss(value);
        std::string part;
        long offset = 0;
        while (std::getline(ss, part, ',')) {
            if (!Number(part, 100000000, offset)) return "bad split: " + value;
            splits.push_back(static_cast<std::size_t>(offset));
        }
        game.splits = splits;
    } else if (key == "delay") {
        long ms = 0;
        if (!Number(value, 600000, ms)) return "bad delay: " + value;
        game.delayMs = static_cast<int>(ms);
    } else if (key == "trickle") {
        long ms = 0;
        if (!Number(value, 600000, ms)) return "bad trickle: " + value;
        game.trickleMs = static_cast<int>(ms);
    } else if (key == "trailing" || key == "fragment") {
        std::string bytes;
        if (!Unescape(value, bytes)) return "bad \\xHH escape: " + value;
        (key == "trailing" ? game.trailing : game.fragment) = bytes;
    } else if (key == "clear") {
        game.servers.clear();
    } else {
        return "unknown key: " + key;
    }
    return "";
}

// "game=N key=value ..." or "set N key=value ...".
std::string ApplyLine(std::vector<Game>& games, const std::string& line) {
    std::stringstream ss(line);
    std::string first;
    if (!(ss >> first) || first[0] == '#') return "";
    int g = -1;
    if (first == "set" || first == "game") {
        if (!(ss >> g)) return "expected a game type code";
    } else if (first.rfind("game=", 0) == 0) {
        long code = -1;
        if (!Number(first.substr(5), kGameTypes - 1, code)) return "game type code must be 0..3";
        g = static_cast<int>(code);
    } else {
        return "unknown line: " + line;
    }
    if (g < 0 || g >= kGameTypes) return "game type code must be 0..3";
    std::string word;
    while (ss >> word) {
        std::string err = Apply(games, g, word);
        if (!err.empty()) return err;
    }
    return "";
}

void OpenListener(Game& g, int port) {
    if (g.mode == "refuse") {
        if (g.listenFd >= 0) ::close(g.listenFd);
        g.listenFd = -1;
    } else if (g.listenFd < 0) {
        g.listenFd = Listen(port);
    }
}

// Four consecutive free ports starting at base; base 0 picks some.
int ChooseBase(int base, std::vector<Game>& games) {
    std::mt19937 rng(static_cast<unsigned>(::getpid()) ^ static_cast<unsigned>(Clock::now().time_since_epoch().count()));
    for (int attempt = 0; attempt < 200; ++attempt) {
        int b = base ? base : 20000 + static_cast<int>(rng() % 40000);
        std::vector<int> fds;
        for (int i = 0; i < kGameTypes; ++i) {
            int fd = Listen(b + i);
            if (fd < 0) break;
            fds.push_back(fd);
        }
        if (fds.size() == kGameTypes) {
            for (int i = 0; i < kGameTypes; ++i) games[i].listenFd = fds[i];
            return b;
        }
        for (int fd : fds) ::close(fd);
        if (base) return -1;
    }
    return -1;
}

void Usage() {
    std::cout << "usage: corvanegv-trackersim [--base-port N] [--config FILE] [LINE ...]\n"
                 "Serves game type N (0..3) on 127.0.0.1 port base+N. LINE and the config file's\n"
                 "lines: game=N key=value ... with keys server=ADDR:PORT (repeatable), clear=1,\n"
                 "mode=normal|refuse|noterm|hang|flood, split=OFF[,OFF...], delay=MS, trickle=MS\n"
                 "(one byte every MS),\n"
                 "fragment=BYTES (after the records, before the end marker), trailing=BYTES\n"
                 "(after the end marker); BYTES take \\xHH escapes.\n"
                 "Standard input takes 'set N key=value ...' and 'stats N' (prints\n"
                 "'stats N connections=C requests=R received=BYTES'); each command ends with 'ok' or 'error TEXT'.\n"
                 "Prints 'tracker 127.0.0.1:BASE' and 'ready'; logs 'request N ok|bad'.\n";
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<Game> games(kGameTypes);
    int base = 0;
    std::vector<std::string> lines;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            Usage();
            return 0;
        } else if (a == "--base-port" && i + 1 < argc) {
            base = std::atoi(argv[++i]);
        } else if (a == "--config" && i + 1 < argc) {
            std::ifstream f(argv[++i]);
            if (!f) {
                std::cerr << "trackersim: cannot read " << argv[i] << "\n";
                return 2;
            }
            std::string line;
            while (std::getline(f, line)) lines.push_back(line);
        } else if (a.rfind("game=", 0) == 0 || lines.empty()) {
            lines.push_back(a);  // a new game type's words follow
        } else {
            lines.back() += " " + a;
        }
    }
    for (const auto& line : lines) {
        std::string err = ApplyLine(games, line);
        if (!err.empty()) {
            std::cerr << "trackersim: " << err << "\n";
            return 2;
        }
    }
    ::signal(SIGTERM, OnSignal);
    ::signal(SIGINT, OnSignal);
    ::signal(SIGPIPE, SIG_IGN);

    base = ChooseBase(base, games);
    if (base < 0) {
        std::cerr << "trackersim: cannot listen on four consecutive ports\n";
        return 1;
    }
    for (int i = 0; i < kGameTypes; ++i) OpenListener(games[i], base + i);
    std::cout << "tracker 127.0.0.1:" << base << "\nready" << std::endl;

    std::vector<Client> clients;
    std::string stdinBuf;
    bool stdinOpen = true;
    while (!g_stop) {
        std::vector<pollfd> fds;
        if (stdinOpen) fds.push_back({0, POLLIN, 0});
        for (auto& g : games)
            if (g.listenFd >= 0) fds.push_back({g.listenFd, POLLIN, 0});
        const auto now = Clock::now();
        int timeout = 200;
        for (auto& c : clients) {
            short ev = POLLIN;
            if (c.replying && c.sendAt <= now && (c.sent < c.out.size() || c.flood)) ev |= POLLOUT;
            if (c.replying && c.sendAt > now)
                timeout = std::min<int>(timeout, static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(c.sendAt - now).count()) + 1);
            fds.push_back({c.fd, ev, 0});
        }
        if (::poll(fds.data(), fds.size(), timeout) < 0) continue;

        for (const auto& p : fds) {
            if (!p.revents) continue;
            if (p.fd == 0) {
                char buf[4096];
                ssize_t n = ::read(0, buf, sizeof buf);
                if (n <= 0) {
                    stdinOpen = false;
                    continue;
                }
                stdinBuf.append(buf, static_cast<std::size_t>(n));
                std::size_t nl;
                while ((nl = stdinBuf.find('\n')) != std::string::npos) {
                    std::string line = stdinBuf.substr(0, nl);
                    stdinBuf.erase(0, nl + 1);
                    if (line.rfind("stats ", 0) == 0) {
                        long code = -1;
                        if (!Number(line.substr(6), kGameTypes - 1, code)) {
                            std::cout << "error game type code must be 0..3" << std::endl;
                            continue;
                        }
                        const Game& g = games[static_cast<std::size_t>(code)];
                        std::cout << "stats " << code << " connections=" << g.connections
                                  << " requests=" << g.requests << " received=" << g.received << "\nok"
                                  << std::endl;
                        continue;
                    }
                    std::string err = ApplyLine(games, line);
                    for (int i = 0; i < kGameTypes; ++i) OpenListener(games[i], base + i);
                    std::cout << (err.empty() ? "ok" : "error " + err) << std::endl;
                }
                continue;
            }
            for (int i = 0; i < kGameTypes; ++i) {
                if (p.fd != games[i].listenFd) continue;
                int fd = ::accept(games[i].listenFd, nullptr, nullptr);
                if (fd >= 0) {
                    games[i].connections++;
                    clients.push_back(Client{fd, i, {}, {}, {}, 0, {}, false, true, false, 0});
                }
            }
        }

        for (auto& c : clients) {
            if (c.fd < 0) continue;
            pollfd* p = nullptr;
            for (auto& f : fds)
                if (f.fd == c.fd) p = &f;
            if (p && (p->revents & (POLLIN | POLLHUP | POLLERR))) {
                char buf[4096];
                ssize_t n = ::recv(c.fd, buf, sizeof buf, 0);
                if (n <= 0) {
                    ::close(c.fd);
                    c.fd = -1;
                    continue;
                }
                games[c.game].received += n;
                if (!c.replying) {
                    c.request.append(buf, static_cast<std::size_t>(n));
                    if (c.request.size() >= 12) {
                        const Game& g = games[c.game];
                        bool ok = c.request.compare(0, 12, std::string("\x01\x00\x00\x00", 4) + std::string(8, '\xFF')) == 0;
                        std::cout << "request " << c.game << (ok ? " ok" : " bad") << std::endl;
                        if (ok) games[c.game].requests++;
                        if (!ok) {
                            ::close(c.fd);
                            c.fd = -1;
                            continue;
                        }
                        c.replying = true;
                        c.out = Reply(g);
                        c.cuts = g.splits;
                        c.sendAt = Clock::now() + std::chrono::milliseconds(g.delayMs);
                        c.closeAfter = g.mode != "hang";
                        c.flood = g.mode == "flood";
                        c.trickleMs = g.trickleMs;
                    }
                }
            }
            if (c.fd < 0 || !c.replying || Clock::now() < c.sendAt) continue;
            if (c.flood) {
                // A tracker that never ends its reply: endless records, no marker.
                std::string chunk;
                for (int k = 0; k < 64; ++k) chunk += Record("127.0.0.1", 1);
                if (::send(c.fd, chunk.data(), chunk.size(), MSG_DONTWAIT) < 0 && errno != EAGAIN) {
                    ::close(c.fd);
                    c.fd = -1;
                }
                continue;
            }
            while (c.sent < c.out.size()) {
                std::size_t end = c.out.size();
                for (std::size_t cut : c.cuts)
                    if (cut > c.sent && cut < end) end = cut;
                if (c.trickleMs > 0) end = c.sent + 1;
                ssize_t n = ::send(c.fd, c.out.data() + c.sent, end - c.sent, MSG_DONTWAIT);
                if (n <= 0) break;
                c.sent += static_cast<std::size_t>(n);
                if (c.sent == end && end < c.out.size()) {
                    // Let the cut reach the peer as its own arrival.
                    c.sendAt = Clock::now() + std::chrono::milliseconds(c.trickleMs > 0 ? c.trickleMs : 30);
                    break;
                }
            }
            if (c.sent >= c.out.size() && c.closeAfter) {
                ::close(c.fd);
                c.fd = -1;
            }
        }
        std::erase_if(clients, [](const Client& c) { return c.fd < 0; });
    }
    for (auto& c : clients) ::close(c.fd);
    for (auto& g : games)
        if (g.listenFd >= 0) ::close(g.listenFd);
    return 0;
}
