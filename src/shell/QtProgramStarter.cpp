// SPDX-License-Identifier: GPL-3.0-or-later
// TQtProgramStarter: QProcess::startDetached with the program's absolute path; no shell is involved.
#include "shell/QtProgramStarter.h"

#include "tracker/JoinGame.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

namespace {

QString Local(const std::string& s) { return QString::fromLocal8Bit(s.data(), static_cast<qsizetype>(s.size())); }

// The DOS header every Windows executable starts with.
bool IsWindowsProgram(const QFileInfo& file) {
    QFile f(file.absoluteFilePath());
    return f.open(QIODevice::ReadOnly) && f.read(2) == "MZ";
}

}  // namespace

TStartable TQtProgramStarter::CanStart(const std::string& program) {
    const QFileInfo file(Local(program));
    if (program.empty() || !file.isFile()) return TStartable::Missing;
    if (IsWindowsProgram(file) && QStandardPaths::findExecutable("wine").isEmpty()) return TStartable::NeedsWine;
    return TStartable::Yes;
}

void TQtProgramStarter::Start(const std::string& program, const std::vector<std::string>& arguments,
                              const std::string& workingDirectory) {
    TryStart(program, arguments, workingDirectory);
}

TStartResult TQtProgramStarter::TryStart(const std::string& program, const std::vector<std::string>& arguments,
                                         const std::string& workingDirectory) {
    const QFileInfo file(Local(program));
    if (program.empty() || !file.isFile()) return {false, "there is no such file"};
    // Absolute, so that a bare name is never looked up on PATH instead of the file meant.
    QString path = file.absoluteFilePath();
    QStringList args;
    if (IsWindowsProgram(file)) {
        args << path;
        path = QStandardPaths::findExecutable("wine");
        if (path.isEmpty()) return {false, NoWineReason};
    } else if (!file.isExecutable()) {
        return {false, "the file is not executable; choose the game's program under Settings or make it executable"};
    }
    for (const std::string& a : arguments) args << Local(a);
    // Detached: the game is not our child, and ending this program does not end it.
    QProcess process;
    process.setProgram(path);
    process.setArguments(args);
    process.setWorkingDirectory(Local(workingDirectory));
    if (!process.startDetached()) return {false, process.errorString().toLocal8Bit().toStdString()};
    return {};
}
