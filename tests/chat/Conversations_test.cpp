// SPDX-License-Identifier: GPL-3.0-or-later
// Conversation tabs: lines reaching the right view, tabs and input text moving together, the
// user-list double-click, the "Close" rules and the user lists' order.
#include "FakeChatPage.h"

#include <gtest/gtest.h>

namespace {

using Texts = std::vector<std::string>;

class ConversationsTest : public ::testing::Test {
protected:
    TFakeChatPage page;
    TConversations chat{page};

    // The tab strip as the page shows it must always be the logic's own.
    void ExpectStripInStep() {
        ASSERT_EQ(static_cast<int>(page.Tabs.size()), chat.TabCount());
        for (int i = 0; i < chat.TabCount(); ++i) EXPECT_EQ(page.Tabs[static_cast<std::size_t>(i)], chat.TabLabel(i));
        EXPECT_EQ(page.Current, chat.SelectedTab());
    }
};

}  // namespace

TEST_F(ConversationsTest, LinesGoToTheirViewWithTheirClassAndOpenConversationsOnTheWay) {
    EXPECT_TRUE(chat.AddLineToRichEdit("", "!!!EXCEPTION!!!: x", LineClass::Error));
    EXPECT_EQ(page.Server.Lines, (std::vector<TFakeLine>{{"!!!EXCEPTION!!!: x", TFontStyle::Bold, {64, 64, 64}}}));

    page.Input = "typed on the server tab";
    EXPECT_TRUE(chat.AddLineToRichEdit("#Lobby_20", "ann has joined at 12:00:00", LineClass::Event));
    EXPECT_EQ(page.Created, (Texts{"#Lobby_20 channel"}));
    ASSERT_EQ(page.Lists.size(), 1u);
    EXPECT_EQ(page.Tabs, (Texts{"<Server>", "#Lobby_20"}));
    EXPECT_EQ(page.Current, 1);
    EXPECT_FALSE(page.Server.Visible);
    EXPECT_TRUE(page.View("#Lobby_20")->Visible);
    EXPECT_TRUE(page.List("#Lobby_20")->Visible);
    EXPECT_EQ(page.View("#Lobby_20")->Lines,
              (std::vector<TFakeLine>{{"ann has joined at 12:00:00", TFontStyle::Regular, {0, 147, 0}}}));
    EXPECT_EQ(chat.ServerInputText, "typed on the server tab");
    EXPECT_EQ(page.Input, "");

    // Names are found ignoring case; a private name gets no user list.
    EXPECT_TRUE(chat.AddLineToRichEdit("#LOBBY_20", "second", LineClass::Talk));
    EXPECT_TRUE(chat.AddLineToRichEdit("bob", "[bob]   hi", LineClass::Talk));
    EXPECT_EQ(page.Created, (Texts{"#Lobby_20 channel", "bob private"}));
    EXPECT_EQ(page.Lists.size(), 1u);
    EXPECT_EQ(page.View("#Lobby_20")->Texts(), (Texts{"ann has joined at 12:00:00", "second"}));
    EXPECT_EQ(chat.RowCount(), 2);
    EXPECT_EQ(chat.Row(1).UserList, nullptr);
    EXPECT_EQ(page.Current, 2);
    ExpectStripInStep();

    page.View("bob")->Fail = true;
    EXPECT_FALSE(chat.AddLineToRichEdit("bob", "lost", LineClass::Talk));
}

