// SPDX-License-Identifier: GPL-3.0-or-later
// Ann's chat as the main window wires it (client, session, page logic) against the page's
// stand-in: what the walks against real servers share. A walk adds its own wiring on top.
#pragma once

#include "FakeChatPage.h"
#include "chat/ChatSession.h"
#include "chat/ServerMessage.h"
#include "support/TestLoop.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

struct TChatRig {
    using Texts = std::vector<std::string>;

    TChatRig() {
        settings.Nickname = "Ann";
        settings.FullName = "Tester";
        ann.OnSessionConnected = [this](TIRCCli& s, std::uint16_t e) { session.IRCCli1SessionConnected(s, e); };
        ann.OnSessionClosed = [this](TIRCCli& s, std::uint16_t e) { session.IRCCli1SessionClosed(s, e); };
        ann.OnServerMessage = [this](TIRCCli& s, const std::string& p, const std::string& c, const Texts& params) {
            session.ServerLine(c, params);
            messages.IRCCli1ServerMessage(s, p, c, params);
        };
        messages.OnWelcome = [this] { session.Welcomed(); };
    }
    ~TChatRig() {
        ann.OnSessionClosed = nullptr;
        session.Disconnect();
    }
    TChatRig(const TChatRig&) = delete;
    TChatRig& operator=(const TChatRig&) = delete;

    bool Wait(const std::function<bool()>& pred, int ms = 10000) { return testing_support::WaitFor(loop, pred, ms); }
    Texts Users(const std::string& channel = "#Lobby_20") {
        TFakeList* list = page.List(channel);
        return list ? list->Items : Texts{};
    }
    // Listed with or without the operator's "@".
    bool Listed(const std::string& channel, const std::string& nick) {
        const Texts u = Users(channel);
        return std::find(u.begin(), u.end(), nick) != u.end() || std::find(u.begin(), u.end(), "@" + nick) != u.end();
    }
    int ServerLinesStarting(const std::string& start) const {
        const Texts lines = page.Server.Texts();
        return static_cast<int>(
            std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.starts_with(start); }));
    }
    bool ServerViewNames(const std::string& part) const {
        const Texts lines = page.Server.Texts();
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(part) != std::string::npos; });
    }
    std::string ServerText() const {
        std::string all;
        for (const auto& l : page.Server.Texts()) all += testing_support::Escaped(l) + "\n";
        return all;
    }

    // After a ban: a line saying why, the button back to "Connect", and no second attempt in
    // many times the first pause, since the policy answered "never", not "later".
    void ExpectNoReconnectAfterTheBan(const std::string& reason) {
        ASSERT_TRUE(Wait([&] { return ServerLinesStarting("Not reconnecting: ") == 1; })) << ServerText();
        EXPECT_NE(ServerText().find(reason), std::string::npos) << ServerText();
        EXPECT_FALSE(session.Reconnecting());
        EXPECT_EQ(page.Caption, "Connect");
        testing_support::Drain(loop, 1500);
        EXPECT_EQ(ServerLinesStarting("Connecting to "), 1) << ServerText();
    }

    testing_support::TTestLoop loop;
    TIRCCli ann{loop};
    TFakeChatPage page;
    TConversations chat{page};
    TSettings settings;
    TRandomGenerator random;
    TPingValues ping;
    TChatSession session{ann, chat, settings, random, "", ""};
    TServerMessages messages{ann, chat, settings, ping};
};
