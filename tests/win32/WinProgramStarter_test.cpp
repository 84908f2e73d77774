// SPDX-License-Identifier: GPL-3.0-or-later
// Starting a game with CreateProcessW: its folder as working folder, the arguments unchanged.
#include "shell/SystemStarter.h"
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

    // The starter the program's entry takes on Windows.
    const std::unique_ptr<TProgramStarter> made = MakeSystemStarter();
    ASSERT_NE(dynamic_cast<TWinProgramStarter*>(made.get()), nullptr);
    TProgramStarter& starter = *made;
    EXPECT_EQ(starter.CanStart(game.string()), TStartable::Yes);
    EXPECT_EQ(starter.CanStart((folder / "missing.exe").string()), TStartable::Missing);
    EXPECT_EQ(starter.CanStart(folder.string()), TStartable::Missing);
    EXPECT_EQ(starter.CanStart(""), TStartable::Missing);

    // Quotes and backslashes that a careless command line would change.
    const std::vector<std::string> args = {"-connect", "127.0.0.1:7808", "with space", "say \"hi\"", "trail\\",
                                           "C:\\a b\\", ""};
    const TStartResult result = starter.TryStart(game.string(), args, folder.string());
    EXPECT_TRUE(result.Started) << result.Reason;
    ASSERT_TRUE(WaitForFile(folder / "started.txt"));
    std::ifstream in(folder / "started.txt");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), args.size() + 1);
    EXPECT_TRUE(std::filesystem::equivalent(lines[0], folder)) << lines[0];
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()), args);
}

// The join reports these to the user as it does on Linux, instead of a game that never came.
TEST(WinProgramStarter, AFailedStartSaysWhy) {
    testing_support::TTempDir temp;
    TWinProgramStarter starter;
    const TStartResult missing = starter.TryStart((temp.Path() / "missing.exe").string(), {"-connect"}, temp.Path().string());
    EXPECT_FALSE(missing.Started);
    EXPECT_EQ(missing.Reason, "there is no such file");

    // A file that is there but no program: CreateProcessW refuses it, in Windows' words.
    const std::filesystem::path text = temp.Path() / "fs2_open.exe";
    std::ofstream(text) << "not a program\n";
    const TStartResult refused = starter.TryStart(text.string(), {}, temp.Path().string());
    EXPECT_FALSE(refused.Started);
    EXPECT_FALSE(refused.Reason.empty());
    EXPECT_NO_THROW(starter.Start(text.string(), {"-connect"}, temp.Path().string()));
}
