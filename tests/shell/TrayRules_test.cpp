// SPDX-License-Identifier: GPL-3.0-or-later
// The tray press and the user-message notification for every combination of settings and window state.
#include "shell/TrayRules.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using K = TRestoreOrHideAction::TKind;

TSettings TraySettings(bool minimizeToTray, bool trayIconVisible) {
    TSettings s;
    s.MinimizeToTray = minimizeToTray;
    s.TrayIconVisible = trayIconVisible;
    return s;
}

std::string Describe(const TRestoreOrHideAction& a) {
    static const char* kinds[] = {"Nothing", "HideToTray", "MinimizeToTaskbar", "Restore"};
    return std::string(kinds[static_cast<int>(a.Kind)]) + (a.ShowNormalImage ? " +image0" : "") +
           (a.RemoveIcon ? " +remove" : "");
}

}  // namespace

TEST(RestoreOrHideRule, LeftPressForEveryCombination) {
    struct Row {
        bool minimizeToTray, trayIconVisible, visible, active;
        TRestoreOrHideAction expected;
    };
    const TRestoreOrHideAction hide{K::HideToTray}, taskbar{K::MinimizeToTaskbar};
    const TRestoreOrHideAction restoreImage0{K::Restore, true, false}, restoreRemove{K::Restore, false, true};
    const Row rows[] = {
        // Hidden, or visible behind another program: always brought back.
        {false, false, false, false, restoreRemove}, {false, false, false, true, restoreRemove},
        {false, false, true, false, restoreRemove},  {false, true, false, false, restoreImage0},
        {false, true, false, true, restoreImage0},   {false, true, true, false, restoreImage0},
        {true, false, false, false, restoreRemove},  {true, false, false, true, restoreRemove},
        {true, false, true, false, restoreRemove},   {true, true, false, false, restoreImage0},
        {true, true, false, true, restoreImage0},    {true, true, true, false, restoreImage0},
        // Visible and active: sent away, to the tray or to the taskbar.
        {false, false, true, true, taskbar},         {false, true, true, true, taskbar},
        {true, false, true, true, hide},             {true, true, true, true, hide},
    };
    for (const Row& r : rows) {
        const auto got = DecideRestoreOrHide(TTrayButton::Left, TraySettings(r.minimizeToTray, r.trayIconVisible),
                                             {r.visible, r.active});
        EXPECT_EQ(got, r.expected) << "MinimizeToTray=" << r.minimizeToTray << " TrayIconVisible=" << r.trayIconVisible
                                   << " visible=" << r.visible << " active=" << r.active << ": got "
                                   << Describe(got) << ", want " << Describe(r.expected);
    }
}

TEST(RestoreOrHideRule, RightAndMiddlePressesDoNothingInAnyState) {
    for (TTrayButton button : {TTrayButton::Right, TTrayButton::Middle})
        for (int bits = 0; bits < 16; ++bits) {
            const TTrayWindowState window{bool(bits & 4), bool(bits & 8)};
            const auto got = DecideRestoreOrHide(button, TraySettings(bits & 1, bits & 2), window);
            EXPECT_EQ(got, TRestoreOrHideAction{}) << "bits=" << bits << ": " << Describe(got);
        }
}

