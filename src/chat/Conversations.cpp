// SPDX-License-Identifier: GPL-3.0-or-later
// TConversations: opening conversations, moving between tabs with their input text, the user-list
// double-click and the "Close" entry of the tab strip.
#include "chat/Conversations.h"

#include <stdexcept>

int TConversations::FindRow(const std::string& name) const {
    for (std::size_t i = 0; i < arConversations.size(); ++i)
        if (SameName(arConversations[i]->Name, name)) return static_cast<int>(i);
    return -1;
}

bool TConversations::AddLineToRichEdit(const std::string& tabName, const std::string& text, TFontStyle style,
                                       TColour colour, bool marked) {
    return AddLine(tabName, text, [&](TMessageView& view) {
        if (marked)
            view.AppendMarkedLine(text, style, colour);
        else
            view.AppendLine(text, style, colour);
    });
}

bool TConversations::AddGameLineToRichEdit(const std::string& tabName, const std::string& text,
                                           std::size_t nameStart, std::size_t nameLength,
                                           const TLineClass& lineClass) {
    return AddLine(tabName, text, [&](TMessageView& view) {
        view.AppendGameLine(text, nameStart, nameLength, lineClass.Style, lineClass.Colour);
    });
}

bool TConversations::AddLine(const std::string& tabName, const std::string& text,
                             const std::function<void(TMessageView&)>& write) {
    try {
        TMessageView* target = nullptr;
        std::string logName;
        if (tabName.empty()) {
            target = &view_.ServerView();
        } else {
            const int row = FindRow(tabName);
            TConversation& c = row < 0 ? OpenConversation(tabName) : Row(row);
            logName = c.Name;
            if (!c.UserList) privateLimit_.Touched(c.Name);
            // A closed conversation comes back with its tab, as a new one would open.
            if (FindChatTab(c.Name) < 0) {
                AddTab(c.Name);
                SelectChatTab(TabCount() - 1);
                if (c.UserList && !c.Joined) view_.TabJoinedChanged(TabCount() - 1, false);
            }
            target = c.View;
        }
        write(*target);
        if (!logName.empty() && OnLineAdded) {
            try {
                OnLineAdded(logName, text);
            } catch (...) {
            }
        }
        return true;
    } catch (...) {
        return false;
    }
}

TConversation& TConversations::OpenConversation(const std::string& name) {
    if (RowCount() >= MaxConversations) throw std::length_error("Too many conversations are open");
    const bool channel = IsChannel(name);
    auto row = std::make_unique<TConversation>();
    row->Name = name;
    row->View = &view_.CreateConversationView(name, channel);
    if (channel) {
        row->UserList = std::make_unique<TUserList>(view_.CreateUserList(name), userBudget_, &Support);
        row->UserList->IsMarked = [this, name](const std::string& caption) {
            return IsUserMarked && IsUserMarked(name, caption);
        };
        row->UserList->IsAway = [this](const std::string& nick) { return IsUserAway && IsUserAway(nick); };
    }
    arConversations.push_back(std::move(row));
    TConversation& c = *arConversations.back();
    if (FindChatTab(name) == -1) {
        AddTab(name);
        SelectChatTab(TabCount() - 1);
    }
    return c;
}

int TConversations::FindChatTab(const std::string& name) const {
    for (std::size_t i = 1; i < tabs_.size(); ++i)
        if (SameName(tabs_[i], name)) return static_cast<int>(i);
    return -1;
}

void TConversations::SelectChatTab(int index) {
    if (index < 0 || index >= TabCount()) return;
    TabControl1Changing();
    SetSelected(index);
    TabControl1Change();
}

void TConversations::ShowConversation(const std::string& name, bool visible) {
    const int row = FindRow(name);
    if (row < 0) return;
    TConversation& c = Row(row);
    c.View->SetVisible(visible);
    if (c.UserList) c.UserList->SetVisible(visible);
}

void TConversations::TabControl1Changing() {
    if (selected_ == 0) {
        view_.ServerView().SetVisible(false);
        ServerInputText = view_.InputText();
        return;
    }
    const std::string label = TabLabel(selected_);
    ShowConversation(label, false);
    const int row = FindRow(label);
    if (row >= 0) Row(row).InputText = view_.InputText();
}

void TConversations::MarkUnread(const std::string& name, TTabMark mark) {
    const int tab = FindChatTab(name);
    if (tab < 0 || (tab == selected_ && view_.ChatPageActive())) return;
    if (mark > marks_[static_cast<std::size_t>(tab)]) SetMark(tab, mark);
}

