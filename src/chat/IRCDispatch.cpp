// SPDX-License-Identifier: GPL-3.0-or-later
// TIRCCli: the client's own reactions to server lines and the registry updates they make.
#include "chat/IRCCli.h"

#include "chat/MemberModes.h"

#include <algorithm>
#include <iterator>
#include <memory>

namespace {

// Reading a parameter the line does not have fails the line, as the handling of a too
// short line must.
const std::string& Param(const TIRCLine& line, std::size_t index) { return line.Parameters.at(index); }

// Registry entries held while handlers run: a handler may remove them meanwhile.
std::vector<std::shared_ptr<TIRCChannel>> Snapshot(TIRCChannels& channels) {
    std::vector<std::shared_ptr<TIRCChannel>> out;
    out.reserve(channels.Count());
    for (std::size_t i = 0; i < channels.Count(); ++i) out.push_back(channels[i].shared_from_this());
    return out;
}

}  // namespace

void TIRCCli::Dispatch(const TIRCLine& line) {
    const std::string& command = line.Command;
    if (IsNumericCommand(command)) {
        if (command == "353") NamesUpdate(Param(line, 2), Param(line, 3));
        if (command == "001") DoWelcome(line);
        if (command == "005") DoSupport(line);
        // Nickname in use or refused: only at login is there no nickname to stay with.
        if ((command == "433" || command == "432") && !registered_) DoNickRejected(line);
        return;
    }
    static constexpr struct {
        const char* name;
        void (TIRCCli::*handler)(const TIRCLine&);
    } table[] = {
        {"INVITE", &TIRCCli::DoInvite}, {"JOIN", &TIRCCli::DoJoin},       {"PART", &TIRCCli::DoPart},
        {"KICK", &TIRCCli::DoKick},     {"NICK", &TIRCCli::DoNick},       {"NOTICE", &TIRCCli::DoNotice},
        {"PRIVMSG", &TIRCCli::DoPrivmsg}, {"PING", &TIRCCli::DoPing},     {"QUIT", &TIRCCli::DoQuit},
        {"TOPIC", &TIRCCli::DoTopic},
    };
    for (const auto& entry : table) {
        if (SameTextAscii(command, entry.name)) {
            (this->*entry.handler)(line);
            return;
        }
    }
}

void TIRCCli::RaiseChannel(const TIRCChannelEvent& event, TIRCChannel& channel) {
    if (event) event(*this, channel);
}

void TIRCCli::DoInvite(const TIRCLine& line) {
    if (!SameIrcText(Param(line, 0), nick_, support_.CaseMapping)) return;
    const std::string channel = Param(line, 1);
    const TIRCPrefixInfo from = prefixInfo_;
    bool accept = false;
    if (OnInvite) OnInvite(*this, from.Nick, from.User, from.Host, channel, accept);
    if (accept) Join(channel);
}

void TIRCCli::DoJoin(const TIRCLine& line) {
    const std::string& name = Param(line, 0);
    const std::string nick = prefixInfo_.Nick;
    TIRCChannel* found = channels_.Find(name);
    if (!found) found = channels_.Add(name);
    if (!found) return;  // the registry is full
    auto channel = found->shared_from_this();
    RaiseChannel(OnChannelChanging, *channel);
    if (!channel->Listed()) return;
    if (!channel->Users().Find(nick)) channel->Users().Add(nick, false);
    RaiseChannel(OnChannelChanged, *channel);
}

void TIRCCli::DoPart(const TIRCLine& line) { PartHandling(prefixInfo_.Nick, Param(line, 0)); }

void TIRCCli::DoKick(const TIRCLine& line) {
    const std::string& channel = Param(line, 0);
    const std::string& kicked = Param(line, 1);
    prefixInfo_.Nick = kicked;
    PartHandling(kicked, channel);
}

void TIRCCli::PartHandling(const std::string& nickArg, const std::string& channelName) {
    const std::string nick = nickArg;
    const bool own = SameIrcText(nick, nick_, support_.CaseMapping);
    TIRCChannel* found = channels_.Find(channelName);
    if (!found) return;
    auto channel = found->shared_from_this();
    if (channel->Users().Find(nick)) {
        RaiseChannel(OnChannelChanging, *channel);
        if (!channel->Listed()) return;
        channel->Users().Remove(nick);
        RaiseChannel(OnChannelChanged, *channel);
    }
    if (own && channel->Listed()) channels_.Remove(*channel);
}

