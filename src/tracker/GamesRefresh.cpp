// TGamesRefresh: when the tracker is walked, and what the main window shows meanwhile.
#include "tracker/GamesRefresh.h"

TGamesRefresh::TGamesRefresh(TEventLoop& loop, TCorvaneCheck& check)
    : check_(check), tmRefreshGames_(loop, RefreshGamesIntervalMs) {
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

void TGamesRefresh::WalkFinished() {
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
