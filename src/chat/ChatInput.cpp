// SPDX-License-Identifier: GPL-3.0-or-later
// TChatInput: what the keys of the input line do and how a finished line goes to the server.
#include "chat/ChatInput.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr const char* kNotOnChannel = "* You're not on a channel!";

std::string UpperAscii(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

bool IsLineEnd(char c) { return c == '\r' || c == '\n' || c == '\0'; }

}  // namespace

std::string CutUtf8(const std::string& text, std::size_t max) {
    if (text.size() <= max) return text;
    std::size_t end = max;
    // Back off over continuation bytes (10xxxxxx) to the first byte of the character cut.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

std::vector<std::string> SplitMessage(const std::string& text, std::size_t max) {
    std::vector<std::string> parts;
    if (max == 0) return parts;
    std::size_t at = 0;
    while (at < text.size()) {
        if (text.size() - at <= max) {
            parts.push_back(text.substr(at));
            break;
        }
        // The blank at max itself still lets the part be max bytes long.
        const std::size_t blank = text.rfind(' ', at + max);
        if (blank != std::string::npos && blank > at) {
            parts.push_back(text.substr(at, blank - at));
            at = blank + 1;
            continue;
        }
        std::string piece = CutUtf8(text.substr(at, max + 1), max);
        // Only a byte sequence that is no UTF-8 at all backs off to nothing: cut it bare.
        if (piece.empty()) piece = text.substr(at, max);
        at += piece.size();
        parts.push_back(std::move(piece));
    }
    return parts;
}

TWordDeletion DeleteWordBefore(const std::string& text, std::size_t caret) {
    caret = std::min(caret, text.size());
    const std::string after = text.substr(caret);
    // Walk left from the caret; stop on the first blank once a word has been passed.
    std::size_t j = caret;
    bool wordSeen = false;
    while (j >= 1) {
        if (text[j - 1] != ' ')
            wordSeen = true;
        else if (wordSeen)
            break;
        --j;
    }
    std::string before = text.substr(0, j);
    if (!after.empty() && after[0] == ' ')
        while (!before.empty() && before.back() == ' ') before.pop_back();
    return {before + after, before.size()};
}

bool TChatInput::Edit1KeyDown(int key, TShiftState shift) {
    TChatPageView& view = conversations_.View();
    if (shift == ssCtrl) {
        if (key == ChatKey::Return) {
            HandleText(view.InputText());
        } else if (key >= '0' && key <= '9') {
            HandleText(ShortcutText(settings_, key - '0'));
        } else if (key == ChatKey::Back) {
            DeleteWordBeforeCaret();
        } else {
            return false;
        }
        return true;
    }
    switch (key) {
    case ChatKey::Return:
        HandleText(view.InputText());
        return true;
    case ChatKey::Up:
        Recall(-1);
        return true;
    case ChatKey::Down:
        Recall(+1);
        return true;
    case ChatKey::Tab:
        // With Alt (or a Shift that came through as Tab) the key keeps its usual meaning.
        if (shift != 0) return false;
        CompleteNickname();
        return true;
    default:
        return false;
    }
}

void TChatInput::Edit1KeyPress(char& key) {
    if (key == '\r' || key == 127) key = 0;
}

void TChatInput::HandleText(const std::string& text) {
    if (ConfirmPaste) {
        std::size_t lines = 0;
        for (std::size_t start = 0; start <= text.size();) {
            std::size_t end = start;
            while (end < text.size() && !IsLineEnd(text[end])) ++end;
            if (end > start) ++lines;
            start = end + 1;
        }
        const int tab = conversations_.SelectedTab();
        if (lines > PasteAskLines &&
            !ConfirmPaste("Send " + std::to_string(lines) + " lines to " + conversations_.TabLabel(tab) + "?"))
            return;
    }
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = start;
        while (end < text.size() && !IsLineEnd(text[end])) ++end;
        HandleLine(text.substr(start, end - start));
        start = end + 1;
    }
}

std::string TChatInput::SelectedTabName() const {
    const int tab = conversations_.SelectedTab();
    return tab == 0 ? std::string() : conversations_.TabLabel(tab);
}

