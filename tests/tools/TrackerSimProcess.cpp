// Child-process handling for the tracker simulator in tests.
#include "tools/TrackerSimProcess.h"

#include <poll.h>
#include <signal.h>
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

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

// "key=VALUE" inside a stats line; -1 when absent.
int Field(const std::string& line, const std::string& key) {
    const auto at = line.find(" " + key + "=");
    if (at == std::string::npos) return -1;
    return std::stoi(line.substr(at + key.size() + 2));
}

}  // namespace

std::string TTrackerSimProcess::BinaryPath() { return CGV_TRACKERSIM_PATH; }

TTrackerSimProcess::TTrackerSimProcess(const std::vector<std::string>& args, int ms) {
    // Socket pairs rather than pipes: our writes use MSG_NOSIGNAL, so a simulator that died
    // fails the test instead of killing it with SIGPIPE.
    int in[2], out[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, in) != 0) throw std::runtime_error("socketpair failed");
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, out) != 0) {
        ::close(in[0]);
        ::close(in[1]);
        throw std::runtime_error("socketpair failed");
    }
    std::vector<std::string> all{BinaryPath()};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
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
        if (line == "ready" && base_ > 0) return;
        printed += line + "\n";
        if (StartsWith(line, "tracker 127.0.0.1:")) base_ = std::stoi(line.substr(18));
    }
    Kill();
    ::close(in_);
    ::close(out_);
    throw std::runtime_error("tracker simulator did not get ready; it printed:\n" + printed);
}

TTrackerSimProcess::~TTrackerSimProcess() {
    if (Running() && Stop(SIGTERM) < 0) Kill();
    ::close(in_);
    ::close(out_);
}

bool TTrackerSimProcess::ReadLine(std::string& line, int ms) {
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

std::vector<std::string> TTrackerSimProcess::Command(const std::string& line, int ms) {
    const std::string text = line + "\n";
    if (::send(in_, text.data(), text.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(text.size()))
        throw std::runtime_error("tracker simulator input closed: " + line);
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    std::vector<std::string> printed;
    std::string reply;
    while (ReadLine(reply, MsLeft(deadline))) {
        if (reply == "ok") return printed;
        if (StartsWith(reply, "error ")) throw std::runtime_error("tracker simulator: " + reply.substr(6));
        // Its log of requests comes whenever a client asks; it is not part of the answer.
        if (StartsWith(reply, "request ")) continue;
        printed.push_back(reply);
    }
    throw std::runtime_error("tracker simulator did not answer: " + line);
}

void TTrackerSimProcess::Set(int gameType, const std::string& words) {
    Command("set " + std::to_string(gameType) + " " + words);
}

TTrackerSimProcess::TStats TTrackerSimProcess::Stats(int gameType) {
    const std::string prefix = "stats " + std::to_string(gameType) + " ";
    for (const auto& line : Command("stats " + std::to_string(gameType))) {
        if (!StartsWith(line, prefix)) continue;
        return TStats{Field(line, "connections"), Field(line, "requests"), Field(line, "received")};
    }
    throw std::runtime_error("tracker simulator gave no stats for game type " + std::to_string(gameType));
}

int TTrackerSimProcess::Stop(int sig, int ms) {
    if (!Running()) return -1;
    ::kill(pid_, sig);
    // The simulator's end of the output closes when it exits: wait for that, not for a clock.
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    std::string ignored;
    while (ReadLine(ignored, MsLeft(deadline))) {
    }
    int status = 0;
    if (::waitpid(pid_, &status, MsLeft(deadline) > 0 ? 0 : WNOHANG) != pid_) return -1;
    pid_ = -1;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

void TTrackerSimProcess::Kill() {
    if (!Running()) return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
}

}  // namespace testing_support
