// SPDX-License-Identifier: GPL-3.0-or-later
// Strict transport: the value a server offers with its "sts" capability, and the policies the
// settings keep ("host port expiry;" entries, expiry in seconds since 1970).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct TStsOffer {
    int Port = 0;               // 0: none given, or not a port
    bool HasDuration = false;
    std::int64_t Duration = 0;  // seconds
};

// Reads "port=6697,duration=300" (keys in any order, unknown ones skipped). A key given a
// value that is not a plain decimal number in range counts as not given.
TStsOffer ParseStsValue(std::string_view value);

struct TStsPolicy {
    bool Holds = false;
    int Port = 0;
    std::int64_t Expiry = 0;
};

// The policy for host (ASCII case ignored) that has not expired at now.
TStsPolicy FindStsPolicy(const std::string& policies, const std::string& host, std::int64_t now);

// policies with host's entry replaced; an expiry not after now removes it, and so do the
// expired entries of other hosts. At most MaxStsPolicies entries are kept, the newest.
std::string WithStsPolicy(const std::string& policies, const std::string& host, int port, std::int64_t expiry,
                          std::int64_t now);
inline constexpr std::size_t MaxStsPolicies = 32;
