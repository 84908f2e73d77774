// SPDX-License-Identifier: GPL-3.0-or-later
// The registry-export file store on Windows: atomic saves through MoveFileExW, faults, broken files.
#include "settings/RegFileKey.h"
#include "settings/Settings.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <fstream>
#include <sstream>

using testing_support::ReadFile;

namespace fs = std::filesystem;

namespace {

const TSystemNames kNames = {"host-1", "pilot"};

std::vector<std::string> Listing(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TSettings Load(TRegistryKey& key, std::vector<std::string>* problems = nullptr) {
    TSettings settings;
    TRandomGenerator random;
    TSettingsEvents events;
    if (problems) events.OnProblem = [problems](const std::string& p) { problems->push_back(p); };
    LoadSettings(key, settings, kNames, random, events);
    return settings;
}

std::string CauseOfSave(TRegistryKey& key, TSettings& settings, const TSettings& from) {
    try {
        SaveSettings(key, settings, from);
    } catch (const ERegistryException& e) {
        return std::string(e.what()) + " / " + e.Cause();
    }
    return "(saved)";
}

}  // namespace

TEST(WinSettingsFile, SavesReplaceTheFileWholeAndAFailedOneLeavesTheOldFile) {
    testing_support::TTempDir temp;
    const fs::path folder = temp.Path() / "config" / "CorvaneGV";
    const fs::path file = folder / "settings.reg";
    TRegFileKey key(file);
    TSettings settings = Load(key);  // makes both folders and the file
    TSettings from = settings;
    from.Nickname = "Changed";
    SaveSettings(key, settings, from);
    TRegFileKey again(file);
    EXPECT_EQ(Load(again), from);
    const std::string old = ReadFile(file);

    // The disk fills half-way through the temporary file: its handle is closed before it is
    // removed (Windows keeps an open file), and the old file stays.
    int writes = 0;
    TFileOps full;
    full.Write = [&](sysfiles::THandle f, const void* data, std::size_t n, std::size_t& written) {
        if (++writes == 1) return sysfiles::WriteSome(f, data, n / 2, written);
        return static_cast<int>(ERROR_DISK_FULL);
    };
    TRegFileKey fullKey(file, full);
    TSettings next = from;
    next.Nickname = "Lost";
    std::string said = CauseOfSave(fullKey, settings, next);
    EXPECT_EQ(said.rfind("Failed to set data for 'FSEnabled' / write ", 0), 0u) << said;
    EXPECT_NE(said.find(sysfiles::ErrorText(ERROR_DISK_FULL)), std::string::npos) << said;
    EXPECT_EQ(ReadFile(file), old);
    EXPECT_EQ(Listing(folder), std::vector<std::string>{"settings.reg"});

    // The move over the old file is refused (another program holds it): same outcome.
    TFileOps held;
    held.Replace = [](const fs::path&, const fs::path&) { return static_cast<int>(ERROR_SHARING_VIOLATION); };
    TRegFileKey heldKey(file, held);
    said = CauseOfSave(heldKey, settings, next);
    EXPECT_NE(said.find(sysfiles::ErrorText(ERROR_SHARING_VIOLATION)), std::string::npos) << said;
    EXPECT_EQ(ReadFile(file), old);
    EXPECT_EQ(Listing(folder), std::vector<std::string>{"settings.reg"});
    EXPECT_EQ(settings.Nickname, "Changed");
}

TEST(WinSettingsFile, ABrokenFileIsKeptAsideAndOldTemporariesAreCleared) {
    testing_support::TTempDir temp;
    const fs::path file = temp.Path() / "settings.reg";
    std::ofstream(file, std::ios::binary) << "garbage\r\n";
    // One temporary a killed writer left long ago, one a writer might still be filling.
    const fs::path stale = temp.Path() / "settings.reg.tmp-abcdef";
    const fs::path fresh = temp.Path() / "settings.reg.tmp-ghijkl";
    std::ofstream(stale) << "old";
    std::ofstream(fresh) << "new";
    fs::last_write_time(stale, fs::file_time_type::clock::now() - std::chrono::minutes(5));

    std::vector<std::string> problems;
    TRegFileKey key(file);
    const TSettings settings = Load(key, &problems);
    EXPECT_EQ(settings.Nickname, "pilot");
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("kept as"), std::string::npos) << problems[0];
    const std::vector<std::string> names = Listing(temp.Path());
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[0], "settings.reg");
    EXPECT_EQ(names[1].rfind("settings.reg.broken-", 0), 0u) << names[1];
    EXPECT_EQ(ReadFile(temp.Path() / names[1]), "garbage\r\n");
    EXPECT_EQ(names[2], "settings.reg.tmp-ghijkl");
    EXPECT_EQ(ReadFile(file).rfind("Windows Registry Editor Version 5.00\r\n", 0), 0u);
}
