// SPDX-License-Identifier: GPL-3.0-or-later
// TGamesRefresh: when the tracker is walked, and what the main window shows meanwhile.
#pragma once

#include "net/EventLoop.h"
#include "net/Timer.h"
#include "tracker/CorvaneCheck.h"

#include <functional>
#include <memory>
#include <string>

inline constexpr const char* RefreshingLabelCaption = "Refreshing servers...";
inline constexpr const char* RefreshButtonCaption = "Refresh";
// tmRefreshGames: the tracker is asked again this long after each walk ends.
inline constexpr int RefreshGamesIntervalMs = 30000;

// The label Label1, the button Button1 and the timer tmRefreshGames as plain state; the shell
// renders it and forwards the button's clicks. A walk runs with the label shown and the button
// and the timer off.
class TGamesRefresh {
public:
    // Takes the check's OnWalkFinished; the check and the loop must outlive this object.
    TGamesRefresh(TEventLoop& loop, TCorvaneCheck& check);
    ~TGamesRefresh();
    TGamesRefresh(const TGamesRefresh&) = delete;
    TGamesRefresh& operator=(const TGamesRefresh&) = delete;

    bool LabelVisible() const { return labelVisible_; }
    // One line about a walk that asked the tracker and learnt of no server; empty once a walk
    // names one (or asks nothing, with every game type off).
    const std::string& TrackerNotice() const { return notice_; }
    bool ButtonEnabled() const { return buttonEnabled_; }
    TTimer& tmRefreshGames() { return tmRefreshGames_; }

    // Start-up, the "Refresh" button and tmRefreshGames all come here.
    void tmRefreshGamesTimer();
    // A click on "Refresh"; ignored while the button is disabled.
    void Button1Click();
    // The user pointed the check at another tracker: a walk at once, or, while one runs,
    // another as soon as it ends, so that the lists need not wait for the timer.
    void TrackerChanged();

    // After each change of the label, the button or the timer, the new value already stored.
    std::function<void(TGamesRefresh& sender)> OnChange;

private:
    void WalkFinished();
    void SetLabelVisible(bool on);
    void SetButtonEnabled(bool on);
    void SetTimerEnabled(bool on);
    void Changed();

    TEventLoop& loop_;
    TCorvaneCheck& check_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    TTimer tmRefreshGames_;
    bool labelVisible_ = false;
    bool buttonEnabled_ = true;
    bool walkAgain_ = false;
    std::string notice_;
};

// "ADDR:BASEPORT", as --tracker and the settings take it.
std::string TrackerText(const TTrackerAddress& tracker);
// The notice for a walk's outcome; empty when there is nothing to say.
std::string TrackerNoticeFor(const TCorvaneCheck::TWalkOutcome& walk, const TTrackerAddress& tracker);
