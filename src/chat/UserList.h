// TUserList: a channel's user list, kept sorted by caption, mirrored by a list widget.
#pragma once

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
};

// Captions are nicknames, "@" in front for a channel operator. They are ordered like the
// system orders texts: letter case ignored first, then by bytes, so "@op" comes before "alice".
class TUserList {
public:
    // budget is the number of entries all user lists together may still take; names come
    // from the server, and a list must not grow without end.
    TUserList(TUserListView& view, std::size_t& budget) : view_(view), budget_(budget) {}
    ~TUserList() { budget_ += items_.size(); }
    TUserList(const TUserList&) = delete;
    TUserList& operator=(const TUserList&) = delete;

    int Count() const { return static_cast<int>(items_.size()); }
    const std::string& Caption(int index) const { return items_.at(static_cast<std::size_t>(index)); }
    // Inserts at the sorted place and returns it; -1 (nothing added) when the budget is spent.
    int Add(const std::string& caption);
    void Remove(int index);
    // A changed caption moves to its sorted place, which is returned.
    int SetCaption(int index, const std::string& caption);
    void Clear();
    // Replaces every entry at once: one sort instead of one insertion per name, for a names
    // reply that lists thousands. Entries past the budget are left out.
    void Fill(std::vector<std::string> captions);
    int Selected() const { return view_.SelectedIndex(); }
    void SetVisible(bool visible) { view_.SetVisible(visible); }
    TUserListView& View() const { return view_; }
    // Asked for every entry as it is inserted, so a mark survives renames and names replies.
    std::function<bool(const std::string& caption)> IsMarked;
    // Asks again for an entry whose mark may have changed.
    void Remark(int index);

private:
    TUserListView& view_;
    std::size_t& budget_;
    std::vector<std::string> items_;
};

// The first entry whose whole caption equals text, ignoring letter case; -1 for none.
int LVFindItem(const TUserList& list, std::string_view caption);

// Letter case of ASCII letters ignored; other bytes compare as they are.
bool SameTextNoCase(std::string_view a, std::string_view b);
