// SPDX-License-Identifier: GPL-3.0-or-later
// A game server's status reply: any datagram parses to a reply within its bytes, or to nothing.
#include "FuzzSupport.h"
#include "tracker/StatusReply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = fuzz::Bytes(data, size);
    const auto reply = ParseStatusReply(bytes);
    if (!reply) return 0;
    // Magic, three length fields and three trailing bytes around the texts.
    FUZZ_CHECK(bytes.substr(0, 4) == std::string_view("\x00\xE1\x2E\x2E", 4));
    FUZZ_CHECK(reply->ServerName.size() + reply->MissionFile.size() + reply->MissionName.size() + 4 + 12 + 3 <= size);
    const std::string mission = MissionText(*reply);
    FUZZ_CHECK(mission.size() <= reply->MissionName.size() + reply->MissionFile.size() + 3);
    return 0;
}
