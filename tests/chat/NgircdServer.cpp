// SPDX-License-Identifier: GPL-3.0-or-later
// TNgircdServer: writes a private ngircd configuration, runs ngircd and stops it again.
#include "chat/NgircdServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace {

std::string FindNgircd() {
    for (const char* p : {"/usr/sbin/ngircd", "/usr/local/sbin/ngircd", "/usr/bin/ngircd"})
        if (::access(p, X_OK) == 0) return p;
    throw std::runtime_error(
        "ngircd is not installed; the IRC integration tests need it: run scripts/setup "
        "(or apt-get install ngircd)");
}

bool Listening(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

}  // namespace

TNgircdServer::TNgircdServer() : TNgircdServer(TOptions{}) {}

TNgircdServer::TNgircdServer(const TOptions& options) : binary_(FindNgircd()), options_(options) {
    const std::string& binary = binary_;
    // Run as root, ngircd drops to nobody, which must then write its pid file here.
    if (::geteuid() == 0) {
        if (passwd* pw = ::getpwnam("nobody")) {
            if (::chown(dir_.Path().c_str(), pw->pw_uid, pw->pw_gid) != 0)
                throw std::runtime_error("cannot hand the ngircd folder to nobody");
        }
    }
    std::filesystem::create_directories(dir_.Path() / "conf.d");
    // The free port may be taken between the probe and ngircd's bind; try a few.
    for (int attempt = 0; attempt < 3; ++attempt)
        if (TryStart(binary, options, testing_support::UnusedTcpPort())) return;
    throw std::runtime_error("ngircd did not start listening on 127.0.0.1:\n" + Log());
}

void TNgircdServer::Restart() {
    Stop();
    if (!TryStart(binary_, options_, port_))
        throw std::runtime_error("ngircd did not start again on 127.0.0.1:\n" + Log());
}

bool TNgircdServer::TryStart(const std::string& binary, const TOptions& options, int port) {
    port_ = port;
    const bool tls = !options.tlsCertFile.empty() && !options.tlsKeyFile.empty();
    if (tls && tlsPort_ == 0) tlsPort_ = testing_support::UnusedTcpPort();
    const auto conf = dir_.Path() / "ngircd.conf";
    {
        std::ofstream out(conf);
        out << "[Global]\n"
            << "Name = " << Name << "\n"
            << "Info = test server\n"
            << "AdminInfo1 = tests\nAdminInfo2 = tests\nAdminEMail = tests@localhost\n"
            << "Listen = 127.0.0.1\n"
            << "Ports = " << port_ << "\n"
            << "PidFile = " << (dir_.Path() / "ngircd.pid").string() << "\n"
            << "MotdPhrase = \"test\"\n"
            << "[Limits]\n"
            << "MaxConnectionsIP = 0\n"
            << (options.floodProtection ? "" : "MaxPenaltyTime = 0\n")
            << "PingTimeout = " << options.pingTimeout << "\n"
            << "[Options]\n"
            << "DNS = no\nIdent = no\nPAM = no\n"
            << "IncludeDir = " << (dir_.Path() / "conf.d").string() << "\n"
            << "[Operator]\nName = " << OperName << "\nPassword = " << OperPassword << "\n";
        if (tls)
            out << "[SSL]\nCertFile = " << options.tlsCertFile << "\nKeyFile = " << options.tlsKeyFile
                << "\nPorts = " << tlsPort_ << "\n";
    }
    const std::string log = (dir_.Path() / "ngircd.log").string();
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
            ::dup2(fd, 1);
            ::dup2(fd, 2);
        }
        int null = ::open("/dev/null", O_RDONLY);
        if (null >= 0) ::dup2(null, 0);
        const std::string confText = conf.string();
        ::execl(binary.c_str(), binary.c_str(), "--nodaemon", "--passive", "--config", confText.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return false;
        }
        if (Listening(port_) && (!tls || Listening(tlsPort_))) return true;
        // A polling wait on another process: nothing in our loop can tell us sooner.
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    Stop();
    return false;
}

void TNgircdServer::Stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    pid_ = -1;
}

TNgircdServer::~TNgircdServer() { Stop(); }

std::string TNgircdServer::Log() const {
    std::ifstream in(dir_.Path() / "ngircd.log");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}
