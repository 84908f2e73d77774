// SPDX-License-Identifier: GPL-3.0-or-later
// TEventLoop on the Qt event loop.
#include "shell/QtEventLoop.h"

#include <QCoreApplication>
#include <QEventLoop>

TQtEventLoop::TQtEventLoop() = default;

TQtEventLoop::~TQtEventLoop() {
    // Children of context_ go with it; nothing may call back into this object afterwards.
    for (auto& [fd, w] : watches_) {
        Retire(w.read);
        Retire(w.write);
    }
}

void TQtEventLoop::Retire(QPointer<QSocketNotifier>& n) {
    if (!n) return;
    // A notifier may be retired from inside its own activation: disable now, delete later.
    n->setEnabled(false);
    n->disconnect();
    n->deleteLater();
    n = nullptr;
}

void TQtEventLoop::ApplyMask(TWatch& w) {
    if (w.read) w.read->setEnabled(w.mask & Readable);
    if (w.write) w.write->setEnabled(w.mask & Writable);
}

void TQtEventLoop::Watch(int fd, unsigned mask, IoHandler handler) {
    Unwatch(fd);
    TWatch& w = watches_[fd];
    w.mask = mask;
    w.handler = std::make_shared<IoHandler>(std::move(handler));
    auto fire = [this, fd, h = w.handler](unsigned kind) {
        auto it = watches_.find(fd);
        // Replaced or removed since Qt noticed the readiness: the handler is stale.
        if (it == watches_.end() || it->second.handler != h || !(it->second.mask & kind)) return;
        auto keep = h;  // the handler may unwatch its own fd
        (*keep)(kind);
    };
    w.read = new QSocketNotifier(fd, QSocketNotifier::Read, &context_);
    QObject::connect(w.read, &QSocketNotifier::activated, &context_, [fire] { fire(Readable); });
    w.write = new QSocketNotifier(fd, QSocketNotifier::Write, &context_);
    QObject::connect(w.write, &QSocketNotifier::activated, &context_, [fire] { fire(Writable); });
    ApplyMask(w);
}

void TQtEventLoop::SetWatchMask(int fd, unsigned mask) {
    auto it = watches_.find(fd);
    if (it == watches_.end()) return;
    it->second.mask = mask;
    ApplyMask(it->second);
}

void TQtEventLoop::Unwatch(int fd) {
    auto it = watches_.find(fd);
    if (it == watches_.end()) return;
    Retire(it->second.read);
    Retire(it->second.write);
    watches_.erase(it);
}

void TQtEventLoop::Post(Handler handler) {
    // Queued calls to one receiver run in the order they were posted.
    QMetaObject::invokeMethod(&context_, [h = std::move(handler)] { if (h) h(); }, Qt::QueuedConnection);
}

TEventLoop::TimerId TQtEventLoop::StartTimer(std::chrono::milliseconds interval, Handler handler) {
    const TimerId id = nextTimer_++;
    auto* t = new QTimer(&context_);
    // Qt's default coarse timers may run up to 5% before the interval; the loop promises
    // a whole interval, as the poll loop and Windows timers give.
    t->setTimerType(Qt::PreciseTimer);
    t->setInterval(static_cast<int>(interval.count()));
    QObject::connect(t, &QTimer::timeout, &context_, [h = std::move(handler)] { h(); });
    t->start();
    timers_[id] = t;
    return id;
}

void TQtEventLoop::StopTimer(TimerId id) {
    auto it = timers_.find(id);
    if (it == timers_.end()) return;
    if (it->second) {
        it->second->stop();
        it->second->disconnect();
        it->second->deleteLater();
    }
    timers_.erase(it);
}

void TQtEventLoop::ProcessMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void TQtEventLoop::ProcessMessagesWaiting(std::chrono::milliseconds maxWait) {
    // A one-shot wake-up bounds the wait; any other event ends it sooner.
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(static_cast<int>(maxWait.count()));
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}
