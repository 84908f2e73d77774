// SPDX-License-Identifier: GPL-3.0-or-later
// Sound file lookup and the Qt Multimedia player.
#include "shell/SoundPlayer.h"

#include <QCoreApplication>
#include <QFile>
#include <QSoundEffect>
#include <QStandardPaths>
#include <QUrl>

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

bool IsRegularFile(const fs::path& p) {
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

}  // namespace

std::string FindSoundFile(const std::string& path, const std::vector<std::string>& searchDirs) {
    if (path.empty()) return {};
    const fs::path given(path);
    if (IsRegularFile(given)) return path;
    if (given.is_absolute()) return {};
    for (const std::string& dir : searchDirs) {
        if (dir.empty()) continue;
        const fs::path candidate = fs::path(dir) / given;
        if (IsRegularFile(candidate)) return candidate.string();
    }
    return {};
}

std::vector<std::string> SoundSearchDirs() {
    std::vector<std::string> dirs;
    const QString appDir = QCoreApplication::applicationDirPath();
    if (!appDir.isEmpty()) {
        dirs.push_back(QFile::encodeName(appDir).toStdString());
        dirs.push_back(QFile::encodeName(appDir + "/../share/corvanegv").toStdString());
    }
    for (const QString& d : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        dirs.push_back(QFile::encodeName(d + "/corvanegv").toStdString());
    return dirs;
}

TQtSoundPlayer::TQtSoundPlayer(std::vector<std::string> searchDirs) : searchDirs_(std::move(searchDirs)) {}

TQtSoundPlayer::~TQtSoundPlayer() = default;

void TQtSoundPlayer::Play(const std::string& path) {
    if (sinceStart_.isValid() && sinceStart_.elapsed() < MinGapMs) return;
    const std::string file = FindSoundFile(path, searchDirs_);
    if (file.empty()) return;
    if (!effect_) effect_ = std::make_unique<QSoundEffect>();
    effect_->stop();  // a long sound of the user's own still playing makes way
    std::error_code ec;
    fs::path full = fs::absolute(file, ec);
    if (ec) full = file;
    const QUrl url = QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(full.string())));
    if (effect_->source() != url) effect_->setSource(url);
    effect_->play();  // queued by Qt until the file has loaded; never blocks
    sinceStart_.start();
    ++starts_;
    lastFile_ = file;
}
