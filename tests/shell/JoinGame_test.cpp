// SPDX-License-Identifier: GPL-3.0-or-later
// Joining a game from the window: the starter's wine rule with real processes, the question's
// default button under Enter and Escape, and the whole double-click against the test world;
// joining a friend from the lobby's " went play to " line.
#include "MainWindowFixture.h"
#include "chat/NgircdServer.h"
#include "shell/ChatPage.h"
#include "shell/FriendMarkDelegate.h"
#include "shell/FriendsBinding.h"
#include "shell/FriendsView.h"
#include "shell/QtProgramStarter.h"
#include "tools/GameSimProcess.h"
#include "tools/TrackerSimProcess.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QListWidget>
#include <QMenu>
#include <QTreeWidget>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <QToolTip>
#include <QTreeView>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

using testing_support::ReadFile;

namespace {

namespace fs = std::filesystem;
using namespace testing_support;
using Args = std::vector<std::string>;

void WriteScript(const fs::path& p, const std::string& body) {
    std::ofstream(p) << "#!/bin/sh\n" << body;
    fs::permissions(p, fs::perms::owner_all);
}

// A game stand-in: appends its folder, arguments and session id to record, one block per start.
void WriteRecorder(const fs::path& p, const fs::path& record) {
    WriteScript(p, "read -r pid comm state ppid pgrp sid rest < /proc/$$/stat\n"
                   "{ printf 'cwd=%s\\n' \"$PWD\"; for a in \"$@\"; do printf 'arg=%s\\n' \"$a\"; done\n"
                   "  printf 'sid=%s\\nend\\n' \"$sid\"; } >> '" + record.string() + "'\n");
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

// Sets PATH for one test and puts it back.
class TPathOverride {
public:
    explicit TPathOverride(const std::string& path) : old_(std::getenv("PATH") ? std::getenv("PATH") : "") {
        ::setenv("PATH", path.c_str(), 1);
    }
    ~TPathOverride() { ::setenv("PATH", old_.c_str(), 1); }

private:
    std::string old_;
};

// A player in the lobby, reading what the channel hears without blocking the window's loop.
class TLobbyBot {
public:
    TLobbyBot(int port, const std::string& nick) : nick_(nick) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) throw std::runtime_error("bot: connect");
        Send("NICK " + nick + "\r\nUSER " + nick + " 0 * :" + nick + "\r\n");
        WaitLine(" 001 ");
        Send("JOIN #Lobby_20\r\n");
        WaitLine(" 366 ");
    }
    ~TLobbyBot() { ::close(fd_); }
    void Send(const std::string& s) { ::send(fd_, s.data(), s.size(), MSG_NOSIGNAL); }
    // Reads what has arrived, answering PINGs; never blocks.
    void Poll() {
        pollfd p{fd_, POLLIN, 0};
        while (::poll(&p, 1, 0) > 0) {
            char chunk[4096];
            const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
            if (n <= 0) return;
            buffer_.append(chunk, static_cast<std::size_t>(n));
            for (auto end = buffer_.find("\r\n"); end != std::string::npos; end = buffer_.find("\r\n")) {
                std::string line = buffer_.substr(0, end);
                buffer_.erase(0, end + 2);
                if (line.starts_with("PING ")) Send("PONG " + line.substr(5) + "\r\n");
                Heard.push_back(std::move(line));
            }
        }
    }
    // The lines from others with this command (" PRIVMSG #Lobby_20 :", " QUIT ", ...).
    std::vector<std::string> HeardFromOthers(const std::string& command) {
        Poll();
        std::vector<std::string> out;
        for (const auto& l : Heard)
            if (l.find(command) != std::string::npos && !l.starts_with(":" + nick_ + "!")) out.push_back(l);
        return out;
    }
    std::vector<std::string> Heard;

private:
    void WaitLine(const std::string& part) {
        for (int i = 0; i < 500; ++i) {
            Poll();
            for (const auto& l : Heard)
                if (l.find(part) != std::string::npos) return;
            pollfd p{fd_, POLLIN, 0};
            ::poll(&p, 1, 20);
        }
        throw std::runtime_error("bot: no" + part);
    }
    int fd_ = -1;
    std::string nick_;
    std::string buffer_;
};

