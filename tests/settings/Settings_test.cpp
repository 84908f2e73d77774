// SPDX-License-Identifier: GPL-3.0-or-later
// Loading and saving TSettings over the in-memory key: defaults, filters, order and failures.
#include "settings/MemoryRegistryKey.h"
#include "settings/Settings.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TRegValue Str(std::string name, std::string text) { return {std::move(name), TRegDataType::String, std::move(text), 0}; }
TRegValue Dw(std::string name, std::uint32_t n) { return {std::move(name), TRegDataType::DWord, {}, n}; }

const std::vector<std::string> kLoadOrder = {
    "FSPath", "FSCmd", "FSEnabled", "BtRLPath", "BtRLCmd", "BtRLEnabled", "WCSPath", "WCSCmd", "WCSEnabled",
    "StarfoxPath", "StarfoxCmd", "StarfoxEnabled", "Nickname", "FullName", "DontAskQuitQuestion",
    "MinimizeToTray", "TrayIconVisible", "AlwaysPlaySound", "Notification-UserMessage", "Sound-UserMessage",
    "SoundPath-UserMessage", "Shortcut1", "Shortcut2", "Shortcut3", "Shortcut4", "Shortcut5", "Shortcut6",
    "Shortcut7", "Shortcut8", "Shortcut9", "Shortcut0", "DesktopNotification", "ChatLogs", "Tracker", "ChatServerHost",
    "ChatServerPort", "ChatServerTls", "ChatCertificatePins", "ShowColours",
    "ChatAccount", "ChatStsPolicies", "Friends", "FriendNotifications"};

// What a machine without the key holds after the first start.
std::vector<TRegValue> FreshKey(const std::string& nick, const std::string& fullName) {
    std::vector<TRegValue> v = {Dw("FSEnabled", 1), Dw("BtRLEnabled", 0), Dw("WCSEnabled", 0), Dw("StarfoxEnabled", 0),
                                Str("Nickname", nick), Str("FullName", fullName), Dw("DontAskQuitQuestion", 0),
                                Dw("MinimizeToTray", 1), Dw("TrayIconVisible", 1), Dw("AlwaysPlaySound", 0),
                                Dw("Notification-UserMessage", 1), Dw("Sound-UserMessage", 1),
                                Str("SoundPath-UserMessage", "new_msg.wav")};
    for (const char* d : {"1", "2", "3", "4", "5", "6", "7", "8", "9", "0"}) v.push_back(Str(std::string("Shortcut") + d, ""));
    v.push_back(Dw("DesktopNotification", 1));
    v.push_back(Dw("ChatLogs", 0));
    v.push_back(Str("Tracker", "192.0.2.1:12000"));
    v.push_back(Str("ChatServerHost", "irc.libera.chat"));
    v.push_back(Str("ChatServerPort", "6697"));
    v.push_back(Dw("ChatServerTls", 1));
    v.push_back(Str("ChatCertificatePins", ""));
    v.push_back(Dw("ShowColours", 1));
    v.push_back(Str("ChatAccount", ""));
    v.push_back(Str("ChatStsPolicies", ""));
    v.push_back(Str("Friends", ""));
    v.push_back(Dw("FriendNotifications", 1));
    return v;
}

struct TLoadRun {
    TSettings Settings;
    std::vector<std::string> Arrived;
    std::vector<std::string> Problems;
    std::string Error;
};

TLoadRun Load(TMemoryRegistryKey& key, TSystemNames names, TRandomGenerator& random) {
    TLoadRun run;
    TSettingsEvents events;
    events.OnValueLoaded = [&](const std::string& name) { run.Arrived.push_back(name); };
    events.OnProblem = [&](const std::string& p) { run.Problems.push_back(p); };
    try {
        LoadSettings(key, run.Settings, names, random, events);
    } catch (const ERegistryException& e) {
        run.Error = e.what();
    }
    EXPECT_FALSE(key.IsOpen());
    return run;
}

TLoadRun Load(TMemoryRegistryKey& key, TSystemNames names = {"DESKTOP-7", "jdoe"}) {
    TRandomGenerator random;
    return Load(key, std::move(names), random);
}

}  // namespace