TEST_F(ConversationsTest, InputTextAndVisibilityFollowTheSelectedTab) {
    chat.OpenConversation("#a");
    chat.OpenConversation("carl");
    chat.SelectChatTab(0);
    page.Input = "server text";
    chat.SelectChatTab(1);
    EXPECT_EQ(page.Input, "");
    page.Input = "channel text";
    chat.SelectChatTab(2);
    page.Input = "carl text";
    chat.SelectChatTab(0);
    EXPECT_EQ(page.Input, "server text");
    EXPECT_TRUE(page.Server.Visible);
    EXPECT_FALSE(page.View("#a")->Visible);
    EXPECT_FALSE(page.View("carl")->Visible);
    chat.TabControl1Clicked(1);
    EXPECT_EQ(page.Input, "channel text");
    EXPECT_TRUE(page.View("#a")->Visible && page.List("#a")->Visible);
    EXPECT_FALSE(page.Server.Visible);
    chat.SelectChatTab(7);  // no such tab: nothing moves
    EXPECT_EQ(chat.SelectedTab(), 1);
    ExpectStripInStep();

    chat.ShowConversation("nobody", true);
    chat.ShowConversation("#A", false);
    EXPECT_FALSE(page.View("#a")->Visible || page.List("#a")->Visible);
}

TEST_F(ConversationsTest, OnTheGamesPageANewConversationIsSelectedButShownOnlyWithTheChatPage) {
    page.ChatActive = false;
    chat.ChatPageChanged(false);
    EXPECT_FALSE(page.Server.Visible);
    chat.AddLineToRichEdit("#Lobby_20", "x", LineClass::Info);
    EXPECT_EQ(chat.SelectedTab(), 1);
    EXPECT_FALSE(page.View("#Lobby_20")->Visible);
    EXPECT_FALSE(page.List("#Lobby_20")->Visible);
    EXPECT_FALSE(page.Server.Visible);
    // Nobody looks at the selected tab meanwhile: a message marks it until the page is back.
    chat.MarkUnread("#lobby_20", TTabMark::Unread);
    EXPECT_EQ(chat.TabMark(1), TTabMark::Unread);

    page.ChatActive = true;
    chat.ChatPageChanged(true);
    EXPECT_EQ(chat.TabMark(1), TTabMark::None);
    EXPECT_TRUE(page.View("#Lobby_20")->Visible && page.List("#Lobby_20")->Visible);
    EXPECT_FALSE(page.Server.Visible);
    EXPECT_EQ(page.Focused, 1);
}

TEST_F(ConversationsTest, DoubleClickOpensAPrivateTabOnceThenSelectsIt) {
    chat.AddLineToRichEdit("#Lobby_20", "x", LineClass::Info);
    TUserList& list = *chat.Row(0).UserList;
    for (auto n : {"bob", "alice"}) list.Add(n);
    for (auto n : {"Bob2", "op"}) list.Add(n, "o");
    TFakeList& shown = *page.List("#Lobby_20");
    EXPECT_EQ(shown.Items, (Texts{"@Bob2", "@op", "alice", "bob"}));

    chat.ListViewDblClick(list);  // nothing selected
    EXPECT_EQ(chat.RowCount(), 1);

    shown.Select("@Bob2");
    chat.ListViewDblClick(list);
    EXPECT_EQ(page.Tabs, (Texts{"<Server>", "#Lobby_20", "Bob2"}));
    EXPECT_EQ(page.Created.back(), "Bob2 private");
    EXPECT_EQ(chat.SelectedTab(), 2);

    chat.SelectChatTab(1);
    chat.ListViewDblClick(list);
    EXPECT_EQ(chat.RowCount(), 2);
    EXPECT_EQ(chat.SelectedTab(), 2);
    ExpectStripInStep();
}

