// SPDX-License-Identifier: GPL-3.0-or-later
// TServerMessages: the dispatch of server lines, the banners, topics, ping replies, messages,
// the generic rule, the developer dump and the invitation.
#include "chat/ServerMessage.h"

#include "chat/IRCParse.h"
#include "chat/ServerTime.h"

#include <charconv>
#include <ctime>

std::string SenderOf(const std::string& prefix) {
    if (prefix.size() < 2) return {};
    const std::size_t bang = prefix.find('!', 1);
    return prefix.substr(1, bang == std::string::npos ? std::string::npos : bang - 1);
}

std::string ElapsedSecondsText(std::int64_t start, std::int64_t now, std::int64_t frequency) {
    if (frequency <= 0) return {};
    const double seconds = static_cast<double>(now - start) / static_cast<double>(frequency);
    char text[64];
    // to_chars ignores the locale, which Qt sets from the environment: always a point.
    const auto result = std::to_chars(text, text + sizeof text, seconds, std::chars_format::fixed, 1);
    if (result.ec != std::errc()) return {};
    return std::string(text, result.ptr);
}

std::string TServerMessages::Now() const {
    // A line the server stamped happened at its time, which differs for a replayed one.
    std::int64_t at = 0;
    if (!client_.ServerTime().empty() && ParseServerTime(client_.ServerTime(), at)) return LocalTimeOfDay(at);
    if (TimeText) return TimeText();
    std::time_t now = std::time(nullptr);
    // std::localtime, not localtime_r: Windows lacks the latter, and only this thread asks.
    const std::tm* local = std::localtime(&now);
    char text[16] = {};
    if (local) std::strftime(text, sizeof text, "%H:%M:%S", local);
    return text;
}

std::string TServerMessages::ReplayStamp() const {
    std::int64_t at = 0;
    if (client_.ServerTime().empty() || !ParseServerTime(client_.ServerTime(), at)) return {};
    if (static_cast<std::int64_t>(std::time(nullptr)) - at <= 60) return {};
    return "[" + LocalTimeOfDay(at) + "] ";
}

void TServerMessages::Notify(const TUserMessage& message) {
    if (OnNotifyUserMessage) OnNotifyUserMessage(message);
}

void TServerMessages::IRCCli1ServerMessage(TIRCCli& sender, const std::string& APrefix, const std::string& ACommand,
                                           const std::vector<std::string>& Parameters) {
    const auto& p = Parameters;
    if (DeveloperMode && DeveloperMode()) DeveloperDump(APrefix, ACommand, p);

    const std::string& c = ACommand;
    const std::string nick = SenderOf(APrefix);
    // The client read the announcements first; lists and lookups follow them from here.
    if (c == "005" || c == "001") conversations_.Support = sender.Support();
    if (c == "PING") return;
    if (c == "366") {
        NamesEnd(p.at(1));
        return;
    }
    if (c == "376") {
        conversations_.AddLineToRichEdit("", "==========================================================", LineClass::Info);
    } else if (c == "001") {
        away_.clear();  // a new session: nobody is known to be away yet
        client_.SendLine(std::string("JOIN ") + LobbyChannel);
        // The own nickname is the one the server registered, which may be a changed one.
        if (!p.empty() && !p[0].empty()) settings_.Nickname = p[0];
        conversations_.AddLineToRichEdit("", p.at(0), LineClass::Info);
        if (OnWelcome) OnWelcome();
    } else if ((c == "433" || c == "432") && !client_.Registered()) {
        NickRejected(c, p);
    } else if ((c == "471" || c == "473" || c == "474" || c == "475" || c == "477" || c == "489") && p.size() > 1) {
        JoinRefused(c, p);
    } else if (c == "332") {
        conversations_.AddLineToRichEdit(p.at(1), "Topic is:   " + p.at(2), LineClass::Info);
    } else if (c == "333") {
        // The time stays as the server sends it, seconds since 1970.
        const std::string line = "Set at " + p.at(3) + " by " + p.at(2);
        conversations_.AddLineToRichEdit(p.at(1), "-", LineClass::Info);
        conversations_.AddLineToRichEdit(p.at(1), line, LineClass::Info);
    } else if (c == "353") {
        NamesReply(p.at(2), p.at(3));
    } else if (c == "375") {
        conversations_.AddLineToRichEdit("", "==Message Of The Day======================================", LineClass::Info);
    } else if (c == "JOIN") {
        Join(nick, p);
    } else if (c == "PART") {
        Part(nick, p);
    } else if (c == "QUIT") {
        Quit(nick, p);
    } else if (c == "MODE") {
        Mode(nick, p);
    } else if (c == "NICK") {
        Nick(nick, p);
    } else if (c == "PONG") {
        Pong();
    } else if (c == "AWAY") {
        Away(nick, p);
    } else if (c == "PRIVMSG") {
        PrivateMessage(nick, p);
    } else if (c == "KICK") {
        Kick(nick, p);
    } else if (c == "TOPIC") {
        Topic(nick, p);
    } else if (c == "NOTICE") {
        Notice(APrefix, nick, p);
    } else if (c == "ERROR") {
        // Why the server closes the link ("Closing Link: ... (K-Lined)").
        conversations_.AddLineToRichEdit("", "Server closes the link: " + (p.empty() ? std::string() : p.back()),
                                         LineClass::Error);
    } else {
        Generic(c, p);
    }
}

