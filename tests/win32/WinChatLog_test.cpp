// SPDX-License-Identifier: GPL-3.0-or-later
// The chat logs on Windows: names that would be streams or devices there, UTF-8 names, rotation.
#include "chat/ChatLog.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

using testing_support::ReadFile;

namespace fs = std::filesystem;

namespace {

std::vector<std::wstring> Listing(const fs::path& dir) {
    std::vector<std::wstring> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().wstring());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST(WinChatLog, ServerNamesBecomeOrdinaryFilesInTheFolder) {
    testing_support::TTempDir dir;
    TChatLog log(dir.Path().string());
    log.TimeStamp = [] { return std::string("T "); };
    // "a:b" would be a stream of the file "a", "nul" the device that swallows everything.
    for (const char* name : {"a:b", "nul", "Com1", "LPT9.x", "what?*|<>\"", "Caf\xC3\xA9"}) log.Write(name, "hi");
    EXPECT_EQ(Listing(dir.Path()), (std::vector<std::wstring>{L"Caf\u00E9.log", L"_Com1.log", L"_LPT9.x.log", L"_nul.log",
                                                              L"a_b.log", L"what______.log"}));
    EXPECT_EQ(ReadFile(dir.Path() / "_nul.log"), "T hi\n");
}

TEST(WinChatLog, AFullFileReplacesTheOlderOneAside) {
    testing_support::TTempDir dir;
    TChatLog log(dir.Path().string(), 100);
    log.TimeStamp = [] { return std::string("T "); };
    const std::string line(40, 'x');  // 43 bytes with stamp and newline
    // Two lines fit; the third and the fifth each start a new file, the second time over an
    // existing "bob.log.1", which a plain rename refuses on Windows.
    for (int i = 0; i < 5; ++i) log.Write("bob", line + std::to_string(i));
    EXPECT_EQ(ReadFile(dir.Path() / "bob.log"), "T " + line + "4\n");
    EXPECT_EQ(ReadFile(dir.Path() / "bob.log.1"), "T " + line + "2\nT " + line + "3\n");
}

// The player's own folder, not one made from variables that Windows has no use for.
TEST(WinChatLog, TheFolderIsUnderTheRoamingApplicationDataAndTakesTheLogs) {
    const std::string utf8 = SystemChatLogFolder();
    const fs::path folder(std::u8string(utf8.begin(), utf8.end()));
    const wchar_t* appData = _wgetenv(L"APPDATA");
    ASSERT_NE(appData, nullptr);
    EXPECT_EQ(folder, fs::path(appData) / "CorvaneGV" / "logs");
    TChatLog log(utf8);
    log.TimeStamp = [] { return std::string("T "); };
    log.Write("#Lobby_20", "hello from Windows");
    EXPECT_EQ(ReadFile(folder / "#Lobby_20.log"), "T hello from Windows\n");
    fs::remove(folder / "#Lobby_20.log");
}