// Wingman in the lobby, a playing and a forming server on the tracker, and the game's
// stand-in that records its starts: the world of the friend walks.
struct TFriendWorld {
    TFriendWorld() { WriteRecorder(recorder, record); }
    static Args TrackerArgs(const TGameSimProcess& games) {
        Args args{"game=0"};
        for (int p : games.Ports()) args.push_back("server=127.0.0.1:" + std::to_string(p));
        return args;
    }

    TTempDir dir;
    const fs::path recorder = dir.Path() / "fs2_open", record = dir.Path() / "record.txt";
    TNgircdServer ngircd;
    TLobbyBot bot{ngircd.Port(), "Wingman"};
    TGameSimProcess sim{{R"(name="Busy Base" mission="Duel" players=2 state=129 flags=0x34)",
                         R"(name="Vasudan Outpost" mission="Ravana" players=3 state=9 flags=0x34)"}};
    TTrackerSimProcess tracker{TrackerArgs(sim)};
};

class JoinGameWindowTest : public MainWindowTest {
protected:
    // FreeSpace 2 enabled, started as the world's recorder, and the player's nickname.
    void EnableTheRecorder(const TFriendWorld& world) {
        EnableGames(true, false, false, false);
        SetString("FSPath", world.recorder.string());
        SetString("Nickname", "Pilot");
    }
    void SetString(const std::string& name, const std::string& text) {
        TRegValue v;
        v.Name = name;
        v.Type = TRegDataType::String;
        v.Text = text;
        key.Stored.push_back(v);
    }
    // The real window against the test world; the chat connects when the test clicks it.
    void OpenWindow(int trackerPort, const TNgircdServer& ngircd) {
        TMainWindowOptions o;
        o.Args = {"corvanegv", "-developer"};
        o.Tracker = {"127.0.0.1", trackerPort};
        o.ChatHost = "127.0.0.1";
        o.ChatPort = ngircd.PortText();
        o.StatusPort = 0;
        o.Boxes = &boxes;
        w = std::make_unique<TCorvaneGVMF>(loop, key, o);
    }
};

TEST_F(JoinGameWindowTest, WindowsProgramsRunThroughWineWhenThereIsOne) {
    TTempDir dir;
    const fs::path bin = dir.Path() / "bin", game = dir.Path() / "My Games", record = dir.Path() / "wine.txt";
    fs::create_directories(bin);
    fs::create_directories(game);
    const fs::path exe = game / "FS2_Open.EXE";
    std::ofstream(exe) << "MZ";
    fs::permissions(exe, fs::perms::owner_read | fs::perms::owner_write);
    const fs::path native = game / "fs2_open";
    WriteRecorder(native, dir.Path() / "native.txt");
    TQtProgramStarter starter;

    EXPECT_EQ(starter.CanStart((dir.Path() / "none").string()), TStartable::Missing);
    EXPECT_EQ(starter.CanStart(game.string()), TStartable::Missing);
    EXPECT_EQ(starter.CanStart(""), TStartable::Missing);
    EXPECT_EQ(starter.CanStart(native.string()), TStartable::Yes);
    {
        TPathOverride path(bin.string());
        EXPECT_EQ(starter.CanStart(exe.string()), TStartable::NeedsWine);
        WriteRecorder(bin / "wine", record);
        EXPECT_EQ(starter.CanStart(exe.string()), TStartable::Yes);
        starter.Start(exe.string(), {"-connect", "127.0.0.1:7808"}, game.string());
        ASSERT_TRUE(Pump([&] { return ReadFile(record).ends_with("end\n"); }));
    }
    const auto wine = Lines(ReadFile(record));
    ASSERT_GE(wine.size(), 4u);
    EXPECT_EQ(wine[0], "cwd=" + game.string());
    EXPECT_EQ((Args{wine[1], wine[2], wine[3]}), (Args{"arg=" + exe.string(), "arg=-connect", "arg=127.0.0.1:7808"}));

    // Its execute bit (every file of an NTFS or FAT mount has it) changes nothing: "MZ" is a
    // Windows program, whatever it is called, and goes through wine.
    fs::permissions(exe, fs::perms::owner_all);
    const fs::path renamed = game / "fs2_open_x64";
    fs::copy_file(exe, renamed);
    TPathOverride path(bin.string());
    fs::remove(record);
    starter.Start(renamed.string(), {"-connect", "127.0.0.1:7809"}, game.string());
    ASSERT_TRUE(Pump([&] { return ReadFile(record).ends_with("end\n"); }));
    EXPECT_EQ(Lines(ReadFile(record))[1], "arg=" + renamed.string());
    fs::remove(bin / "wine");
    EXPECT_EQ(starter.CanStart(exe.string()), TStartable::NeedsWine);
    const TStartResult noWine = starter.TryStart(exe.string(), {}, game.string());
    EXPECT_FALSE(noWine.Started);
    EXPECT_EQ(noWine.Reason, NoWineReason);
}

