// SPDX-License-Identifier: GPL-3.0-or-later
// Links in chat text: where a view marks them, which ones may be opened, and what a right-click copies.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct TLinkSpan {
    std::size_t Start = 0;   // byte offset in the text
    std::size_t Length = 0;  // bytes
    bool operator==(const TLinkSpan&) const = default;
};

// The addresses a rich-text view recognises by itself (http, https, ftp, file, mailto, news,
// nntp, telnet, gopher, wais, prospero, notes and www.), in text order. A link starts at the
// text's start or after a character that is not a letter or digit, runs to the next blank,
// control character, bidirectional control, '<', '>' or '"', and gives up trailing punctuation and an unbalanced
// closing bracket, so "(see www.x.org)." marks www.x.org.
std::vector<TLinkSpan> FindLinks(std::string_view text);

// Links are text anyone in the chat can send, and the desktop would start a program for a
// file: address or a custom scheme. Only http, https and ftp links, www. addresses and mailto:
// addresses are opened, and none that holds a blank, a control or a bidirectional control.
bool MayOpenLink(std::string_view link);

// The address handed to the desktop for a link that may be opened: www. gets "http://" in
// front, and a mailto: link loses its query and fragment (headers, body, attachments).
std::string LinkAddress(std::string_view link);

// The length in bytes of the UTF-8 bidirectional control at the start of text, 0 if none:
// the embeddings and overrides U+202A-U+202E, the isolates U+2066-U+2069 and the marks
// U+200E, U+200F and U+061C. They are invisible and reorder what follows them, so a view
// shows them as visible marks and a link ends before one.
std::size_t BidiControlLength(std::string_view text);

// Where the copied part of a link starts: a mailto: link is copied without its scheme.
std::size_t LinkCopyOffset(std::string_view link);

// Opens an address with the desktop's URL handler; no shell is involved.
class TLinkOpener {
public:
    virtual ~TLinkOpener() = default;
    virtual void OpenLink(const std::string& address) = 0;
};

// Opens the link when MayOpenLink allows it; returns whether it was handed on.
bool OpenURL(std::string_view link, TLinkOpener& opener);
