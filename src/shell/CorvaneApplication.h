// SPDX-License-Identifier: GPL-3.0-or-later
// TCorvaneApplication: the Qt application with a last catch for errors and a clean stop on signals.
#pragma once

#include <QApplication>
#include <QSocketNotifier>

#include <exception>
#include <functional>

class TCorvaneApplication : public QApplication {
    Q_OBJECT
public:
    TCorvaneApplication(int& argc, char** argv);
    ~TCorvaneApplication() override;

    // Receives every exception that a handler lets escape into Qt's event delivery; without
    // it the exception travels on. The event that raised it counts as handled.
    std::function<void(std::exception_ptr error)> OnException;

    // Catches SIGTERM and SIGINT from now on, before the application exists, so that a signal
    // during start-up is kept for the loop instead of killing the program; false when the pipe
    // cannot be made.
    static bool CatchStopSignals();
    // Raised on the event loop, not in the signal handler, after SIGTERM or SIGINT.
    std::function<void(int signal)> OnStopSignal;
    // Hands caught signals (also those caught before) to OnStopSignal from the loop.
    bool WatchStopSignals();

    bool notify(QObject* receiver, QEvent* event) override;

private:
    void ReadSignals();

    QSocketNotifier* signalNotifier_ = nullptr;
};