TEST_F(JoinGameWindowTest, TheNotFormingQuestionAnswersNoToEnterAndEscape) {
    TQtMessageBoxes real;
    for (int key : {Qt::Key_Return, Qt::Key_Escape}) {
        QString defaultText;
        real.OnShowing = [&](QMessageBox& box) {
            QTimer::singleShot(0, &box, [&box, &defaultText, key] {
                defaultText = box.defaultButton() ? box.defaultButton()->text() : QString();
                QTest::keyClick(&box, static_cast<Qt::Key>(key));
            });
        };
        EXPECT_EQ(real.Show(NotFormingQuestion, ApplicationTitle, TMsgIcon::Warning, TMsgButtons::YesNo,
                            TMsgDefault::Second),
                  TMsgResult::No)
            << key;
        EXPECT_EQ(defaultText.remove('&'), "No");
    }
    // The first button stays the default where none is chosen.
    real.OnShowing = [&](QMessageBox& box) {
        QTimer::singleShot(0, &box, [&box] { QTest::keyClick(&box, Qt::Key_Return); });
    };
    TMessageBoxes& asCore = real;
    EXPECT_EQ(asCore.Show("Quit?", ApplicationTitle, TMsgIcon::Question, TMsgButtons::YesNo), TMsgResult::Yes);
}

