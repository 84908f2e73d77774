// SPDX-License-Identifier: GPL-3.0-or-later
// The socket and protocol tests' loop in the Qt test program: the loop the program runs on.
#include "shell/GuardedEventLoop.h"
#include "shell/QtEventLoop.h"
#include "support/TestLoop.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <exception>

namespace {

// Built as the program builds it: TQtEventLoop behind TGuardedEventLoop, on a Qt application
// made here unless the test has one already. What escapes a handler fails the test instead of
// unwinding through Qt's dispatcher.
class TQtTestLoop final : public TEventLoop {
public:
    TQtTestLoop() {
        guarded_.OnException = [](std::exception_ptr error) {
            try {
                std::rethrow_exception(error);
            } catch (const std::exception& e) {
                ADD_FAILURE() << "exception escaped a handler: " << e.what();
            } catch (...) {
                ADD_FAILURE() << "exception escaped a handler";
            }
        };
    }

    void Watch(int fd, unsigned mask, IoHandler handler) override { guarded_.Watch(fd, mask, std::move(handler)); }
    void SetWatchMask(int fd, unsigned mask) override { guarded_.SetWatchMask(fd, mask); }
    void Unwatch(int fd) override { guarded_.Unwatch(fd); }
    void Post(Handler handler) override { guarded_.Post(std::move(handler)); }
    TimerId StartTimer(std::chrono::milliseconds interval, Handler handler) override {
        return guarded_.StartTimer(interval, std::move(handler));
    }
    void StopTimer(TimerId id) override { guarded_.StopTimer(id); }
    void ProcessMessages() override { guarded_.ProcessMessages(); }
    void ProcessMessagesWaiting(std::chrono::milliseconds maxWait) override { guarded_.ProcessMessagesWaiting(maxWait); }
    std::size_t WatchCount() const override { return guarded_.WatchCount(); }
    std::size_t TimerCount() const override { return guarded_.TimerCount(); }

private:
    int argc_ = 1;
    char name_[16] = "qtloop-test";
    char* argv_[2] = {name_, nullptr};
    // Before the loop: its notifiers need the application's event dispatcher.
    std::unique_ptr<QCoreApplication> app_ =
        QCoreApplication::instance() ? nullptr : std::make_unique<QCoreApplication>(argc_, argv_);
    TQtEventLoop qt_;
    TGuardedEventLoop guarded_{qt_};
};

}  // namespace

std::unique_ptr<TEventLoop> testing_support::MakeTestLoop() { return std::make_unique<TQtTestLoop>(); }
