// Child-process handling for the game-server simulator in tests.
#include "tools/GameSimProcess.h"

#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

extern char** environ;

namespace testing_support {

namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

int ExitCode(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

}  // namespace

std::string TGameSimProcess::BinaryPath() { return CGV_GAMESIM_PATH; }

TGameSimProcess::TGameSimProcess(const std::vector<std::string>& servers, const std::vector<std::string>& extraArgs,
                                 int ms) {
    // Socket pairs rather than pipes: our writes use MSG_NOSIGNAL, so a simulator that died
    // fails the test instead of killing it with SIGPIPE.
    int in[2], out[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, in) != 0) throw std::runtime_error("socketpair failed");
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, out) != 0) {
        ::close(in[0]);
        ::close(in[1]);
        throw std::runtime_error("socketpair failed");
    }
    std::vector<std::string> args{BinaryPath()};
    for (const auto& s : servers) {
        args.push_back("--server");
        args.push_back(s);
    }
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[1], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, out[1], 2);
    const int rc = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[1]);
    ::close(out[1]);
    in_ = in[0];
    out_ = out[0];
    if (rc != 0) {
        pid_ = -1;
        ::close(in_);
        ::close(out_);
        throw std::runtime_error("cannot start " + BinaryPath());
    }

    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    std::string printed, line;
    while (ReadLine(line, MsLeft(deadline))) {
        if (line == "ready") return;
        printed += line + "\n";
        // "server 127.0.0.1:PORT NAME"
        if (line.rfind("server 127.0.0.1:", 0) == 0) ports_.push_back(std::stoi(line.substr(17)));
    }
    Kill();
    ::close(in_);
    ::close(out_);
    throw std::runtime_error("simulator did not get ready; it printed:\n" + printed);
}

TGameSimProcess::~TGameSimProcess() {
    if (Running() && Stop(SIGTERM) < 0) Kill();
    ::close(in_);
    ::close(out_);
}

bool TGameSimProcess::ReadLine(std::string& line, int ms) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (true) {
        const std::size_t nl = buffered_.find('\n');
        if (nl != std::string::npos) {
            line = buffered_.substr(0, nl);
            buffered_.erase(0, nl + 1);
            return true;
        }
        pollfd p{out_, POLLIN, 0};
        if (::poll(&p, 1, MsLeft(deadline)) <= 0) return false;
        char buf[4096];
        const ssize_t n = ::read(out_, buf, sizeof buf);
        if (n <= 0) return false;  // the simulator has gone
        buffered_.append(buf, static_cast<std::size_t>(n));
    }
}

std::vector<std::string> TGameSimProcess::Command(const std::string& line, int ms) {
    const std::string text = line + "\n";
    if (::send(in_, text.data(), text.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(text.size()))
        throw std::runtime_error("simulator input closed: " + line);
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    std::vector<std::string> printed;
    std::string reply;
    while (ReadLine(reply, MsLeft(deadline))) {
        if (reply == "ok") return printed;
        if (reply.rfind("error ", 0) == 0) throw std::runtime_error("simulator: " + reply.substr(6));
        printed.push_back(reply);
    }
    throw std::runtime_error("simulator did not answer: " + line);
}

void TGameSimProcess::Set(int port, const std::string& words) { Command("set " + std::to_string(port) + " " + words); }

int TGameSimProcess::Add(const std::string& words) {
    for (const auto& line : Command("add " + words)) {
        if (line.rfind("server 127.0.0.1:", 0) == 0) {
            ports_.push_back(std::stoi(line.substr(17)));
            return ports_.back();
        }
    }
    throw std::runtime_error("simulator added no server: " + words);
}

void TGameSimProcess::Remove(int port) { Command("remove " + std::to_string(port)); }

long TGameSimProcess::Queries(int port) {
    const std::string prefix = "queries " + std::to_string(port) + " ";
    for (const auto& line : Command("queries " + std::to_string(port)))
        if (line.rfind(prefix, 0) == 0) return std::stol(line.substr(prefix.size()));
    throw std::runtime_error("simulator gave no query count for port " + std::to_string(port));
}

void TGameSimProcess::CloseInput() { ::shutdown(in_, SHUT_WR); }

int TGameSimProcess::Stop(int sig, int ms) {
    if (!Running()) return -1;
    ::kill(pid_, sig);
    return WaitExit(ms);
}

int TGameSimProcess::WaitExit(int ms) {
    if (!Running()) return -1;
    // The simulator's end of the output closes when it exits: wait for that, not for a clock.
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    std::string ignored;
    while (ReadLine(ignored, MsLeft(deadline))) {
    }
    int status = 0;
    if (::waitpid(pid_, &status, MsLeft(deadline) > 0 ? 0 : WNOHANG) != pid_) return -1;
    pid_ = -1;
    return ExitCode(status);
}

void TGameSimProcess::Kill() {
    if (!Running()) return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
}

}  // namespace testing_support
