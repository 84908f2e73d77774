// SPDX-License-Identifier: GPL-3.0-or-later
// A chat page without widgets: views, user lists, tab strip, input line and button that record.
#pragma once

#include "chat/Conversations.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

struct TFakeLine {
    std::string Text;
    TFontStyle Style;
    TColour Colour;
    bool Marked = false;
    std::string Game{};  // the server name a game line offers to join
    bool operator==(const TFakeLine&) const = default;
};

class TFakeView : public TMessageView {
public:
    explicit TFakeView(std::string name, bool visible = false) : Name(std::move(name)), Visible(visible) {}
    void AppendLine(const std::string& text, TFontStyle style, TColour colour) override {
        if (Fail) throw std::runtime_error("view failed");
        Lines.push_back({text, style, colour});
    }
    void AppendMarkedLine(const std::string& text, TFontStyle style, TColour colour) override {
        AppendLine(text, style, colour);
        Lines.back().Marked = true;
    }
    void AppendGameLine(const std::string& text, std::size_t nameStart, std::size_t nameLength, TFontStyle style,
                        TColour colour) override {
        AppendLine(text, style, colour);
        Lines.back().Game = text.substr(nameStart, nameLength);
    }
    void SetVisible(bool visible) override { Visible = visible; }
    std::vector<std::string> Texts() const {
        std::vector<std::string> out;
        for (const auto& l : Lines) out.push_back(l.Text);
        return out;
    }

    std::string Name;
    bool Visible;
    bool Fail = false;
    std::vector<TFakeLine> Lines;
};

class TFakeList : public TUserListView {
public:
    explicit TFakeList(std::string name) : Name(std::move(name)) {}
    void ItemInserted(int index, const std::string& caption) override {
        Items.insert(Items.begin() + index, caption);
        Marks.insert(Marks.begin() + index, false);
        Aways.insert(Aways.begin() + index, false);
    }
    void ItemRemoved(int index) override {
        Items.erase(Items.begin() + index);
        Marks.erase(Marks.begin() + index);
        Aways.erase(Aways.begin() + index);
    }
    void ItemsCleared() override {
        Items.clear();
        Marks.clear();
        Aways.clear();
    }
    void ItemAway(int index, bool away) override { Aways.at(static_cast<std::size_t>(index)) = away; }
    bool Away(const std::string& caption) const {
        auto it = std::find(Items.begin(), Items.end(), caption);
        return it != Items.end() && Aways[static_cast<std::size_t>(it - Items.begin())];
    }
    void ItemMarked(int index, bool marked) override { Marks.at(static_cast<std::size_t>(index)) = marked; }
    std::vector<std::string> Marked() const {
        std::vector<std::string> out;
        for (std::size_t i = 0; i < Items.size(); ++i)
            if (Marks[i]) out.push_back(Items[i]);
        return out;
    }
    int SelectedIndex() const override { return Selected; }
    void SetVisible(bool visible) override { Visible = visible; }
    void Select(const std::string& caption) {
        auto it = std::find(Items.begin(), Items.end(), caption);
        Selected = it == Items.end() ? -1 : static_cast<int>(it - Items.begin());
    }

    std::string Name;
    std::vector<std::string> Items;
    std::vector<bool> Marks;  // beside Items
    std::vector<bool> Aways;  // beside Items
    int Selected = -1;
    bool Visible = false;
};

class TFakeChatPage : public TChatPageView {
public:
    TMessageView& ServerView() override { return Server; }
    TMessageView& CreateConversationView(const std::string& name, bool channel) override {
        Views.push_back(std::make_unique<TFakeView>(name));
        Created.push_back(name + (channel ? " channel" : " private"));
        return *Views.back();
    }
    TUserListView& CreateUserList(const std::string& name) override {
        Lists.push_back(std::make_unique<TFakeList>(name));
        return *Lists.back();
    }
    void TabAdded(const std::string& label) override { Tabs.push_back(label); }
    void TabRemoved(int index) override { Tabs.erase(Tabs.begin() + index); }
    void TabLabelChanged(int index, const std::string& label) override {
        Tabs.at(static_cast<std::size_t>(index)) = label;
    }
    void TabSelected(int index) override { Current = index; }
    void TabMarkChanged(int index, TTabMark mark) override {
        Marks.resize(std::max(Marks.size(), Tabs.size()));
        Marks.at(static_cast<std::size_t>(index)) = mark;
    }
    bool ChatPageActive() const override { return ChatActive; }
    std::string InputText() const override { return Input; }
    void SetInputText(const std::string& text) override { Input = text; }
    void FocusInput() override { ++Focused; }
    void SetConnectButton(const std::string& caption, bool enabled) override {
        Caption = caption;
        Enabled = enabled;
    }

    TFakeView* View(const std::string& name) {
        for (auto& v : Views)
            if (v->Name == name) return v.get();
        return nullptr;
    }
    TFakeList* List(const std::string& name) {
        for (auto& l : Lists)
            if (l->Name == name) return l.get();
        return nullptr;
    }

    TFakeView Server{"", true};
    std::vector<std::unique_ptr<TFakeView>> Views;
    std::vector<std::unique_ptr<TFakeList>> Lists;
    std::vector<std::string> Created;
    std::vector<std::string> Tabs{"<Server>"};
    std::vector<TTabMark> Marks;
    int Current = 0;
    bool ChatActive = true;
    std::string Input;
    int Focused = 0;
    std::string Caption = "Connect";
    bool Enabled = true;
};