TEST(LoadSettings, FreshMachineGetsEveryDefaultInOneCommitAndTheFieldsMatchTheKey) {
    TMemoryRegistryKey key;
    const TLoadRun run = Load(key, {"DESKTOP-7", "john.doe-smith"});
    EXPECT_EQ(run.Error, "");
    EXPECT_EQ(key.Stored, FreshKey("johndoesmith", "DESKTOP-7"));
    EXPECT_EQ(key.CommitCount, 1);
    EXPECT_EQ(run.Arrived, kLoadOrder);

    TSettings expected;
    expected.FSEnabled = true;
    expected.Nickname = "johndoesmith";
    expected.FullName = "DESKTOP-7";
    expected.MinimizeToTray = expected.TrayIconVisible = true;
    expected.NotificationUserMessage = expected.SoundUserMessage = true;
    expected.SoundPathUserMessage = "new_msg.wav";
    expected.DesktopNotification = true;
    expected.Tracker = "192.0.2.1:12000";
    expected.ChatServerHost = "irc.libera.chat";
    expected.ChatServerPort = "6697";
    expected.ChatServerTls = true;
    expected.ShowFormatting = true;
    expected.FriendNotifications = true;
    EXPECT_EQ(run.Settings, expected);

    // The second start finds everything and writes nothing.
    const TLoadRun again = Load(key);
    EXPECT_EQ(again.Settings, expected);
    EXPECT_EQ(key.CommitCount, 1);
}

TEST(LoadSettings, NamesOutsideTheNickSetOrMissingFallBackToNumberedNamesFromTheRunGenerator) {
    TMemoryRegistryKey key;
    TRandomGenerator random;
    const TLoadRun run = Load(key, {"", ". -~"}, random);
    EXPECT_EQ(run.Settings.Nickname, "GV10000");
    EXPECT_EQ(run.Settings.FullName, "GV12824");
    // The chat draws next from the same generator.
    EXPECT_EQ(RandomNumberText(random), "87493");
}

TEST(LoadSettings, FullNameIsTheComputerNameUnfilteredAndStoredNicknameIsFilteredOnlyInMemory) {
    TMemoryRegistryKey key;
    key.Stored = FreshKey("a b~c", "x");
    key.Stored.erase(key.Stored.begin() + 5);  // FullName
    const TLoadRun run = Load(key, {"Joe's PC.local", "jdoe"});
    EXPECT_EQ(run.Settings.FullName, "Joe's PC.local");
    EXPECT_EQ(run.Settings.Nickname, "abc");
    ASSERT_NE(key.StoredValue("Nickname"), nullptr);
    EXPECT_EQ(key.StoredValue("Nickname")->Text, "a b~c");
    EXPECT_EQ(key.StoredValue("FullName")->Text, "Joe's PC.local");
}

TEST(LoadSettings, OnlyFSEnabledMissingIsWrittenAsTrueAndNothingElseChanges) {
    TMemoryRegistryKey key;
    std::vector<TRegValue> stored = FreshKey("Pilot", "Box");
    stored[1].Number = 1;                          // BtRLEnabled
    stored.push_back(Str("FSPath", "C:\\fs2.exe")); // a path, read as it is
    stored.erase(stored.begin());                   // FSEnabled
    key.Stored = stored;
    const TLoadRun run = Load(key);
    std::vector<TRegValue> expected = stored;
    expected.push_back(Dw("FSEnabled", 1));
    EXPECT_EQ(key.Stored, expected);
    EXPECT_EQ(key.CommitCount, 1);
    EXPECT_TRUE(run.Settings.FSEnabled);
    EXPECT_TRUE(run.Settings.BtRLEnabled);
    EXPECT_EQ(run.Settings.FSPath, "C:\\fs2.exe");
    EXPECT_EQ(run.Settings.Nickname, "Pilot");
}

TEST(LoadSettings, FlagsReadAnyNonZeroNumberAsTrueAndNamesIgnoreLetterCase) {
    TMemoryRegistryKey key;
    key.Stored = FreshKey("Pilot", "Box");
    key.Stored[0] = Dw("fsENABLED", 0);
    key.Stored[1].Number = 5;            // BtRLEnabled
    key.Stored[2].Number = 0x80000000u;  // WCSEnabled
    const TLoadRun run = Load(key);
    EXPECT_FALSE(run.Settings.FSEnabled);
    EXPECT_TRUE(run.Settings.BtRLEnabled);
    EXPECT_TRUE(run.Settings.WCSEnabled);
    EXPECT_EQ(key.CommitCount, 0);
}

