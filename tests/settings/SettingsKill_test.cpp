// SPDX-License-Identifier: GPL-3.0-or-later
// A writer killed at random moments while it saves: the file always reads back whole, old or new.
#include "settings/RegFileKey.h"
#include "settings/Settings.h"
#include "support/TestSupport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>

using testing_support::TTempDir;
namespace fs = std::filesystem;

namespace {

const TSystemNames kNames = {"host-1", "login"};

// Two full records that differ in every value, so that a mix of them cannot pass for either.
TSettings Record(char tag, bool flag) {
    TSettings s;
    const std::string t(1, tag);
    s.FSPath = "/games/" + t + "/fs2";
    s.FSCmd = "-" + t;
    s.FSEnabled = flag;
    s.BtRLPath = "/games/" + t + "/btrl";
    s.BtRLCmd = "-btrl" + t;
    s.BtRLEnabled = !flag;
    s.WCSPath = "/games/" + t + "/wcs";
    s.WCSCmd = "-wcs" + t;
    s.WCSEnabled = flag;
    s.StarfoxPath = "/games/" + t + "/sf";
    s.StarfoxCmd = "-sf" + t;
    s.StarfoxEnabled = !flag;
    s.Nickname = "Nick" + t;
    s.FullName = "Full Name " + t;
    s.DontAskQuitQuestion = flag;
    s.MinimizeToTray = !flag;
    s.TrayIconVisible = flag;
    s.AlwaysPlaySound = !flag;
    s.NotificationUserMessage = flag;
    s.SoundUserMessage = !flag;
    s.SoundPathUserMessage = "/sounds/" + t + ".wav";
    // Long enough that a write takes more than one system call's worth of page.
    const std::string pad(300, tag);
    for (std::string* sc : {&s.Shortcut1, &s.Shortcut2, &s.Shortcut3, &s.Shortcut4, &s.Shortcut5, &s.Shortcut6,
                            &s.Shortcut7, &s.Shortcut8, &s.Shortcut9, &s.Shortcut0})
        *sc = pad;
    return s;
}

void Save(const fs::path& file, const TSettings& from) {
    TRegFileKey key(file);
    TSettings record;
    SaveSettings(key, record, from);
}

TSettings Load(const fs::path& file, std::vector<std::string>& problems) {
    TRegFileKey key(file);
    TSettings s;
    TRandomGenerator random;
    TSettingsEvents events;
    events.OnProblem = [&](const std::string& p) { problems.push_back(p); };
    LoadSettings(key, s, kNames, random, events);
    return s;
}

std::vector<std::string> Listing(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST(SettingsFile, AWriterKilledAThousandTimesLeavesOldOrNewValuesNeverAMix) {
    // In memory where there is such a folder: flushing to disk guards against power loss, not
    // against a kill, and would make a thousand rounds take most of a minute.
    TTempDir temp;
    std::string shm = "/dev/shm/cgv-kill-XXXXXX";
    const bool inMemory = ::access("/dev/shm", W_OK) == 0 && ::mkdtemp(shm.data()) != nullptr;
    struct TRemove {
        bool active;
        fs::path path;
        ~TRemove() {
            std::error_code ec;
            if (active) fs::remove_all(path, ec);
        }
    } removeShm{inMemory, shm};
    const fs::path folder = (inMemory ? fs::path(shm) : temp.Path()) / "CorvaneGV";
    const fs::path file = folder / "settings.reg";
    const TSettings a = Record('a', true), b = Record('b', false);
    Save(file, a);

    // How long one save takes here, so that the kills land all over it.
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < 20; ++i) Save(file, i % 2 ? a : b);
    const auto perSave = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0) / 20;
    std::mt19937 rng(20261208);
    std::uniform_int_distribution<long> delay(0, 3 * perSave.count() + 300);

    int seenA = 0, seenB = 0;
    for (int round = 0; round < 1000; ++round) {
        int started[2];
        ASSERT_EQ(::pipe(started), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // The writer alternates the two records until it is killed. It says when its first
            // save is done: a slow start (a sanitizer build forks slowly) must not let every
            // kill land before anything was written.
            try {
                ::close(started[0]);
                for (int i = round;; ++i) {
                    Save(file, i % 2 ? a : b);
                    if (i == round && ::write(started[1], "x", 1) != 1) ::_exit(4);
                }
            } catch (...) {
                ::_exit(3);
            }
        }
        ::close(started[1]);
        char ready = 0;
        const bool wrote = ::read(started[0], &ready, 1) == 1;
        ::close(started[0]);
        ASSERT_TRUE(wrote) << "the writer ended before its first save in round " << round;
        ::usleep(static_cast<useconds_t>(delay(rng)));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer failed on its own in round " << round;

        std::vector<std::string> problems;
        const TSettings got = Load(file, problems);
        ASSERT_TRUE(problems.empty()) << "round " << round << ": " << problems.front();
        ASSERT_TRUE(got == a || got == b) << "round " << round << ": a mix of old and new values";
        (got == a ? seenA : seenB)++;
    }
    // Both records were seen, so the kills did land while saves went on.
    EXPECT_GT(seenA, 0);
    EXPECT_GT(seenB, 0);

    // Writers killed half-way leave their temporary files; a later save clears the stale ones.
    for (const auto& e : fs::directory_iterator(folder)) {
        if (e.path() == file) continue;
        const timespec old[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 3600, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, e.path().c_str(), old, 0), 0);
    }
    Save(file, a);
    EXPECT_EQ(Listing(folder), std::vector<std::string>{"settings.reg"});
}
