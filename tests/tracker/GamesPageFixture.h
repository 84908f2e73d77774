// SPDX-License-Identifier: GPL-3.0-or-later
// A games page on a real datagram socket bound to an ephemeral port, with a loopback peer.
#pragma once

#include "TrackerTestSupport.h"
#include "net/NMUDP.h"
#include "support/TestSupport.h"
#include "tracker/GamesPage.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

class GamesPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        udp = std::make_unique<TNMUDP>(loop);
        udp->SetLocalPort(0);
        // Any name lookup fails here, so a test never sends anything off the machine.
        udp->NameResolver = [](const std::string&, std::uint32_t&) { return false; };
        page = std::make_unique<TGamesPage>(loop, *udp, boxes);
        page->OnCaptionChange = [this](TGamesPage&, const std::string& c) { captions.push_back(c); };
        for (int i = 0; i < 4; ++i) {
            page->List(i).OnRowInserted = [this](TGameList&, int) { ++inserted; };
            page->List(i).OnRowDeleted = [this](TGameList&, int) { ++deleted; };
            page->List(i).OnRowChanged = [this](TGameList&, int) { ++changed; };
        }
    }

    void TearDown() override {
        page.reset();
        udp.reset();
        EXPECT_EQ(loop.WatchCount(), 0u);
        EXPECT_EQ(loop.TimerCount(), 0u);
        EXPECT_TRUE(boxes.Shown.empty());
    }

    // Sends bytes from a peer and waits until the page has applied one more reply.
    void Deliver(testing_support::TUdpPeer& from, const std::string& bytes) {
        const int before = changed;
        from.SendTo(udp->LocalPort(), bytes);
        ASSERT_TRUE(testing_support::WaitFor(loop, [&] { return changed > before; }))
            << "no reply applied for " << testing_support::Escaped(bytes);
    }

    // Expects one status query at the peer, from the page's socket.
    void ExpectQuery(testing_support::TUdpPeer& at) {
        std::string bytes;
        int fromPort = 0;
        ASSERT_TRUE(at.Receive(bytes, fromPort, 2000)) << "no status query";
        EXPECT_EQ(bytes, testing_support::Hex("00 E2")) << testing_support::Escaped(bytes);
        EXPECT_EQ(fromPort, udp->LocalPort());
    }

    void ExpectNoQuery(testing_support::TUdpPeer& at) {
        std::string bytes;
        int fromPort = 0;
        EXPECT_FALSE(at.Receive(bytes, fromPort, 200)) << "unexpected " << testing_support::Escaped(bytes);
    }

    static std::string PortText(const testing_support::TUdpPeer& p) { return std::to_string(p.Port()); }

    std::unique_ptr<TAdvancedArray> Table(const std::vector<std::vector<std::string>>& rows) {
        auto t = std::make_unique<TAdvancedArray>(3, boxes);
        for (const auto& cells : rows) {
            const int r = t->AddRow();
            for (int c = 0; c < 3; ++c) t->SetCell(r, c, cells[static_cast<std::size_t>(c)]);
        }
        return t;
    }

    TPollEventLoop loop;
    TRecordingBoxes boxes;
    std::unique_ptr<TNMUDP> udp;
    std::unique_ptr<TGamesPage> page;
    testing_support::TUdpPeer server;
    std::vector<std::string> captions;
    int inserted = 0, deleted = 0, changed = 0;
};
