// SPDX-License-Identifier: GPL-3.0-or-later
// The message sound: finding the file and playing it asynchronously with Qt Multimedia.
#pragma once

#include <QElapsedTimer>

#include <memory>
#include <string>
#include <vector>

class QSoundEffect;

// Plays a sound file without waiting for it; a file that cannot be found plays nothing.
class TSoundPlayer {
public:
    virtual ~TSoundPlayer() = default;
    virtual void Play(const std::string& path) = 0;
};

// The file a sound path names: the path itself when it exists (relative paths start in the
// working directory); otherwise, for a relative path, the first of searchDirs holding it.
// Empty when there is no such regular file.
std::string FindSoundFile(const std::string& path, const std::vector<std::string>& searchDirs);

// Where a bare name such as "new_msg.wav" is looked for after the working directory: beside
// the program, then its data directories.
std::vector<std::string> SoundSearchDirs();

// A burst of chat messages must not restart the sound over itself a hundred times: a sound
// starts at most once per MinGapMs (longer than the shipped sound), and messages in between
// are silent. Time decides, not the player's playing flag: without an audio device Qt
// reports a sound as playing for ever, which would silence every later message.
class TQtSoundPlayer final : public TSoundPlayer {
public:
    explicit TQtSoundPlayer(std::vector<std::string> searchDirs = SoundSearchDirs());
    ~TQtSoundPlayer() override;

    void Play(const std::string& path) override;
    // The file last handed to the audio system; empty while nothing was found to play.
    const std::string& LastFile() const { return lastFile_; }
    // How many sounds were started.
    int Starts() const { return starts_; }
    static constexpr qint64 MinGapMs = 1500;

private:
    std::vector<std::string> searchDirs_;
    std::unique_ptr<QSoundEffect> effect_;  // made on first use, so a silent run never opens audio
    std::string lastFile_;
    QElapsedTimer sinceStart_;
    int starts_ = 0;
};
