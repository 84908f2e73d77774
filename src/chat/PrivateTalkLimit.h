// SPDX-License-Identifier: GPL-3.0-or-later
// TPrivateTalkLimit: how many private conversations keep a tab open, and which one gives way.
#pragma once

#include "chat/Highlight.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

// A thousand strangers writing once each would otherwise make a thousand tabs. Past kSoftLimit
// open private tabs, the one quiet longest whose lines have all been seen closes; past
// kHardLimit, the quietest closes even with unread lines. A closed conversation keeps its lines
// and returns with them on its next message, so nothing is lost; only the tab goes.
class TPrivateTalkLimit {
public:
    static constexpr int kSoftLimit = 50;
    static constexpr int kHardLimit = 200;

    struct TTab {
        std::string Name;
        TTabMark Mark = TTabMark::None;
        bool Selected = false;
    };

    // A line came to the conversation (or the user wrote there).
    void Touched(const std::string& name);
    // Which open private tab to close before one more opens; -1 for none. Never the selected one.
    int ToClose(const std::vector<TTab>& privateTabs) const;
    void Closed(const std::string& name) { activity_.erase(name); }

private:
    std::uint64_t Activity(const std::string& name) const;
    std::unordered_map<std::string, std::uint64_t> activity_;
    std::uint64_t clock_ = 0;
};
