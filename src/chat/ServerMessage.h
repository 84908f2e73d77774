// TServerMessages: what the chat page does with each line the server sends.
#pragma once

#include "chat/Conversations.h"
#include "chat/IRCCli.h"

#include <functional>
#include <string>
#include <vector>

inline constexpr const char* LobbyChannel = "#Lobby_20";

// For now: the welcome joins the lobby, a JOIN opens the channel's tab and lists the user, a
// names reply fills the user list, the end of names and PING show nothing, and every other
// line is shown in the server view by the generic rule.
class TServerMessages {
public:
    TServerMessages(TIRCCli& client, TConversations& conversations)
        : client_(client), conversations_(conversations) {}

    // Raises std::out_of_range for a line with fewer parameters than its command needs; the
    // client then drops that line alone.
    void IRCCli1ServerMessage(TIRCCli& sender, const std::string& APrefix, const std::string& ACommand,
                              const std::vector<std::string>& Parameters);

    // The local time of day as "14:05:09"; tests put a fixed clock here.
    std::function<std::string()> TimeText;

private:
    void NamesReply(const std::string& channel, const std::string& names);
    void Generic(const std::string& command, const std::vector<std::string>& parameters);
    std::string Now() const;

    TIRCCli& client_;
    TConversations& conversations_;
};

// The sender of a prefix: from its second character up to the first "!", or to its end.
std::string SenderOf(const std::string& prefix);
