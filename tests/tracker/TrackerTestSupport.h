// SPDX-License-Identifier: GPL-3.0-or-later
// Test helpers for the game tracker: recorded message boxes and a status reply encoder.
#pragma once

#include "tracker/MessageBox.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct TRecordedBox {
    std::string Text;
    std::string Caption;
    TMsgIcon Icon;
    TMsgButtons Buttons;
    TMsgDefault Default;
};

class TRecordingBoxes : public TMessageBoxes {
public:
    TMsgResult Show(const std::string& text, const std::string& caption, TMsgIcon icon,
                    TMsgButtons buttons, TMsgDefault defaultButton) override {
        Shown.push_back({text, caption, icon, buttons, defaultButton});
        if (WhileShown) WhileShown();
        return Answer;
    }
    std::vector<TRecordedBox> Shown;
    TMsgResult Answer = TMsgResult::Ok;
    // Runs while the box would be open, as handlers run inside its modal loop.
    std::function<void()> WhileShown;
};

// 32-bit little-endian, written out byte by byte from the wire table.
inline std::string Le32(std::uint32_t v) {
    std::string b(4, '\0');
    for (int i = 0; i < 4; ++i) b[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return b;
}

// A status reply as a game server sends it.
inline std::string StatusReplyBytes(const std::string& server, const std::string& missionFile,
                                    const std::string& mission, int players, int state, int flags) {
    std::string b("\x00\xE1\x2E\x2E", 4);
    b += Le32(static_cast<std::uint32_t>(server.size())) + server;
    b += Le32(static_cast<std::uint32_t>(missionFile.size())) + missionFile;
    b += Le32(static_cast<std::uint32_t>(mission.size())) + mission;
    b += static_cast<char>(players);
    b += static_cast<char>(state);
    b += static_cast<char>(flags);
    return b;
}