void TConversations::SetMark(int index, TTabMark mark) {
    if (marks_.at(static_cast<std::size_t>(index)) == mark) return;
    marks_[static_cast<std::size_t>(index)] = mark;
    view_.TabMarkChanged(index, mark);
}

void TConversations::TabControl1Change() {
    const bool active = view_.ChatPageActive();
    if (active) SetMark(selected_, TTabMark::None);
    if (selected_ == 0) {
        if (active) view_.ServerView().SetVisible(true);
        view_.SetInputText(ServerInputText);
        return;
    }
    const std::string label = TabLabel(selected_);
    if (active) ShowConversation(label, true);
    const int row = FindRow(label);
    view_.SetInputText(row >= 0 ? Row(row).InputText : std::string());
}

void TConversations::ChatPageChanged(bool chatActive) {
    if (selected_ == 0)
        view_.ServerView().SetVisible(chatActive);
    else
        ShowConversation(TabLabel(selected_), chatActive);
    if (chatActive) {
        SelectedTabSeen();
        view_.FocusInput();
    }
}

void TConversations::ListViewDblClick(TUserList& list) {
    const int selected = list.Selected();
    if (selected < 0 || selected >= list.Count()) return;
    const std::string name = list.Nick(selected);
    if (name.empty()) return;
    const int row = FindRow(name);
    if (row < 0) {
        OpenConversation(name);
        return;
    }
    int tab = FindChatTab(name);
    if (tab < 0) {
        AddTab(Row(row).Name);
        tab = TabCount() - 1;
    }
    SelectChatTab(tab);
}

bool TConversations::PopupMenu1Popup(int tabIndex) {
    if (tabIndex < 1 || tabIndex >= TabCount()) return false;
    TabToClose = TabLabel(tabIndex);
    return true;
}

void TConversations::ppCloseTabClick() { CloseTab(TabToClose); }

void TConversations::SetJoined(int row, bool joined) {
    TConversation& c = Row(row);
    if (!c.UserList || c.Joined == joined) return;
    c.Joined = joined;
    const int tab = FindChatTab(c.Name);
    if (tab > 0) view_.TabJoinedChanged(tab, joined);
}

bool TConversations::CloseTab(const std::string& name) {
    const int index = FindChatTab(name);
    if (index < 1) return false;
    const std::string label = TabLabel(index);
    // The conversation keeps its row, view and saved input; only the tab goes. Leaving the
    // selected tab first hides its view, so nothing of it stays on screen.
    const bool wasSelected = index == selected_;
    if (wasSelected) TabControl1Changing();
    tabs_.erase(tabs_.begin() + index);
    marks_.erase(marks_.begin() + index);
    view_.TabRemoved(index);
    if (wasSelected) {
        SetSelected(index - 1);
        TabControl1Change();
    } else {
        SetSelected(index < selected_ ? selected_ - 1 : selected_);
    }
    const int row = FindRow(label);
    if (row >= 0 && Row(row).UserList && OnChannelTabClosed) OnChannelTabClosed(Row(row).Name);
    return true;
}

void TConversations::SetTabLabel(int index, const std::string& label) {
    tabs_.at(static_cast<std::size_t>(index)) = label;
    view_.TabLabelChanged(index, label);
}

void TConversations::MakeRoomForPrivateTab() {
    std::vector<TPrivateTalkLimit::TTab> open;
    std::vector<int> index;
    for (int i = 1; i < TabCount(); ++i) {
        if (TabLabel(i).starts_with('#')) continue;
        open.push_back({TabLabel(i), marks_[static_cast<std::size_t>(i)], i == selected_});
        index.push_back(i);
    }
    const int close = privateLimit_.ToClose(open);
    if (close < 0) return;
    privateLimit_.Closed(open[static_cast<std::size_t>(close)].Name);
    const std::string userChoice = TabToClose;
    TabToClose = open[static_cast<std::size_t>(close)].Name;
    ppCloseTabClick();
    TabToClose = userChoice;
}

void TConversations::AddTab(const std::string& label) {
    if (!label.starts_with('#')) {
        MakeRoomForPrivateTab();
        privateLimit_.Touched(label);
    }
    tabs_.push_back(label);
    marks_.push_back(TTabMark::None);
    view_.TabAdded(label);
}

void TConversations::SetSelected(int index) {
    selected_ = index;
    view_.TabSelected(index);
}