void TServerMessages::NickRejected(const std::string& command, const std::vector<std::string>& p) {
    // The client has already asked for another nickname, unless it ran out of them.
    const std::string rejected = p.size() > 1 ? p[1] : client_.WantedNick();
    const std::string why = command == "433" ? " is in use" : " is not accepted by the server";
    const std::string next = client_.Nick() != rejected
                                 ? ", trying " + client_.Nick()
                                 : "; no other nickname left to try, choose another one under Settings";
    conversations_.AddLineToRichEdit("", "Nickname " + rejected + why + next, LineClass::Info);
}

// The lobby is the one channel the program joins by itself: being kept out of it is an error
// the player must see. The server's text says why (servers differ in the numerics they use
// for it); where the player can do something, a second line says what.
void TServerMessages::JoinRefused(const std::string& command, const std::vector<std::string>& p) {
    const std::string& channel = p[1];
    const std::string text = p.size() > 2 ? p.back() : std::string();
    const std::string tab = conversations_.FindRow(channel) >= 0 ? channel : "";
    conversations_.AddLineToRichEdit(tab, "Cannot join " + channel + ": " + (text.empty() ? command : text),
                                     LineClass::Error);
    const std::string lower = LowerAscii(text);
    const auto says = [&](std::string_view word) { return lower.find(word) != std::string::npos; };
    if ((command == "477" || says("regist") || says("identif")) && settings_.ChatAccount.empty())
        conversations_.AddLineToRichEdit(tab, "To log in, give your account under Settings, Chat server",
                                         LineClass::Info);
    else if ((command == "489" || says("ssl") || says("tls") || says("secure")) && !client_.UseTls())
        conversations_.AddLineToRichEdit(tab, "For a secure connection, choose TLS under Settings, Chat server",
                                         LineClass::Info);
}

void TServerMessages::DeveloperDump(const std::string& prefix, const std::string& command,
                                    const std::vector<std::string>& p) {
    std::string text = "==Server Message==========================================\r\n";
    text += "Prefix: " + prefix + "\r\n";
    text += "Command: " + command + "\r\n";
    text += "Parameters:\r\n";
    for (const std::string& parameter : p) text += parameter + "\r\n";
    text += "=========================================================";
    conversations_.AddLineToRichEdit("", text, LineClass::Info);
}

void TServerMessages::Pong() {
    const std::string elapsed = ElapsedSecondsText(ping_.PingStart, PerformanceCounter(), ping_.PingFrequency);
    // A reply that no /PING of ours asked for has nothing to be measured from.
    if (elapsed.empty()) return;
    const int selected = conversations_.SelectedTab();
    const std::string tab = selected <= 0 ? std::string() : conversations_.TabLabel(selected);
    conversations_.AddLineToRichEdit(tab, "[" + ping_.PingTarget + " PING reply]: " + elapsed + " sec",
                                     LineClass::Ping);
}

