// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file on disk: first start, atomic saves under faults, broken and unreadable files.
#include "settings/RegFile.h"
#include "settings/RegFileKey.h"
#include "settings/Settings.h"
#include "settings/SettingsPlace.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>

using testing_support::ReadFile;
using testing_support::Escaped;
using testing_support::TTempDir;
namespace fs = std::filesystem;

namespace {

void WriteAll(const fs::path& p, const std::string& bytes) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
}

std::vector<std::string> Listing(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

unsigned Mode(const fs::path& p) {
    struct stat st {};
    EXPECT_EQ(::stat(p.c_str(), &st), 0);
    return st.st_mode & 07777;
}

const TSystemNames kNames = {"host-1", "john.doe-smith"};

const std::string kFreshText =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Volition\\FreeSpace2\\CorvaneGV]\r\n"
    "\"FSEnabled\"=dword:00000001\r\n"
    "\"BtRLEnabled\"=dword:00000000\r\n"
    "\"WCSEnabled\"=dword:00000000\r\n"
    "\"StarfoxEnabled\"=dword:00000000\r\n"
    "\"Nickname\"=\"johndoesmith\"\r\n"
    "\"FullName\"=\"host-1\"\r\n"
    "\"DontAskQuitQuestion\"=dword:00000000\r\n"
    "\"MinimizeToTray\"=dword:00000001\r\n"
    "\"TrayIconVisible\"=dword:00000001\r\n"
    "\"AlwaysPlaySound\"=dword:00000000\r\n"
    "\"Notification-UserMessage\"=dword:00000001\r\n"
    "\"Sound-UserMessage\"=dword:00000001\r\n"
    "\"SoundPath-UserMessage\"=\"new_msg.wav\"\r\n"
    "\"Shortcut1\"=\"\"\r\n\"Shortcut2\"=\"\"\r\n\"Shortcut3\"=\"\"\r\n\"Shortcut4\"=\"\"\r\n\"Shortcut5\"=\"\"\r\n"
    "\"Shortcut6\"=\"\"\r\n\"Shortcut7\"=\"\"\r\n\"Shortcut8\"=\"\"\r\n\"Shortcut9\"=\"\"\r\n\"Shortcut0\"=\"\"\r\n"
    "\"DesktopNotification\"=dword:00000001\r\n\"ChatLogs\"=dword:00000000\r\n"
    "\"Tracker\"=\"192.0.2.1:12000\"\r\n"
    "\"ChatServerHost\"=\"irc.libera.chat\"\r\n\"ChatServerPort\"=\"6697\"\r\n"
    "\"ChatServerTls\"=dword:00000001\r\n\"ChatCertificatePins\"=\"\"\r\n"
    "\"ShowColours\"=dword:00000001\r\n"
    "\"ChatAccount\"=\"\"\r\n\"ChatStsPolicies\"=\"\"\r\n"
    "\"Friends\"=\"\"\r\n\"FriendNotifications\"=dword:00000001\r\n"
    "\r\n";

// Loads with a fresh key object and generator, as a new run of the program would.
TSettings LoadFrom(const fs::path& path, std::vector<std::string>* problems = nullptr, TFileOps ops = {}) {
    TRegFileKey key(path, std::move(ops));
    TSettings settings;
    TRandomGenerator random;
    TSettingsEvents events;
    if (problems) events.OnProblem = [problems](const std::string& p) { problems->push_back(p); };
    LoadSettings(key, settings, kNames, random, events);
    return settings;
}

struct TDir {
    TTempDir Temp;
    fs::path Folder = Temp.Path() / "config" / "CorvaneGV";
    fs::path File = Folder / "settings.reg";
};

}  // namespace

TEST(SettingsFile, FirstStartCreatesThePrivateFolderAndFileWithEveryDefault) {
    TDir dir;
    const TSettings first = LoadFrom(dir.File);
    const std::string text = ReadFile(dir.File);
    EXPECT_EQ(text, kFreshText) << Escaped(text);
    EXPECT_EQ(Listing(dir.Folder), std::vector<std::string>{"settings.reg"});
    EXPECT_EQ(Mode(dir.Folder), 0700u);
    EXPECT_EQ(Mode(dir.File), 0600u);

    // The next start reads the same record and leaves the file alone.
    int writes = 0;
    TFileOps counting;
    counting.Write = [&](sysfiles::THandle, const void*, std::size_t n, std::size_t& written) {
        ++writes;
        written = n;
        return 0;
    };
    EXPECT_EQ(LoadFrom(dir.File, nullptr, counting), first);
    EXPECT_EQ(writes, 0);
    EXPECT_EQ(first.Nickname, "johndoesmith");
    EXPECT_TRUE(first.MinimizeToTray);
}

