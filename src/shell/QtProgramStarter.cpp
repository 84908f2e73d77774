// TQtProgramStarter: QProcess::startDetached with the program's absolute path; no shell is involved.
#include "shell/QtProgramStarter.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

namespace {

QString Local(const std::string& s) { return QString::fromLocal8Bit(s.data(), static_cast<qsizetype>(s.size())); }

bool RunsThroughWine(const QFileInfo& file) {
    return !file.isExecutable() && file.fileName().endsWith(".exe", Qt::CaseInsensitive);
}

}  // namespace

TStartable TQtProgramStarter::CanStart(const std::string& program) {
    const QFileInfo file(Local(program));
    if (program.empty() || !file.isFile()) return TStartable::Missing;
    if (RunsThroughWine(file) && QStandardPaths::findExecutable("wine").isEmpty()) return TStartable::NeedsWine;
    return TStartable::Yes;
}

void TQtProgramStarter::Start(const std::string& program, const std::vector<std::string>& arguments,
                              const std::string& workingDirectory) {
    const QFileInfo file(Local(program));
    // Absolute, so that a bare name is never looked up on PATH instead of the file meant.
    QString path = file.absoluteFilePath();
    QStringList args;
    if (RunsThroughWine(file)) {
        args << path;
        path = QStandardPaths::findExecutable("wine");
        if (path.isEmpty()) return;
    }
    for (const std::string& a : arguments) args << Local(a);
    // Detached: the game is not our child, and ending this program does not end it.
    QProcess::startDetached(path, args, Local(workingDirectory));
}
