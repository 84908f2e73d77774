// SPDX-License-Identifier: GPL-3.0-or-later
// TConversations: the conversation table, the chat tab strip, per-tab input text and the views they show.
#pragma once

#include "chat/ChatLine.h"
#include "chat/Highlight.h"
#include "chat/IRCSupport.h"
#include "chat/PrivateTalkLimit.h"
#include "chat/UserList.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// What the chat page logic needs from the toolkit: the views, the tab strip, the input line
// and the connect button. Views and lists it creates live as long as the page.
class TChatPageView {
public:
    virtual ~TChatPageView() = default;
    virtual TMessageView& ServerView() = 0;
    // A hidden view, and for a channel a hidden user list, for a new conversation.
    virtual TMessageView& CreateConversationView(const std::string& name, bool channel) = 0;
    virtual TUserListView& CreateUserList(const std::string& name) = 0;

    virtual void TabAdded(const std::string& label) = 0;
    virtual void TabRemoved(int index) = 0;
    virtual void TabLabelChanged(int index, const std::string& label) = 0;
    virtual void TabSelected(int index) = 0;
    // A tab's unread mark changed (bold for unread lines, more so for a highlight).
    virtual void TabMarkChanged(int, TTabMark) {}
    // A channel tab's conversation is no longer (or again) joined: after a part or a kick.
    virtual void TabJoinedChanged(int, bool) {}
    virtual bool ChatPageActive() const = 0;

    virtual std::string InputText() const = 0;
    virtual void SetInputText(const std::string& text) = 0;
    // The caret as a byte position in InputText(); a view without a caret keeps it at the end.
    virtual std::size_t InputCaret() const { return InputText().size(); }
    virtual void SetInputCaret(std::size_t) {}
    virtual void FocusInput() = 0;

    virtual void SetConnectButton(const std::string& caption, bool enabled) = 0;
};

// One row of arConversations.
struct TConversation {
    std::string Name;
    TMessageView* View = nullptr;
    std::unique_ptr<TUserList> UserList;  // null for a private conversation
    std::string InputText;                // what the input line held when the tab was last left
    // A channel: the server's echo of our JOIN came and no PART, KICK or drop since.
    bool Joined = false;
};

inline constexpr const char* ServerTabLabel = "<Server>";

class TConversations {
public:
    explicit TConversations(TChatPageView& view) : view_(view) {}

    // Rows are never removed, so a row's address stays valid for the page's life.
    int RowCount() const { return static_cast<int>(arConversations.size()); }
    TConversation& Row(int index) { return *arConversations.at(static_cast<std::size_t>(index)); }
    const TConversation& Row(int index) const { return *arConversations.at(static_cast<std::size_t>(index)); }
    // The first row whose name equals name, letter case folded as the server folds it; -1 for none.
    int FindRow(const std::string& name) const;
    // The server's announcements of this session (PREFIX, CASEMAPPING, CHANTYPES), which user
    // lists, lookups and the channel test read.
    TIRCSupport Support;
    bool IsChannel(const std::string& name) const { return Support.IsChannel(name); }
    bool SameName(const std::string& a, const std::string& b) const {
        return SameIrcText(a, b, Support.CaseMapping);
    }
    // A channel row's joined state; the tab shows it.
    void SetJoined(int row, bool joined);
    // A tab is open for the named conversation.
    bool TabOpen(const std::string& name) const { return FindChatTab(name) > 0; }

    // Appends a line to the server view (empty tab name) or to the named conversation,
    // opening it first when there is none and bringing back its tab when it was closed. False
    // when the line could not be added; nothing is raised.
    // marked: the line names the user and is drawn marked.
    bool AddLineToRichEdit(const std::string& tabName, const std::string& text, TFontStyle style, TColour colour,
                           bool marked = false);
    bool AddLineToRichEdit(const std::string& tabName, const std::string& text, const TLineClass& lineClass,
                           bool marked = false) {
        return AddLineToRichEdit(tabName, text, lineClass.Style, lineClass.Colour, marked);
    }

    // The same for a line that names a game server at [nameStart, nameStart + nameLength).
    bool AddGameLineToRichEdit(const std::string& tabName, const std::string& text, std::size_t nameStart,
                               std::size_t nameLength, const TLineClass& lineClass);

    // A message arrived in the named conversation: unless the user is looking at its tab, the
    // tab is marked, never less than it already was. Looking at the tab clears the mark.
    void MarkUnread(const std::string& name, TTabMark mark);
    TTabMark TabMark(int index) const { return marks_.at(static_cast<std::size_t>(index)); }
    // The selected tab is on screen again (the Chat page came back): its mark goes.
    void SelectedTabSeen() { SetMark(selected_, TTabMark::None); }

    // Opens a channel ("#" first) or a private conversation with a tab of its own, selected.
    // Throws once MaxConversations are open: each holds a view for the rest of the run.
    TConversation& OpenConversation(const std::string& name);
    int FindChatTab(const std::string& name) const;
    void SelectChatTab(int index);
    void ShowConversation(const std::string& name, bool visible);

    // The user selected another tab in the strip.
    void TabControl1Clicked(int index) { SelectChatTab(index); }
    // The page switch: the selected tab's view follows the Chat page.
    void ChatPageChanged(bool chatActive);

    void ListViewDblClick(TUserList& list);
    // The tab under the pointer when the strip's context menu is about to open (-1 for none);
    // returns whether "Close" is shown.
    bool PopupMenu1Popup(int tabIndex);
    void ppCloseTabClick();
    // Closes a conversation's tab (the menu, a middle click, /close); false for the server
    // tab or a name without one. A channel's closing is passed on to part it.
    bool CloseTab(const std::string& name);
    std::function<void(const std::string& channel)> OnChannelTabClosed;

    int TabCount() const { return static_cast<int>(tabs_.size()); }
    const std::string& TabLabel(int index) const { return tabs_.at(static_cast<std::size_t>(index)); }
    int SelectedTab() const { return selected_; }
    void SetTabLabel(int index, const std::string& label);

    TChatPageView& View() { return view_; }

    // After a line was added to a conversation's view (not the server view), with the
    // conversation's name: the chat log. What it throws is swallowed.
    std::function<void(const std::string& name, const std::string& text)> OnLineAdded;

    std::string ServerInputText;
    std::string TabToClose;
    static constexpr int MaxConversations = 1000;
    // Entries all user lists together may hold.
    static constexpr std::size_t MaxUserListEntries = 100000;

    // Whether a channel's user list shows an entry's caption with a mark; asked whenever an
    // entry is (re)inserted.
    std::function<bool(const std::string& channel, const std::string& caption)> IsUserMarked;
    // Asked for each entry as it is inserted: the user is away.
    std::function<bool(const std::string& nick)> IsUserAway;

private:
    bool AddLine(const std::string& tabName, const std::string& text, const std::function<void(TMessageView&)>& write);
    void TabControl1Changing();
    void TabControl1Change();
    void AddTab(const std::string& label);
    void SetSelected(int index);
    void SetMark(int index, TTabMark mark);

    TChatPageView& view_;
    // Before the rows: their user lists give their entries back when they go.
    std::size_t userBudget_ = MaxUserListEntries;
    std::vector<std::unique_ptr<TConversation>> arConversations;
    std::vector<std::string> tabs_{ServerTabLabel};
    std::vector<TTabMark> marks_{TTabMark::None};  // one per tab
    TPrivateTalkLimit privateLimit_;
    void MakeRoomForPrivateTab();
    int selected_ = 0;
};