std::size_t TChatInput::MessageRoom(const std::string& head, std::size_t tail) const {
    // ":" nick "!~" user "@" host " ", as the server relays it.
    const std::size_t relay = 1 + settings_.Nickname.size() + 2 + client_.User().size() + 1 + MaxHostBytes + 1;
    const std::size_t used = relay + head.size() + tail;
    return used >= MaxLineBytes ? 0 : MaxLineBytes - used;
}

void TChatInput::SendSplit(const std::string& head, const std::string& text, const std::string& tail,
                           const std::function<void(const std::string& part)>& show) {
    for (const std::string& part : SplitMessage(text, MessageRoom(head, tail.size()))) {
        Send(head + part + tail);
        show(part);
    }
}

bool TChatInput::NotJoined(const std::string& tab) {
    const int row = conversations_.FindRow(tab);
    if (row < 0 || !conversations_.Row(row).UserList || conversations_.Row(row).Joined) return false;
    conversations_.AddLineToRichEdit(tab, "* You are not in " + tab + " (/join " + tab + " to go back in)",
                                     LineClass::Info);
    return true;
}

void TChatInput::Send(const std::string& line) {
    // Names that came from the network are part of some lines; none may end the line early.
    const auto end = std::find_if(line.begin(), line.end(), IsLineEnd);
    client_.SendPaced(CutUtf8(std::string(line.begin(), end), MaxLineBytes));
}

void TChatInput::Recall(int step) {
    TChatPageView& view = conversations_.View();
    if (step < 0) {
        // The first Up brings the last line, as it always did, also when there is none yet.
        if (!LineRecalled) recalled_ = history_.empty() ? 0 : history_.size() - 1;
        else if (recalled_ > 0) --recalled_;
        const std::string line = history_.empty() ? LastSentLine : history_[recalled_];
        view.SetInputText(line);
        view.SetInputCaret(line.size());
        LineRecalled = true;
        return;
    }
    if (!LineRecalled) return;
    if (recalled_ + 1 < history_.size()) {
        ++recalled_;
        view.SetInputText(history_[recalled_]);
        view.SetInputCaret(history_[recalled_].size());
        return;
    }
    // Past the newest line: an empty input, as Down after one Up always gave.
    view.SetInputText("");
    LineRecalled = false;
}

std::vector<std::string> NicknameCandidates(const TConversations& conversations, int tab, const std::string& prefix,
                                            const std::string& own) {
    std::vector<std::string> names;
    if (tab <= 0 || tab >= conversations.TabCount()) return names;
    const TCaseMapping mapping = conversations.Support.CaseMapping;
    const auto matches = [&](const std::string& name) {
        return !name.empty() && name.size() >= prefix.size() &&
               SameIrcText(std::string_view(name).substr(0, prefix.size()), prefix, mapping) &&
               !SameIrcText(name, own, mapping);
    };
    const int row = conversations.FindRow(conversations.TabLabel(tab));
    if (row < 0) return names;
    const TConversation& c = conversations.Row(row);
    if (!c.UserList) {
        if (matches(c.Name)) names.push_back(c.Name);
        return names;
    }
    for (int i = 0; i < c.UserList->Count(); ++i)
        if (matches(c.UserList->Nick(i))) names.push_back(c.UserList->Nick(i));
    // Modes sort operators first in the list; names are offered by the name alone.
    std::stable_sort(names.begin(), names.end(),
                     [mapping](const std::string& a, const std::string& b) { return IrcBefore(a, b, mapping); });
    return names;
}

void TChatInput::CompleteNickname() {
    TChatPageView& view = conversations_.View();
    const std::string text = view.InputText();
    const std::size_t caret = std::min(view.InputCaret(), text.size());
    TCompletion& c = completion_;
    const bool again = !c.Names.empty() && text == c.Text && caret == c.Caret;
    if (!again) {
        const std::size_t blank = caret == 0 ? std::string::npos : text.rfind(' ', caret - 1);
        const std::size_t start = blank == std::string::npos ? 0 : blank + 1;
        const std::string prefix = text.substr(start, caret - start);
        c = {};
        if (prefix.empty()) return;
        c.Names = NicknameCandidates(conversations_, conversations_.SelectedTab(), prefix, settings_.Nickname);
        if (c.Names.empty()) return;
        c.WordStart = start;
        c.Text = text.substr(0, start) + text.substr(caret);  // what surrounds the completed word
        c.Caret = start;
    } else {
        // The text without the name the previous Tab put in.
        c.Text = text.substr(0, c.WordStart) + text.substr(caret);
    }
    std::string after = c.Text.substr(c.WordStart);
    const std::string& name = c.Names[c.Next % c.Names.size()];
    ++c.Next;
    std::string word = name + (c.WordStart == 0 ? ": " : " ");
    if (!after.empty() && after[0] == ' ' && word.back() == ' ') word.pop_back();
    const std::string result = c.Text.substr(0, c.WordStart) + word + after;
    view.SetInputText(result);
    c.Caret = c.WordStart + word.size();
    view.SetInputCaret(c.Caret);
    c.Text = result;
}

