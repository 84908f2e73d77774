// SPDX-License-Identifier: GPL-3.0-or-later
// Starting a game with CreateProcessW: its folder as working folder, the arguments unchanged.
#include "support/TestSupport.h"
#include "tracker/win32/WinProgramStarter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

bool WaitForFile(const std::filesystem::path& path, int ms = 20000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!std::filesystem::exists(path)) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));  // another process: no loop to wait on
    }
    return true;
}

}  // namespace

TEST(WinProgramStarter, StartsTheProgramInItsFolderWithTheArgumentsAsGiven) {
    testing_support::TTempDir temp;
    const std::filesystem::path folder = temp.Path() / "Game Folder";
    std::filesystem::create_directories(folder);
    const std::filesystem::path game = folder / "fs2_open.exe";
    std::filesystem::copy_file(CGV_STARTED_PROGRAM, game);

    TWinProgramStarter starter;
    EXPECT_EQ(starter.CanStart(game.string()), TStartable::Yes);
    EXPECT_EQ(starter.CanStart((folder / "missing.exe").string()), TStartable::Missing);
    EXPECT_EQ(starter.CanStart(folder.string()), TStartable::Missing);
    EXPECT_EQ(starter.CanStart(""), TStartable::Missing);

    // Quotes and backslashes that a careless command line would change.
    const std::vector<std::string> args = {"-connect", "127.0.0.1:7808", "with space", "say \"hi\"", "trail\\",
                                           "C:\\a b\\", ""};
    starter.Start(game.string(), args, folder.string());
    ASSERT_TRUE(WaitForFile(folder / "started.txt"));
    std::ifstream in(folder / "started.txt");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), args.size() + 1);
    EXPECT_TRUE(std::filesystem::equivalent(lines[0], folder)) << lines[0];
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()), args);
}

TEST(WinProgramStarter, AFailedStartIsNotReportedAsOnLinux) {
    TWinProgramStarter starter;
    EXPECT_NO_THROW(starter.Start("C:\\nowhere\\missing.exe", {"-connect"}, "C:\\nowhere"));
}