TEST(LoadSettings, ExpandableStringIsReadUnchanged) {
    TMemoryRegistryKey key;
    key.Stored = FreshKey("Pilot", "Box");
    key.Stored[12] = {"SoundPath-UserMessage", TRegDataType::ExpandString, "%SystemRoot%\\Media\\ding.wav", 0};
    EXPECT_EQ(Load(key).Settings.SoundPathUserMessage, "%SystemRoot%\\Media\\ding.wav");
}

TEST(LoadSettings, AValueOfTheWrongKindEndsTheLoadThereAfterCommittingEarlierDefaults) {
    TMemoryRegistryKey key;
    key.Stored = FreshKey("Pilot", "Box");
    key.Stored.erase(key.Stored.begin());               // FSEnabled missing: default written
    key.Stored[6] = Str("MinimizeToTray", "yes");        // the wrong kind
    const TLoadRun run = Load(key);
    EXPECT_EQ(run.Error, "Invalid data type for 'MinimizeToTray'");
    EXPECT_EQ(run.Arrived, std::vector<std::string>(kLoadOrder.begin(), kLoadOrder.begin() + 15));
    EXPECT_TRUE(run.Settings.FSEnabled);
    EXPECT_EQ(run.Settings.FullName, "Box");
    EXPECT_FALSE(run.Settings.TrayIconVisible);  // after the failure: untouched
    EXPECT_EQ(run.Settings.SoundPathUserMessage, "");
    ASSERT_NE(key.StoredValue("FSEnabled"), nullptr);  // the write before it happened
    EXPECT_EQ(key.CommitCount, 1);

    // A string read over a flag, and anything of another kind, fail the same way.
    key.Stored = FreshKey("Pilot", "Box");
    key.Stored[4] = Dw("Nickname", 1);
    EXPECT_EQ(Load(key).Error, "Invalid data type for 'Nickname'");
    key.Stored = FreshKey("Pilot", "Box");
    key.Stored[13] = {"Shortcut1", TRegDataType::Other, "hex:00", 0};
    EXPECT_EQ(Load(key).Error, "Invalid data type for 'Shortcut1'");
}

TEST(LoadSettings, AFailedCommitEndsTheLoadAtTheFirstDefaultWithNothingAfterItArriving) {
    TMemoryRegistryKey key;
    key.FailCommits = true;
    key.Stored = {Str("FSPath", "fs2.exe"), Dw("FSEnabled", 0), Dw("BtRLEnabled", 1)};  // WCSEnabled is the first missing
    TSettings settings;
    settings.Nickname = "before";
    std::vector<std::string> arrived;
    TRandomGenerator random;
    TSettingsEvents events;
    events.OnValueLoaded = [&](const std::string& n) { arrived.push_back(n); };
    try {
        LoadSettings(key, settings, {"Box", "jdoe"}, random, events);
        FAIL() << "no error";
    } catch (const ERegistryException& e) {
        EXPECT_STREQ(e.what(), "Failed to set data for 'WCSEnabled'");
        EXPECT_EQ(e.Kind(), ERegistryException::SetData);
    }
    EXPECT_EQ(arrived, std::vector<std::string>(kLoadOrder.begin(), kLoadOrder.begin() + 8));
    EXPECT_EQ(settings.FSPath, "fs2.exe");
    EXPECT_TRUE(settings.BtRLEnabled);
    EXPECT_EQ(settings.Nickname, "before");
    EXPECT_FALSE(settings.MinimizeToTray);
    EXPECT_EQ(key.Stored.size(), 3u);
}

TEST(LoadSettings, AnUnreadableKeyFailsAtTheFirstValueAndWritesNothing) {
    TMemoryRegistryKey key;
    key.Unreadable = true;
    const TLoadRun run = Load(key);
    EXPECT_EQ(run.Error, "Failed to get data for 'FSPath'");
    EXPECT_TRUE(run.Arrived.empty());
    EXPECT_EQ(run.Settings, TSettings{});
    EXPECT_EQ(key.CommitCount, 0);
}

namespace {

TSettings DialogValues() {
    TSettings s;
    s.FSEnabled = true;
    s.WCSEnabled = true;
    s.WCSPath = "D:\\WCS\\wcsaga.exe";
    s.WCSCmd = "-window";
    s.Nickname = "Maverick";
    s.FullName = "Pete";
    s.TrayIconVisible = true;
    s.SoundUserMessage = true;
    s.SoundPathUserMessage = "ping.wav";
    s.Shortcut1 = "hello";
    s.Shortcut0 = "bye";
    return s;
}

}  // namespace

