// SPDX-License-Identifier: GPL-3.0-or-later
// corvanegv-query end to end: the tool binary against the game-server simulator on 127.0.0.1.
#include "support/TestSupport.h"
#include "tools/GameSimProcess.h"
#include "tools/TrackerSimProcess.h"
#include "tracker/StatusQueries.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

using testing_support::Escaped;
using testing_support::TGameSimProcess;
using testing_support::TTrackerSimProcess;
using testing_support::TUdpPeer;

namespace {

struct TRun {
    int Exit = -1;
    std::string Out, Err;
    double Seconds = 0;
};

// Runs the tool with args, collecting both outputs; kills it after ms.
TRun RunQueryTool(std::vector<std::string> args, int ms = 20000) {
    args.insert(args.begin(), CGV_QUERY_PATH);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2], err[2];
    if (::pipe(out) != 0 || ::pipe(err) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, err[0]);
    pid_t pid = -1;
    const auto start = std::chrono::steady_clock::now();
    const int rc = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    TRun run;
    if (rc != 0) throw std::runtime_error(std::string("cannot start ") + CGV_QUERY_PATH);
    const auto deadline = start + std::chrono::milliseconds(ms);
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* sinks[2] = {&run.Out, &run.Err};
    int open = 2;
    while (open > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || ::poll(fds, 2, static_cast<int>(left.count())) <= 0) {
            ::kill(pid, SIGKILL);
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
            char buf[4096];
            const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
            if (n > 0) {
                sinks[i]->append(buf, static_cast<std::size_t>(n));
            } else {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (auto& f : fds)
        if (f.fd >= 0) ::close(f.fd);
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

std::string Server(int port) { return "127.0.0.1:" + std::to_string(port); }

}  // namespace

TEST(CorvanegvQuery, TableShowsTheAnsweringServersAlignedUnderTheEightCaptions) {
    TGameSimProcess sim({R"(port=0 name="Alpha Squadron" file="m1.fs2" mission="Operation X" players=3 state=129 flags=0x34)",
                         R"(port=0 name="Bad\x1B[2Jname" mission="Solo" players=12 state=8 flags=0x06)",
                         R"(port=0 mode=silent)"});
    const auto& p = sim.Ports();
    TRun run = RunQueryTool({"--server", Server(p[0]), "--server", Server(p[1]), "--server", Server(p[2]),
                             "--server", Server(p[0]), "--timeout", "1.5"});
    ASSERT_EQ(run.Exit, 0) << run.Err;
    EXPECT_EQ(run.Err, "corvanegv-query: no answer from " + Server(p[2]) + "\n");
    const auto lines = Lines(run.Out);
    ASSERT_EQ(lines.size(), 3u) << run.Out;
    const std::string& head = lines[0];
    EXPECT_EQ(head.substr(0, head.find("  Address")),
              "Status   Players  Server          Mission               Speed  Password  Dedicated  Campaign");
    // The rows come in the order the replies arrived.
    const bool alphaFirst = lines[1].find("Alpha") != std::string::npos;
    const std::string& alpha = lines[alphaFirst ? 1 : 2];
    const std::string& bad = lines[alphaFirst ? 2 : 1];
    // Each value starts under its caption; Players is right-aligned to its caption's end.
    for (const char* caption : {"Server", "Mission", "Speed", "Password", "Dedicated", "Campaign", "Address"})
        EXPECT_EQ(alpha.at(head.find(caption) - 1), ' ') << caption;
    EXPECT_EQ(alpha.substr(head.find("Server"), 14), "Alpha Squadron");
    EXPECT_EQ(alpha.substr(head.find("Mission"), 20), "Operation X / m1.fs2");
    EXPECT_EQ(alpha.substr(head.find("Address")), Server(p[0]));
    EXPECT_EQ(alpha.substr(0, head.find("Players") + 7), "Playing        3");
    EXPECT_EQ(bad.substr(0, head.find("Players") + 7), "#8            12");
    // The escape byte reaches the terminal as '?', never raw.
    EXPECT_NE(bad.find("Bad?[2Jname"), std::string::npos) << Escaped(bad);
    EXPECT_EQ(bad.find('\x1B'), std::string::npos);
    EXPECT_NE(bad.find("#6  "), std::string::npos);
    // Named twice, asked once; the silent one is asked again, a bounded number of times.
    EXPECT_EQ(sim.Queries(p[0]), 1);
    EXPECT_GE(sim.Queries(p[2]), 2);
    EXPECT_LE(sim.Queries(p[2]), 1 + FirstQueryRetries);
}

TEST(CorvanegvQuery, JsonHasExactlyTheKeysAndEscapesUnsafeBytes) {
    TGameSimProcess sim({R"(port=0 name="Caf\xE9 \"q\" \\ \x01" file="" mission="M" players=0 state=8 flags=0x06)",
                         R"(port=0 name="Alpha" file="a.fs2" mission="Op" players=3 state=10 flags=0x12)"});
    const auto& p = sim.Ports();
    // Both answer, so the tool ends long before its timeout.
    TRun run = RunQueryTool({"--json", "--timeout", "30", "--server", Server(p[0]), "--server", Server(p[1])});
    ASSERT_EQ(run.Exit, 0) << run.Err;
    EXPECT_EQ(run.Err, "");
    EXPECT_LT(run.Seconds, 10.0);
    auto lines = Lines(run.Out);
    ASSERT_EQ(lines.size(), 4u) << run.Out;
    EXPECT_EQ(lines.front(), "[");
    EXPECT_EQ(lines.back(), "]");
    std::vector<std::string> rows{lines[1], lines[2]};
    for (auto& r : rows)
        if (!r.empty() && r.back() == ',') r.pop_back();
    std::sort(rows.begin(), rows.end());
    const std::string cafe =
        R"(  {"game": "0", "status": "#8", "icon": null, "players": "0", "server": "Caf\u00E9 \"q\" \\ \u0001", )"
        R"("mission": "M", "speed": "#6", "password": "#6", "dedicated": "#6", "campaign": "#6", )"
        R"("address": "127.0.0.1", "port": ")" + std::to_string(p[0]) + R"("})";
    const std::string alpha =
        R"(  {"game": "0", "status": "Forming", "icon": 1, "players": "3", "server": "Alpha", )"
        R"("mission": "Op / a.fs2", "speed": "56k", "password": "No", "dedicated": "Yes", "campaign": "-", )"
        R"("address": "127.0.0.1", "port": ")" + std::to_string(p[1]) + R"("})";
    std::vector<std::string> expected{alpha, cafe};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(rows, expected);

    TRun none = RunQueryTool({"--json", "--timeout", "0.2", "--server", Server(sim.Add("mode=silent"))});
    EXPECT_EQ(none.Exit, 0);
    EXPECT_EQ(none.Out, "[]\n");
}

TEST(CorvanegvQuery, MalformedRepliesListNothing) {
    TGameSimProcess sim({"port=0 mode=short", "port=0 mode=badmagic", "port=0 mode=lenpast", "port=0 mode=huge",
                         "port=0 mode=truncated", R"(port=0 name="Fine")"});
    std::vector<std::string> args{"--json", "--timeout", "1", "--timing"};
    for (int port : sim.Ports()) args.insert(args.end(), {"--server", Server(port)});
    TRun run = RunQueryTool(args);
    ASSERT_EQ(run.Exit, 0) << run.Err;
    ASSERT_EQ(Lines(run.Out).size(), 3u) << run.Out;
    EXPECT_NE(run.Out.find("\"server\": \"Fine\""), std::string::npos) << run.Out;
    const auto err = Lines(run.Err);
    ASSERT_EQ(err.size(), 6u) << run.Err;
    // The timing line comes first and counts only the server that gave a real reply.
    EXPECT_TRUE(err[0].starts_with("corvanegv-query: listed 1 of 6 servers in ")) << err[0];
    EXPECT_TRUE(err[0].ends_with(" ms")) << err[0];
}

TEST(CorvanegvQuery, AFailedBindIsReportedWithANonZeroExit) {
    TUdpPeer holder;  // holds the port
    const std::string port = std::to_string(holder.Port());
    TRun run = RunQueryTool({"--server", "127.0.0.1:9", "--local-port", port});
    EXPECT_EQ(run.Exit, 1);
    EXPECT_EQ(run.Out, "");
    EXPECT_NE(run.Err.find("cannot bind local UDP port " + port), std::string::npos) << run.Err;
}

TEST(CorvanegvQuery, BadArgumentsAreRefusedAndHelpExplains) {
    const std::vector<std::vector<std::string>> bad{
        {},
        {"--server"},
        {"--server", "127.0.0.1"},
        {"--server", "127.0.0.1:0"},
        {"--server", "127.0.0.1:65536"},
        {"--server", ":7808"},
        {"--server", "127.0.0.1:7808", "--timeout", "-1"},
        {"--server", "127.0.0.1:7808", "--timeout", "soon"},
        {"--server", "127.0.0.1:7808", "--local-port", "70000"},
        {"--server", "127.0.0.1:7808", "--tracker"},
        {"--tracker", "127.0.0.1:65533"},
        {"--tracker", ":12000"},
        {"--tracker", "127.0.0.1", "--games", "4"},
        {"--tracker", "127.0.0.1", "--games", "0,,1"},
        {"--tracker", "127.0.0.1", "--games", ""},
    };
    for (const auto& args : bad) {
        TRun run = RunQueryTool(args);
        std::string shown;
        for (const auto& a : args) shown += a + " ";
        EXPECT_EQ(run.Exit, 2) << shown;
        EXPECT_EQ(run.Out, "") << shown;
        EXPECT_EQ(run.Err.rfind("corvanegv-query: ", 0), 0u) << shown << run.Err;
    }
    TRun help = RunQueryTool({"--help"});
    EXPECT_EQ(help.Exit, 0);
    for (const char* word : {"--server HOST:PORT", "--timeout", "--json", "--local-port", "--tracker ADDR[:BASEPORT]",
                             "--games", "--version"})
        EXPECT_NE(help.Out.find(word), std::string::npos) << word;
    TRun version = RunQueryTool({"--version"});
    EXPECT_EQ(version.Exit, 0);
    EXPECT_EQ(version.Out, "corvanegv-query 1.01\n");
}

TEST(CorvanegvQuery, TrackerWalkAsksTheNamedServersAndListsThemUnderTheirGameType) {
    TGameSimProcess servers({R"(port=0 name="Alpha" mission="M" players=1 state=9 flags=0)",
                             R"(port=0 name="Fox" mission="N" players=2 state=129 flags=0)", "port=0 mode=silent"});
    const auto& p = servers.Ports();
    TTrackerSimProcess tracker({"game=0", "server=127.0.0.1:" + std::to_string(p[0]),  //
                                "game=1", "mode=refuse",                               //
                                "game=2", "server=127.0.0.1:" + std::to_string(p[0]),  //
                                "game=3", "server=127.0.0.1:" + std::to_string(p[1]), "server=127.0.0.1:" + std::to_string(p[2])});
    TRun run = RunQueryTool({"--tracker", tracker.TrackerOption(), "--games", "3,1,0", "--json", "--timeout", "1.5"});
    ASSERT_EQ(run.Exit, 0) << run.Err;
    EXPECT_EQ(run.Err, "corvanegv-query: no tracker result for game type 1\n"
                       "corvanegv-query: no answer from " + Server(p[2]) + "\n");
    const auto lines = Lines(run.Out);
    ASSERT_EQ(lines.size(), 4u) << run.Out;
    // The lists come in code order.
    EXPECT_NE(lines[1].find(R"({"game": "0", "status": "Forming")"), std::string::npos) << lines[1];
    EXPECT_NE(lines[1].find(R"("port": ")" + std::to_string(p[0])), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find(R"({"game": "3", "status": "Playing")"), std::string::npos) << lines[2];
    EXPECT_EQ(tracker.Stats(2).Connections, 0) << "not chosen";
    EXPECT_EQ(tracker.Stats(3).Requests, 1);
    // Asked once as a new server; a later result's sweep may ask again once it is listed.
    // The silent one is asked again while it stays silent.
    EXPECT_GE(servers.Queries(p[0]), 1);
    EXPECT_GE(servers.Queries(p[2]), 2);
    EXPECT_LE(servers.Queries(p[2]), 1 + FirstQueryRetries);
}

TEST(CorvanegvQuery, TrackerWalkDefaultsToFreeSpace2AndNamesAWalkThatDoesNotEnd) {
    TGameSimProcess servers({R"(port=0 name="Alpha")"});
    TTrackerSimProcess tracker({"game=0", "server=127.0.0.1:" + std::to_string(servers.Ports()[0]), "game=1",
                                "server=127.0.0.1:1"});
    TRun run = RunQueryTool({"--tracker", tracker.TrackerOption(), "--timeout", "20"});
    ASSERT_EQ(run.Exit, 0) << run.Err;
    EXPECT_EQ(run.Err, "");
    EXPECT_LT(run.Seconds, 10.0) << "done once the walk is over and the server has answered";
    EXPECT_EQ(Lines(run.Out).size(), 2u) << run.Out;
    EXPECT_EQ(tracker.Stats(0).Requests, 1);
    EXPECT_EQ(tracker.Stats(1).Connections, 0);

    // A tracker that never closes holds the walk until the timeout.
    tracker.Set(0, "mode=hang");
    run = RunQueryTool({"--tracker", tracker.TrackerOption(), "--timeout", "0.5", "--json"});
    ASSERT_EQ(run.Exit, 0) << run.Err;
    EXPECT_EQ(run.Out, "[]\n");
    EXPECT_EQ(run.Err, "corvanegv-query: the tracker walk did not end within the timeout\n"
                       "corvanegv-query: no tracker result for game type 0\n");
}
