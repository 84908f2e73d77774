// SPDX-License-Identifier: GPL-3.0-or-later
// TEventLoop on the Qt event loop, so the core runs unchanged inside the Qt application.
#pragma once

#include "net/EventLoop.h"

#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <map>
#include <memory>
#include <unordered_map>

class TQtEventLoop final : public TEventLoop {
public:
    TQtEventLoop();
    ~TQtEventLoop() override;

    void Watch(int fd, unsigned mask, IoHandler handler) override;
    void SetWatchMask(int fd, unsigned mask) override;
    void Unwatch(int fd) override;
    void Post(Handler handler) override;
    TimerId StartTimer(std::chrono::milliseconds interval, Handler handler) override;
    void StopTimer(TimerId id) override;
    void ProcessMessages() override;
    void ProcessMessagesWaiting(std::chrono::milliseconds maxWait) override;
    std::size_t WatchCount() const override { return watches_.size(); }
    std::size_t TimerCount() const override { return timers_.size(); }

private:
    struct TWatch {
        unsigned mask = 0;
        std::shared_ptr<IoHandler> handler;
        QPointer<QSocketNotifier> read;
        QPointer<QSocketNotifier> write;
    };
    void ApplyMask(TWatch& w);
    static void Retire(QPointer<QSocketNotifier>& n);

    QObject context_;  // receiver of posted callbacks and owner of notifiers and timers
    std::unordered_map<int, TWatch> watches_;
    std::map<TimerId, QPointer<QTimer>> timers_;
    TimerId nextTimer_ = 1;
};