TEST_F(ConversationsTest, EveryTabButTheServersOffersCloseAndAClosedConversationComesBackWithItsText) {
    chat.OpenConversation("#Lobby_20");
    chat.OpenConversation("bob");
    chat.OpenConversation("carl");
    chat.AddLineToRichEdit("bob", "[bob]   first", LineClass::Talk);
    chat.ppCloseTabClick();  // nothing chosen yet
    EXPECT_EQ(chat.TabCount(), 4);

    EXPECT_FALSE(chat.PopupMenu1Popup(0));
    EXPECT_TRUE(chat.PopupMenu1Popup(1));
    EXPECT_EQ(chat.TabToClose, "#Lobby_20");
    chat.TabToClose.clear();
    EXPECT_FALSE(chat.PopupMenu1Popup(-1));
    EXPECT_FALSE(chat.PopupMenu1Popup(4));
    EXPECT_EQ(chat.TabToClose, "");
    EXPECT_TRUE(chat.PopupMenu1Popup(2));
    EXPECT_EQ(chat.TabToClose, "bob");

    // bob is not the selected tab: carl stays selected and in view.
    chat.ppCloseTabClick();
    EXPECT_EQ(page.Tabs, (Texts{"<Server>", "#Lobby_20", "carl"}));
    EXPECT_EQ(chat.SelectedTab(), 2);
    EXPECT_TRUE(page.View("carl")->Visible);
    ExpectStripInStep();

    // The selected tab closes: its view goes with it, its input is kept, the left one shows.
    page.Input = "half a sentence to carl";
    ASSERT_TRUE(chat.PopupMenu1Popup(2));
    chat.ppCloseTabClick();
    EXPECT_EQ(page.Tabs, (Texts{"<Server>", "#Lobby_20"}));
    EXPECT_EQ(chat.SelectedTab(), 1);
    EXPECT_FALSE(page.View("carl")->Visible);
    EXPECT_TRUE(page.View("#Lobby_20")->Visible);
    EXPECT_EQ(page.Input, "");
    ExpectStripInStep();

    // A line for bob brings his tab back, selected, with what he said before.
    chat.AddLineToRichEdit("bob", "[bob]   again", LineClass::Talk);
    EXPECT_EQ(page.Tabs, (Texts{"<Server>", "#Lobby_20", "bob"}));
    EXPECT_EQ(chat.SelectedTab(), 2);
    EXPECT_EQ(page.View("bob")->Texts(), (Texts{"[bob]   first", "[bob]   again"}));
    EXPECT_TRUE(page.View("bob")->Visible);

    // A double-click on carl brings back his tab and his unsent text.
    TUserList& list = *chat.Row(0).UserList;
    list.Add("carl");
    page.List("#Lobby_20")->Select("carl");
    chat.ListViewDblClick(list);
    EXPECT_EQ(page.Tabs, (Texts{"<Server>", "#Lobby_20", "bob", "carl"}));
    EXPECT_EQ(page.Input, "half a sentence to carl");
    EXPECT_EQ(chat.RowCount(), 3);
    EXPECT_EQ(page.Views.size(), 3u);
    ExpectStripInStep();
}

TEST_F(ConversationsTest, TheFirstTabsLabelChangesButItIsNeverFoundByName) {
    chat.SetTabLabel(0, "irc.example");
    EXPECT_EQ(page.Tabs[0], "irc.example");
    EXPECT_EQ(chat.FindChatTab("irc.example"), -1);
    chat.AddLineToRichEdit("irc.example", "a private name equal to the host", LineClass::Talk);
    EXPECT_EQ(chat.FindChatTab("IRC.EXAMPLE"), 1);
}

TEST_F(ConversationsTest, TheNumberOfConversationsAndUserListEntriesIsBounded) {
    for (int i = 0; i < TConversations::MaxConversations; ++i)
        ASSERT_TRUE(chat.AddLineToRichEdit("#c" + std::to_string(i), "x", LineClass::Info));
    EXPECT_FALSE(chat.AddLineToRichEdit("one-too-many", "x", LineClass::Talk));
    EXPECT_EQ(chat.RowCount(), TConversations::MaxConversations);
    EXPECT_THROW(chat.OpenConversation("#more"), std::length_error);

    TUserList& a = *chat.Row(0).UserList;
    TUserList& b = *chat.Row(1).UserList;
    std::vector<TUserList::TEntry> many;
    for (std::size_t i = 0; i < TConversations::MaxUserListEntries; ++i) many.push_back({std::to_string(100000 + i)});
    a.Fill(many);
    EXPECT_EQ(a.Count(), static_cast<int>(TConversations::MaxUserListEntries));
    EXPECT_EQ(b.Add("late"), -1);
    b.Fill({{"x"}, {"y"}});
    EXPECT_EQ(b.Count(), 0);
    a.Remove(0);
    EXPECT_GE(b.Add("late"), 0);
    a.Clear();
    EXPECT_GE(b.Add("later"), 0);
}