void TChatInput::Said(const std::string& line) {
    LastSentLine = line;
    // A line sent twice in a row is one step back, not two.
    if (history_.empty() || history_.back() != line) history_.push_back(line);
    while (history_.size() > MaxHistory) history_.pop_front();
    conversations_.View().SetInputText("");
    LineRecalled = false;
}

void TChatInput::HandleLine(const std::string& line) {
    if (line.empty()) return;
    std::string command, argument = line;
    if (line[0] == '/') {
        const std::size_t blank = line.find(' ', 1);
        command = UpperAscii(line.substr(1, blank == std::string::npos ? std::string::npos : blank - 1));
        argument = blank == std::string::npos ? std::string() : line.substr(blank + 1);
    }
    const std::string tab = SelectedTabName();
    const bool connected = client_.Connected();
    const std::string& nick = settings_.Nickname;

    if (command.empty() || command == "ME") {
        if (connected && tab.empty()) {
            conversations_.AddLineToRichEdit("", kNotOnChannel, LineClass::Info);
        } else if (connected && NotJoined(tab)) {
            // Said all the same: the line is in the history for when the user is back in.
        } else if (connected) {
            const std::string head = "PRIVMSG " + tab + " :";
            // A long line goes as several messages, each whole at the others' end.
            if (command.empty()) {
                SendSplit(head, line, "", [&](const std::string& part) {
                    conversations_.AddLineToRichEdit(tab, "[" + nick + "]   " + part, LineClass::Talk);
                });
            } else {
                SendSplit(head + "\x01" "ACTION ", argument, "\x01", [&](const std::string& part) {
                    conversations_.AddLineToRichEdit(tab, " * " + nick + " " + part, LineClass::Action);
                });
            }
        }
        Said(line);
    } else if (command == "MSG") {
        const std::size_t blank = argument.find(' ');
        const std::string target = argument.substr(0, blank);
        const std::string said = blank == std::string::npos ? std::string() : argument.substr(blank + 1);
        if (connected) {
            SendSplit("PRIVMSG " + target + " :", said, "", [&](const std::string& part) {
                conversations_.AddLineToRichEdit(tab, "-> <" + target + ">   " + part, LineClass::Talk);
            });
        }
        Said(line);
    } else if (command == "CLOSE") {
        // The selected tab, or the one named; closing a channel parts it.
        conversations_.CloseTab(argument.empty() ? tab : argument);
        conversations_.View().SetInputText("");
    } else if (command == "PART" && (argument.empty() || !conversations_.IsChannel(argument)) && !tab.empty() &&
               conversations_.IsChannel(tab)) {
        // "/part" or "/part reason" in a channel tab leaves that channel.
        if (connected) Send("PART " + tab + (argument.empty() ? std::string() : " :" + argument));
        conversations_.View().SetInputText("");
    } else if (command == "PING") {
        // From the seventh character on, whatever the sixth is.
        const std::string target = line.size() > 6 ? line.substr(6) : std::string();
        conversations_.AddLineToRichEdit(tab, "-> [" + target + "] PING", LineClass::Ping);
        ping_.PingTarget = target;
        const std::int64_t frequency = PerformanceFrequency();
        if (frequency != 0) {
            ping_.PingFrequency = frequency;
            ping_.PingStart = PerformanceCounter();
        }
        if (connected) Send(line.substr(1));
        conversations_.View().SetInputText("");
    } else {
        if (connected) Send(line.substr(1));
        conversations_.View().SetInputText("");
    }
}

void TChatInput::DeleteWordBeforeCaret() {
    TChatPageView& view = conversations_.View();
    const TWordDeletion result = DeleteWordBefore(view.InputText(), view.InputCaret());
    view.SetInputText(result.Text);
    view.SetInputCaret(result.Caret);
}