// The issue's whole walk: servers from the simulator listed through the tracker, the lobby on a
// real ngircd, a recorder as the game, double-clicks on the list as the user makes them.
TEST_F(JoinGameWindowTest, DoubleClickingAServerStartsTheGameAndTellsTheLobby) {
    TTempDir dir;
    const fs::path folder = dir.Path() / "My Games" / "fs2";
    fs::create_directories(folder);
    const fs::path recorder = folder / "fs2_open", record = dir.Path() / "record.txt";
    WriteRecorder(recorder, record);

    TNgircdServer ngircd;
    TLobbyBot bot(ngircd.Port(), "Wingman");
    TGameSimProcess sim({R"(name="Alpha Squadron" mission="Ravana" players=3 state=9 flags=0x34)",
                         R"(name="Busy Base" mission="Duel" players=2 state=129 flags=0x34)",
                         R"(name="Evil\x0d\x0aQUIT :pwned" mission="Trap" players=1 state=9 flags=0x34)"});
    Args trackerArgs{"game=0"};
    for (int p : sim.Ports()) trackerArgs.push_back("server=127.0.0.1:" + std::to_string(p));
    TTrackerSimProcess tracker(trackerArgs);

    EnableGames(true, false, false, false);
    SetString("FSPath", recorder.string());
    SetString("FSCmd", R"(-mod "Media VPs" -window)");
    SetString("Nickname", "Pilot");
    OpenWindow(tracker.BasePort(), ngircd);
    w->show();
    w->PageControl1->setCurrentIndex(1);
    w->btnChatConnection->click();
    TGameList& list = w->Games().lvFSGames();
    ASSERT_TRUE(Pump([&] { return list.Count() == 3 && !bot.HeardFromOthers(" JOIN ").empty(); }, 15000))
        << list.Count() << " rows; " << ngircd.Log();

    QTreeView* view = w->tsGames->List(0);
    auto doubleClick = [&](const std::string& serverStart) {
        int row = -1;
        for (int i = 0; i < list.Count(); ++i)
            if (list.Row(i).Server.starts_with(serverStart)) row = i;
        ASSERT_GE(row, 0) << serverStart;
        const QModelIndex index = view->model()->index(row, 2);
        view->scrollTo(index);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
    };
    auto portOf = [&](int i) { return "127.0.0.1:" + std::to_string(sim.Ports()[static_cast<std::size_t>(i)]); };
    auto announcements = [&] { return bot.HeardFromOthers(" PRIVMSG #Lobby_20 :"); };

    // Forming: started in its folder with -connect and the extra parameters, lobby told.
    doubleClick("Alpha");
    ASSERT_TRUE(Pump([&] { return ReadFile(record).ends_with("end\n") && !announcements().empty(); }, 10000))
        << "record: " << ReadFile(record) << "\nboxes: " << boxes.Shown.size() << "\nlobby: " << bot.Heard.size()
        << "\nchat: " << w->RichEdit1->toPlainText().toStdString();
    auto started = Lines(ReadFile(record));
    ASSERT_EQ(started.size(), 8u) << ReadFile(record);
    EXPECT_EQ(started[0], "cwd=" + folder.string());
    EXPECT_EQ(Args(started.begin() + 1, started.begin() + 6),
              (Args{"arg=-connect", "arg=" + portOf(0), "arg=-mod", "arg=Media VPs", "arg=-window"}));
    // Detached: its own session, so the end of ours is not the end of the game.
    EXPECT_NE(started[6], "sid=" + std::to_string(::getsid(0)));
    EXPECT_TRUE(announcements()[0].ends_with(std::string(" PRIVMSG #Lobby_20 :\x01\x02\x03\x04" "Alpha Squadron")))
        << Escaped(announcements()[0]);
    EXPECT_TRUE(w->isMinimized());
    EXPECT_TRUE(boxes.Shown.empty());
    w->showNormal();

    // Playing: asked first; No starts nothing and tells no one.
    boxes.Answer = TMsgResult::No;
    doubleClick("Busy");
    ASSERT_TRUE(Pump([&] { return boxes.Shown.size() == 1; }));
    EXPECT_EQ(boxes.Shown[0].Text, NotFormingQuestion);
    EXPECT_EQ(boxes.Shown[0].Default, TMsgDefault::Second);

    // A hostile name: one clean line, and the session goes on.
    doubleClick("Evil");
    ASSERT_TRUE(Pump([&] { return announcements().size() == 2 && Lines(ReadFile(record)).size() == 16; }, 10000));
    Drain(qtLoop, 300);
    EXPECT_EQ(announcements().size(), 2u);
    EXPECT_TRUE(announcements()[1].ends_with(std::string(" PRIVMSG #Lobby_20 :\x01\x02\x03\x04" "EvilQUIT :pwned")))
        << Escaped(announcements()[1]);
    EXPECT_TRUE(bot.HeardFromOthers(" QUIT ").empty());
    EXPECT_TRUE(w->IRCCli1().Connected());
    EXPECT_EQ(Lines(ReadFile(record))[10], "arg=" + portOf(2));
    EXPECT_EQ(boxes.Shown.size(), 1u);
    w->showNormal();

    // No game where the path points: the error box, nothing started or said.
    w->Settings.FSPath = (folder / "gone").string();
    doubleClick("Alpha");
    ASSERT_TRUE(Pump([&] { return boxes.Shown.size() == 2; }));
    EXPECT_EQ(boxes.Shown[1].Text, MissingExecutableError);
    EXPECT_EQ(boxes.Shown[1].Icon, TMsgIcon::Error);
    Drain(qtLoop, 300);
    EXPECT_EQ(Lines(ReadFile(record)).size(), 16u);
    EXPECT_EQ(announcements().size(), 2u);
    EXPECT_FALSE(w->isMinimized());

    // Starts that fail: a box naming the file and the reason, nothing said, the window stays.
    const fs::path windows = folder / "fs2_open.exe", plain = folder / "notes.txt";
    std::ofstream(windows) << "MZ\x90";
    fs::permissions(windows, fs::perms::owner_all);
    std::ofstream(plain) << "not a program";
    for (const auto& [path, reason] : {std::pair{windows, std::string(NoWineReason)},
                                       std::pair{plain, std::string("the file is not executable")}}) {
        TPathOverride noWine((dir.Path() / "empty").string());
        w->Settings.FSPath = path.string();
        const std::size_t before = boxes.Shown.size();
        doubleClick("Alpha");
        ASSERT_TRUE(Pump([&] { return boxes.Shown.size() == before + 1; }));
        EXPECT_TRUE(boxes.Shown.back().Text.starts_with("Couldn't start " + path.string() + ":\r\n" + reason))
            << boxes.Shown.back().Text;
        EXPECT_EQ(boxes.Shown.back().Icon, TMsgIcon::Error);
        Drain(qtLoop, 300);
        EXPECT_EQ(announcements().size(), 2u);
        EXPECT_FALSE(w->isMinimized());
    }

    // With a row selected, a double-click on empty space of the list joins that row.
    w->Settings.FSPath = recorder.string();
    const QRect last = view->visualRect(view->model()->index(list.Count() - 1, 0));
    const QPoint below(last.center().x(), last.bottom() + 10);
    ASSERT_FALSE(view->indexAt(below).isValid());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, below);
    EXPECT_TRUE(Pump([&] { return Lines(ReadFile(record)).size() == 24; }, 10000)) << ReadFile(record);

    w->btnChatConnection->click();
    Pump([&] { return !w->IRCCli1().Connected(); });
}

