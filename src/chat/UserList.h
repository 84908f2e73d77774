// SPDX-License-Identifier: GPL-3.0-or-later
// TUserList: a channel's user list, kept sorted, mirrored by a list widget.
#pragma once

#include "chat/IRCSupport.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The widget that shows a user list; it is told every change in the order it happens.
class TUserListView {
public:
    virtual ~TUserListView() = default;
    virtual void ItemInserted(int index, const std::string& caption) = 0;
    virtual void ItemRemoved(int index) = 0;
    virtual void ItemsCleared() = 0;
    // The entry the user selected, or -1.
    virtual int SelectedIndex() const = 0;
    virtual void SetVisible(bool visible) = 0;
    // The entry at index is shown with or without the mark of a player gone to a game.
    virtual void ItemMarked(int, bool) {}
    // The entry at index is shown as away (greyed) or back.
    virtual void ItemAway(int, bool) {}
};

// Each entry is a nickname with every member mode the user holds; its caption is the
// nickname with the mark of the highest mode in front ("@op", "+bob"). Entries are ordered by
// that mode, highest first, then by nickname, letter case folded as the server folds it.
class TUserList {
public:
    // budget is the number of entries all user lists together may still take; names come
    // from the server, and a list must not grow without end. support (PREFIX, CASEMAPPING)
    // must outlive the list; null means a server that announced nothing.
    TUserList(TUserListView& view, std::size_t& budget, const TIRCSupport* support = nullptr);
    ~TUserList() { budget_ += items_.size(); }
    TUserList(const TUserList&) = delete;
    TUserList& operator=(const TUserList&) = delete;

    struct TEntry {
        std::string Nick;
        std::string Modes{};  // member mode letters, highest first
        std::string Caption{};
    };

    int Count() const { return static_cast<int>(items_.size()); }
    const std::string& Caption(int index) const { return At(index).Caption; }
    const std::string& Nick(int index) const { return At(index).Nick; }
    const std::string& Modes(int index) const { return At(index).Modes; }
    // The entry of nick, whatever marks it carries; -1 for none.
    int Find(std::string_view nick) const;
    // Inserts at the sorted place and returns it; -1 (nothing added) when the budget is spent.
    int Add(const std::string& nick, const std::string& modes = {});
    void Remove(int index);
    // A changed entry moves to its sorted place, which is returned.
    int SetNick(int index, const std::string& nick);
    int SetModes(int index, const std::string& modes);
    void Clear();
    // Replaces every entry at once: one sort instead of one insertion per name, for a names
    // reply that lists thousands. Entries past the budget are left out, and so is a second
    // entry of one nickname.
    void Fill(std::vector<TEntry> entries);
    int Selected() const { return view_.SelectedIndex(); }
    void SetVisible(bool visible) { view_.SetVisible(visible); }
    TUserListView& View() const { return view_; }
    const TIRCSupport& Support() const { return support_ ? *support_ : defaults_; }
    // Asked with the nickname of every entry as it is inserted, so a mark survives renames
    // and names replies.
    std::function<bool(const std::string& nick)> IsMarked;
    // Asks again for an entry whose mark may have changed.
    void Remark(int index);
    // Asked like IsMarked: the user is away (away-notify).
    std::function<bool(const std::string& nick)> IsAway;
    // Asks again for an entry whose away state may have changed.
    void ShowAway(int index);

private:
    const TEntry& At(int index) const { return items_.at(static_cast<std::size_t>(index)); }
    TEntry Entry(std::string nick, std::string modes) const;
    bool Before(const TEntry& a, const TEntry& b) const;
    int Insert(TEntry entry);

    TUserListView& view_;
    std::size_t& budget_;
    const TIRCSupport* support_;
    static const TIRCSupport defaults_;
    std::vector<TEntry> items_;
};

// The entry of nick (marks in front of it are looked through); -1 for none.
int LVFindItem(const TUserList& list, std::string_view nick);

// Letter case of ASCII letters ignored; other bytes compare as they are.
bool SameTextNoCase(std::string_view a, std::string_view b);
