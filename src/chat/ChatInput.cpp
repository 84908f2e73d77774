// TChatInput: what the keys of the input line do and how a finished line goes to the server.
#include "chat/ChatInput.h"

#include <algorithm>

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
        view.SetInputText(LastSentLine);
        view.SetInputCaret(LastSentLine.size());
        LineRecalled = true;
        return true;
    case ChatKey::Down:
        if (LineRecalled) {
            view.SetInputText("");
            LineRecalled = false;
        }
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

std::string TChatInput::MessageFit(const std::string& head, const std::string& text, std::size_t tail) const {
    // ":" nick "!~" user "@" host " ", as the server relays it.
    const std::size_t relay = 1 + settings_.Nickname.size() + 2 + client_.User().size() + 1 + MaxHostBytes + 1;
    const std::size_t used = relay + head.size() + tail;
    return used >= MaxLineBytes ? std::string() : CutUtf8(text, MaxLineBytes - used);
}

void TChatInput::Send(const std::string& line) {
    // Names that came from the network are part of some lines; none may end the line early.
    const auto end = std::find_if(line.begin(), line.end(), IsLineEnd);
    client_.SendPaced(CutUtf8(std::string(line.begin(), end), MaxLineBytes));
}

void TChatInput::Said(const std::string& line) {
    LastSentLine = line;
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
        } else if (connected) {
            const std::string head = "PRIVMSG " + tab + " :";
            if (command.empty()) {
                const std::string text = MessageFit(head, line);
                Send(head + text);
                conversations_.AddLineToRichEdit(tab, "[" + nick + "]   " + text, LineClass::Talk);
            } else {
                const std::string text = MessageFit(head + "\x01" "ACTION ", argument, 1);
                Send(head + "\x01" "ACTION " + text + "\x01");
                conversations_.AddLineToRichEdit(tab, " * " + nick + " " + text, LineClass::Action);
            }
        }
        Said(line);
    } else if (command == "MSG") {
        const std::size_t blank = argument.find(' ');
        const std::string target = argument.substr(0, blank);
        const std::string said = blank == std::string::npos ? std::string() : argument.substr(blank + 1);
        if (connected) {
            const std::string head = "PRIVMSG " + target + " :";
            const std::string text = MessageFit(head, said);
            Send(head + text);
            conversations_.AddLineToRichEdit(tab, "-> <" + target + ">   " + text, LineClass::Talk);
        }
        Said(line);
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