// A friend's announcement in the lobby, as another copy of the program sends it: his entry is
// marked with his server's live state, and a click on the server name in his line joins it.
TEST_F(JoinGameWindowTest, ClickingTheServerOfAFriendsLineJoinsHimFromTheChat) {
    TFriendWorld world;
    EnableTheRecorder(world);
    OpenWindow(world.tracker.BasePort(), world.ngircd);
    w->resize(900, 500);
    w->show();
    w->btnChatConnection->click();
    TGameList& list = w->Games().lvFSGames();
    ASSERT_TRUE(Pump([&] { return list.Count() == 2 && w->Chat().UserListWidget("#Lobby_20") &&
                                  w->Chat().UserListWidget("#Lobby_20")->count() == 2; }, 15000))
        << list.Count() << " rows; " << world.ngircd.Log();
    w->tsGames->List(0)->header()->sectionClicked(2);  // by name: lines differ from list indexes

    TChatView* lobby = w->Chat().ConversationView("#Lobby_20");
    QListWidget* users = w->Chat().UserListWidget("#Lobby_20");
    // He opened the lobby: its operator.
    auto wingman = [&] { return users->findItems("@Wingman", Qt::MatchExactly).value(0); };
    auto announce = [&](const std::string& server) {
        world.bot.Send("PRIVMSG #Lobby_20 :\x01\x02\x03\x04" + server + "\r\n");
        ASSERT_TRUE(Pump([&] { return lobby->toPlainText().contains(ChatText(server) + "\" at "); }));
    };
    // Clicks the name in the newest line, where the user sees it.
    auto click = [&](const std::string& server) {
        w->PageControl1->setCurrentIndex(0);
        qtLoop.ProcessMessages();
        QTextCursor at = lobby->document()->find(ChatText(server), lobby->document()->lastBlock().position());
        ASSERT_FALSE(at.isNull());
        at.setPosition(at.selectionStart() + 1);
        const QPoint pos = lobby->cursorRect(at).center();
        ASSERT_TRUE(lobby->LinkAt(pos).Game);
        QTest::mouseClick(lobby->viewport(), Qt::LeftButton, {}, pos);
    };
    auto selected = [&] {
        const auto rows = w->tsGames->List(0)->selectionModel()->selectedRows(2);
        return rows.isEmpty() ? QString() : rows.first().data().toString();
    };

    ASSERT_TRUE(wingman());
    EXPECT_TRUE(wingman()->icon().isNull());
    announce("Busy Base");
    EXPECT_FALSE(wingman()->icon().isNull());
    QHelpEvent help(QEvent::ToolTip, users->visualItemRect(wingman()).center(),
                    users->viewport()->mapToGlobal(users->visualItemRect(wingman()).center()));
    QCoreApplication::sendEvent(users->viewport(), &help);
    EXPECT_EQ(QToolTip::text(), "Announced a game:\nBusy Base - Playing, 2 players");

    // Playing: the games page, his row selected, and the question a double-click asks.
    boxes.Answer = TMsgResult::No;
    click("Busy Base");
    EXPECT_EQ(w->PageControl1->currentIndex(), 1);
    EXPECT_EQ(selected(), "Busy Base");
    ASSERT_EQ(boxes.Shown.size(), 1u);
    EXPECT_EQ(boxes.Shown[0].Text, NotFormingQuestion);

    // Forming: the game starts at once and the lobby hears it, as from a double-click.
    announce("Vasudan Outpost");
    EXPECT_EQ(w->Chat().UserToolTip("Wingman"), "Announced a game:\nVasudan Outpost - Forming, 3 players");
    click("Vasudan Outpost");
    ASSERT_TRUE(Pump([&] { return ReadFile(world.record).ends_with("end\n"); }, 10000));
    EXPECT_EQ(Lines(ReadFile(world.record))[2], "arg=127.0.0.1:" + std::to_string(world.sim.Ports()[1]));
    EXPECT_EQ(selected(), "Vasudan Outpost");
    ASSERT_TRUE(Pump([&] { return !world.bot.HeardFromOthers(" PRIVMSG #Lobby_20 :").empty(); }));
    EXPECT_TRUE(world.bot.HeardFromOthers(" PRIVMSG #Lobby_20 :")[0].ends_with("\x01\x02\x03\x04" "Vasudan Outpost"));
    w->showNormal();

    // A name no list has (markup in it stays text): the chat stays in front and says so.
    const std::string odd = "<b>Gone</b> & \"x\"";
    announce(odd);
    // Shown as it is, whatever it looks like.
    QCoreApplication::sendEvent(users->viewport(), &help);
    EXPECT_EQ(QToolTip::text().toStdString(), "Announced a game:\n" + odd + " - not listed on the games page");
    EXPECT_FALSE(Qt::mightBeRichText(QToolTip::text()));
    click(odd);
    EXPECT_EQ(w->PageControl1->currentIndex(), 0);
    EXPECT_EQ(lobby->document()->lastBlock().text(), ChatText("\"" + odd + "\" is not listed on the games page now"));
    EXPECT_EQ(boxes.Shown.size(), 1u);
    EXPECT_EQ(Lines(ReadFile(world.record)).size(), 5u);  // still the one start

    // Gone from the lobby: the mark goes with him.
    world.bot.Send("PART #Lobby_20\r\n");
    ASSERT_TRUE(Pump([&] { return users->count() == 1; }));
    EXPECT_EQ(w->Chat().UserToolTip("Wingman"), "");
    w->btnChatConnection->click();
    Pump([&] { return !w->IRCCli1().Connected(); });
}

