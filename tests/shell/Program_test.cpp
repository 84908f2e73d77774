// SPDX-License-Identifier: GPL-3.0-or-later
// The program as a process: headless start with a fresh configuration, a tracker walk, SIGTERM.
#include "support/ChildProcess.h"
#include "support/TestSupport.h"
#include "tools/GameSimProcess.h"
#include "tools/TrackerSimProcess.h"

#include <signal.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

using testing_support::ReadFile;

namespace {

namespace fs = std::filesystem;
using namespace testing_support;
using Clock = std::chrono::steady_clock;

// Polls another process's doing; nothing in our own loop could tell us sooner.
bool PollUntil(const std::function<bool()>& pred, int ms) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (!pred()) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// The program, headless, with its output in a file; killed if the test leaves it running.
TChildProcess StartProgram(std::vector<std::string> args, const fs::path& output) {
    args.insert(args.begin(), CGV_PROGRAM_PATH);
    return TChildProcess(args, {.Env = {"QT_QPA_PLATFORM=offscreen"}, .OutputFile = output});
}

TEST(Program, HeadlessWithAFreshConfigurationWritesDefaultsWalksTheTrackerAndEndsCleanlyOnSigterm) {
    TTempDir dir;
    TGameSimProcess sim({R"(name="Alpha" mission="Operation X" players=3 state=129 flags=0x34)"});
    const int serverPort = sim.Ports().at(0);
    TTrackerSimProcess tracker({"game=0", "server=127.0.0.1:" + std::to_string(serverPort)});

    const fs::path config = dir.Path() / "config";
    auto program = StartProgram({"--tracker", tracker.TrackerOption(), "--chat-server",
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
    EXPECT_EQ(program.WaitExit(20000), 0) << ReadFile(dir.Path() / "output.txt");
    // Nothing is written when the program ends.
    EXPECT_EQ(ReadFile(settings), written);
    EXPECT_EQ(fs::last_write_time(settings), stamp);
    // Other requests than the walk's own would show the program asking game types it must not.
    EXPECT_EQ(tracker.Stats(1).Connections, 0);
}

TEST(Program, SigintEndsItCleanlyToo) {
    TTempDir dir;
    auto program = StartProgram({"--tracker", "127.0.0.1:" + std::to_string(UnusedTcpPort()), "--chat-server",
                                 "127.0.0.1:" + std::to_string(UnusedTcpPort()), "--config-dir", dir.Path().string(),
                                 "-developer"},
                                dir.Path() / "output.txt");
    ASSERT_TRUE(PollUntil([&] { return fs::exists(dir.Path() / "settings.reg"); }, 20000));
    program.Signal(SIGINT);
    EXPECT_EQ(program.WaitExit(20000), 0) << ReadFile(dir.Path() / "output.txt");
}

TEST(Program, HelpVersionAndBadOptions) {
    TTempDir dir;
    const fs::path out = dir.Path() / "output.txt";
    {
        auto help = StartProgram({"--help", "--config-dir", dir.Path().string()}, out);
        EXPECT_EQ(help.WaitExit(10000), 0);
    }
    const std::string usage = ReadFile(out);
    for (const char* option : {"-developer", "--tracker ADDR[:BASEPORT]", "--chat-server SERVER", "ircs://HOST[:PORT]",
                               "irc://HOST[:PORT] or HOST[:PORT]", "--config-dir"})
        EXPECT_NE(usage.find(option), std::string::npos) << option << " in\n" << usage;
    // The build folder's sound lies beside the program, where the search starts.
    EXPECT_NE(usage.find("settings       " + (dir.Path() / "settings.reg").string() + "\n"), std::string::npos) << usage;
    EXPECT_NE(usage.find("message sound  " + std::string(CGV_BINARY_DIR) + "/src/shell/new_msg.wav\n"),
              std::string::npos)
        << usage;
    {
        auto version = StartProgram({"--version"}, out);
        EXPECT_EQ(version.WaitExit(10000), 0);
    }
    EXPECT_EQ(ReadFile(out), "corvanegv 1.01\n");
    {
        auto bad = StartProgram({"--chat-server", "host:99999"}, out);
        EXPECT_EQ(bad.WaitExit(10000), 2);
    }
    EXPECT_NE(ReadFile(out).find("--chat-server"), std::string::npos);
}

}  // namespace
