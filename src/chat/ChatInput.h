// SPDX-License-Identifier: GPL-3.0-or-later
// TChatInput: the input line's keys, the typed commands, the last line and the ping values.
#pragma once

#include "chat/Conversations.h"
#include "chat/IRCCli.h"
#include "chat/PingValues.h"
#include "settings/Settings.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <string>
#include <vector>

// The keys the input line takes for itself, as virtual-key codes; digits are '0' to '9'.
namespace ChatKey {
inline constexpr int Back = 0x08;
inline constexpr int Tab = 0x09;
inline constexpr int Return = 0x0D;
inline constexpr int Up = 0x26;
inline constexpr int Down = 0x28;
}  // namespace ChatKey

// The held modifiers of a key press.
using TShiftState = unsigned;
inline constexpr TShiftState ssShift = 1;
inline constexpr TShiftState ssAlt = 2;
inline constexpr TShiftState ssCtrl = 4;

class TChatInput {
public:
    // All four must outlive the input; ping is where the PONG line reads the last /PING.
    TChatInput(TIRCCli& client, TConversations& conversations, const TSettings& settings, TPingValues& ping)
        : client_(client), conversations_(conversations), settings_(settings), ping_(ping) {}

    // True when the key was taken here; every other key is the input line's normal editing.
    bool Edit1KeyDown(int key, TShiftState shift);
    // Clears the characters that Enter and Control+Backspace would leave in the input.
    static void Edit1KeyPress(char& key);

    // The input's text, or a shortcut's, as the user finished it. CR, LF and NUL end a line:
    // a pasted block is handled one line after the other, each exactly as if typed alone.
    void HandleText(const std::string& text);

    std::string LastSentLine;
    bool LineRecalled = false;
    // The lines remembered for Up and Down, oldest first; the last is LastSentLine.
    const std::deque<std::string>& History() const { return history_; }
    static constexpr std::size_t MaxHistory = 100;

    // A block of more than PasteAskLines lines is sent only when this answers yes to the
    // question ("Send 5 lines to #Lobby_20?"); on no, the block stays in the input line.
    std::function<bool(const std::string& question)> ConfirmPaste;
    static constexpr std::size_t PasteAskLines = 3;

    // The server drops a client that sends a longer line (CR LF not counted).
    static constexpr std::size_t MaxLineBytes = 510;
    // Room kept in a message for the ":nick!user@host " the server puts in front when it
    // passes the message on, so that others get it whole; host names are at most this long.
    static constexpr std::size_t MaxHostBytes = 63;

private:
    void HandleLine(const std::string& line);
    void Said(const std::string& line);
    void DeleteWordBeforeCaret();
    void Recall(int step);
    void CompleteNickname();
    std::string SelectedTabName() const;
    // The bytes of text that fit after head (and before tail bytes) in one message.
    std::size_t MessageRoom(const std::string& head, std::size_t tail = 0) const;
    // Sends text to target in as many messages as it takes, each echoed into tab with show.
    void SendSplit(const std::string& head, const std::string& text, const std::string& tail,
                   const std::function<void(const std::string& part)>& show);
    // The selected channel tab is not joined: say so and send nothing.
    bool NotJoined(const std::string& tab);
    void Send(const std::string& line);

    TIRCCli& client_;
    TConversations& conversations_;
    const TSettings& settings_;
    TPingValues& ping_;
    std::deque<std::string> history_;
    std::size_t recalled_ = 0;  // index in history_ while LineRecalled
    // What the last Tab left in the input; a Tab on exactly that goes on to the next name.
    struct TCompletion {
        std::string Text;
        std::size_t Caret = 0;
        std::size_t WordStart = 0;
        std::vector<std::string> Names;
        std::size_t Next = 0;
    } completion_;
};

// Control+Backspace: the text and caret (in bytes) after deleting the word left of the caret.
struct TWordDeletion {
    std::string Text;
    std::size_t Caret;
};
TWordDeletion DeleteWordBefore(const std::string& text, std::size_t caret);

// The nicknames of a channel's user list (marks such as "@" taken off) that begin with prefix,
// ignoring letter case, in the order of their letters, without own. A private conversation offers its
// name.
std::vector<std::string> NicknameCandidates(const TConversations& conversations, int tab, const std::string& prefix,
                                            const std::string& own);

// The longest start of text of at most max bytes that does not end inside a UTF-8 character.
std::string CutUtf8(const std::string& text, std::size_t max);

// text in pieces of at most max bytes, cut at the last blank that fits (which goes), or
// between characters where a word alone is longer than max. Nothing for an empty text.
std::vector<std::string> SplitMessage(const std::string& text, std::size_t max);