TEST(NotifyUserMessageRule, EveryCombination) {
    struct Row {
        bool notification, sound, always, visible, active;
        bool image, flash, play;
    };
    const Row rows[] = {
        // No notification, no sound: nothing at all.
        {0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 1, 0, 0, 0}, {0, 0, 0, 1, 0, 0, 0, 0}, {0, 0, 0, 1, 1, 0, 0, 0},
        {0, 0, 1, 0, 0, 0, 0, 0}, {0, 0, 1, 0, 1, 0, 0, 0}, {0, 0, 1, 1, 0, 0, 0, 0}, {0, 0, 1, 1, 1, 0, 0, 0},
        // Sound only: "only when minimized" means only while in the tray.
        {0, 1, 0, 0, 0, 0, 0, 1}, {0, 1, 0, 0, 1, 0, 0, 1}, {0, 1, 0, 1, 0, 0, 0, 0}, {0, 1, 0, 1, 1, 0, 0, 0},
        {0, 1, 1, 0, 0, 0, 0, 1}, {0, 1, 1, 0, 1, 0, 0, 1}, {0, 1, 1, 1, 0, 0, 0, 1}, {0, 1, 1, 1, 1, 0, 0, 1},
        // Notification only: image when hidden, flash when visible behind another program.
        {1, 0, 0, 0, 0, 1, 0, 0}, {1, 0, 0, 0, 1, 1, 0, 0}, {1, 0, 0, 1, 0, 0, 1, 0}, {1, 0, 0, 1, 1, 0, 0, 0},
        {1, 0, 1, 0, 0, 1, 0, 0}, {1, 0, 1, 0, 1, 1, 0, 0}, {1, 0, 1, 1, 0, 0, 1, 0}, {1, 0, 1, 1, 1, 0, 0, 0},
        // Both.
        {1, 1, 0, 0, 0, 1, 0, 1}, {1, 1, 0, 0, 1, 1, 0, 1}, {1, 1, 0, 1, 0, 0, 1, 0}, {1, 1, 0, 1, 1, 0, 0, 0},
        {1, 1, 1, 0, 0, 1, 0, 1}, {1, 1, 1, 0, 1, 1, 0, 1}, {1, 1, 1, 1, 0, 0, 1, 1}, {1, 1, 1, 1, 1, 0, 0, 1},
    };
    for (const Row& r : rows) {
        TSettings s;
        s.NotificationUserMessage = r.notification;
        s.SoundUserMessage = r.sound;
        s.AlwaysPlaySound = r.always;
        s.SoundPathUserMessage = "new_msg.wav";
        const TNotifyActions got = DecideNotifyUserMessage(s, {r.visible, r.active});
        const TNotifyActions want{r.image, r.flash, r.play, r.play ? "new_msg.wav" : ""};
        EXPECT_EQ(got, want) << "notification=" << r.notification << " sound=" << r.sound << " always=" << r.always
                             << " visible=" << r.visible << " active=" << r.active
                             << ": got image=" << got.ShowMessageImage << " flash=" << got.FlashTaskbar
                             << " play=" << got.PlaySound;
        // A highlight acts as if "Notification-UserMessage" were on; the sound keeps its own rule.
        TSettings on = s;
        on.NotificationUserMessage = true;
        EXPECT_EQ(DecideNotifyUserMessage(s, {r.visible, r.active}, true), DecideNotifyUserMessage(on, {r.visible, r.active}));
    }
}

TEST(DesktopNotificationRule, PrivateMessagesAndHighlightsWhileTheWindowIsAway) {
    TSettings s;
    s.DesktopNotification = true;
    const TUserMessage channel{"bob", "#Lobby_20", "anyone?", false, false};
    const TUserMessage highlight{"bob", "#Lobby_20", "ann: coming?", false, true};
    const TUserMessage direct{"carl", "carl", "psst", true, false};
    const TTrayWindowState active{true, true}, behind{true, false}, inTray{false, false};

    EXPECT_EQ(DecideDesktopNotification(s, behind, highlight), (TDesktopNote{true, "bob in #Lobby_20", "ann: coming?"}));
    EXPECT_EQ(DecideDesktopNotification(s, inTray, direct), (TDesktopNote{true, "carl", "psst"}));
    EXPECT_FALSE(DecideDesktopNotification(s, behind, channel).Show);
    EXPECT_FALSE(DecideDesktopNotification(s, active, highlight).Show);
    s.DesktopNotification = false;
    EXPECT_FALSE(DecideDesktopNotification(s, inTray, direct).Show);
}

TEST(DesktopNotificationRule, FirstWordsAreCleanShortAndWholeCharacters) {
    EXPECT_EQ(FirstWords("short"), "short");
    // Colour and format codes go; a tab becomes a blank.
    EXPECT_EQ(FirstWords("\x03" "4,12red\x03 \x02" "bold\x0F\tend\x01"), "red bold end");
    EXPECT_EQ(FirstWords("\x03" "99x"), "x");
    // Cut after a whole word, with the dots inside the limit.
    EXPECT_EQ(FirstWords("one two three four", 14), "one two...");
    // One long word is cut inside, but not inside a character.
    EXPECT_EQ(FirstWords("\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", 8), "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9");
    EXPECT_EQ(FirstWords("\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", 7), "\xC3\xA9\xC3\xA9...");
    EXPECT_EQ(FirstWords("a\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", 7), "a\xC3\xA9...");
    EXPECT_LE(FirstWords(std::string(1000, 'x')).size(), 100u);
}
