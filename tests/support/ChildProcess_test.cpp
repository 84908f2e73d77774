// SPDX-License-Identifier: GPL-3.0-or-later
// The child-process helper: exit statuses, the command protocol, environment and output file.
#include "support/ChildProcess.h"
#include "support/TestSupport.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

namespace {

using namespace testing_support;

TChildProcess Shell(const std::string& script, const TChildOptions& options = {}) {
    return TChildProcess({"/bin/sh", "-c", script}, options);
}

TEST(ChildProcess, ExitStatusIsTheCodeOr128PlusTheSignalOrMinusOneWhileRunning) {
    EXPECT_EQ(Shell("exit 3").WaitExit(5000), 3);
    EXPECT_EQ(Shell("kill -KILL $$").WaitExit(5000), 128 + SIGKILL);

    auto sleeper = Shell("exec sleep 60");
    EXPECT_EQ(sleeper.WaitExit(50), -1);
    EXPECT_TRUE(sleeper.Running());
    EXPECT_EQ(sleeper.Stop(SIGTERM), 128 + SIGTERM);
    EXPECT_FALSE(sleeper.Running());
    EXPECT_EQ(sleeper.WaitExit(0), -1);

    EXPECT_THROW(TChildProcess({"/nonexistent/program"}), std::runtime_error);
}

TEST(ChildProcess, ACommandGetsItsPrintedLinesAnErrorTextOrATimeout) {
    auto child = Shell(R"(while read -r l; do
                            case "$l" in
                              good) echo note; echo ok;;
                              bad) echo "error no such thing";;
                            esac
                          done
                          echo last)",
                       {.Name = "helper"});
    EXPECT_EQ(child.Command("good"), std::vector<std::string>{"note"});
    try {
        child.Command("bad");
        ADD_FAILURE() << "an error line must throw";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "helper: no such thing");
    }
    EXPECT_THROW(child.Command("silent", 100), std::runtime_error);

    // What it printed before it ended stays readable after WaitExit.
    child.CloseInput();
    EXPECT_EQ(child.WaitExit(5000), 0);
    std::string line;
    ASSERT_TRUE(child.ReadLine(line, 0));
    EXPECT_EQ(line, "last");
    EXPECT_FALSE(child.ReadLine(line, 0));
    EXPECT_FALSE(child.WriteLine("gone"));
}

TEST(ChildProcess, ReadUntilReturnsTheLinesBeforeOrThrowsWithThem) {
    auto child = Shell("echo one; echo two; echo ready; echo after");
    EXPECT_EQ(child.ReadUntil("ready", 5000), (std::vector<std::string>{"one", "two"}));
    try {
        child.ReadUntil("never", 5000);
        ADD_FAILURE() << "a missing line must throw";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("printed:\nafter\n"), std::string::npos) << Escaped(e.what());
    }
}

TEST(ChildProcess, AChildPrintingMoreThanASocketHoldsStillEnds) {
    // About 2 MB, far beyond the socket buffer: WaitExit must read it on while it waits.
    EXPECT_EQ(Shell("yes 0123456789abcdef | head -n 120000").WaitExit(20000), 0);
}

TEST(ChildProcess, ExtraEnvironmentReplacesOursAndOutputCanGoToAFile) {
    TTempDir dir;
    ::setenv("CGV_CHILD_TEST", "ours", 1);
    const auto file = dir.Path() / "out.txt";
    auto child = Shell("env | grep CGV_CHILD_TEST; echo to-stderr >&2",
                       {.Env = {"CGV_CHILD_TEST=theirs"}, .OutputFile = file});
    ::unsetenv("CGV_CHILD_TEST");
    EXPECT_EQ(child.WaitExit(5000), 0);
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "CGV_CHILD_TEST=theirs\nto-stderr\n");
}

}  // namespace