void TServerMessages::PrivateMessage(const std::string& nick, const std::vector<std::string>& p) {
    const std::string& target = p.at(0);
    const std::string& text = p.at(1);
    if (text.size() >= JoinMarker.size() && text.compare(0, JoinMarker.size(), JoinMarker) == 0) {
        if (text.size() == JoinMarker.size())
            conversations_.AddLineToRichEdit("", nick + " has launched FreeSpace at " + Now(), LineClass::Status);
        else
            WentPlay(nick, target, text.substr(JoinMarker.size()));
        return;
    }
    if (!text.empty() && text.front() == '\x01' && text.back() == '\x01') {
        const std::size_t blank = text.find(' ', 1);
        const std::string request = text.substr(1, blank == std::string::npos ? std::string::npos : blank - 1);
        // Other client-to-client requests are answered by nobody and shown nowhere.
        if (request != "ACTION") return;
        const std::string action = text.substr(blank + 1, text.size() - 1 - (blank + 1));
        const bool highlight = NamesUser(nick, action);
        // A private action goes to the sender's conversation, like a private message.
        const std::string tab = IsOwn(target) ? nick : target;
        conversations_.AddLineToRichEdit(tab, ReplayStamp() + " * " + nick + " " + action, LineClass::Action,
                                         highlight);
        conversations_.MarkUnread(tab, highlight ? TTabMark::Highlight : TTabMark::Unread);
        // A private action notifies only when it names the user, like any highlight.
        const bool channel = conversations_.IsChannel(target);
        if (channel || highlight) Notify({nick, target, action, !channel, highlight});
        return;
    }
    const bool isPrivate = IsOwn(target);
    const std::string& tab = isPrivate ? nick : target;
    const bool highlight = NamesUser(nick, text);
    conversations_.AddLineToRichEdit(tab, ReplayStamp() + "[" + nick + "]   " + text, LineClass::Talk, highlight);
    // A private message is meant for the user as much as one that names them.
    conversations_.MarkUnread(tab, highlight || isPrivate ? TTabMark::Highlight : TTabMark::Unread);
    Notify({nick, tab, text, isPrivate, highlight});
}

bool TServerMessages::NamesUser(const std::string& sender, const std::string& text) const {
    return !IsOwn(sender) && NamesNickname(text, settings_.Nickname, conversations_.Support.CaseMapping);
}

void TServerMessages::Topic(const std::string& nick, const std::vector<std::string>& p) {
    const std::string& channel = p.at(0);
    const std::string& text = p.at(1);
    if (conversations_.FindRow(channel) < 0) return;
    conversations_.AddLineToRichEdit(channel, nick + " changed the topic to:   " + text, LineClass::Info);
}

void TServerMessages::Notice(const std::string& prefix, const std::string& nick, const std::vector<std::string>& p) {
    const std::string& target = p.at(0);
    const std::string& text = p.at(1);
    // A server's own notices have no user part; before the welcome (services, the host
    // look-up) nothing else is open either.
    const bool fromUser = prefix.find('!') != std::string::npos;
    std::string tab;
    if (conversations_.IsChannel(target) && conversations_.FindRow(target) >= 0)
        tab = target;
    else if (fromUser && client_.Registered() && conversations_.SelectedTab() > 0)
        tab = conversations_.TabLabel(conversations_.SelectedTab());
    const std::string from = nick.empty() ? std::string() : "-" + nick + "-   ";
    conversations_.AddLineToRichEdit(tab, from + text, LineClass::Info);
}

void TServerMessages::Generic(const std::string& command, const std::vector<std::string>& parameters) {
    std::string text;
    for (std::size_t i = 1; i < parameters.size(); ++i) {
        if (i > 1) text += ' ';
        text += parameters[i];
    }
    bool numeric = !command.empty();
    for (char c : command)
        if (c < '0' || c > '9') numeric = false;
    if (!numeric && command != "NOTICE") text = command + ":   " + text;
    if (!text.empty()) conversations_.AddLineToRichEdit("", text, LineClass::Info);
}

void TServerMessages::IRCCli1Invite(TIRCCli&, const std::string& AFromNick, const std::string& AFromUser,
                                    const std::string& AFromHost, const std::string& AChannel, bool&) {
    for (const std::string& line :
         {std::string("==Invite=================================================="), "FromNick: " + AFromNick,
          "FromUser: " + AFromUser, "FromHost: " + AFromHost, "Channel: " + AChannel,
          std::string("=========================================================")})
        conversations_.AddLineToRichEdit("", line, LineClass::Info);
}
