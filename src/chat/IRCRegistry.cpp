// SPDX-License-Identifier: GPL-3.0-or-later
// The channel and user registry and the events its changes raise.
#include "chat/IRCRegistry.h"

#include "chat/IRCCli.h"
#include "chat/IRCParse.h"

#include <algorithm>

namespace {

// Entries are looked up through a case-blind index; duplicates (a rename onto a nick already
// listed) fall back to the list order.
template <typename T, typename Items>
T* FindFirst(const std::unordered_multimap<std::string, T*>& index, const Items& items, std::string_view key,
             std::string_view (*keyOf)(const T&), TCaseMapping mapping) {
    auto range = index.equal_range(IrcLower(key, mapping));
    if (range.first == range.second) return nullptr;
    if (std::next(range.first) == range.second) return range.first->second;
    for (const auto& item : items)
        if (SameIrcText(keyOf(*item), key, mapping)) return item.get();
    return nullptr;
}

template <typename T>
void EraseIndex(std::unordered_multimap<std::string, T*>& index, const std::string& key, T* item,
                TCaseMapping mapping) {
    auto range = index.equal_range(IrcLower(key, mapping));
    for (auto it = range.first; it != range.second; ++it) {
        if (it->second == item) {
            index.erase(it);
            return;
        }
    }
}

template <typename T>
void EraseItem(std::vector<std::shared_ptr<T>>& items, T* item) {
    auto it = std::find_if(items.begin(), items.end(), [item](const auto& p) { return p.get() == item; });
    if (it != items.end()) items.erase(it);
}

std::string_view NickOf(const TIRCUser& u) { return u.Nick(); }
std::string_view NameOf(const TIRCChannel& c) { return c.Name(); }

TCaseMapping MappingOf(const TIRCCli& client) { return client.Support().CaseMapping; }

}  // namespace

TIRCUsers::~TIRCUsers() { budget_ += items_.size(); }

TIRCUser* TIRCUsers::Find(std::string_view nick) const { return FindFirst(index_, items_, nick, NickOf, MappingOf(client_)); }

TIRCUser* TIRCUsers::Add(std::string nick, bool privileged) {
    if (budget_ == 0) return nullptr;
    auto user = std::make_shared<TIRCUser>(channel_, client_, std::move(nick), privileged);
    if (client_.OnUserCreation) client_.OnUserCreation(client_, channel_, *user);
    // A handler may have used the last record meanwhile.
    if (budget_ == 0) return nullptr;
    --budget_;
    user->listed_ = true;
    index_.emplace(IrcLower(user->nick_, MappingOf(client_)), user.get());
    items_.push_back(user);
    return user.get();
}

bool TIRCUsers::Remove(std::string_view nick) {
    TIRCUser* user = Find(nick);
    if (!user) return false;
    auto hold = user->shared_from_this();
    if (client_.OnUserDeletion) client_.OnUserDeletion(client_, channel_, *user);
    Drop(*user);
    return true;
}

void TIRCUsers::Drop(TIRCUser& user) {
    if (!user.listed_) return;
    user.listed_ = false;
    Unindex(user);
    ++budget_;
    EraseItem(items_, &user);
}

void TIRCUsers::Unindex(TIRCUser& user) { EraseIndex(index_, user.nick_, &user, MappingOf(client_)); }

bool TIRCUsers::Rename(std::string_view oldNick, const std::string& newNick) {
    TIRCUser* user = Find(oldNick);
    if (!user) return false;
    auto hold = user->shared_from_this();
    if (client_.OnUserChanging) client_.OnUserChanging(client_, channel_, *user);
    if (!user->listed_) return true;
    Unindex(*user);
    user->nick_ = newNick;
    index_.emplace(IrcLower(newNick, MappingOf(client_)), user);
    if (client_.OnUserChanged) client_.OnUserChanged(client_, channel_, *user);
    return true;
}

void TIRCUsers::SetPrivileged(TIRCUser& user, bool privileged) {
    auto hold = user.shared_from_this();
    if (client_.OnUserChanging) client_.OnUserChanging(client_, channel_, user);
    user.privileged_ = privileged;
    if (client_.OnUserChanged) client_.OnUserChanged(client_, channel_, user);
}

void TIRCUsers::Clear() {
    while (!items_.empty()) {
        auto user = items_.back();
        if (client_.OnUserDeletion) client_.OnUserDeletion(client_, channel_, *user);
        Drop(*user);
    }
}

TIRCChannels::~TIRCChannels() {
    // Channels give their user records back to userBudget_, so they go while it still lives.
    index_.clear();
    items_.clear();
}

TIRCChannel* TIRCChannels::Find(std::string_view name) const { return FindFirst(index_, items_, name, NameOf, MappingOf(client_)); }

TIRCChannel* TIRCChannels::Add(std::string name) {
    if (items_.size() >= MaxChannels) return nullptr;
    auto channel = std::make_shared<TIRCChannel>(client_, std::move(name), userBudget_);
    if (client_.OnChannelCreation) client_.OnChannelCreation(client_, *channel);
    if (items_.size() >= MaxChannels) return nullptr;
    channel->listed_ = true;
    index_.emplace(IrcLower(channel->name_, MappingOf(client_)), channel.get());
    items_.push_back(channel);
    return channel.get();
}

bool TIRCChannels::Remove(std::string_view name) {
    TIRCChannel* channel = Find(name);
    if (!channel) return false;
    Delete(*channel);
    return true;
}

void TIRCChannels::Delete(TIRCChannel& channel) {
    auto hold = channel.shared_from_this();
    channel.users_.Clear();
    if (client_.OnChannelDeletion) client_.OnChannelDeletion(client_, channel);
    if (!channel.listed_) return;
    channel.listed_ = false;
    EraseIndex(index_, channel.name_, &channel, MappingOf(client_));
    EraseItem(items_, &channel);
}

void TIRCChannels::Clear() {
    while (!items_.empty()) Delete(*items_.back());
}

void TIRCUsers::Reindex() {
    index_.clear();
    for (const auto& user : items_) index_.emplace(IrcLower(user->nick_, MappingOf(client_)), user.get());
}

void TIRCChannels::Reindex() {
    index_.clear();
    for (const auto& channel : items_) {
        index_.emplace(IrcLower(channel->name_, MappingOf(client_)), channel.get());
        channel->users_.Reindex();
    }
}
