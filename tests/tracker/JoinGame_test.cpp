// SPDX-License-Identifier: GPL-3.0-or-later
// Joining a game: the ten steps of a double-click through recorded boxes, a recording starter
// and a recording chat, and the pure helpers they use.
#include "TrackerTestSupport.h"
#include "net/NMUDP.h"
#include "net/PollEventLoop.h"
#include "support/TestSupport.h"
#include "tracker/JoinGame.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using testing_support::Escaped;
using Args = std::vector<std::string>;

class TRecordingStarter : public TProgramStarter {
public:
    TStartable Startable = TStartable::Yes;
    struct TStart {
        std::string Program;
        Args Arguments;
        std::string Folder;
    };
    std::vector<TStart> Started;
    std::vector<std::string>* Events = nullptr;

    TStartable CanStart(const std::string&) override { return Startable; }
    TStartResult TryStart(const std::string& program, const Args& arguments, const std::string& folder) override {
        if (!Fails.empty()) return {false, Fails};
        Start(program, arguments, folder);
        return {};
    }
    std::string Fails;  // non-empty: every start fails with this reason
    void Start(const std::string& program, const Args& arguments, const std::string& folder) override {
        Started.push_back({program, arguments, folder});
        if (Events) Events->push_back("start");
    }
};

class JoinGameTest : public ::testing::Test {
protected:
    TPollEventLoop loop;
    TNMUDP udp{loop};
    TRecordingBoxes boxes;
    TGamesPage page{loop, udp, boxes};
    TSettings settings;
    TRecordingStarter starter;
    bool connected = true;
    std::vector<std::string> sent;
    std::vector<std::string> events;
    TJoinGame join{page,
                   settings,
                   boxes,
                   starter,
                   {[this] { return connected; },
                    [this](const std::string& line) {
                        sent.push_back(line);
                        events.push_back("send");
                    }},
                   [this] { events.push_back("minimize"); }};

    void SetUp() override {
        starter.Events = &events;
        settings.FSPath = "/games/fs2/fs2_open";
        settings.BtRLPath = "/games/btrl/btrl";
        settings.WCSPath = "/games/wcs/wcsaga";
        settings.StarfoxPath = "/games/starfox/starfox";
    }

    TGameRow& AddRow(int gameType, const std::string& status, const std::string& server = "Alpha",
                     const std::string& address = "10.1.2.3", const std::string& port = "7808") {
        TGameList& list = page.List(gameType);
        TGameRow& row = list.Add();
        list.SetServer(row, address, port);
        row.Status = status;
        row.Server = server;
        return row;
    }

    bool NothingHappened() const { return events.empty() && starter.Started.empty() && sent.empty(); }
};

TEST_F(JoinGameTest, FormingRowMinimizesAnnouncesAndStartsTheGameInItsFolder) {
    settings.FSCmd = R"(-mod "Media VPs,fs2" -window)";
    AddRow(gtFS, "Playing", "Other", "10.9.9.9", "1");
    AddRow(gtFS, "Forming", "Alpha Squadron");
    join.lvGamesDblClick(page.lvFSGames(), 1);

    EXPECT_TRUE(boxes.Shown.empty());
    EXPECT_EQ(events, (Args{"start", "minimize", "send"}));
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], std::string("PRIVMSG #Lobby_20 :\x01\x02\x03\x04" "Alpha Squadron")) << Escaped(sent[0]);
    ASSERT_EQ(starter.Started.size(), 1u);
    EXPECT_EQ(starter.Started[0].Program, "/games/fs2/fs2_open");
    EXPECT_EQ(starter.Started[0].Arguments, (Args{"-connect", "10.1.2.3:7808", "-mod", "Media VPs,fs2", "-window"}));
    EXPECT_EQ(starter.Started[0].Folder, "/games/fs2");
}

TEST_F(JoinGameTest, EachListTakesItsOwnGameAndAnyOtherListIsStarfox) {
    settings.WCSCmd = "-nosound";
    const std::string paths[] = {settings.FSPath, settings.BtRLPath, settings.WCSPath, settings.StarfoxPath};
    for (int type = 0; type < 4; ++type) {
        AddRow(type, "Forming");
        join.lvGamesDblClick(page.List(type), 0);
        ASSERT_EQ(starter.Started.size(), static_cast<std::size_t>(type + 1));
        EXPECT_EQ(starter.Started.back().Program, paths[type]);
    }
    EXPECT_EQ(starter.Started[2].Arguments, (Args{"-connect", "10.1.2.3:7808", "-nosound"}));
    // Empty extra parameters: nothing after the address.
    EXPECT_EQ(starter.Started[3].Arguments, (Args{"-connect", "10.1.2.3:7808"}));

    TGameList stray;
    TGameRow& row = stray.Add();
    stray.SetServer(row, "10.0.0.1", "7000");
    row.Status = "Forming";
    join.lvGamesDblClick(stray, 0);
    EXPECT_EQ(starter.Started.back().Program, settings.StarfoxPath);
}

