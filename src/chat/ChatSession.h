// TChatSession: the connect button and the chat client's session events.
#pragma once

#include "chat/Conversations.h"
#include "chat/IRCCli.h"
#include "settings/Names.h"
#include "settings/Settings.h"

#include <cstdint>
#include <string>

inline constexpr const char* ChatVersionText = "1.01";

class TChatSession {
public:
    // All references must outlive the session. Host and port are where every Connect goes.
    TChatSession(TIRCCli& client, TConversations& conversations, TSettings& settings, TRandomGenerator& random,
                 std::string host, std::string port);

    // Connects when idle, disconnects when connected. A start that fails at once is back in
    // the idle state before its error is passed on.
    void btnChatConnectionClick();
    // The user ends the session (the button, closing the window); no reconnect follows.
    void Disconnect();
    void IRCCli1SessionConnected(TIRCCli& sender, std::uint16_t error);
    void IRCCli1SessionClosed(TIRCCli& sender, std::uint16_t error);

    // "CorvaneGV v1.01 - " and the full name.
    std::string RealNameText() const;
    // The window's own registration line, sent after the client's login lines.
    std::string RegistrationLine(const std::string& r1, const std::string& r2, const std::string& r3) const;

    // The nickname a login asks for: the own nickname, or the wanted one when the own one is
    // only the changed nickname the server gave us because the wanted one was taken.
    std::string LoginNick() const;

    const std::string& Host() const { return host_; }
    const std::string& Port() const { return port_; }

private:
    // The line to every conversation, after the server view, in the order they were opened.
    void WriteEverywhere(const std::string& text);

    TIRCCli& client_;
    TConversations& conversations_;
    TSettings& settings_;
    TRandomGenerator& random_;
    std::string host_, port_;
};
