// SPDX-License-Identifier: GPL-3.0-or-later
// The game-server simulator, run as a process: reply bytes, malformed shapes, steering, exits.
#include "support/TestSupport.h"
#include "tools/GameSimProcess.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <string>

using testing_support::Escaped;
using testing_support::Hex;
using testing_support::TGameSimProcess;
using testing_support::TTempDir;
using testing_support::TUdpPeer;

namespace {

const std::string kAlpha =
    R"(port=0 name="Alpha Squadron" file="mission1.fs2" mission="Operation X" players=3 state=129 flags=0x34)";

// The status reply for kAlpha, written out from the wire table by hand.
const std::string kAlphaReply = Hex(
    "00 E1 2E 2E"
    "0E 00 00 00  41 6C 70 68 61 20 53 71 75 61 64 72 6F 6E"  // "Alpha Squadron"
    "0C 00 00 00  6D 69 73 73 69 6F 6E 31 2E 66 73 32"        // "mission1.fs2"
    "0B 00 00 00  4F 70 65 72 61 74 69 6F 6E 20 58"           // "Operation X"
    "03 81 34");

// Asks the server on port for its status; empty when nothing comes within ms.
std::string Ask(TUdpPeer& peer, int port, int ms = 2000) {
    peer.SendTo(port, Hex("00 E2"));
    std::string got;
    int from = 0;
    if (!peer.Receive(got, from, ms)) return {};
    EXPECT_EQ(from, port) << "the reply must come from the server's own port";
    return got;
}

std::uint32_t Le32(const std::string& b, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b.at(at + i));
    return v;
}

}  // namespace

TEST(GameSim, AnswersOnlyTheStatusQueryWithTheReplyOfTheWireTable) {
    TGameSimProcess sim({kAlpha, R"(port=0 name="B" mission="M" players=0x10 extra="\x01\xFF")"});
    ASSERT_EQ(sim.Ports().size(), 2u);
    TUdpPeer peer;

    std::string got = Ask(peer, sim.Ports()[0]);
    EXPECT_EQ(got, kAlphaReply) << Escaped(got);

    // An empty mission file name is an empty field; extra bytes follow the host flags.
    got = Ask(peer, sim.Ports()[1]);
    EXPECT_EQ(got, Hex("00 E1 2E 2E 01 00 00 00 42 00 00 00 00 01 00 00 00 4D 10 00 00 01 FF")) << Escaped(got);

    // Other datagrams are ignored: had any been answered, its reply would arrive first.
    for (const std::string& junk : {Hex("00"), Hex("00 E2 00"), Hex("00 E1"), std::string("hello")})
        peer.SendTo(sim.Ports()[0], junk);
    got = Ask(peer, sim.Ports()[0]);
    EXPECT_EQ(got, kAlphaReply) << Escaped(got);
    EXPECT_EQ(sim.Queries(sim.Ports()[0]), 2);
}

TEST(GameSim, MalformedModesHaveTheirShapes) {
    const std::string base = R"(port=0 name="Srv" file="f.fs2" mission="M" players=2 state=1 flags=0 )";
    TGameSimProcess sim({base + "mode=normal", base + "mode=short", base + "mode=badmagic", base + "mode=lenpast",
                         base + "mode=huge", base + "mode=truncated"});
    ASSERT_EQ(sim.Ports().size(), 6u);
    TUdpPeer peer;
    const std::string normal = Ask(peer, sim.Ports()[0]);
    ASSERT_EQ(normal, Hex("00 E1 2E 2E 03 00 00 00 53 72 76 05 00 00 00 66 2E 66 73 32 01 00 00 00 4D 02 01 00"))
        << Escaped(normal);

    EXPECT_EQ(Ask(peer, sim.Ports()[1]), Hex("00 E1 2E"));

    std::string got = Ask(peer, sim.Ports()[2]);
    ASSERT_EQ(got.size(), normal.size()) << Escaped(got);
    EXPECT_NE(got.substr(0, 4), normal.substr(0, 4));
    EXPECT_EQ(got.substr(4), normal.substr(4));

    got = Ask(peer, sim.Ports()[3]);
    ASSERT_EQ(got.size(), normal.size()) << Escaped(got);
    EXPECT_GT(Le32(got, 4), got.size() - 8) << "the name length must reach past the end";
    EXPECT_EQ(got.substr(8), normal.substr(8));

    got = Ask(peer, sim.Ports()[4]);
    ASSERT_EQ(got.size(), normal.size()) << Escaped(got);
    EXPECT_GE(Le32(got, 4), 0xFFFF0000u);
    EXPECT_EQ(got.substr(8), normal.substr(8));

    got = Ask(peer, sim.Ports()[5]);
    EXPECT_EQ(got, normal.substr(0, normal.size() - 3)) << Escaped(got);
}

