// SPDX-License-Identifier: GPL-3.0-or-later
// Shared bits of the fuzz targets: input as bytes, cutting one input into receipts, checks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace fuzz {

inline std::string_view Bytes(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// A finding that is not a crash: say what was expected and stop, so libFuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                                        \
    do {                                                                                             \
        if (!(condition)) {                                                                          \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);      \
            std::abort();                                                                            \
        }                                                                                            \
    } while (0)

// Cuts bytes into the pieces a peer's stream might arrive in. The first byte seeds the cut
// lengths, so the fuzzer explores receipt boundaries along with the content.
inline std::vector<std::string_view> Receipts(std::string_view input) {
    std::vector<std::string_view> out;
    if (input.empty()) return out;
    std::uint32_t seed = static_cast<unsigned char>(input[0]);
    input.remove_prefix(1);
    while (!input.empty()) {
        seed = seed * 1103515245u + 12345u;
        // Mostly small receipts, now and then the whole rest at once.
        std::size_t n = (seed >> 16) % 8 == 0 ? input.size() : 1 + (seed >> 16) % 97;
        if (n > input.size()) n = input.size();
        out.push_back(input.substr(0, n));
        input.remove_prefix(n);
    }
    return out;
}

}  // namespace fuzz
