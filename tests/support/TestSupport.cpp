// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers shared by the tests.
#include "support/TestSupport.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace testing_support {

bool WaitFor(TEventLoop& loop, const std::function<bool()>& pred, int ms) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (!pred()) {
        const auto now = Clock::now();
        if (now >= deadline) return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
        loop.ProcessMessagesWaiting(std::min(left, std::chrono::milliseconds(10)));
    }
    return true;
}

void Drain(TEventLoop& loop, int ms) { WaitFor(loop, [] { return false; }, ms); }

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Escaped(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c == '\\') out += "\\\\";
        else if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else if (c >= 0x20 && c < 0x7F) out += static_cast<char>(c);
        else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        }
    }
    return out;
}

std::string Hex(const std::string& pairs) {
    std::string out, digits;
    for (char c : pairs) {
        if (c == ' ') continue;
        digits += c;
        if (digits.size() == 2) {
            out += static_cast<char>(std::stoi(digits, nullptr, 16));
            digits.clear();
        }
    }
    if (!digits.empty()) throw std::invalid_argument("odd hex digit count");
    return out;
}

TTempDir::TTempDir() {
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() / ("cgv-test-" + std::to_string(rd()) + "-" + std::to_string(rd()));
    std::filesystem::create_directories(path_);
}

TTempDir::~TTempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

}  // namespace testing_support
