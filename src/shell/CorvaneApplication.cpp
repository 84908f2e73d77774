// SPDX-License-Identifier: GPL-3.0-or-later
// TCorvaneApplication: notify with a catch, and SIGTERM/SIGINT turned into a loop event.
#include "shell/CorvaneApplication.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace {

// A signal handler can reach nothing but what is static; it only writes the signal number
// into this pipe, and the loop does the rest. Written by the handler, read on the loop.
int signalPipe[2] = {-1, -1};

void OnSignal(int sig) {
    const int saved = errno;
    const unsigned char b = static_cast<unsigned char>(sig);
    [[maybe_unused]] auto n = ::write(signalPipe[1], &b, 1);
    errno = saved;
}

}  // namespace

TCorvaneApplication::TCorvaneApplication(int& argc, char** argv) : QApplication(argc, argv) {}

TCorvaneApplication::~TCorvaneApplication() {
    if (signalPipe[0] < 0) return;
    ::signal(SIGTERM, SIG_DFL);
    ::signal(SIGINT, SIG_DFL);
    delete signalNotifier_;
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
}

bool TCorvaneApplication::notify(QObject* receiver, QEvent* event) {
    if (!OnException) return QApplication::notify(receiver, event);
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        OnException(std::current_exception());
        return true;
    }
}

bool TCorvaneApplication::CatchStopSignals() {
    if (signalPipe[0] >= 0) return true;
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    struct sigaction sa{};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
    return true;
}

bool TCorvaneApplication::WatchStopSignals() {
    if (signalNotifier_) return true;
    if (!CatchStopSignals()) return false;
    signalNotifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(signalNotifier_, &QSocketNotifier::activated, this, [this] { ReadSignals(); });
    return true;
}

void TCorvaneApplication::ReadSignals() {
    unsigned char b = 0;
    while (::read(signalPipe[0], &b, 1) == 1)
        if (OnStopSignal) OnStopSignal(b);
}