TEST(SettingsFile, AFailedSaveLeavesTheOldFileWholeAndNamesTheFirstValue) {
    struct TFault {
        const char* Name;
        std::function<void(TFileOps&, int&)> Arm;
        const char* Cause;
    };
    const TFault faults[] = {
        {"disk full half-way",
         [](TFileOps& ops, int& calls) {
             ops.Write = [&calls](sysfiles::THandle file, const void* data, std::size_t n, std::size_t& written) {
                 if (++calls == 1) return sysfiles::WriteSome(file, data, n / 2, written);
                 return ENOSPC;
             };
         },
         "No space left on device"},
        {"flush refused",
         [](TFileOps& ops, int& calls) {
             ops.Flush = [&calls](sysfiles::THandle) {
                 ++calls;
                 return EIO;
             };
         },
         "Input/output error"},
        {"rename refused",
         [](TFileOps& ops, int& calls) {
             ops.Replace = [&calls](const fs::path&, const fs::path&) {
                 ++calls;
                 return EXDEV;
             };
         },
         "Invalid cross-device link"},
    };
    for (const auto& fault : faults) {
        SCOPED_TRACE(fault.Name);
        TDir dir;
        TSettings settings = LoadFrom(dir.File);
        ASSERT_EQ(::chmod(dir.File.c_str(), 0640), 0);
        const std::string old = ReadFile(dir.File);

        int calls = 0;
        TFileOps ops;
        fault.Arm(ops, calls);
        TRegFileKey key(dir.File, ops);
        TSettings from = settings;
        from.FSEnabled = false;
        from.Nickname = "Changed";
        try {
            SaveSettings(key, settings, from);
            ADD_FAILURE() << "no error";
        } catch (const ERegistryException& e) {
            EXPECT_STREQ(e.what(), "Failed to set data for 'FSEnabled'");
            EXPECT_NE(e.Cause().find(fault.Cause), std::string::npos) << e.Cause();
        }
        EXPECT_GE(calls, 1);
        EXPECT_EQ(ReadFile(dir.File), old);
        EXPECT_EQ(Listing(dir.Folder), std::vector<std::string>{"settings.reg"});  // no temporary left
        EXPECT_FALSE(settings.FSEnabled);
        EXPECT_EQ(settings.Nickname, "johndoesmith");

        // The same save without the fault goes through and keeps the file's permissions.
        TRegFileKey healthy(dir.File);
        SaveSettings(healthy, settings, from);
        EXPECT_EQ(LoadFrom(dir.File), from);
        EXPECT_EQ(Mode(dir.File), 0640u);
    }
}

TEST(SettingsFile, AnUnparsableFileIsKeptAsideReportedAndReplacedByDefaults) {
    TDir dir;
    WriteAll(dir.File, "garbage\r\n");
    std::vector<std::string> problems;
    const TSettings settings = LoadFrom(dir.File, &problems);
    EXPECT_EQ(settings.Nickname, "johndoesmith");
    EXPECT_EQ(ReadFile(dir.File), kFreshText);
    auto names = Listing(dir.Folder);
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], "settings.reg");
    const fs::path backup = dir.Folder / names[1];
    EXPECT_EQ(names[1].rfind("settings.reg.broken-", 0), 0u) << names[1];
    EXPECT_EQ(ReadFile(backup), "garbage\r\n");
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("line 1"), std::string::npos) << problems[0];
    EXPECT_NE(problems[0].find("'" + backup.string() + "'"), std::string::npos) << problems[0];

    // A second broken file within the same second gets its own backup.
    WriteAll(dir.File, "[no header]\n");
    problems.clear();
    LoadFrom(dir.File, &problems);
    EXPECT_EQ(problems.size(), 1u);
    names = Listing(dir.Folder);
    ASSERT_EQ(names.size(), 3u);
    std::vector<std::string> backups;
    for (const auto& n : names)
        if (n != "settings.reg") backups.push_back(ReadFile(dir.Folder / n));
    std::sort(backups.begin(), backups.end());
    EXPECT_EQ(backups, (std::vector<std::string>{"[no header]\n", "garbage\r\n"}));
}

TEST(SettingsFile, ABrokenFileThatCannotBeKeptAsideIsNeverOverwritten) {
    TDir dir;
    WriteAll(dir.File, "garbage");
    TFileOps ops;
    ops.Replace = [](const fs::path&, const fs::path&) { return EACCES; };
    std::vector<std::string> problems;
    try {
        LoadFrom(dir.File, &problems, ops);
        ADD_FAILURE() << "no error";
    } catch (const ERegistryException& e) {
        EXPECT_STREQ(e.what(), "Failed to get data for 'FSPath'");
        EXPECT_NE(e.Cause().find("could not be kept aside"), std::string::npos) << e.Cause();
    }
    EXPECT_EQ(ReadFile(dir.File), "garbage");
    EXPECT_EQ(Listing(dir.Folder), std::vector<std::string>{"settings.reg"});
}

TEST(SettingsFile, AnUnreadablePathFailsReadsAndWritesAndStaysAsItWas) {
    TDir dir;
    fs::create_directories(dir.File);  // a folder where the file should be
    EXPECT_THROW(
        {
            try {
                LoadFrom(dir.File);
            } catch (const ERegistryException& e) {
                EXPECT_STREQ(e.what(), "Failed to get data for 'FSPath'");
                throw;
            }
        },
        ERegistryException);
    TRegFileKey key(dir.File);
    TSettings settings;
    EXPECT_THROW(SaveSettings(key, settings, TSettings{}), ERegistryException);
    EXPECT_TRUE(fs::is_directory(dir.File));
}

