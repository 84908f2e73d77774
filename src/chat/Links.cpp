// SPDX-License-Identifier: GPL-3.0-or-later
// Link detection and the rule of which links may be opened.
#include "chat/Links.h"

#include <array>

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (Lower(text[i]) != prefix[i]) return false;
    return true;
}

bool IsAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool EndsLinkByte(char c) {
    auto u = static_cast<unsigned char>(c);
    return u <= 0x20 || u == 0x7F || c == '<' || c == '>' || c == '"';
}

// A link also ends before a bidirectional control, so that none can reorder what it shows.
bool EndsLink(std::string_view text, std::size_t i) {
    return EndsLinkByte(text[i]) || BidiControlLength(text.substr(i)) > 0;
}

// Lower case, as matched; longer prefixes first where one begins another.
constexpr std::array<std::string_view, 13> kPrefixes{
    "https://", "http://", "ftp://", "file:", "mailto:", "news:", "nntp:",
    "telnet:", "gopher:", "wais:", "prospero:", "notes:", "www.",
};

std::size_t PrefixAt(std::string_view text, std::size_t pos) {
    if (pos > 0 && IsAlnum(text[pos - 1])) return 0;
    auto rest = text.substr(pos);
    for (auto p : kPrefixes)
        if (StartsWithNoCase(rest, p)) return p.size();
    return 0;
}

// The end of a link body that began at start, without what trails it in a sentence. Bracket
// counts are taken once, so a line of closing brackets costs no more than any other line.
std::size_t TrimEnd(std::string_view text, std::size_t start, std::size_t end) {
    constexpr std::string_view kOpen = "([{", kClose = ")]}";
    int balance[3] = {0, 0, 0};  // closing minus opening, per kind
    for (std::size_t i = start; i < end; ++i) {
        if (auto k = kOpen.find(text[i]); k != std::string_view::npos) --balance[k];
        if (auto k = kClose.find(text[i]); k != std::string_view::npos) ++balance[k];
    }
    while (end > start) {
        const char c = text[end - 1];
        if (c == '.' || c == ',' || c == ';' || c == ':' || c == '!' || c == '?' || c == '\'') {
            --end;
            continue;
        }
        // A closing bracket without its opening one belongs to the sentence around the link.
        if (auto k = kClose.find(c); k != std::string_view::npos && balance[k] > 0) {
            --balance[k];
            --end;
            continue;
        }
        break;
    }
    return end;
}

}  // namespace

std::size_t BidiControlLength(std::string_view text) {
    if (text.size() < 2) return 0;
    const auto b0 = static_cast<unsigned char>(text[0]), b1 = static_cast<unsigned char>(text[1]);
    if (b0 == 0xD8 && b1 == 0x9C) return 2;  // U+061C
    if (text.size() < 3 || b0 != 0xE2) return 0;
    const auto b2 = static_cast<unsigned char>(text[2]);
    if (b1 == 0x80 && (b2 == 0x8E || b2 == 0x8F || (b2 >= 0xAA && b2 <= 0xAE))) return 3;  // U+200E-F, U+202A-E
    if (b1 == 0x81 && b2 >= 0xA6 && b2 <= 0xA9) return 3;                                   // U+2066-9
    return 0;
}

std::vector<TLinkSpan> FindLinks(std::string_view text) {
    std::vector<TLinkSpan> links;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t prefix = PrefixAt(text, pos);
        if (prefix == 0) {
            ++pos;
            continue;
        }
        std::size_t end = pos + prefix;
        while (end < text.size() && !EndsLink(text, end)) ++end;
        std::size_t trimmed = TrimEnd(text, pos + prefix, end);
        if (trimmed > pos + prefix) {
            links.push_back({pos, trimmed - pos});
            pos = trimmed;
        } else {
            pos = end > pos ? end : pos + 1;
        }
    }
    return links;
}

bool MayOpenLink(std::string_view link) {
    for (std::string_view p : {"http:", "https:", "ftp:", "mailto:", "www."})
        if (StartsWithNoCase(link, p) && link.size() > p.size()) {
            for (std::size_t i = 0; i < link.size(); ++i)
                if (static_cast<unsigned char>(link[i]) <= 0x20 || link[i] == 0x7F ||
                    BidiControlLength(link.substr(i)) > 0)
                    return false;
            return true;
        }
    return false;
}

std::string LinkAddress(std::string_view link) {
    if (StartsWithNoCase(link, "www.")) return "http://" + std::string(link);
    // A stranger's mail link may carry headers, a body or "attach=" a local file: only the
    // address is handed on.
    if (StartsWithNoCase(link, "mailto:")) return std::string(link.substr(0, link.find_first_of("?#")));
    return std::string(link);
}

std::size_t LinkCopyOffset(std::string_view link) { return StartsWithNoCase(link, "mailto:") ? 7 : 0; }

bool OpenURL(std::string_view link, TLinkOpener& opener) {
    if (!MayOpenLink(link)) return false;
    const std::string address = LinkAddress(link);
    if (address.size() <= 7 && StartsWithNoCase(address, "mailto:")) return false;  // nothing left to write to
    opener.OpenLink(address);
    return true;
}
