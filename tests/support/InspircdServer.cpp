// SPDX-License-Identifier: GPL-3.0-or-later
// TInspircdServer, TAthemeServer, TIrcCrowd: configurations written into a temporary folder,
// the servers run in the foreground as children of the test, bots on a thread of their own.
#include "support/InspircdServer.h"

#include "support/ChildProcess.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>

using testing_support::ReadFile;

namespace {

using Clock = std::chrono::steady_clock;

std::string Find(std::initializer_list<const char*> paths, const std::string& package) {
    for (const char* p : paths)
        if (::access(p, X_OK) == 0) return p;
    throw std::runtime_error(package + " is not installed; these tests need it: run scripts/setup (or apt-get install " +
                             package + ")");
}

int ConnectLoopback(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) throw std::runtime_error("socket failed");
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool Listening(int port) {
    int fd = ConnectLoopback(port);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

void SendAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

// Reads from a blocking-enough client until a line contains wanted; false on close or timeout.
bool ReadUntil(int fd, std::string& got, const std::string& wanted, int ms) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (got.find(wanted) == std::string::npos) {
        int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
        if (left <= 0) return false;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, left) <= 0) continue;
        char buf[4096];
        ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) return false;
        got.append(buf, static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

TInspircdServer::TInspircdServer() : TInspircdServer(TOptions{}) {}

TInspircdServer::TInspircdServer(const TOptions& options)
    : binary_(Find({"/usr/sbin/inspircd", "/usr/bin/inspircd"}, "inspircd")), options_(options) {
    if (options_.Sts && options_.CertFile.empty()) throw std::runtime_error("STS needs the TLS port");
    std::ofstream(dir_.Path() / "motd.txt") << "test\n";
    // The free ports may be taken between the probe and the bind; try a few.
    for (int attempt = 0; attempt < 3; ++attempt) {
        port_ = testing_support::UnusedTcpPort();
        tlsPort_ = options_.CertFile.empty() ? 0 : testing_support::UnusedTcpPort();
        linkPort_ = options_.Services ? testing_support::UnusedTcpPort() : 0;
        if (TryStart()) return;
    }
    throw std::runtime_error("inspircd did not start listening on 127.0.0.1:\n" + Log());
}

TInspircdServer::~TInspircdServer() { Stop(); }

void TInspircdServer::WriteConfig() const {
    const std::string d = dir_.Path().string();
    std::ofstream out(dir_.Path() / "inspircd.conf");
    out << "<server name=\"" << Name << "\" description=\"test server\" network=\"TestNet\">\n"
        << "<admin name=\"tests\" nick=\"tests\" email=\"tests@localhost\">\n"
        << "<bind address=\"127.0.0.1\" port=\"" << port_ << "\" type=\"clients\">\n"
        << "<path configdir=\"" << d << "\" datadir=\"" << d << "\" logdir=\"" << d
        << "\" moduledir=\"/usr/lib/inspircd/modules\">\n"
        << "<pid file=\"" << d << "/inspircd.pid\">\n"
        << "<security runasuser=\"\" runasgroup=\"\" hidesplits=\"no\">\n"
        << "<files motd=\"" << d << "/motd.txt\">\n"
        // Room for crowds of bots from one address, no flood penalties, no name lookups.
        << "<connect name=\"main\" allow=\"*\" maxchans=\"100\" timeout=\"20\" pingfreq=\"120\" hardsendq=\"4M\""
           " softsendq=\"1M\" recvq=\"100000\" threshold=\"100000\" commandrate=\"100000\" fakelag=\"no\""
           " localmax=\"5000\" globalmax=\"5000\" limit=\"5000\" resolvehostnames=\"no\" useident=\"no\">\n"
        << "<options defaultmodes=\"not\">\n"
        << "<performance clonesonconnect=\"no\" softlimit=\"6000\">\n"
        << "<dns timeout=\"1\">\n"
        << "<log method=\"file\" type=\"* -USERINPUT -USEROUTPUT\" level=\"default\" target=\"" << d << "/ircd.log\">\n"
        << "<oper name=\"" << OperName << "\" password=\"" << OperPassword << "\" host=\"*@*\" type=\"NetAdmin\">\n"
        << "<type name=\"NetAdmin\" classes=\"All\">\n"
        << "<class name=\"All\" commands=\"*\" privs=\"*\" usermodes=\"*\" chanmodes=\"*\">\n";
    for (const char* m : {"cap", "ircv3", "ircv3_servertime", "ircv3_capnotify", "namesx", "uhnames", "monitor",
                          "customprefix"})
        out << "<module name=\"" << m << "\">\n";
    out << "<customprefix name=\"founder\" letter=\"q\" prefix=\"~\" rank=\"50000\" ranktoset=\"50000\""
           " ranktounset=\"50000\" depriv=\"yes\">\n"
        << "<customprefix name=\"admin\" letter=\"a\" prefix=\"&amp;\" rank=\"40000\" ranktoset=\"50000\""
           " ranktounset=\"50000\" depriv=\"yes\">\n"
        << "<customprefix name=\"halfop\" letter=\"h\" prefix=\"%\" rank=\"20000\" ranktoset=\"30000\""
           " ranktounset=\"30000\" depriv=\"yes\">\n";
    if (!options_.CertFile.empty()) {
        out << "<module name=\"ssl_gnutls\">\n"
            << "<sslprofile name=\"main\" provider=\"gnutls\" certfile=\"" << options_.CertFile.string()
            << "\" keyfile=\"" << options_.KeyFile.string() << "\" dhfile=\"\" hash=\"sha256\">\n"
            << "<bind address=\"127.0.0.1\" port=\"" << tlsPort_ << "\" type=\"clients\" sslprofile=\"main\">\n";
    }
    if (options_.Sts)
        out << "<module name=\"ircv3_sts\">\n"
            << "<sts host=\"*\" port=\"" << tlsPort_ << "\" duration=\"" << options_.StsDuration << "\" preload=\"no\">\n";
    if (options_.Services) {
        for (const char* m : {"spanningtree", "sasl", "services_account", "hidechans", "chghost", "chgident"})
            out << "<module name=\"" << m << "\">\n";
        out << "<bind address=\"127.0.0.1\" port=\"" << linkPort_ << "\" type=\"servers\">\n"
            << "<link name=\"" << ServicesName << "\" ipaddr=\"127.0.0.1\" port=\"" << linkPort_
            << "\" allowmask=\"127.0.0.0/8\" sendpass=\"" << LinkPassword << "\" recvpass=\"" << LinkPassword << "\">\n"
            << "<uline server=\"" << ServicesName << "\" silent=\"yes\">\n"
            // Plain text allowed here so the tests can show that the client itself refuses it.
            << "<sasl target=\"" << ServicesName << "\" requiressl=\"no\">\n";
    }
    out << options_.ExtraConfig << "\n";
}

bool TInspircdServer::TryStart() {
    WriteConfig();
    testing_support::TChildOptions child;
    child.Name = "inspircd";
    child.OutputFile = dir_.Path() / "inspircd.out";
    process_ = std::make_unique<testing_support::TChildProcess>(
        std::vector<std::string>{binary_, "--config=" + (dir_.Path() / "inspircd.conf").string(), "--nofork",
                                 "--runasroot"},
        child);
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < deadline) {
        if (process_->WaitExit(0) != -1) {
            process_.reset();
            return false;
        }
        if (Listening(port_) && (tlsPort_ == 0 || Listening(tlsPort_))) return true;
        // A polling wait on another process: nothing in our loop can tell us sooner.
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Stop();
    return false;
}

void TInspircdServer::Stop() {
    if (process_) process_->Stop(SIGTERM, 5000);
    process_.reset();
}

void TInspircdServer::Restart() {
    Stop();
    if (!TryStart()) throw std::runtime_error("inspircd did not start again on 127.0.0.1:\n" + Log());
}

std::string TInspircdServer::Log() const {
    return ReadFile(dir_.Path() / "inspircd.out") + ReadFile(dir_.Path() / "ircd.log");
}

TAthemeServer::TAthemeServer(const TInspircdServer& ircd) : ircd_(ircd) {
    const std::string binary = Find({"/usr/bin/atheme-services", "/usr/sbin/atheme-services"}, "atheme-services");
    if (ircd.LinkPort() == 0) throw std::runtime_error("the InspIRCd fixture was made without Services");
    const std::string d = dir_.Path().string();
    std::filesystem::create_directories(dir_.Path() / "data");
    {
        std::ofstream out(dir_.Path() / "atheme.conf");
        for (const char* m : {"protocol/inspircd", "backend/opensex", "crypto/pbkdf2v2", "nickserv/main",
                              "nickserv/register", "nickserv/identify", "nickserv/help", "saslserv/main",
                              "saslserv/plain"})
            out << "loadmodule \"modules/" << m << "\";\n";
        out << "serverinfo {\n name = \"" << TInspircdServer::ServicesName
            << "\";\n desc = \"Test services\";\n numeric = \"00A\";\n recontime = 2;\n netname = \"TestNet\";\n"
               " hidehostsuffix = \"users.test\";\n adminname = \"tests\";\n adminemail = \"tests@localhost\";\n"
               " registeremail = \"tests@localhost\";\n auth = none;\n casemapping = rfc1459;\n maxlogins = 5;\n"
               " maxusers = 5;\n mdlimit = 30;\n emaillimit = 10;\n emailtime = 300;\n"
               " loglevel = { error; info; admin; network; };\n};\n"
            << "uplink \"" << TInspircdServer::Name << "\" {\n host = \"127.0.0.1\";\n send_password = \""
            << TInspircdServer::LinkPassword << "\";\n receive_password = \"" << TInspircdServer::LinkPassword
            << "\";\n port = " << ircd.LinkPort() << ";\n};\n"
            << "nickserv { nick = \"NickServ\"; user = \"NickServ\"; host = \"services.test\"; real = \"Nickname "
               "Services\"; maxnicks = 5; expire = 30; };\n"
            << "saslserv { nick = \"SaslServ\"; user = \"SaslServ\"; host = \"services.test\"; real = \"SASL\"; };\n"
            << "general {\n flood_msgs = 0;\n flood_time = 10;\n ratelimit_uses = 0;\n ratelimit_period = 1;\n"
               " kline_time = 7;\n commit_interval = 5;\n uplink_sendq_limit = 1048576;\n language = \"en\";\n};\n";
    }
    testing_support::TChildOptions child;
    child.Name = "atheme-services";
    child.OutputFile = dir_.Path() / "atheme.out";
    process_ = std::make_unique<testing_support::TChildProcess>(
        std::vector<std::string>{binary, "-n", "-c", d + "/atheme.conf", "-D", d + "/data", "-l", d + "/atheme.log",
                                 "-p", d + "/atheme.pid"},
        child);
    const auto deadline = Clock::now() + std::chrono::seconds(15);
    while (Clock::now() < deadline) {
        if (process_->WaitExit(0) != -1) break;
        if (Log().find("finished synching with uplink") != std::string::npos) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    throw std::runtime_error("atheme-services did not link to inspircd:\n" + Log());
}

TAthemeServer::~TAthemeServer() {
    if (process_) process_->Stop(SIGTERM, 5000);
}

void TAthemeServer::RegisterAccount(const std::string& account, const std::string& password) {
    int fd = ConnectLoopback(ircd_.Port());
    if (fd < 0) throw std::runtime_error("cannot reach inspircd to register " + account);
    std::string got;
    SendAll(fd, "NICK " + account + "\r\nUSER " + account + " 0 * :" + account + "\r\n");
    bool welcomed = ReadUntil(fd, got, " 001 ", 5000);
    if (welcomed) {
        got.clear();
        SendAll(fd, "PRIVMSG NickServ :REGISTER " + password + " tests@example.org\r\n");
        ReadUntil(fd, got, "NOTICE " + account + " :", 5000) && ReadUntil(fd, got, "\r\n", 1000);
    }
    SendAll(fd, "QUIT\r\n");
    ::close(fd);
    if (!welcomed || got.find("is now registered") == std::string::npos)
        throw std::runtime_error("NickServ did not register " + account + ": " + testing_support::Escaped(got));
}

std::string TAthemeServer::Log() const {
    return ReadFile(dir_.Path() / "atheme.out") + ReadFile(dir_.Path() / "atheme.log");
}

TIrcCrowd::TIrcCrowd(int port, int count, const std::string& channel, const std::string& prefix) : prefix_(prefix) {
    bots_.resize(static_cast<std::size_t>(count));
    // The first bot makes the channel alone, so it is its operator; then the others at once.
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    if (count > 0) Join(0, 1, port, channel, deadline);
    if (count > 1) Join(1, count, port, channel, deadline);
    thread_ = std::thread([this] { Pump(); });
}

// Connects bots first..last-1 and waits until each has the channel's end of names.
void TIrcCrowd::Join(int first, int last, int port, const std::string& channel, Clock::time_point deadline) {
    for (int i = first; i < last; ++i) {
        TBot& bot = bots_[static_cast<std::size_t>(i)];
        bot.Fd = ConnectLoopback(port);
        if (bot.Fd < 0) throw std::runtime_error("bot " + Nick(i) + " cannot connect");
        SendAll(bot.Fd, "NICK " + Nick(i) + "\r\nUSER " + Nick(i) + " 0 * :bot\r\nJOIN " + channel + "\r\n");
    }
    std::vector<bool> joined(bots_.size(), false);
    std::size_t left = static_cast<std::size_t>(last - first);
    std::vector<pollfd> fds(bots_.size());
    const auto from = static_cast<std::size_t>(first), to = static_cast<std::size_t>(last);
    while (left > 0) {
        if (Clock::now() > deadline) throw std::runtime_error(std::to_string(left) + " bots did not join " + channel);
        for (std::size_t i = 0; i < bots_.size(); ++i) fds[i] = pollfd{i < to ? bots_[i].Fd : -1, POLLIN, 0};
        if (::poll(fds.data(), fds.size(), 200) <= 0) continue;
        for (std::size_t i = 0; i < to; ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buf[16384];
            ssize_t n = ::recv(bots_[i].Fd, buf, sizeof buf, 0);
            if (n <= 0) throw std::runtime_error("bot " + Nick(static_cast<int>(i)) + " was disconnected");
            TBot& bot = bots_[i];
            bot.In.append(buf, static_cast<std::size_t>(n));
            // JOIN before registration ends is refused (451); send it again after the welcome.
            if (bot.In.find(" 451 ") != std::string::npos && bot.In.find(" 001 ") != std::string::npos) {
                bot.In.clear();
                SendAll(bot.Fd, "JOIN " + channel + "\r\n");
            }
            if (i >= from && !joined[i] && bot.In.find(" 366 ") != std::string::npos) {
                joined[i] = true;
                --left;
            }
            if (bot.In.size() > 65536) bot.In.erase(0, bot.In.size() - 1024);
        }
    }
    for (TBot& bot : bots_) bot.In.clear();
}

TIrcCrowd::~TIrcCrowd() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    for (TBot& bot : bots_)
        if (bot.Fd >= 0) ::close(bot.Fd);
}

void TIrcCrowd::Send(int i, const std::string& line) {
    std::lock_guard lock(mutex_);
    TBot& bot = bots_.at(static_cast<std::size_t>(i));
    if (bot.Fd >= 0) SendAll(bot.Fd, line + "\r\n");
}

void TIrcCrowd::Drop(int i) {
    std::lock_guard lock(mutex_);
    TBot& bot = bots_.at(static_cast<std::size_t>(i));
    if (bot.Fd >= 0) ::close(bot.Fd);
    bot.Fd = -1;
}

// Keeps the bots' input drained and their PINGs answered, so the server never drops them.
void TIrcCrowd::Pump() {
    std::vector<pollfd> fds;
    while (!stop_) {
        {
            std::lock_guard lock(mutex_);
            fds.clear();
            for (const TBot& bot : bots_) fds.push_back(pollfd{bot.Fd, POLLIN, 0});
        }
        if (::poll(fds.data(), fds.size(), 50) <= 0) continue;
        std::lock_guard lock(mutex_);
        for (std::size_t i = 0; i < bots_.size(); ++i) {
            TBot& bot = bots_[i];
            if (bot.Fd < 0 || bot.Fd != fds[i].fd || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buf[16384];
            ssize_t n = ::recv(bot.Fd, buf, sizeof buf, 0);
            if (n <= 0) {
                ::close(bot.Fd);
                bot.Fd = -1;
                continue;
            }
            bot.In.append(buf, static_cast<std::size_t>(n));
            std::size_t end;
            while ((end = bot.In.find('\n')) != std::string::npos) {
                std::string line = bot.In.substr(0, end);
                bot.In.erase(0, end + 1);
                if (line.rfind("PING ", 0) == 0) SendAll(bot.Fd, "PONG " + line.substr(5) + "\n");
            }
            if (bot.In.size() > 65536) bot.In.clear();
        }
    }
}
