// SPDX-License-Identifier: GPL-3.0-or-later
// Child processes for tests: spawning, line I/O over socket pairs, exit status with a deadline.
#include "support/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <stdexcept>

extern char** environ;

namespace testing_support {

namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point After(int ms) { return Clock::now() + std::chrono::milliseconds(ms); }

int MsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

int ExitCode(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

// Our environment with extra's entries added, each replacing an entry of the same name.
std::vector<std::string> Environment(const std::vector<std::string>& extra) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('=')) + "=";
        if (std::none_of(extra.begin(), extra.end(), [&](const std::string& x) { return x.starts_with(name); }))
            env.push_back(entry);
    }
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& words) {
    std::vector<char*> p;
    for (auto& w : words) p.push_back(w.data());
    p.push_back(nullptr);
    return p;
}

}  // namespace

TChildProcess::TChildProcess(const std::vector<std::string>& args, const TChildOptions& options)
    : name_(options.Name) {
    if (args.empty()) throw std::runtime_error("no program to start");
    const bool toFile = !options.OutputFile.empty();
    // Socket pairs rather than pipes: our writes use MSG_NOSIGNAL, so a child that died fails
    // the test instead of killing it with SIGPIPE.
    int in[2], out[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, in) != 0) throw std::runtime_error("socketpair failed");
    if (!toFile && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, out) != 0) {
        ::close(in[0]);
        ::close(in[1]);
        throw std::runtime_error("socketpair failed");
    }
    std::vector<std::string> argWords = args;
    std::vector<std::string> envWords = Environment(options.Env);
    const std::vector<char*> argv = Pointers(argWords);
    const std::vector<char*> envp = Pointers(envWords);

    // posix_spawn rather than fork: nothing runs in the child between the two but the exec.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[1], 0);
    if (toFile) {
        posix_spawn_file_actions_addopen(&actions, 1, options.OutputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
    } else {
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, out[1], 2);
    }
    const int rc = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[1]);
    if (out[1] >= 0) ::close(out[1]);
    in_ = in[0];
    out_ = out[0];
    if (rc != 0) {
        pid_ = -1;
        ::close(in_);
        if (out_ >= 0) ::close(out_);
        throw std::runtime_error("cannot start " + args[0]);
    }
    // -1 where the kernel has no pidfd_open; WaitExit then looks for the exit now and then.
    pidfd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
}

TChildProcess::~TChildProcess() {
    Kill();
    ::close(in_);
    if (out_ >= 0) ::close(out_);
}

bool TChildProcess::ReadSome() {
    char buf[4096];
    const ssize_t n = ::read(out_, buf, sizeof buf);
    if (n < 0 && errno == EINTR) return true;
    if (n <= 0) {  // the child has gone
        ::close(out_);
        out_ = -1;
        return false;
    }
    buffered_.append(buf, static_cast<std::size_t>(n));
    return true;
}

bool TChildProcess::ReadLine(std::string& line, int ms) {
    const auto deadline = After(ms);
    while (true) {
        const std::size_t nl = buffered_.find('\n');
        if (nl != std::string::npos) {
            line = buffered_.substr(0, nl);
            buffered_.erase(0, nl + 1);
            return true;
        }
        if (out_ < 0) return false;
        pollfd p{out_, POLLIN, 0};
        if (::poll(&p, 1, MsLeft(deadline)) <= 0) return false;
        ReadSome();
    }
}

std::vector<std::string> TChildProcess::ReadUntil(const std::string& wanted, int ms) {
    const auto deadline = After(ms);
    std::vector<std::string> before;
    std::string line;
    while (ReadLine(line, MsLeft(deadline))) {
        if (line == wanted) return before;
        before.push_back(line);
    }
    std::string printed;
    for (const auto& l : before) printed += l + "\n";
    throw std::runtime_error(name_ + " did not print \"" + wanted + "\"; it printed:\n" + printed);
}

bool TChildProcess::WriteLine(const std::string& line) {
    const std::string text = line + "\n";
    return ::send(in_, text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
}

void TChildProcess::CloseInput() { ::shutdown(in_, SHUT_WR); }

std::vector<std::string> TChildProcess::Command(const std::string& line, int ms) {
    if (!WriteLine(line)) throw std::runtime_error(name_ + " input closed: " + line);
    const auto deadline = After(ms);
    std::vector<std::string> printed;
    std::string reply;
    while (ReadLine(reply, MsLeft(deadline))) {
        if (reply == "ok") return printed;
        if (reply.starts_with("error ")) throw std::runtime_error(name_ + ": " + reply.substr(6));
        printed.push_back(reply);
    }
    throw std::runtime_error(name_ + " did not answer: " + line);
}

void TChildProcess::Signal(int sig) {
    if (Running()) ::kill(pid_, sig);
}

int TChildProcess::WaitExit(int ms) {
    const auto deadline = After(ms);
    while (Running()) {
        int status = 0;
        const pid_t r = ::waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            Reaped();
            return ExitCode(status);
        }
        if (r < 0 && errno != EINTR) {  // not our child any more: nothing left to wait for
            Reaped();
            return -1;
        }
        const int left = MsLeft(deadline);
        if (left == 0) return -1;
        // Its output is read on meanwhile (kept for ReadLine), so a child blocked on writing to
        // us can still end.
        pollfd p[2] = {{pidfd_, POLLIN, 0}, {out_, POLLIN, 0}};
        ::poll(p, 2, pidfd_ >= 0 ? left : std::min(left, 10));
        if (p[1].revents != 0) ReadSome();
    }
    return -1;
}

int TChildProcess::Stop(int sig, int ms) {
    if (!Running()) return -1;
    Signal(sig);
    return WaitExit(ms);
}

void TChildProcess::Kill() {
    if (!Running()) return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    Reaped();
}

void TChildProcess::Reaped() {
    pid_ = -1;
    if (pidfd_ >= 0) ::close(pidfd_);
    pidfd_ = -1;
}

}  // namespace testing_support