void TIRCCli::DoNick(const TIRCLine& line) {
    const std::string newNick = Param(line, 0);
    const std::string oldNick = prefixInfo_.Nick;
    for (const auto& channel : Snapshot(channels_)) {
        if (!channel->Listed() || !channel->Users().Find(oldNick)) continue;
        RaiseChannel(OnChannelChanging, *channel);
        if (!channel->Listed()) continue;
        channel->Users().Rename(oldNick, newNick);
        RaiseChannel(OnChannelChanged, *channel);
    }
    // The server confirms our own change: take it without sending anything.
    if (SameIrcText(oldNick, nick_, support_.CaseMapping)) {
        nick_ = newNick;
        if (registered_) wantedNick_ = newNick;
    }
}

void TIRCCli::DoNotice(const TIRCLine& line) {
    const TIRCPrefixInfo from = prefixInfo_;
    const std::string& target = Param(line, 0);
    const std::string& text = Param(line, 1);
    if (OnMessage) OnMessage(*this, from.Nick, from.User, from.Host, target, text, true);
}

void TIRCCli::DoPrivmsg(const TIRCLine& line) {
    const TIRCPrefixInfo from = prefixInfo_;
    const std::string& target = Param(line, 0);
    const std::string& text = Param(line, 1);
    if (OnMessage) OnMessage(*this, from.Nick, from.User, from.Host, target, text, false);
}

void TIRCCli::DoPing(const TIRCLine& line) { SendCommand("pong", {Param(line, 0)}); }

void TIRCCli::DoQuit(const TIRCLine&) {
    const std::string nick = prefixInfo_.Nick;
    for (const auto& channel : Snapshot(channels_)) {
        if (!channel->Listed() || !channel->Users().Find(nick)) continue;
        RaiseChannel(OnChannelChanging, *channel);
        if (!channel->Listed()) continue;
        channel->Users().Remove(nick);
        RaiseChannel(OnChannelChanged, *channel);
    }
}

void TIRCCli::DoTopic(const TIRCLine& line) {
    TIRCChannel* found = channels_.Find(Param(line, 0));
    if (!found) return;
    auto channel = found->shared_from_this();
    const std::string& text = Param(line, 1);
    RaiseChannel(OnChannelChanging, *channel);
    channel->SetTopic(text);
    RaiseChannel(OnChannelChanged, *channel);
}

void TIRCCli::NamesUpdate(const std::string& channelName, const std::string& names) {
    TIRCChannel* found = channels_.Find(channelName);
    if (!found) return;  // channels enter the registry through JOIN only
    auto channel = found->shared_from_this();
    RaiseChannel(OnChannelChanging, *channel);
    std::string_view rest = names;
    while (channel->Listed()) {
        const std::string word = NextToken(rest, " ");
        if (word.empty()) break;
        // Every mark the server's PREFIX names goes, however many (multi-prefix).
        TNamesEntry entry = ParseNamesEntry(word, support_);
        if (entry.Nick.empty()) continue;
        const bool privileged = !entry.Modes.empty();
        TIRCUsers& users = channel->Users();
        if (TIRCUser* user = users.Find(entry.Nick)) {
            if (user->Privileged() != privileged) users.SetPrivileged(*user, privileged);
        } else {
            users.Add(std::move(entry.Nick), privileged);
        }
    }
    if (channel->Listed()) RaiseChannel(OnChannelChanged, *channel);
}

std::string ChangedNick(const std::string& base, int attempt, std::size_t maxLength) {
    const std::string suffix = attempt <= 1 ? std::string("_") : std::to_string(attempt - 1);
    std::string head = base;
    if (maxLength != std::string::npos && head.size() + suffix.size() > maxLength)
        head.resize(maxLength > suffix.size() ? maxLength - suffix.size() : 0);
    return head + suffix;
}

void TIRCCli::DoSupport(const TIRCLine& line) {
    // The target nickname first, the trailing "are supported by this server" last.
    if (line.Parameters.size() < 3) return;
    const TCaseMapping before = support_.CaseMapping;
    support_.Apply({line.Parameters.begin() + 1, line.Parameters.end() - 1});
    if (support_.CaseMapping != before) channels_.Reindex();
}

void TIRCCli::DoWelcome(const TIRCLine& line) {
    registered_ = true;
    // The server says under which nickname it registered us.
    if (!line.Parameters.empty() && !line.Parameters[0].empty()) nick_ = line.Parameters[0];
}

void TIRCCli::DoNickRejected(const TIRCLine& line) {
    const std::string rejected = line.Parameters.size() > 1 ? line.Parameters[1] : nick_;
    // A refused nickname may be too long for this server: the next ones are shorter.
    if (line.Command == "432" && rejected.size() > 1)
        nickMaxLength_ = std::min(nickMaxLength_, rejected.size() - 1);
    if (++nickAttempt_ > MaxNickAttempts) return;
    nick_ = ChangedNick(wantedNick_, nickAttempt_, nickMaxLength_);
    SendLine("nick " + nick_);
}
