// SPDX-License-Identifier: GPL-3.0-or-later
// Nickname filter, the number texts of default names, and the computer and login names.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Keeps the digits and the characters 'A' (65) to '}' (125), in order.
std::string ValidateNick(std::string_view text);

// The run's number generator. Its state lives here, not in a global, so the main window
// owns one and hands it to everything that draws (default names, the chat login).
class TRandomGenerator {
public:
    // A whole number 0 <= n < range (range > 0); the seed starts at 0 in every run.
    std::uint32_t Random(std::uint32_t range);
    std::uint32_t Seed() const { return seed_; }

private:
    std::uint32_t seed_ = 0;
};

// Decimal text of 10000 + a draw below 89999: "10000", "12824", "87493" ... in every run.
std::string RandomNumberText(TRandomGenerator& random);

struct TSystemNames {
    std::string ComputerName;
    std::string LoginName;
};

// The host name and the login name of the process owner; either is empty when the system
// cannot give it or when it does not fit the 64-byte buffers the defaults were made for.
TSystemNames CollectSystemNames();

// A name as the 64-byte system buffer would return it: zero bytes skipped, and empty when
// it needs 64 bytes or more with its terminating zero.
std::string FitSystemName(std::string_view raw);