TEST(UserList, KeepsEntriesSortedByModeThenNameThroughChangesAndFindsWhateverTheMark) {
    std::size_t budget = 100;
    TFakeList shown("#x");
    {
        TUserList list(shown, budget);
        for (auto n : {"zed", "Bob", "alice", "bob"}) list.Add(n);
        list.Add("op", "ov");
        list.Add("vic", "v");
        EXPECT_EQ(shown.Items, (Texts{"@op", "+vic", "alice", "Bob", "bob", "zed"}));
        EXPECT_EQ(LVFindItem(list, "BOB"), 3);
        EXPECT_EQ(LVFindItem(list, "op"), 0);
        EXPECT_EQ(LVFindItem(list, "@OP"), 0);
        EXPECT_EQ(LVFindItem(list, "bo"), -1);

        // Taking the operator mode leaves the voice, which the entry now shows.
        EXPECT_EQ(list.SetModes(0, "v"), 0);
        EXPECT_EQ(list.SetModes(LVFindItem(list, "zed"), "o"), 0);
        EXPECT_EQ(shown.Items, (Texts{"@zed", "+op", "+vic", "alice", "Bob", "bob"}));
        EXPECT_EQ(list.SetNick(LVFindItem(list, "op"), "aaron"), 1);
        EXPECT_EQ(shown.Items[1], "+aaron");
        list.Remove(LVFindItem(list, "alice"));
        EXPECT_THROW(list.Remove(5), std::out_of_range);
        EXPECT_EQ(budget, 95u);

        // One entry per nickname, however often a names reply lists it.
        list.Fill({{"b"}, {"a", "o"}, {"B"}, {"c"}, {"d"}, {"[x]"}, {"{X}"}});
        EXPECT_EQ(shown.Items, (Texts{"@a", "B", "c", "d", "[x]"}));
        EXPECT_EQ(budget, 95u);
    }
    EXPECT_EQ(budget, 100u);
}

TEST_F(ConversationsTest, StrangersOpenAtMostALimitOfPrivateTabsTheQuietestSeenGoFirst) {
    chat.OpenConversation("#Lobby_20");
    const int strangers = TPrivateTalkLimit::kSoftLimit + 10;
    for (int i = 0; i < strangers; ++i) {
        const std::string nick = "p" + std::to_string(i);
        ASSERT_TRUE(chat.AddLineToRichEdit(nick, "[" + nick + "]   hi", LineClass::Talk));
        if (i == 4) chat.MarkUnread("p3", TTabMark::Unread);  // the user has not seen it yet
        if (i == 40) chat.AddLineToRichEdit("p1", "[p1]   still here", LineClass::Talk);
    }
    EXPECT_EQ(chat.TabCount(), 2 + TPrivateTalkLimit::kSoftLimit);
    EXPECT_GE(chat.FindChatTab("#Lobby_20"), 1);
    EXPECT_GE(chat.FindChatTab("p3"), 1) << "unread lines keep their tab";
    EXPECT_LT(chat.FindChatTab("p0"), 0);
    EXPECT_LT(chat.FindChatTab("p2"), 0);
    EXPECT_GE(chat.FindChatTab("p1"), 1) << "it spoke again later than the others";
    EXPECT_GE(chat.FindChatTab("p" + std::to_string(strangers - 1)), 1);
    ExpectStripInStep();
    // A closed one comes back with what it held.
    chat.AddLineToRichEdit("p0", "[p0]   again", LineClass::Talk);
    EXPECT_GE(chat.FindChatTab("p0"), 1);
    EXPECT_EQ(page.View("p0")->Texts(), (Texts{"[p0]   hi", "[p0]   again"}));
    EXPECT_EQ(chat.TabCount(), 2 + TPrivateTalkLimit::kSoftLimit);
}