TEST_F(JoinGameTest, AGameNotFormingAsksFirstWithNoAsTheDefault) {
    AddRow(gtFS, "Playing");
    AddRow(gtFS, "#8", "Odd", "10.1.2.4");
    for (int i = 0; i < 2; ++i) {
        boxes.Answer = TMsgResult::No;
        join.lvGamesDblClick(page.lvFSGames(), i);
        ASSERT_EQ(boxes.Shown.size(), static_cast<std::size_t>(i + 1));
        const TRecordedBox& box = boxes.Shown.back();
        EXPECT_EQ(box.Text, "Trying to join while game is not forming is not a good idea...\r\n"
                            "Are you sure do you want to do it?");
        EXPECT_EQ(box.Caption, "Corvane Games Viewer");
        EXPECT_EQ(box.Icon, TMsgIcon::Warning);
        EXPECT_EQ(box.Buttons, TMsgButtons::YesNo);
        EXPECT_EQ(box.Default, TMsgDefault::Second);
        EXPECT_TRUE(NothingHappened());
    }
    // Closing the box without a button is not a yes either.
    boxes.Answer = TMsgResult::Cancel;
    join.lvGamesDblClick(page.lvFSGames(), 0);
    EXPECT_TRUE(NothingHappened());

    boxes.Answer = TMsgResult::Yes;
    join.lvGamesDblClick(page.lvFSGames(), 0);
    EXPECT_EQ(events, (Args{"start", "minimize", "send"}));
}

TEST_F(JoinGameTest, TheRowMayGoWhileTheQuestionIsOpen) {
    AddRow(gtFS, "Playing", "Gone Soon", "10.4.4.4", "7100");
    boxes.Answer = TMsgResult::Yes;
    // A sweep deletes the row inside the box's modal loop.
    boxes.WhileShown = [this] { page.lvFSGames().Delete(0); };
    join.lvGamesDblClick(page.lvFSGames(), 0);
    ASSERT_EQ(starter.Started.size(), 1u);
    EXPECT_EQ(starter.Started[0].Arguments, (Args{"-connect", "10.4.4.4:7100"}));
    EXPECT_EQ(sent, (Args{std::string("PRIVMSG #Lobby_20 :\x01\x02\x03\x04" "Gone Soon")}));
}

TEST_F(JoinGameTest, AMissingOrUnrunnableExecutableShowsAnErrorAndChangesNothing) {
    AddRow(gtFS, "Forming");
    struct TCase {
        std::string Path;
        TStartable Startable;
        std::string Text;
    } cases[] = {
        {"", TStartable::Yes, "Coulnd't find executable file! Please go to the settings and set it."},
        {"/nowhere/fs2", TStartable::Missing, "Coulnd't find executable file! Please go to the settings and set it."},
        {"/games/fs2/fs2.exe", TStartable::NeedsWine, StartFailedError("/games/fs2/fs2.exe", NoWineReason)},
    };
    for (const TCase& c : cases) {
        settings.FSPath = c.Path;
        starter.Startable = c.Startable;
        boxes.Shown.clear();
        join.lvGamesDblClick(page.lvFSGames(), 0);
        ASSERT_EQ(boxes.Shown.size(), 1u) << c.Path;
        EXPECT_EQ(boxes.Shown[0].Text, c.Text);
        EXPECT_EQ(boxes.Shown[0].Caption, "Corvane Games Viewer");
        EXPECT_EQ(boxes.Shown[0].Icon, TMsgIcon::Error);
        EXPECT_EQ(boxes.Shown[0].Buttons, TMsgButtons::Ok);
        EXPECT_TRUE(NothingHappened()) << c.Path;
    }

    // A start that fails (not executable, exec error): named with its reason, no lobby line,
    // the window stays.
    settings.FSPath = "/games/fs2/fs2_open";
    starter.Startable = TStartable::Yes;
    starter.Fails = "Permission denied";
    boxes.Shown.clear();
    join.lvGamesDblClick(page.lvFSGames(), 0);
    ASSERT_EQ(boxes.Shown.size(), 1u);
    EXPECT_EQ(boxes.Shown[0].Text, "Couldn't start /games/fs2/fs2_open:\r\nPermission denied.");
    EXPECT_EQ(boxes.Shown[0].Icon, TMsgIcon::Error);
    EXPECT_TRUE(NothingHappened());
}