// A friend in the lobby announces a game: his name marks its row on the games page, and a click
// on that mark, or on the notification, joins as a double-click does; the user list's menu
// takes him off the list, and the mark goes with him.
TEST_F(JoinGameWindowTest, AFriendsAnnouncementMarksHisServerAndTheMarkOrTheNotificationJoins) {
    TFriendWorld world;
    EnableTheRecorder(world);
    SetString("Friends", "wingman Maverick");
    OpenWindow(world.tracker.BasePort(), world.ngircd);
    w->CoolTrayIcon1->SetIconVisible(true);
    w->resize(900, 500);
    w->show();
    w->btnChatConnection->click();
    TGameList& list = w->Games().lvFSGames();
    QTreeWidget* friends = w->Friends().Page()->List();
    auto where = [&](const QString& nick) {
        const auto found = friends->findItems(nick, Qt::MatchFixedString);
        return found.isEmpty() ? QString() : found.first()->text(1);
    };
    ASSERT_TRUE(Pump([&] { return list.Count() == 2 && where("wingman") == "in the lobby"; }, 15000))
        << list.Count() << " rows; " << where("wingman").toStdString();
    EXPECT_EQ(where("Maverick"), "offline");
    EXPECT_EQ(w->PageControl1->tabText(TFriendsBinding::PageIndex), "Friends (1)");
    QListWidget* users = w->Chat().UserListWidget("#Lobby_20");
    ASSERT_TRUE(users);
    const QListWidgetItem* wingman = users->findItems("@Wingman", Qt::MatchExactly).value(0);
    ASSERT_TRUE(wingman);
    EXPECT_TRUE(wingman->font().bold());

    QTreeView* view = w->tsGames->List(0);
    auto line = [&](const std::string& server) {
        for (int i = 0; i < view->model()->rowCount(); ++i)
            if (view->model()->index(i, 2).data().toString().toStdString() == server) return i;
        return -1;
    };
    auto mark = [&](const std::string& server) {
        const int at = line(server);
        return at < 0 ? QString() : view->model()->index(at, 2).data(FriendMarkRole).toString();
    };
    EXPECT_EQ(mark("Vasudan Outpost"), "");
    world.bot.Send("PRIVMSG #Lobby_20 :\x01\x02\x03\x04Vasudan Outpost\r\n");
    // As the network writes him now.
    ASSERT_TRUE(Pump([&] { return mark("Vasudan Outpost") == "Wingman"; })) << mark("Vasudan Outpost").toStdString();
    EXPECT_EQ(mark("Busy Base"), "");
    EXPECT_EQ(where("wingman"), "playing on Vasudan Outpost");
    EXPECT_EQ(w->CoolTrayIcon1->LastMessageTitle, "Your friend Wingman plays");

    // The mark, clicked where it is drawn, starts the game and tells the lobby.
    w->PageControl1->setCurrentIndex(1);
    qtLoop.ProcessMessages();
    const QModelIndex cell = view->model()->index(line("Vasudan Outpost"), 2);
    view->scrollTo(cell);
    QFont bold = view->font();
    bold.setBold(true);
    const QRect badge = TFriendMarkDelegate::MarkRect(view->visualRect(cell), QFontMetrics(bold), "Wingman");
    ASSERT_TRUE(TFriendMarkDelegate::HitsMark(*view, badge.center()));
    EXPECT_FALSE(TFriendMarkDelegate::HitsMark(*view, view->visualRect(cell).topLeft() + QPoint(4, 4)));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, badge.center());
    ASSERT_TRUE(Pump([&] { return ReadFile(world.record).ends_with("end\n"); }, 10000));
    EXPECT_EQ(Lines(ReadFile(world.record))[2], "arg=127.0.0.1:" + std::to_string(world.sim.Ports()[1]));
    ASSERT_TRUE(Pump([&] { return world.bot.HeardFromOthers(" PRIVMSG #Lobby_20 :").size() == 1; }));
    // A double click on the mark is still one start.
    w->showNormal();
    // As the desktop delivers one: press, release, double click, release.
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, badge.center());
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, badge.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, badge.center());
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, badge.center());
    ASSERT_TRUE(Pump([&] { return Lines(ReadFile(world.record)).size() == 10; }, 10000));
    Drain(qtLoop, 500);
    EXPECT_EQ(Lines(ReadFile(world.record)).size(), 10u);

    // The notification's click: the same join, the window brought back first.
    w->showNormal();
    w->PageControl1->setCurrentIndex(0);
    w->Friends().NotificationClicked();
    ASSERT_TRUE(Pump([&] { return Lines(ReadFile(world.record)).size() == 15; }, 10000));
    EXPECT_EQ(w->PageControl1->currentIndex(), 1);
    w->showNormal();

    // Off the list from his entry's menu: saved, unmarked everywhere.
    w->PageControl1->setCurrentIndex(0);
    qtLoop.ProcessMessages();
    std::unique_ptr<QMenu> menu(w->Chat().UserListMenu(users, users->visualItemRect(wingman).center()));
    ASSERT_TRUE(menu);
    ASSERT_EQ(menu->actions().value(0)->text(), "Remove from friends");
    menu->actions()[0]->trigger();
    EXPECT_EQ(w->Settings.Friends, "Maverick");
    EXPECT_EQ(key.StoredValue("Friends")->Text, "Maverick");
    EXPECT_FALSE(users->findItems("@Wingman", Qt::MatchExactly).value(0)->font().bold());
    EXPECT_EQ(mark("Vasudan Outpost"), "");
    EXPECT_EQ(where("wingman"), "");
    w->btnChatConnection->click();
    Pump([&] { return !w->IRCCli1().Connected(); });
}

}  // namespace
