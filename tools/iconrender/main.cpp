// SPDX-License-Identifier: GPL-3.0-or-later
// corvanegv-icons: renders the program's picture into a hicolor icon tree at build time, so
// the installed icons are the very drawing the window and tray use.
// Usage: corvanegv-icons OUTDIR NAME SIZE...   writes OUTDIR/SIZExSIZE/apps/NAME.png
#include "shell/Icons.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: corvanegv-icons OUTDIR NAME SIZE...\n");
        return 2;
    }
    // A build machine has no display; painting into images needs none.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString out = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (int i = 3; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size < 16 || size > 1024) {
            std::fprintf(stderr, "corvanegv-icons: bad size '%s'\n", argv[i]);
            return 2;
        }
        const QString dir = QString("%1/%2x%2/apps").arg(out).arg(size);
        const QString file = dir + "/" + name + ".png";
        if (!QDir().mkpath(dir) || !ProgramPicture(size).save(file, "PNG")) {
            std::fprintf(stderr, "corvanegv-icons: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
