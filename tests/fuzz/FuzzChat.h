// SPDX-License-Identifier: GPL-3.0-or-later
// The chat page's logic on the page's stand-in, handed every server line the client takes:
// where the chat targets send a hostile server's bytes.
#pragma once

#include "../chat/FakeChatPage.h"
#include "chat/ServerMessage.h"

#include <string>
#include <vector>

struct TFuzzChat {
    explicit TFuzzChat(TIRCCli& client) : messages(client, chat, settings, ping) {
        settings.Nickname = client.Nick();
        messages.TimeText = [] { return std::string("21:00:00"); };
        client.OnServerMessage = [this](TIRCCli& s, const std::string& p, const std::string& c,
                                        const std::vector<std::string>& params) {
            messages.IRCCli1ServerMessage(s, p, c, params);
        };
    }

    TFakeChatPage page;
    TConversations chat{page};
    TSettings settings;
    TPingValues ping;
    TServerMessages messages;
};
