// SPDX-License-Identifier: GPL-3.0-or-later
// The reconnect decisions.
#include "chat/ReconnectPolicy.h"

#include <algorithm>

namespace {

bool ContainsNoCase(std::string_view text, std::string_view word) {
    if (word.size() > text.size()) return false;
    for (std::size_t at = 0; at + word.size() <= text.size(); ++at) {
        bool same = true;
        for (std::size_t i = 0; i < word.size() && same; ++i) {
            char c = text[at + i];
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            same = c == word[i];
        }
        if (same) return true;
    }
    return false;
}

// Server texts are shown in a line of our own: kept short and on one line.
std::string Shown(std::string_view text) {
    std::string out(text.substr(0, 200));
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 32) c = ' ';
    return out;
}

}  // namespace

void TReconnectPolicy::Started() {
    userEnded_ = false;
    up_ = false;
    banNumeric_ = false;
    banReason_.clear();
    attempt_ = 0;
}

void TReconnectPolicy::Connected(TClock::time_point now) {
    up_ = true;
    upSince_ = now;
}

void TReconnectPolicy::ServerLine(std::string_view command, const std::vector<std::string>& parameters) {
    const std::string_view text = parameters.empty() ? std::string_view() : std::string_view(parameters.back());
    if (command == "465" || command == "466") {
        banNumeric_ = true;
        banReason_ = text.empty() ? std::string("banned") : Shown(text);
        return;
    }
    if (command != "ERROR") return;
    if (banNumeric_ || ContainsNoCase(text, "k-line") || ContainsNoCase(text, "g-line") ||
        ContainsNoCase(text, "kline") || ContainsNoCase(text, "gline") || ContainsNoCase(text, "banned"))
        banReason_ = Shown(text.empty() ? std::string_view(banReason_) : text);
}

TReconnectPolicy::TDecision TReconnectPolicy::Dropped(TClock::time_point now, double random01) {
    TDecision d;
    if (up_ && now - upSince_ >= StableAfter) attempt_ = 0;
    up_ = false;
    if (userEnded_) return d;
    if (!banReason_.empty()) {
        d.Reason = "Not reconnecting: the server refuses this connection (" + banReason_ + ")";
        return d;
    }
    using namespace std::chrono;
    milliseconds pause = First;
    for (int i = 0; i < attempt_ && pause < Max; ++i) pause *= 2;
    pause = std::min(pause, Max);
    const double factor = 1.0 + Jitter * (2.0 * std::clamp(random01, 0.0, 1.0) - 1.0);
    pause = std::min(Max, milliseconds(static_cast<long long>(static_cast<double>(pause.count()) * factor)));
    ++attempt_;
    d.Reconnect = true;
    d.Pause = std::max(pause, milliseconds(1));
    return d;
}
