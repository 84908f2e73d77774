// TGamesRefresh: when the tracker is walked, and what the main window shows meanwhile.
#pragma once

#include "net/EventLoop.h"
#include "net/Timer.h"
#include "tracker/CorvaneCheck.h"

#include <functional>

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
    bool ButtonEnabled() const { return buttonEnabled_; }
    TTimer& tmRefreshGames() { return tmRefreshGames_; }

    // Start-up, the "Refresh" button and tmRefreshGames all come here.
    void tmRefreshGamesTimer();
    // A click on "Refresh"; ignored while the button is disabled.
    void Button1Click();

    // After each change of the label, the button or the timer, the new value already stored.
    std::function<void(TGamesRefresh& sender)> OnChange;

private:
    void WalkFinished();
    void SetLabelVisible(bool on);
    void SetButtonEnabled(bool on);
    void SetTimerEnabled(bool on);
    void Changed();

    TCorvaneCheck& check_;
    TTimer tmRefreshGames_;
    bool labelVisible_ = false;
    bool buttonEnabled_ = true;
};
