// SPDX-License-Identifier: GPL-3.0-or-later
// TUserList: sorted insertion, removal, renaming and the case-blind find.
#include "chat/UserList.h"

#include "chat/MemberModes.h"

#include <algorithm>
#include <stdexcept>

const TIRCSupport TUserList::defaults_{};

bool SameTextNoCase(std::string_view a, std::string_view b) { return SameIrcText(a, b, TCaseMapping::Ascii); }

TUserList::TUserList(TUserListView& view, std::size_t& budget, const TIRCSupport* support)
    : view_(view), budget_(budget), support_(support) {}

TUserList::TEntry TUserList::Entry(std::string nick, std::string modes) const {
    TEntry e{std::move(nick), std::move(modes), {}};
    const char mark = HighestMark(e.Modes, Support());
    e.Caption = mark ? std::string(1, mark) + e.Nick : e.Nick;
    return e;
}

bool TUserList::Before(const TEntry& a, const TEntry& b) const {
    const TIRCSupport& s = Support();
    const auto rank = [&](const TEntry& e) { return e.Modes.empty() ? std::string::npos : s.ModeRank(e.Modes[0]); };
    const std::size_t ra = rank(a), rb = rank(b);
    if (ra != rb) return ra < rb;
    return IrcBefore(a.Nick, b.Nick, s.CaseMapping);
}

int TUserList::Find(std::string_view nick) const {
    const TIRCSupport& s = Support();
    // A caller may still hand a caption: its marks are not part of the name.
    while (!nick.empty() && s.MarkRank(nick[0]) != std::string::npos) nick.remove_prefix(1);
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (SameIrcText(items_[i].Nick, nick, s.CaseMapping)) return static_cast<int>(i);
    return -1;
}

int TUserList::Insert(TEntry entry) {
    if (budget_ == 0) return -1;
    auto at = std::upper_bound(items_.begin(), items_.end(), entry,
                               [this](const TEntry& a, const TEntry& b) { return Before(a, b); });
    const int index = static_cast<int>(at - items_.begin());
    const std::string caption = entry.Caption, nick = entry.Nick;
    items_.insert(at, std::move(entry));
    --budget_;
    view_.ItemInserted(index, caption);
    if (IsMarked && IsMarked(nick)) view_.ItemMarked(index, true);
    if (IsAway && IsAway(nick)) view_.ItemAway(index, true);
    return index;
}

int TUserList::Add(const std::string& nick, const std::string& modes) { return Insert(Entry(nick, modes)); }

void TUserList::Remove(int index) {
    if (index < 0 || index >= Count()) throw std::out_of_range("user list index");
    items_.erase(items_.begin() + index);
    ++budget_;
    view_.ItemRemoved(index);
}

int TUserList::SetNick(int index, const std::string& nick) {
    TEntry e = Entry(nick, At(index).Modes);
    Remove(index);
    return Insert(std::move(e));
}

int TUserList::SetModes(int index, const std::string& modes) {
    TEntry e = Entry(At(index).Nick, modes);
    Remove(index);
    return Insert(std::move(e));
}

void TUserList::Remark(int index) {
    if (index < 0 || index >= Count()) return;
    view_.ItemMarked(index, IsMarked && IsMarked(Nick(index)));
}

void TUserList::ShowAway(int index) {
    if (index < 0 || index >= Count()) return;
    view_.ItemAway(index, IsAway && IsAway(Nick(index)));
}

void TUserList::Clear() {
    budget_ += items_.size();
    items_.clear();
    view_.ItemsCleared();
}

void TUserList::Fill(std::vector<TEntry> entries) {
    Clear();
    const TCaseMapping mapping = Support().CaseMapping;
    for (TEntry& e : entries) e = Entry(std::move(e.Nick), std::move(e.Modes));
    // A server lists each member once; a hostile one could list a nick twice, and the
    // later lookups must find one entry, not leave a ghost.
    std::stable_sort(entries.begin(), entries.end(),
                     [mapping](const TEntry& a, const TEntry& b) { return IrcBefore(a.Nick, b.Nick, mapping); });
    entries.erase(std::unique(entries.begin(), entries.end(),
                              [mapping](const TEntry& a, const TEntry& b) {
                                  return SameIrcText(a.Nick, b.Nick, mapping);
                              }),
                  entries.end());
    if (entries.size() > budget_) entries.resize(budget_);
    std::stable_sort(entries.begin(), entries.end(), [this](const TEntry& a, const TEntry& b) { return Before(a, b); });
    budget_ -= entries.size();
    items_ = std::move(entries);
    for (std::size_t i = 0; i < items_.size(); ++i) {
        view_.ItemInserted(static_cast<int>(i), items_[i].Caption);
        if (IsMarked && IsMarked(items_[i].Nick)) view_.ItemMarked(static_cast<int>(i), true);
        if (IsAway && IsAway(items_[i].Nick)) view_.ItemAway(static_cast<int>(i), true);
    }
}

int LVFindItem(const TUserList& list, std::string_view nick) { return list.Find(nick); }
