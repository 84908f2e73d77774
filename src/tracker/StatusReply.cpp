// SPDX-License-Identifier: GPL-3.0-or-later
// The server status datagrams: the pure parse of a reply.
#include "tracker/StatusReply.h"

namespace {

// Reads length-prefixed fields front to back; every read is checked against what is left,
// so a 32-bit length near 4 GiB cannot wrap an offset.
class TReader {
public:
    explicit TReader(std::string_view bytes) : rest_(bytes) {}

    bool Bytes(std::size_t n, std::string_view& out) {
        if (n > rest_.size()) return false;
        out = rest_.substr(0, n);
        rest_.remove_prefix(n);
        return true;
    }
    bool Length(std::uint32_t& out) {
        std::string_view b;
        if (!Bytes(4, b)) return false;
        out = 0;
        for (int i = 3; i >= 0; --i) out = out << 8 | static_cast<unsigned char>(b[i]);
        return true;
    }
    bool Text(std::string& out) {
        std::uint32_t n;
        std::string_view b;
        if (!Length(n) || !Bytes(n, b)) return false;
        out.assign(b);
        return true;
    }
    bool Byte(std::uint8_t& out) {
        std::string_view b;
        if (!Bytes(1, b)) return false;
        out = static_cast<unsigned char>(b[0]);
        return true;
    }

private:
    std::string_view rest_;
};

}  // namespace

std::optional<TStatusReply> ParseStatusReply(std::string_view bytes) {
    static constexpr std::string_view magic{"\x00\xE1\x2E\x2E", 4};
    TReader in(bytes);
    std::string_view head;
    if (!in.Bytes(4, head) || head != magic) return std::nullopt;
    TStatusReply r;
    if (!in.Text(r.ServerName) || !in.Text(r.MissionFile) || !in.Text(r.MissionName) ||
        !in.Byte(r.Players) || !in.Byte(r.State) || !in.Byte(r.Flags))
        return std::nullopt;
    return r;
}

std::string MissionText(const TStatusReply& reply) {
    if (reply.MissionFile.empty()) return reply.MissionName;
    return reply.MissionName + " / " + reply.MissionFile;
}
