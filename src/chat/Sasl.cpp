// SPDX-License-Identifier: GPL-3.0-or-later
// SASL PLAIN payload and its chunking.
#include "chat/Sasl.h"

namespace {

constexpr std::size_t kChunk = 400;

}  // namespace

std::string Base64(std::string_view bytes) {
    static const char* const digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 | static_cast<unsigned char>(bytes[i + 1]) << 8 |
                           static_cast<unsigned char>(bytes[i + 2]);
        out += digits[v >> 18 & 63];
        out += digits[v >> 12 & 63];
        out += digits[v >> 6 & 63];
        out += digits[v & 63];
    }
    const std::size_t left = bytes.size() - i;
    if (left > 0) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (left == 2) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += digits[v >> 18 & 63];
        out += digits[v >> 12 & 63];
        out += left == 2 ? digits[v >> 6 & 63] : '=';
        out += '=';
    }
    return out;
}

std::string SaslPlainPayload(std::string_view account, std::string_view password) {
    if (account.find('\0') != std::string_view::npos || password.find('\0') != std::string_view::npos) return {};
    std::string plain;
    plain.append(account).append(1, '\0').append(account).append(1, '\0').append(password);
    return Base64(plain);
}

std::vector<std::string> AuthenticateLines(std::string_view payload) {
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < payload.size(); at += kChunk)
        lines.push_back("AUTHENTICATE " + std::string(payload.substr(at, kChunk)));
    if (payload.size() % kChunk == 0) lines.push_back("AUTHENTICATE +");
    return lines;
}
