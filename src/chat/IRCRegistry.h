// SPDX-License-Identifier: GPL-3.0-or-later
// The channel and user registry of the IRC client: TIRCChannels, TIRCChannel, TIRCUsers, TIRCUser.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class TIRCCli;
class TIRCChannel;

class TIRCUser : public std::enable_shared_from_this<TIRCUser> {
public:
    TIRCUser(TIRCChannel& channel, TIRCCli& client, std::string nick, bool privileged)
        : channel_(channel), client_(client), nick_(std::move(nick)), privileged_(privileged) {}

    const std::string& Nick() const { return nick_; }
    // The names reply marked the user with "+" or the at sign.
    bool Privileged() const { return privileged_; }
    TIRCChannel& Channel() const { return channel_; }
    TIRCCli& Client() const { return client_; }
    // False once the user was removed; a handler may remove what an event is about.
    bool Listed() const { return listed_; }

private:
    friend class TIRCUsers;
    TIRCChannel& channel_;
    TIRCCli& client_;
    std::string nick_;
    bool privileged_;
    bool listed_ = false;
};

// Users of one channel in the order they were added, looked up with letter case folded as the
// server folds it (its CASEMAPPING).
// Every change raises the client's user events.
class TIRCUsers {
public:
    TIRCUsers(TIRCChannel& channel, TIRCCli& client, std::size_t& budget)
        : channel_(channel), client_(client), budget_(budget) {}
    ~TIRCUsers();
    TIRCUsers(const TIRCUsers&) = delete;
    TIRCUsers& operator=(const TIRCUsers&) = delete;

    std::size_t Count() const { return items_.size(); }
    TIRCUser& operator[](std::size_t i) const { return *items_.at(i); }
    // The first user in list order with that nick.
    TIRCUser* Find(std::string_view nick) const;

    // OnUserCreation comes before the user is appended. Returns nullptr, and adds nothing,
    // when the registry already holds its maximum of users.
    TIRCUser* Add(std::string nick, bool privileged);
    // OnUserDeletion, then the entry goes. False when no user has that nick.
    bool Remove(std::string_view nick);
    // OnUserChanging, new nick and key, OnUserChanged; the place in the list stays.
    bool Rename(std::string_view oldNick, const std::string& newNick);
    // OnUserChanging, the flag, OnUserChanged.
    void SetPrivileged(TIRCUser& user, bool privileged);
    // Deletes from the last user to the first, each with OnUserDeletion.
    void Clear();
    // The keys again after the server announced another case mapping.
    void Reindex();

    TIRCChannel& Channel() const { return channel_; }
    TIRCCli& Client() const { return client_; }

private:
    void Drop(TIRCUser& user);
    void Unindex(TIRCUser& user);

    TIRCChannel& channel_;
    TIRCCli& client_;
    std::size_t& budget_;  // user records left in the whole registry
    std::vector<std::shared_ptr<TIRCUser>> items_;
    std::unordered_multimap<std::string, TIRCUser*> index_;
};

class TIRCChannel : public std::enable_shared_from_this<TIRCChannel> {
public:
    TIRCChannel(TIRCCli& client, std::string name, std::size_t& budget)
        : client_(client), name_(std::move(name)), users_(*this, client, budget) {}

    const std::string& Name() const { return name_; }
    const std::string& Topic() const { return topic_; }
    void SetTopic(std::string topic) { topic_ = std::move(topic); }
    TIRCUsers& Users() { return users_; }
    const TIRCUsers& Users() const { return users_; }
    TIRCCli& Client() const { return client_; }
    bool Listed() const { return listed_; }

private:
    friend class TIRCChannels;
    TIRCCli& client_;
    std::string name_;
    std::string topic_;
    TIRCUsers users_;
    bool listed_ = false;
};

// The client's channels in the order they were added, looked up as the users are.
class TIRCChannels {
public:
    // A hostile server could otherwise grow the registry without end, one JOIN at a time.
    static constexpr std::size_t MaxChannels = 1000;
    static constexpr std::size_t MaxUserRecords = 100000;

    explicit TIRCChannels(TIRCCli& client) : client_(client) {}
    // Frees what is left without events; the client clears with events before.
    ~TIRCChannels();
    TIRCChannels(const TIRCChannels&) = delete;
    TIRCChannels& operator=(const TIRCChannels&) = delete;

    std::size_t Count() const { return items_.size(); }
    TIRCChannel& operator[](std::size_t i) const { return *items_.at(i); }
    TIRCChannel* Find(std::string_view name) const;

    // OnChannelCreation comes before the channel is appended. Returns nullptr, and adds
    // nothing, when MaxChannels are held.
    TIRCChannel* Add(std::string name);
    // Deletes the users from last to first, then OnChannelDeletion, then drops the entry.
    bool Remove(std::string_view name);
    void Remove(TIRCChannel& channel) { Delete(channel); }
    // Deletes the channels from the last to the first.
    void Clear();
    // The keys of every channel and user again, after a change of the case mapping.
    void Reindex();

    std::size_t UserRecords() const { return MaxUserRecords - userBudget_; }

private:
    void Delete(TIRCChannel& channel);

    TIRCCli& client_;
    std::vector<std::shared_ptr<TIRCChannel>> items_;
    std::unordered_multimap<std::string, TIRCChannel*> index_;
    std::size_t userBudget_ = MaxUserRecords;
};
