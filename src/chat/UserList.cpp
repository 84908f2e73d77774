// TUserList: sorted insertion, removal, renaming and the case-insensitive find.
#include "chat/UserList.h"

#include <algorithm>
#include <stdexcept>

namespace {

unsigned char Fold(char c) {
    auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

bool Before(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i)
        if (Fold(a[i]) != Fold(b[i])) return Fold(a[i]) < Fold(b[i]);
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

}  // namespace

bool SameTextNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Fold(a[i]) != Fold(b[i])) return false;
    return true;
}

int TUserList::Add(const std::string& caption) {
    if (budget_ == 0) return -1;
    auto at = std::upper_bound(items_.begin(), items_.end(), caption, Before);
    const int index = static_cast<int>(at - items_.begin());
    items_.insert(at, caption);
    --budget_;
    view_.ItemInserted(index, caption);
    if (IsMarked && IsMarked(caption)) view_.ItemMarked(index, true);
    return index;
}

void TUserList::Remove(int index) {
    if (index < 0 || index >= Count()) throw std::out_of_range("user list index");
    items_.erase(items_.begin() + index);
    ++budget_;
    view_.ItemRemoved(index);
}

int TUserList::SetCaption(int index, const std::string& caption) {
    Remove(index);
    return Add(caption);
}

void TUserList::Remark(int index) {
    if (index < 0 || index >= Count()) return;
    view_.ItemMarked(index, IsMarked && IsMarked(Caption(index)));
}

void TUserList::Clear() {
    budget_ += items_.size();
    items_.clear();
    view_.ItemsCleared();
}

void TUserList::Fill(std::vector<std::string> captions) {
    Clear();
    if (captions.size() > budget_) captions.resize(budget_);
    std::stable_sort(captions.begin(), captions.end(), Before);
    budget_ -= captions.size();
    items_ = std::move(captions);
    for (std::size_t i = 0; i < items_.size(); ++i) {
        view_.ItemInserted(static_cast<int>(i), items_[i]);
        if (IsMarked && IsMarked(items_[i])) view_.ItemMarked(static_cast<int>(i), true);
    }
}

int LVFindItem(const TUserList& list, std::string_view caption) {
    for (int i = 0; i < list.Count(); ++i)
        if (SameTextNoCase(list.Caption(i), caption)) return i;
    return -1;
}