TEST(GameSim, StandardInputSteersServersWhileTheyRun) {
    TGameSimProcess sim({kAlpha});
    const int port = sim.Ports()[0];
    TUdpPeer peer;

    sim.Set(port, R"(players=5 mission="Operation Y")");
    std::string got = Ask(peer, port);
    ASSERT_GE(got.size(), 3u);
    EXPECT_EQ(got.substr(got.size() - 14), std::string("Operation Y\x05\x81\x34")) << Escaped(got);

    sim.Set(port, "mode=silent");
    EXPECT_EQ(Ask(peer, port, 200), "");
    EXPECT_EQ(sim.Queries(port), 2) << "a silent server still counts the queries";

    sim.Set(port, "mode=late=300 players=3 mission=\"Operation X\"");
    const auto start = std::chrono::steady_clock::now();
    got = Ask(peer, port, 5000);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(290));
    EXPECT_EQ(got, kAlphaReply) << Escaped(got);

    const int added = sim.Add(R"(port=0 name="Beta")");
    EXPECT_EQ(sim.Ports().size(), 2u);
    EXPECT_EQ(Ask(peer, added).substr(0, 12), Hex("00 E1 2E 2E 04 00 00 00 42 65 74 61"));
    sim.Remove(added);
    EXPECT_EQ(Ask(peer, added, 200), "");

    EXPECT_THROW(sim.Set(added, "players=1"), std::runtime_error);
    EXPECT_THROW(sim.Set(port, "players=256"), std::runtime_error);
    EXPECT_THROW(sim.Set(port, "port=1"), std::runtime_error);
    EXPECT_THROW(sim.Command("bogus"), std::runtime_error);
}

TEST(GameSim, ExitsCleanlyOnSignalsAndOnEndOfInputOnlyWhenAsked) {
    TUdpPeer peer;
    {
        TGameSimProcess sim({kAlpha});
        sim.CloseInput();
        EXPECT_EQ(Ask(peer, sim.Ports()[0]), kAlphaReply) << "end of input alone must not stop it";
        EXPECT_EQ(sim.Stop(SIGTERM), 0);
    }
    {
        TGameSimProcess sim({kAlpha});
        EXPECT_EQ(sim.Stop(SIGINT), 0);
    }
    {
        TGameSimProcess sim({kAlpha}, {"--exit-on-eof"});
        sim.CloseInput();
        EXPECT_EQ(sim.WaitExit(5000), 0);
    }
}

TEST(GameSim, ReadsAConfigFileAndRejectsBadLines) {
    TTempDir dir;
    const auto path = dir.Path() / "servers.conf";
    std::ofstream(path) << "# two servers\n\n" << kAlpha << "\n   port=0 name=\"Q\\\"uote\\\\\" mode=silent\n";
    TGameSimProcess sim({}, {"--config", path.string()});
    ASSERT_EQ(sim.Ports().size(), 2u);
    TUdpPeer peer;
    EXPECT_EQ(Ask(peer, sim.Ports()[0]), kAlphaReply);
    sim.Set(sim.Ports()[1], "mode=normal");
    EXPECT_EQ(Ask(peer, sim.Ports()[1]).substr(4, 11), Hex("07 00 00 00") + "Q\"uote\\");

    try {
        TGameSimProcess bad({"port=0 colour=red"});
        ADD_FAILURE() << "a bad server line must stop the simulator";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("unknown key colour"), std::string::npos) << e.what();
    }
}

TEST(GameSim, DropThrowsAwayThatShareOfTheReplies) {
    TGameSimProcess all({kAlpha}, {"--drop", "100"});
    TUdpPeer peer;
    EXPECT_EQ(Ask(peer, all.Ports()[0], 200), "");
    EXPECT_EQ(all.Queries(all.Ports()[0]), 1) << "a dropped reply still counts its query";

    TGameSimProcess none({kAlpha}, {"--drop", "0"});
    EXPECT_EQ(Ask(peer, none.Ports()[0]), kAlphaReply);
    EXPECT_THROW(TGameSimProcess({kAlpha}, {"--drop", "101"}), std::runtime_error);
}
