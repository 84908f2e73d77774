// SPDX-License-Identifier: GPL-3.0-or-later
// Finding the message sound, the shipped default sound, and the player staying silent without a file.
#include "shell/SoundPlayer.h"
#include "TrayTestSupport.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QSoundEffect>
#include <QUrl>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;
using testing_support::TTempDir;

namespace {

void Touch(const fs::path& p) {
    fs::create_directories(p.parent_path());
    std::ofstream(p) << "RIFF";
}

// Runs in dir and goes back to the old working directory afterwards.
class TWorkingDir {
public:
    explicit TWorkingDir(const fs::path& dir) : old_(fs::current_path()) { fs::current_path(dir); }
    ~TWorkingDir() { fs::current_path(old_); }

private:
    fs::path old_;
};

std::uint32_t Le(const std::string& b, std::size_t at, int n) {
    std::uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + i]);
    return v;
}

}  // namespace

TEST(FindSoundFile, WorkingDirectoryFirstThenTheSearchDirsInOrder) {
    TTempDir cwd, first, second;
    Touch(second.Path() / "new_msg.wav");
    Touch(second.Path() / "sounds" / "ding.wav");
    const std::vector<std::string> dirs{"", (cwd.Path() / "absent").string(), first.Path().string(),
                                        second.Path().string()};
    TWorkingDir in(cwd.Path());

    EXPECT_EQ(FindSoundFile("new_msg.wav", dirs), (second.Path() / "new_msg.wav").string());
    EXPECT_EQ(FindSoundFile("sounds/ding.wav", dirs), (second.Path() / "sounds" / "ding.wav").string());

    Touch(first.Path() / "new_msg.wav");
    EXPECT_EQ(FindSoundFile("new_msg.wav", dirs), (first.Path() / "new_msg.wav").string());

    Touch(cwd.Path() / "new_msg.wav");  // the bare name in the working directory wins, passed unchanged
    EXPECT_EQ(FindSoundFile("new_msg.wav", dirs), "new_msg.wav");
}

TEST(FindSoundFile, MissingFilesDirectoriesAndAbsolutePathsAreNotSearched) {
    TTempDir cwd, dir;
    Touch(dir.Path() / "new_msg.wav");
    fs::create_directories(dir.Path() / "folder.wav");
    const std::vector<std::string> dirs{dir.Path().string()};
    TWorkingDir in(cwd.Path());

    EXPECT_EQ(FindSoundFile("", dirs), "");
    EXPECT_EQ(FindSoundFile("other.wav", dirs), "");
    EXPECT_EQ(FindSoundFile("folder.wav", dirs), "");  // a directory is no sound
    // An absolute path names one file; a file of the same name elsewhere does not stand in.
    EXPECT_EQ(FindSoundFile((cwd.Path() / "new_msg.wav").string(), dirs), "");
    EXPECT_EQ(FindSoundFile((dir.Path() / "new_msg.wav").string(), {}), (dir.Path() / "new_msg.wav").string());
}

TEST(SoundSearch, ProgramDirectoryComesFirst) {
    tray_test::TQtApp::Start();
    const auto dirs = SoundSearchDirs();
    ASSERT_FALSE(dirs.empty());
    EXPECT_EQ(dirs.front(), QCoreApplication::applicationDirPath().toStdString());
    tray_test::TQtApp::Stop();
}

TEST(SoundPlayer, MissingFileStaysSilent) {
    tray_test::TQtApp::Start();
    TTempDir cwd;
    {
        TWorkingDir in(cwd.Path());
        TQtSoundPlayer player({cwd.Path().string()});
        player.Play("new_msg.wav");
        player.Play("");
        EXPECT_EQ(player.LastFile(), "");
    }
    tray_test::TQtApp::Stop();
}

TEST(SoundPlayer, ShippedSoundLiesBesideTheProgramAndIsAShortPcmWave) {
    const fs::path wav = fs::path(CGV_BINARY_DIR) / "src" / "shell" / "new_msg.wav";
    std::ifstream in(wav, std::ios::binary);
    ASSERT_TRUE(in) << wav;
    const std::string b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GE(b.size(), 44u);
    EXPECT_EQ(b.substr(0, 4), "RIFF");
    EXPECT_EQ(b.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(Le(b, 20, 2), 1u);  // PCM, which every player handles
    const std::uint32_t byteRate = Le(b, 28, 4);
    ASSERT_GT(byteRate, 0u);
    // It plays out before the player lets the next message start it again.
    EXPECT_LT((b.size() - 44) * 1000 / byteRate, static_cast<std::uint64_t>(TQtSoundPlayer::MinGapMs));

    tray_test::TQtApp::Start();
    {
        // Qt's own decoder accepts it, so the default sound really plays.
        QSoundEffect effect;
        effect.setSource(QUrl::fromLocalFile(QString::fromStdString(wav.string())));
        ASSERT_TRUE(tray_test::WaitUntil(
            [&] { return effect.status() == QSoundEffect::Ready || effect.status() == QSoundEffect::Error; }));
        EXPECT_EQ(effect.status(), QSoundEffect::Ready);

        TQtSoundPlayer player({wav.parent_path().string()});
        player.Play("new_msg.wav");  // asynchronous: returns at once, plays or fails quietly
        EXPECT_EQ(player.LastFile(), (wav.parent_path() / "new_msg.wav").string());
        tray_test::Settle();
    }
    tray_test::TQtApp::Stop();
}

TEST(SoundPlayer, ABurstOfMessagesStartsTheSoundOnceNotOverItself) {
    const fs::path dir = fs::path(CGV_BINARY_DIR) / "src" / "shell";
    tray_test::TQtApp::Start();
    {
        TQtSoundPlayer player({dir.string()});
        for (int i = 0; i < 200; ++i) player.Play("new_msg.wav");
        EXPECT_EQ(player.Starts(), 1);
        // Once it has played out, the next message is heard again.
        EXPECT_TRUE(tray_test::WaitUntil(
            [&] {
                player.Play("new_msg.wav");
                return player.Starts() == 2;
            },
            5000));
    }
    tray_test::TQtApp::Stop();
}