TEST(SettingsFile, AHandEditedFileIsReadAndRewrittenWithItsOtherKeysAndEscapes) {
    TDir dir;
    WriteAll(dir.File,
             "Windows Registry Editor Version 5.00\n\n"
             "[HKEY_LOCAL_MACHINE\\Software\\Volition\\FreeSpace2\\CorvaneGV]\n"
             "\"FSPath\"=\"C:\\\\Games\\\\FS2\\\\fs2.exe\"\n"
             "\"FSEnabled\"=dword:00000005\n"
             "\"Nickname\"=\"Ace\"\n\n"
             "[HKEY_CURRENT_USER\\Software\\Mine]\n"
             "\"Keep\"=\"this\"\n");
    TSettings settings = LoadFrom(dir.File);
    EXPECT_EQ(settings.FSPath, "C:\\Games\\FS2\\fs2.exe");
    EXPECT_TRUE(settings.FSEnabled);

    TSettings from = settings;
    from.Shortcut5 = "say \"gg\" to C:\\temp\\";
    from.FullName = "\\\"";
    TRegFileKey key(dir.File);
    SaveSettings(key, settings, from);
    EXPECT_EQ(LoadFrom(dir.File), from);
    const std::string text = ReadFile(dir.File);
    EXPECT_NE(text.find("\"Shortcut5\"=\"say \\\"gg\\\" to C:\\\\temp\\\\\"\r\n"), std::string::npos) << Escaped(text);
    EXPECT_NE(text.find("\r\n[HKEY_CURRENT_USER\\Software\\Mine]\r\n\"Keep\"=\"this\"\r\n"), std::string::npos)
        << Escaped(text);
}

TEST(SettingsFile, ALinkedSettingsFileStaysALink) {
    TDir dir;
    const fs::path real = dir.Temp.Path() / "dotfiles" / "settings.reg";
    LoadFrom(real);
    fs::create_directories(dir.Folder);
    fs::create_symlink("../../dotfiles/settings.reg", dir.File);
    TSettings settings = LoadFrom(dir.File);
    TSettings from = settings;
    from.Nickname = "Linked";
    TRegFileKey key(dir.File);
    SaveSettings(key, settings, from);
    EXPECT_TRUE(fs::is_symlink(dir.File));
    EXPECT_EQ(LoadFrom(real).Nickname, "Linked");
    EXPECT_EQ(Listing(real.parent_path()), std::vector<std::string>{"settings.reg"});
}

TEST(SettingsFile, PathFollowsTheConfigurationFolderRules) {
    EXPECT_EQ(SettingsFilePathFor("/x/cfg", "/home/u"), fs::path("/x/cfg/CorvaneGV/settings.reg"));
    EXPECT_EQ(SettingsFilePathFor("", "/home/u"), fs::path("/home/u/.config/CorvaneGV/settings.reg"));
    EXPECT_EQ(SettingsFilePathFor("relative/cfg", "/home/u"), fs::path("/home/u/.config/CorvaneGV/settings.reg"));
    EXPECT_EQ(SettingsFilePathFor(nullptr, nullptr), fs::path());
    EXPECT_FALSE(SettingsFilePath().empty());

    // With no folder known the key cannot be read, so nothing is invented.
    TRegFileKey key{fs::path()};
    TSettings settings;
    TRandomGenerator random;
    EXPECT_THROW(LoadSettings(key, settings, kNames, random), ERegistryException);
}

// The entry's choice on Linux: the file under the configuration folder, or in a folder given.
TEST(SettingsFile, TheProgramKeepsItsSettingsInTheConfigurationFolderOrAFolderGiven) {
    TDir dir;
    const char* before = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = before ? before : "";
    ::setenv("XDG_CONFIG_HOME", (dir.Temp.Path() / "config").c_str(), 1);
    TSettingsPlace own = OpenSettingsPlace("");
    before ? ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
    ASSERT_TRUE(own.Key);
    EXPECT_EQ(own.Where, dir.File.string());
    EXPECT_FALSE(own.Existed);  // first start: the welcome is shown
    TSettings settings;
    TRandomGenerator random;
    LoadSettings(*own.Key, settings, kNames, random);
    EXPECT_EQ(ReadFile(dir.File), kFreshText);

    const fs::path given = dir.Temp.Path() / "elsewhere";
    TSettingsPlace there = OpenSettingsPlace(given.string());
    EXPECT_EQ(there.Where, (given / "settings.reg").string());
    EXPECT_FALSE(there.Existed);
    ASSERT_TRUE(there.Key);
    LoadSettings(*there.Key, settings, kNames, random);
    EXPECT_TRUE(OpenSettingsPlace(given.string()).Existed);
}
