// SPDX-License-Identifier: GPL-3.0-or-later
// A private session bus and GNOME Keyring for the secret store tests.
#include "support/KeyringSession.h"

#include "support/ChildProcess.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

extern char** environ;

namespace testing_support {

namespace {

constexpr const char* KeyringPassword = "keyring-test-password";

std::filesystem::path FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const std::size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::filesystem::path candidate = std::filesystem::path(dirs.substr(start, end - start)) / name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    throw std::runtime_error(name + " is missing: scripts/setup installs it (gnome-keyring, libsecret-tools, dbus)");
}

// Reads every descriptor to its end, or until the deadline; closes them.
void ReadAll(std::vector<std::pair<int, std::string*>> fds, std::chrono::steady_clock::time_point deadline) {
    while (!fds.empty()) {
        std::vector<pollfd> p;
        for (auto& [fd, _] : fds) p.push_back({fd, POLLIN, 0});
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || ::poll(p.data(), p.size(), static_cast<int>(left.count())) <= 0) break;
        for (std::size_t i = p.size(); i-- > 0;) {
            if (!p[i].revents) continue;
            char buf[4096];
            const ssize_t n = ::read(fds[i].first, buf, sizeof buf);
            if (n > 0) {
                fds[i].second->append(buf, static_cast<std::size_t>(n));
            } else {
                ::close(fds[i].first);
                fds.erase(fds.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
    }
    for (auto& [fd, _] : fds) ::close(fd);
}

}  // namespace

TKeyringSession::TKeyringSession() : TKeyringSession(TOptions{}) {}

TKeyringSession::TKeyringSession(const TOptions& options) {
    for (const char* sub : {"home", "data", "run"}) std::filesystem::create_directories(dir_.Path() / sub);
    std::filesystem::permissions(dir_.Path() / "run", std::filesystem::perms::owner_all);
    // Our own configuration: no service folders, so nothing of the machine's is started on the bus.
    const auto config = dir_.Path() / "bus.conf";
    std::ofstream(config) << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                             " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                             "<busconfig><type>session</type><listen>unix:path="
                          << (dir_.Path() / "bus").string()
                          << "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                             "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                             "<allow own=\"*\"/></policy></busconfig>\n";
    // The shell ends the bus when its input ends, which it also does when this process dies
    // without its destructors (a crash, a time-out's kill): no bus outlives its test.
    bus_ = std::make_unique<TChildProcess>(
        std::vector<std::string>{"/bin/sh", "-c", "\"$0\" --config-file=\"$1\" --nofork --print-address=1 & read _; kill $!; wait",
                                 FindProgram("dbus-daemon"), config.string()},
        TChildOptions{.Name = "dbus-daemon"});
    std::string line;
    while (address_.empty() && bus_->ReadLine(line, 5000))
        if (line.starts_with("unix:")) address_ = line;
    if (address_.empty()) throw std::runtime_error("dbus-daemon printed no address");

    const char* old = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    hadAddress_ = old != nullptr;
    if (old) oldAddress_ = old;
    ::setenv("DBUS_SESSION_BUS_ADDRESS", address_.c_str(), 1);
    if (options.Keyring) StartKeyring(true);
}

TKeyringSession::~TKeyringSession() {
    StopKeyring();
    StopBus();
    if (hadAddress_)
        ::setenv("DBUS_SESSION_BUS_ADDRESS", oldAddress_.c_str(), 1);
    else
        ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

std::vector<std::string> TKeyringSession::Env() const {
    return {"DBUS_SESSION_BUS_ADDRESS=" + address_, "HOME=" + (dir_.Path() / "home").string(),
            "XDG_DATA_HOME=" + (dir_.Path() / "data").string(), "XDG_RUNTIME_DIR=" + (dir_.Path() / "run").string()};
}

void TKeyringSession::StartKeyring(bool unlock) {
    // As the bus, under a shell that ends it with this process; with --unlock the keyring reads
    // the password to the end of its input, and makes the login keyring with it the first time.
    const auto log = dir_.Path() / "keyring.log";
    keyring_ = std::make_unique<TChildProcess>(
        std::vector<std::string>{"/bin/sh", "-c",
                                 "printf '%s\\n' \"$1\" | \"$0\" --foreground --components=secrets $2 >\"$3\" 2>&1 & "
                                 "echo $!; read _; kill -CONT $!; kill $!; wait",
                                 FindProgram("gnome-keyring-daemon"), KeyringPassword, unlock ? "--unlock" : "",
                                 log.string()},
        TChildOptions{.Name = "gnome-keyring-daemon", .Env = Env()});
    std::string pid;
    if (!keyring_->ReadLine(pid, 5000)) throw std::runtime_error("gnome-keyring-daemon did not start");
    keyringPid_ = std::stoi(pid);
    const auto waited = Run({"gdbus", "wait", "--session", "--timeout", "10", "org.freedesktop.secrets"}, {}, 15000);
    if (waited.Exit != 0)
        throw std::runtime_error("gnome-keyring-daemon did not come up: " + waited.Errors + ReadFile(log));
}

void TKeyringSession::StopKeyring() {
    if (!keyring_) return;
    keyring_->CloseInput();
    if (keyring_->WaitExit(5000) < 0) keyring_->Kill();
    keyring_.reset();
    frozen_ = false;
}

void TKeyringSession::RestartKeyring(bool unlock) {
    StopKeyring();
    // Until the bus has seen the old one go, gdbus wait would find its name still owned.
    const std::vector<std::string> owned{"gdbus", "call", "--session", "--dest", "org.freedesktop.DBus",
                                         "--object-path", "/org/freedesktop/DBus", "--method",
                                         "org.freedesktop.DBus.NameHasOwner", "org.freedesktop.secrets"};
    for (int i = 0; i < 250 && Run(owned).Output.find("true") != std::string::npos; ++i) ::usleep(20000);
    StartKeyring(unlock);
}

void TKeyringSession::FreezeKeyring() {
    if (keyring_ && !frozen_) ::kill(keyringPid_, SIGSTOP);
    frozen_ = keyring_ != nullptr;
}

void TKeyringSession::ThawKeyring() {
    if (keyring_ && frozen_) ::kill(keyringPid_, SIGCONT);
    frozen_ = false;
}

void TKeyringSession::StopBus() {
    if (!bus_) return;
    bus_->CloseInput();
    if (bus_->WaitExit(5000) < 0) bus_->Kill();
    bus_.reset();
}

TKeyringSession::TToolResult TKeyringSession::Run(const std::vector<std::string>& args, const std::string& input,
                                                  int ms) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    int in[2], out[2], err[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, in) != 0 ||
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, out) != 0 ||
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, err) != 0)
        throw std::runtime_error("socketpair failed");
    std::vector<std::string> words = args;
    words[0] = FindProgram(args.at(0));
    // Our environment with the session's entries in place of those of the same names.
    const auto own = Env();
    std::vector<std::string> merged;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('=') + 1);
        bool replaced = false;
        for (const auto& o : own) replaced = replaced || o.starts_with(name);
        if (!replaced) merged.push_back(entry);
    }
    merged.insert(merged.end(), own.begin(), own.end());
    std::vector<char*> argv, envp;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    for (auto& e : merged) envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[1], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[1]);
    ::close(out[1]);
    ::close(err[1]);
    if (rc != 0) {
        ::close(in[0]);
        ::close(out[0]);
        ::close(err[0]);
        throw std::runtime_error("cannot start " + args[0]);
    }
    ::send(in[0], input.data(), input.size(), MSG_NOSIGNAL);
    ::close(in[0]);
    TToolResult result;
    ReadAll({{out[0], &result.Output}, {err[0], &result.Errors}}, deadline);
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return result;
        }
        ::usleep(5000);
    }
    result.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

}  // namespace testing_support