TEST_F(JoinGameTest, NoSelectionOrAnAddressThatIsNotDottedIPv4AndAPortStartsNothing) {
    AddRow(gtFS, "Playing");
    join.lvGamesDblClick(page.lvFSGames(), -1);
    join.lvGamesDblClick(page.lvFSGames(), 1);
    join.lvGamesDblClick(page.lvBtRLGames(), 0);
    EXPECT_TRUE(boxes.Shown.empty());
    EXPECT_TRUE(NothingHappened());

    const std::pair<std::string, std::string> bad[] = {
        {"10.1.2.3 -exec", "7808"}, {"localhost", "7808"}, {"010.1.2.3", "7808"}, {"256.1.2.3", "7808"},
        {"1.2.3", "7808"},          {"1.2.3.4.", "7808"},  {"", "7808"},          {"10.1.2.3", "0"},
        {"10.1.2.3", "65536"},      {"10.1.2.3", "78x"},   {"10.1.2.3", "07808"}, {"10.1.2.3", ""},
    };
    for (const auto& [address, port] : bad) {
        TGameList& list = page.lvWCSGames();
        while (list.Count()) list.Delete(0);
        AddRow(gtWCS, "Playing", "x", address, port);
        join.lvGamesDblClick(list, 0);
        EXPECT_TRUE(boxes.Shown.empty()) << Escaped(address) << ":" << Escaped(port);
        EXPECT_TRUE(NothingHappened()) << Escaped(address) << ":" << Escaped(port);
    }
    EXPECT_TRUE(IsDottedIPv4("0.0.0.0"));
    EXPECT_TRUE(IsDottedIPv4("255.255.255.255"));
    EXPECT_TRUE(IsPortNumber("65535"));
}

TEST_F(JoinGameTest, TheAnnouncementIsOneCleanLineAndOnlyWhenConnected) {
    AddRow(gtFS, "Forming", std::string("x\r\nQUIT :bye\0\nz", 16));
    AddRow(gtFS, "Forming", "", "10.1.2.4");
    join.lvGamesDblClick(page.lvFSGames(), 0);
    join.lvGamesDblClick(page.lvFSGames(), 1);
    EXPECT_EQ(sent, (Args{std::string("PRIVMSG #Lobby_20 :\x01\x02\x03\x04xQUIT :byez"),
                          std::string("PRIVMSG #Lobby_20 :\x01\x02\x03\x04")}));

    connected = false;
    join.lvGamesDblClick(page.lvFSGames(), 0);
    EXPECT_EQ(sent.size(), 2u);
    EXPECT_EQ(starter.Started.size(), 3u);
}

TEST_F(JoinGameTest, AFailedAnnouncementStillStartsTheGameAndIsReportedAfterwards) {
    TJoinGame failing(page, settings, boxes, starter,
                      {[] { return true; }, [](const std::string&) { throw std::runtime_error("Not connected"); }},
                      {});
    AddRow(gtFS, "Forming");
    EXPECT_THROW(failing.lvGamesDblClick(page.lvFSGames(), 0), std::runtime_error);
    EXPECT_EQ(starter.Started.size(), 1u);
}

TEST(JoinGameText, ExtraParametersSplitAsOnACommandLineWithoutAShell) {
    const std::pair<std::string, Args> cases[] = {
        {"", {}},
        {"   \t ", {}},
        {"-window  -nosound", {"-window", "-nosound"}},
        {R"(-mod "Media VPs" -x)", {"-mod", "Media VPs", "-x"}},
        {R"(-name 'It''s "mine"')", {"-name", R"(Its "mine")"}},
        {R"(-mod="a b"c)", {"-mod=a bc"}},
        {R"(-empty "" -x)", {"-empty", "", "-x"}},
        {R"(-dir C:\Games\FS2 "C:\Program Files\x")", {"-dir", R"(C:\Games\FS2)", R"(C:\Program Files\x)"}},
        {"$(rm -rf ~) ; `id` | > out", {"$(rm", "-rf", "~)", ";", "`id`", "|", ">", "out"}},
        {"-a\r\n-b", {"-a", "-b"}},
        {std::string("-a\0b \"open", 10), {"-ab", "open"}},
    };
    for (const auto& [text, want] : cases) EXPECT_EQ(SplitParameters(text), want) << Escaped(text);
}

TEST(JoinGameText, TheWorkingDirectoryIsTheExecutablesFolder) {
    const std::pair<std::string, std::string> cases[] = {
        {"/games/fs2/fs2_open", "/games/fs2"}, {"/fs2_open", "/"}, {"fs2_open", ""},
        {"games/fs2", "games"},                {"/games//fs2", "/games"},
    };
    for (const auto& [path, folder] : cases) EXPECT_EQ(WorkingDirectoryOf(path), folder) << path;
}

}  // namespace
