// SPDX-License-Identifier: GPL-3.0-or-later
// Nickname filter, number texts and the system names.
#include "settings/Names.h"

#include <cstdlib>

std::string ValidateNick(std::string_view text) {
    std::string kept;
    kept.reserve(text.size());
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if ((u >= '0' && u <= '9') || (u >= 'A' && u <= '}')) kept.push_back(c);
    }
    return kept;
}

std::uint32_t TRandomGenerator::Random(std::uint32_t range) {
    seed_ = seed_ * 134775813u + 1u;  // wraps mod 2^32 by the type
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(range) * seed_) >> 32);
}

std::string RandomNumberText(TRandomGenerator& random) {
    return std::to_string(10000u + random.Random(89999u));
}

std::string FitSystemName(std::string_view raw) {
    constexpr std::size_t kBuffer = 64;
    if (raw.size() + 1 > kBuffer) return {};
    std::string name;
    for (char c : raw)
        if (c != '\0') name.push_back(c);
    return name;
}
