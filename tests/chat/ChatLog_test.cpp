// SPDX-License-Identifier: GPL-3.0-or-later
// Chat logs: safe file names from server names, the folder, line format, bounded files and failures.
#include "FakeChatPage.h"
#include "chat/ChatLog.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

using testing_support::ReadFile;

namespace fs = std::filesystem;

namespace {

}  // namespace

TEST(ChatLogNames, ServerNamesNeverLeaveTheFolderOrHide) {
    const std::pair<std::string, std::string> cases[] = {
        {"#Lobby_20", "#Lobby_20"},
        {"bob", "bob"},
        {"../../.bashrc", "___.._.bashrc"},
        {"..", "__"},
        {".hidden", "_hidden"},
        {"a/b\\c", "a_b_c"},
        {"x\r\ny\x01z\x7F", "x__y_z_"},
        {"", "_"},
        {"caf\xC3\xA9.v2", "caf\xC3\xA9.v2"},
    };
    for (const auto& [name, safe] : cases) EXPECT_EQ(SafeLogName(name), safe) << name;
    // Long names are cut, never inside a character.
    const std::string accents(300, 'a');
    EXPECT_EQ(SafeLogName(accents).size(), MaxLogNameBytes);
    std::string wide = "a";
    for (int i = 0; i < 150; ++i) wide += "\xC3\xA9";
    EXPECT_EQ(SafeLogName(wide), wide.substr(0, MaxLogNameBytes - 1));
}

TEST(ChatLogNames, FolderFromTheDataHomeElseTheHome) {
    EXPECT_EQ(ChatLogFolder("/data/", "/home/u"), "/data/CorvaneGV/logs");
    EXPECT_EQ(ChatLogFolder(nullptr, "/home/u"), "/home/u/.local/share/CorvaneGV/logs");
    EXPECT_EQ(ChatLogFolder("", "/home/u"), "/home/u/.local/share/CorvaneGV/logs");
    EXPECT_EQ(ChatLogFolder("relative/dir", "/home/u"), "/home/u/.local/share/CorvaneGV/logs");
    EXPECT_EQ(ChatLogFolder(nullptr, nullptr), "");
}

TEST(ChatLog, ConversationLinesGoToTheirFilesWithTheTimeInFront) {
    testing_support::TTempDir dir;
    const fs::path folder = fs::path(dir.Path()) / "data" / "CorvaneGV" / "logs";
    TChatLog log(folder.string());
    log.TimeStamp = [] { return std::string("[2026-12-08 14:05:09] "); };

    // Through the conversations, as the page binds it: conversation lines only.
    TFakeChatPage page;
    TConversations chat(page);
    chat.OnLineAdded = [&](const std::string& name, const std::string& text) { log.Write(name, text); };
    chat.AddLineToRichEdit("", "server line", LineClass::Info);
    chat.AddLineToRichEdit("#Lobby_20", "[bob]   hi", LineClass::Talk);
    chat.AddLineToRichEdit("#LOBBY_20", "==a\r\nb", LineClass::Info);  // the row's name, one stamp per line
    chat.AddLineToRichEdit("../evil", "[evil]   x", LineClass::Talk);

    EXPECT_EQ(ReadFile(folder / "#Lobby_20.log"),
              "[2026-12-08 14:05:09] [bob]   hi\n[2026-12-08 14:05:09] ==a\n[2026-12-08 14:05:09] b\n");
    EXPECT_EQ(ReadFile(folder / "___evil.log"), "[2026-12-08 14:05:09] [evil]   x\n");
    std::vector<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(dir.Path())) files.push_back(e.path().filename().string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"#Lobby_20.log", "CorvaneGV", "___evil.log", "data", "logs"}));
    struct stat st {};
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat((folder / "#Lobby_20.log").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // Many conversations at once keep only a few files open, and append where they left off.
    for (int round = 0; round < 2; ++round)
        for (int i = 0; i < 20; ++i) log.Write("user" + std::to_string(i), "line " + std::to_string(round));
    EXPECT_EQ(ReadFile(folder / "user3.log"), "[2026-12-08 14:05:09] line 0\n[2026-12-08 14:05:09] line 1\n");
}

TEST(ChatLog, AFullFileIsKeptOnceAsideAndFailuresCostNothing) {
    testing_support::TTempDir dir;
    TChatLog log(dir.Path(), 100);
    log.TimeStamp = [] { return std::string("T "); };
    const std::string line(40, 'x');  // 43 bytes with stamp and newline
    for (int i = 0; i < 5; ++i) log.Write("bob", line);
    // Two lines fit in 100 bytes; the third starts a new file, the fifth another.
    EXPECT_EQ(ReadFile(fs::path(dir.Path()) / "bob.log"), "T " + line + "\n");
    EXPECT_EQ(ReadFile(fs::path(dir.Path()) / "bob.log.1").size(), 86u);

    // A folder that cannot be made (a file stands in its place): nothing raised, nothing written.
    std::ofstream(fs::path(dir.Path()) / "blocked") << "x";
    TChatLog blocked((fs::path(dir.Path()) / "blocked" / "logs").string());
    for (int i = 0; i < 100; ++i) blocked.Write("#Lobby_20", "hello");
    EXPECT_TRUE(fs::is_regular_file(fs::path(dir.Path()) / "blocked"));
    // A log entry that is not a regular file is not written through.
    fs::create_directory(fs::path(dir.Path()) / "carl.log");
    log.Write("carl", "hi");
    EXPECT_TRUE(fs::is_directory(fs::path(dir.Path()) / "carl.log"));
}
