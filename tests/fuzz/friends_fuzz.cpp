// SPDX-License-Identifier: GPL-3.0-or-later
// Friends fed by a hostile server: every line it sends as a MONITOR or ISON answer, and names
// from the lobby. The list never grows past its limit, and the lines it writes carry only
// names, within their length, with no line break or NUL that could smuggle in a command.
#include "FuzzSupport.h"
#include "chat/Friends.h"

#include <string>

namespace {

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= ']') c = static_cast<char>(c + 32);
    return out;
}

void CheckLines(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        FUZZ_CHECK(line.size() <= TFriends::MaxCommandLength);
        FUZZ_CHECK(line.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = fuzz::Bytes(data, size);
    TFriends friends(Lower);
    auto now = TFriends::TClock::time_point{};
    std::size_t at = 0;
    while (at < input.size()) {
        std::size_t end = input.find('\n', at);
        if (end == std::string_view::npos) end = input.size();
        const std::string_view line = input.substr(at, end - at);
        at = end + 1;
        if (line.empty()) continue;
        const std::string_view rest = line.substr(1);
        now += std::chrono::seconds(static_cast<unsigned char>(line[0]) % 90);
        switch (line[0] % 10) {
            case 0: friends.SetText(rest); break;
            case 1: friends.Add(rest); break;
            case 2: friends.MonitorOnlineReply(rest, now); break;
            case 3: friends.MonitorOfflineReply(rest, now); break;
            case 4: friends.MonitorListFull(rest); break;
            case 5: friends.IsonReply(rest, now); break;
            case 6: CheckLines(friends.MonitorLines(rest.size())); break;
            case 7: CheckLines(friends.IsonLines()); break;
            case 8: friends.Renamed(rest.substr(0, rest.find(' ')), rest.substr(rest.find(' ') + 1), now); break;
            default: friends.AnnouncedGame(rest, std::string(rest), now); friends.Expire(now); break;
        }
        FUZZ_CHECK(friends.Count() <= TFriends::MaxFriends);
        for (const TFriend* f : friends.NewestFirst()) FUZZ_CHECK(TFriends::ValidNick(f->Nick));
    }
    return 0;
}
