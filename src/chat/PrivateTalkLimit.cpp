// SPDX-License-Identifier: GPL-3.0-or-later
// TPrivateTalkLimit: the quietest seen private tab gives way first.
#include "chat/PrivateTalkLimit.h"

void TPrivateTalkLimit::Touched(const std::string& name) { activity_[name] = ++clock_; }

std::uint64_t TPrivateTalkLimit::Activity(const std::string& name) const {
    const auto it = activity_.find(name);
    return it == activity_.end() ? 0 : it->second;
}

int TPrivateTalkLimit::ToClose(const std::vector<TTab>& tabs) const {
    const int open = static_cast<int>(tabs.size());
    if (open < kSoftLimit) return -1;
    auto quietest = [&](bool seenOnly) {
        int best = -1;
        for (int i = 0; i < open; ++i) {
            const TTab& t = tabs[static_cast<std::size_t>(i)];
            if (t.Selected || (seenOnly && t.Mark != TTabMark::None)) continue;
            if (best < 0 || Activity(t.Name) < Activity(tabs[static_cast<std::size_t>(best)].Name)) best = i;
        }
        return best;
    };
    const int seen = quietest(true);
    if (seen >= 0 || open < kHardLimit) return seen;
    return quietest(false);
}
