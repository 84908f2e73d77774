// SPDX-License-Identifier: GPL-3.0-or-later
// TGamesRefresh: when the tracker is walked, and what the main window shows meanwhile.
#include "tracker/GamesRefresh.h"

TGamesRefresh::TGamesRefresh(TEventLoop& loop, TCorvaneCheck& check)
    : loop_(loop), check_(check), tmRefreshGames_(loop, RefreshGamesIntervalMs) {
    tmRefreshGames_.OnTimer = [this] { tmRefreshGamesTimer(); };
    check_.OnWalkFinished = [this](TCorvaneCheck&) { WalkFinished(); };
}

TGamesRefresh::~TGamesRefresh() { check_.OnWalkFinished = nullptr; }

void TGamesRefresh::tmRefreshGamesTimer() {
    SetTimerEnabled(false);
    SetButtonEnabled(false);
    SetLabelVisible(true);
    check_.StartCheck();
}

void TGamesRefresh::Button1Click() {
    if (buttonEnabled_) tmRefreshGamesTimer();
}

void TGamesRefresh::TrackerChanged() {
    if (check_.Idle())
        tmRefreshGamesTimer();
    else
        walkAgain_ = true;
}

std::string TrackerText(const TTrackerAddress& tracker) {
    return tracker.Addr + ":" + std::to_string(tracker.BasePort);
}

std::string TrackerNoticeFor(const TCorvaneCheck::TWalkOutcome& walk, const TTrackerAddress& tracker) {
    if (walk.Asked == 0 || walk.Servers > 0) return {};
    if (walk.Answered == 0)
        return "No answer from the game tracker at " + TrackerText(tracker) + ": set the tracker under Settings";
    return "The game tracker at " + TrackerText(tracker) + " lists no servers: set the tracker under Settings";
}

void TGamesRefresh::WalkFinished() {
    notice_ = TrackerNoticeFor(check_.LastWalk(), check_.Tracker());
    if (walkAgain_) {
        walkAgain_ = false;
        // Posted: the check is still inside its own FinishWalk.
        loop_.Post([this, alive = std::weak_ptr<bool>(alive_)] {
            if (!alive.expired()) tmRefreshGamesTimer();
        });
        Changed();
        return;
    }
    SetLabelVisible(false);
    SetButtonEnabled(true);
    SetTimerEnabled(true);
}

void TGamesRefresh::SetLabelVisible(bool on) {
    if (on == labelVisible_) return;
    labelVisible_ = on;
    Changed();
}

void TGamesRefresh::SetButtonEnabled(bool on) {
    if (on == buttonEnabled_) return;
    buttonEnabled_ = on;
    Changed();
}

void TGamesRefresh::SetTimerEnabled(bool on) {
    if (on == tmRefreshGames_.Enabled()) return;
    tmRefreshGames_.SetEnabled(on);
    Changed();
}

void TGamesRefresh::Changed() {
    if (OnChange) {
        auto handler = OnChange;
        handler(*this);
    }
}
