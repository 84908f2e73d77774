// SPDX-License-Identifier: GPL-3.0-or-later
// A QApplication per test suite and waiting on a condition, for the tray and about-box tests.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>

#include <functional>
#include <memory>

namespace tray_test {

// Widgets need a QApplication; one per suite keeps the tests independent of each other.
class TQtApp {
public:
    static void Start() {
        static int argc = 1;
        static char arg0[] = "shell_test";
        static char* argv[] = {arg0, nullptr};
        app() = std::make_unique<QApplication>(argc, argv);
    }
    static void Stop() { app().reset(); }

private:
    static std::unique_ptr<QApplication>& app() {
        static std::unique_ptr<QApplication> a;
        return a;
    }
};

// Runs the Qt event loop until pred holds or ms pass.
inline bool WaitUntil(const std::function<bool()>& pred, int ms = 3000) {
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::yieldCurrentThread();
    }
    return true;
}

// Lets queued work (zero-time timers, posted events) run.
inline void Settle() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

}  // namespace tray_test