TEST(SaveSettings, WritesEveryValueInItsOrderWithOneCommit) {
    TMemoryRegistryKey key;
    key.Stored = {Str("Keep", "me")};
    TSettings settings;
    SaveSettings(key, settings, DialogValues());
    EXPECT_EQ(settings, DialogValues());
    EXPECT_EQ(key.CommitCount, 1);
    std::vector<std::string> names;
    for (const auto& v : key.Stored) names.push_back(v.Name);
    EXPECT_EQ(names, (std::vector<std::string>{
                         "Keep", "FSEnabled", "FSPath", "FSCmd", "BtRLEnabled", "BtRLPath", "BtRLCmd", "WCSEnabled",
                         "WCSPath", "WCSCmd", "StarfoxEnabled", "StarfoxPath", "StarfoxCmd", "Nickname", "FullName",
                         "DontAskQuitQuestion", "MinimizeToTray", "TrayIconVisible", "AlwaysPlaySound",
                         "Notification-UserMessage", "Sound-UserMessage", "SoundPath-UserMessage", "Shortcut1",
                         "Shortcut2", "Shortcut3", "Shortcut4", "Shortcut5", "Shortcut6", "Shortcut7", "Shortcut8",
                         "Shortcut9", "Shortcut0", "DesktopNotification", "ChatLogs", "Tracker", "ChatServerHost",
                         "ChatServerPort", "ChatServerTls", "ChatCertificatePins", "ShowColours",
                         "ChatAccount", "ChatStsPolicies", "Friends", "FriendNotifications"}));
    EXPECT_EQ(*key.StoredValue("FSPath"), Str("FSPath", ""));  // empty paths are written too
    EXPECT_EQ(*key.StoredValue("WCSEnabled"), Dw("WCSEnabled", 1));

    // Loading what was saved gives the same record back.
    TSettings loaded;
    TRandomGenerator random;
    LoadSettings(key, loaded, {"Box", "jdoe"}, random);
    EXPECT_EQ(loaded, DialogValues());
    EXPECT_EQ(key.CommitCount, 1);
}

TEST(SaveSettings, AFailedCommitNamesTheFirstValueAndOnlyItReachesTheRecord) {
    TMemoryRegistryKey key;
    TSettings settings;
    TRandomGenerator random;
    LoadSettings(key, settings, {"Box", "jdoe"}, random);
    const TSettings before = settings;
    const auto storedBefore = key.Stored;
    key.FailCommits = true;
    TSettings from = DialogValues();
    from.FSEnabled = false;
    try {
        SaveSettings(key, settings, from);
        FAIL() << "no error";
    } catch (const ERegistryException& e) {
        EXPECT_STREQ(e.what(), "Failed to set data for 'FSEnabled'");
        EXPECT_EQ(e.Cause(), "commit refused (test switch)");
    }
    TSettings expected = before;
    expected.FSEnabled = false;
    EXPECT_EQ(settings, expected);
    EXPECT_EQ(key.Stored, storedBefore);
}

TEST(SaveSettings, AnUnreadableKeyIsNotOverwritten) {
    TMemoryRegistryKey key;
    key.Stored = {Str("Nickname", "keep")};
    key.Unreadable = true;
    TSettings settings;
    EXPECT_THROW(SaveSettings(key, settings, DialogValues()), ERegistryException);
    EXPECT_EQ(key.CommitCount, 0);
    EXPECT_TRUE(settings.FSEnabled);  // copied before its write failed
    EXPECT_EQ(settings.FSPath, "");
}

TEST(CertificatePins, OneEntryPerHostFoundWithoutRegardToCaseAndReplacedOrRemoved) {
    std::string pins = WithCertificatePin("", "Irc.Example", "AA:BB");
    pins = WithCertificatePin(pins, "other.example", "CC:DD");
    EXPECT_EQ(CertificatePin(pins, "irc.example"), "AA:BB");
    EXPECT_EQ(CertificatePin(pins, "other.example"), "CC:DD");
    EXPECT_EQ(CertificatePin(pins, "example"), "");
    pins = WithCertificatePin(pins, "IRC.EXAMPLE", "EE:FF");
    EXPECT_EQ(pins, "other.example CC:DD;IRC.EXAMPLE EE:FF;");
    pins = WithCertificatePin(pins, "other.example", "");
    EXPECT_EQ(pins, "IRC.EXAMPLE EE:FF;");
    // A hand-edited value with junk in it still gives the well-formed entries.
    EXPECT_EQ(CertificatePin(";;nofingerprint; host.example 11:22;", "host.example"), "11:22");
}
