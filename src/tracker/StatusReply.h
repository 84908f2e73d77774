// SPDX-License-Identifier: GPL-3.0-or-later
// The server status datagrams: the query's bytes and the pure parse of a reply.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The 2-byte status query: 00 E2.
inline constexpr std::string_view StatusQuery{"\x00\xE2", 2};

struct TStatusReply {
    std::string ServerName;
    std::string MissionFile;
    std::string MissionName;
    std::uint8_t Players = 0;
    std::uint8_t State = 0;
    std::uint8_t Flags = 0;
};

// A status reply from its datagram bytes, or nothing when the datagram is not one: wrong
// magic, or a length or the three trailing bytes reaching past its end. Nothing outside
// bytes is read.
std::optional<TStatusReply> ParseStatusReply(std::string_view bytes);

// The Mission column: the mission name, followed by " / " and the file name when there is one.
std::string MissionText(const TStatusReply& reply);
