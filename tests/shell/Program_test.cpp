// The program as a process: headless start with a fresh configuration, a tracker walk, SIGTERM.
#include "support/TestSupport.h"
#include "tools/GameSimProcess.h"
#include "tools/TrackerSimProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using namespace testing_support;
using Clock = std::chrono::steady_clock;

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Polls another process's doing; nothing in our own loop could tell us sooner.
bool PollUntil(const std::function<bool()>& pred, int ms) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (!pred()) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

class TProgram {
public:
    TProgram(const std::vector<std::string>& args, const fs::path& output) {
        pid_ = ::fork();
        if (pid_ != 0) return;
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(fd, 1);
        ::dup2(fd, 2);
        std::vector<std::string> words = args;
        std::vector<char*> argv;
        std::string binary = CGV_PROGRAM_PATH;
        argv.push_back(binary.data());
        for (auto& a : words) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(binary.c_str(), argv.data());
        ::_exit(127);
    }
    ~TProgram() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    // The exit code, 128 + signal when a signal ended it, -1 when still running after ms.
    int Wait(int ms) {
        int status = 0;
        if (!PollUntil([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; }, ms)) return -1;
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    void Signal(int sig) { ::kill(pid_, sig); }

private:
    pid_t pid_ = -1;
};

TEST(Program, HeadlessWithAFreshConfigurationWritesDefaultsWalksTheTrackerAndEndsCleanlyOnSigterm) {
    TTempDir dir;
    TGameSimProcess sim({R"(name="Alpha" mission="Operation X" players=3 state=129 flags=0x34)"});
    const int serverPort = sim.Ports().at(0);
    TTrackerSimProcess tracker({"game=0", "server=127.0.0.1:" + std::to_string(serverPort)});

    const fs::path config = dir.Path() / "config";
    TProgram program({"--tracker", tracker.TrackerOption(), "--chat-server",
                      "127.0.0.1:" + std::to_string(UnusedTcpPort()), "--config-dir", config.string()},
                     dir.Path() / "output.txt");
    const fs::path settings = config / "settings.reg";
    ASSERT_TRUE(PollUntil([&] { return fs::exists(settings); }, 20000)) << ReadFile(dir.Path() / "output.txt");
    ASSERT_TRUE(PollUntil([&] { return tracker.Stats(0).Requests >= 1; }, 20000));
    // The tracker named the server, so the program asked it for its status.
    ASSERT_TRUE(PollUntil([&] { return sim.Queries(serverPort) >= 1; }, 20000));

    const std::string written = ReadFile(settings);
    EXPECT_NE(written.find("\"FSEnabled\"=dword:00000001"), std::string::npos) << written;
    EXPECT_NE(written.find("\"SoundPath-UserMessage\"=\"new_msg.wav\""), std::string::npos) << written;
    const auto stamp = fs::last_write_time(settings);

    program.Signal(SIGTERM);
    EXPECT_EQ(program.Wait(20000), 0) << ReadFile(dir.Path() / "output.txt");
    // Nothing is written when the program ends.
    EXPECT_EQ(ReadFile(settings), written);
    EXPECT_EQ(fs::last_write_time(settings), stamp);
    // Other requests than the walk's own would show the program asking game types it must not.
    EXPECT_EQ(tracker.Stats(1).Connections, 0);
}

TEST(Program, SigintEndsItCleanlyToo) {
    TTempDir dir;
    TProgram program({"--tracker", "127.0.0.1:" + std::to_string(UnusedTcpPort()), "--chat-server",
                      "127.0.0.1:" + std::to_string(UnusedTcpPort()), "--config-dir", dir.Path().string(),
                      "-developer"},
                     dir.Path() / "output.txt");
    ASSERT_TRUE(PollUntil([&] { return fs::exists(dir.Path() / "settings.reg"); }, 20000));
    program.Signal(SIGINT);
    EXPECT_EQ(program.Wait(20000), 0) << ReadFile(dir.Path() / "output.txt");
}

TEST(Program, HelpVersionAndBadOptions) {
    TTempDir dir;
    const fs::path out = dir.Path() / "output.txt";
    {
        TProgram help({"--help"}, out);
        EXPECT_EQ(help.Wait(10000), 0);
    }
    const std::string usage = ReadFile(out);
    for (const char* option : {"-developer", "--tracker ADDR[:BASEPORT]", "--chat-server HOST[:PORT]", "--config-dir"})
        EXPECT_NE(usage.find(option), std::string::npos) << option << " in\n" << usage;
    {
        TProgram version({"--version"}, out);
        EXPECT_EQ(version.Wait(10000), 0);
    }
    EXPECT_EQ(ReadFile(out), "corvanegv 1.01\n");
    {
        TProgram bad({"--chat-server", "host:99999"}, out);
        EXPECT_EQ(bad.Wait(10000), 2);
    }
    EXPECT_NE(ReadFile(out).find("--chat-server"), std::string::npos);
}

}  // namespace
