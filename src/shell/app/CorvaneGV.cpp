// SPDX-License-Identifier: GPL-3.0-or-later
// corvanegv: the program entry: command line, application title, main window, run loop.
#include "settings/SettingsPlace.h"
#include "shell/CommandLine.h"
#include "shell/CorvaneApplication.h"
#include "shell/GuardedEventLoop.h"
#include "shell/HeapPolicy.h"
#include "shell/Identity.h"
#include "shell/QtEventLoop.h"
#include "shell/SoundPlayer.h"
#include "shell/SystemStarter.h"
#include "shell/Unit1.h"

#include <QGuiApplication>
#include <QScreen>

#include <iostream>

int main(int argc, char** argv) {
    KeepLargeBlocksReturnable();
    std::vector<std::string> args(argv, argv + argc);
    TCommandLine line;
    std::string error;
    if (!ParseCommandLine(args, line, error)) {
        std::cerr << "corvanegv: " << error << "\n" << CommandLineUsage;
        return 2;
    }
    // The settings file, or on Windows the registry key; the game starter of the system.
    TSettingsPlace settings = OpenSettingsPlace(line.ConfigDir);
    const bool firstStart = settings.Key && !settings.Existed;
    if (line.Help) {
        // The sound's search starts beside the program, which only an application object knows.
        QCoreApplication probe(argc, argv);
        std::cout << HelpText(settings.Where, FindSoundFile("new_msg.wav", SoundSearchDirs()));
        return 0;
    }
    if (line.Version) {
        std::cout << "corvanegv " << ProgramVersion << "\n";
        return 0;
    }

    if (!settings.Key) {
        std::cerr << "corvanegv: no configuration folder (set HOME or XDG_CONFIG_HOME, or give --config-dir)\n";
        return 1;
    }

    // From here on a stop signal waits for the loop instead of killing a half-made program.
    if (!TCorvaneApplication::CatchStopSignals())
        std::cerr << "corvanegv: SIGTERM and SIGINT will not close the program cleanly\n";

    TCorvaneApplication app(argc, argv);
    QCoreApplication::setApplicationName("CorvaneGV");
    QCoreApplication::setApplicationVersion(ProgramVersion);
    // Ties the windows to the installed menu entry (Wayland takes the icon from there).
    QGuiApplication::setDesktopFileName(AppId);
    // The tray icon keeps nothing alive: closing the main window ends the program.
    app.setQuitOnLastWindowClosed(false);

    TQtEventLoop qtLoop;
    TGuardedEventLoop loop(qtLoop);
    const std::unique_ptr<TProgramStarter> starter = MakeSystemStarter();

    // The start-up steps pump the loop (the tracker's connect wait), so a signal can be read
    // while the window is still being made: it is then carried out once the window exists.
    TCorvaneGVMF* made = nullptr;
    bool stopAsked = false;
    app.OnStopSignal = [&](int) {
        stopAsked = true;
        loop.Terminate();
        if (made) made->StopBySignal();
    };
    app.WatchStopSignals();

    TMainWindowOptions options;
    options.Args = args;
    options.Starter = starter.get();
    options.Tracker = line.Tracker;
    options.ChatHost = line.ChatHost;
    options.ChatPort = line.ChatPort;
    options.TrackerFromCommandLine = line.TrackerGiven;
    options.Welcome = firstStart && !line.ChatServerGiven;
    options.ChatTls = line.ChatTls;
    options.ChatFromSettings = !line.ChatServerGiven;

    TCorvaneGVMF window(loop, *settings.Key, options);
    window.OnClosed = [] { QCoreApplication::exit(0); };
    made = &window;
    if (stopAsked) {
        window.StopBySignal();
        return 0;
    }

    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = window.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window.move(frame.topLeft());
    }
    window.show();
    return app.exec();
}
