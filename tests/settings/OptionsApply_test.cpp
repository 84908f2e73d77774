// SPDX-License-Identifier: GPL-3.0-or-later
// The settings dialog's Apply and OK over the in-memory key: step order, the nickname rules and
// a failed save.
#include "settings/MemoryRegistryKey.h"
#include "settings/OptionsApply.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

// Writes down every call in order, as one text each.
class TRecordingTargets : public TOptionsApplyTargets {
public:
    std::vector<std::string> Calls;
    bool IsConnected = false;
    bool ApplyOn = true;

    void SetNicknameText(const std::string& n) override { Calls.push_back("nick edit: " + n); }
    void SetApplyEnabled(bool on) override {
        ApplyOn = on;
        Calls.push_back(on ? "apply on" : "apply off");
    }
    bool ApplyEnabled() override { return ApplyOn; }
    bool Connected() override { return IsConnected; }
    void SendLine(const std::string& line) override { Calls.push_back("send: " + line); }
    void ShowWarning(const std::string& text, const std::string& caption) override {
        Calls.push_back("warning: " + text + " / " + caption);
    }
    void ShowInformation(const std::string& text, const std::string& caption) override {
        Calls.push_back("information: " + text + " / " + caption);
    }
    void ApplyTray(bool minimize, bool visible) override {
        Calls.push_back(std::string("tray: ") + (minimize ? "1" : "0") + (visible ? "1" : "0"));
    }
    void ShowEnabledGames() override { Calls.push_back("games"); }
};

class OptionsApplyTest : public ::testing::Test {
protected:
    OptionsApplyTest() {
        settings.Nickname = "Ann";
        settings.FullName = "Ann Smith";
        settings.FSEnabled = true;
        settings.MinimizeToTray = true;
        settings.TrayIconVisible = true;
        values = settings;
    }
    TMemoryRegistryKey key;
    TRecordingTargets targets;
    TSettings settings;
    TSettings values;  // the controls
};

}  // namespace

TEST_F(OptionsApplyTest, ConnectedApplyFiltersSendsNickTellsAboutTheFullNameSavesThenAppliesInOrder) {
    targets.IsConnected = true;
    values.Nickname = "a nn~";  // blanks and '~' go; only the case differs from "Ann" then
    values.FullName = "Ann B. Smith";
    values.WCSEnabled = true;
    values.WCSPath = "/opt/wcs/wcsaga";
    values.TrayIconVisible = false;
    values.Shortcut0 = "gg";

    ASSERT_TRUE(ApplyOptions(settings, key, values, targets));
    EXPECT_EQ(targets.Calls, (std::vector<std::string>{
                                 "nick edit: ann",
                                 "apply off",
                                 "send: NICK ann",
                                 "information: Some of the options will take effect after reconnecting to the chat "
                                 "server. / Corvane Games Viewer",
                                 "tray: 10",
                                 "games",
                             }));
    TSettings expected = values;
    expected.Nickname = "ann";
    EXPECT_EQ(settings, expected);
    EXPECT_EQ(key.CommitCount, 1);
    EXPECT_EQ(key.StoredValue("Nickname")->Text, "ann");
    EXPECT_EQ(key.StoredValue("WCSEnabled")->Number, 1u);
    EXPECT_EQ(key.StoredValue("WCSPath")->Text, "/opt/wcs/wcsaga");
    EXPECT_EQ(key.StoredValue("Shortcut0")->Text, "gg");
    ASSERT_NE(key.StoredValue("StarfoxCmd"), nullptr);  // empty paths and commands are written too

    // The same values again: nothing to tell the server or the user.
    targets.Calls.clear();
    ASSERT_TRUE(ApplyOptions(settings, key, settings, targets));
    EXPECT_EQ(targets.Calls, (std::vector<std::string>{"nick edit: ann", "apply off", "tray: 10", "games"}));
}

TEST_F(OptionsApplyTest, ANicknameOfOnlyInvalidCharactersWarnsAndSavesNothing) {
    targets.IsConnected = true;
    values.Nickname = " ~.-@ ";
    values.FSEnabled = false;
    EXPECT_FALSE(ApplyOptions(settings, key, values, targets));
    EXPECT_EQ(targets.Calls,
              (std::vector<std::string>{"nick edit: ", "warning: You must enter nickname! / CorvaneGV"}));
    EXPECT_EQ(key.CommitCount, 0);
    EXPECT_EQ(settings.Nickname, "Ann");
    EXPECT_TRUE(settings.FSEnabled);

    // OK stops at the same check and keeps the dialog open.
    targets.Calls.clear();
    EXPECT_FALSE(ConfirmOptions(settings, key, values, targets));
    EXPECT_EQ(targets.Calls.back(), "warning: You must enter nickname! / CorvaneGV");
    EXPECT_EQ(key.CommitCount, 0);
}

TEST_F(OptionsApplyTest, AFailedSaveKeepsTheRecordAsTheStoreHoldsItAndEnablesApplyAgain) {
    key.FailCommits = true;
    values.FSEnabled = false;
    values.Nickname = "Bob";
    const TSettings before = settings;
    try {
        ApplyOptions(settings, key, values, targets);
        FAIL() << "no error raised";
    } catch (const ERegistryException& e) {
        EXPECT_STREQ(e.what(), "Failed to set data for 'FSEnabled'");
    }
    EXPECT_EQ(settings, before);
    EXPECT_TRUE(key.Stored.empty());
    EXPECT_EQ(targets.Calls, (std::vector<std::string>{"nick edit: Bob", "apply off", "apply on"}));

    // OK raises the same way, so the dialog does not close over unsaved edits.
    EXPECT_THROW(ConfirmOptions(settings, key, values, targets), ERegistryException);
    EXPECT_EQ(settings, before);
}

TEST(BrowseStartFolder, TheCurrentPathsFolderWhenItExistsElseTheProgramsFolder) {
    testing_support::TTempDir dir;
    const std::filesystem::path program = "/usr/lib/corvanegv";
    const std::string games = dir.Path().string() + "/games";
    std::filesystem::create_directory(games);

    EXPECT_EQ(BrowseStartFolder(games + "/fs2_open", program), games + "/");
    EXPECT_EQ(BrowseStartFolder(games + "/", program), games + "/");
    EXPECT_EQ(BrowseStartFolder(games + "/gone/fs2_open", program), program);
    EXPECT_EQ(BrowseStartFolder("", program), program);
    EXPECT_EQ(BrowseStartFolder("fs2_open", program), program);
    EXPECT_EQ(BrowseStartFolder("C:\\Games\\FreeSpace2\\fs2.exe", program), program);
}
