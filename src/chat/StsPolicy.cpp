// SPDX-License-Identifier: GPL-3.0-or-later
// The sts capability's value and the stored policies.
#include "chat/StsPolicy.h"

#include "chat/IRCParse.h"

#include <vector>

namespace {

// A decimal number of at most digits digits, nothing else.
bool Number(std::string_view text, std::size_t digits, std::int64_t& out) {
    if (text.empty() || text.size() > digits) return false;
    std::int64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    out = v;
    return true;
}

struct TEntry {
    std::string Host;
    int Port;
    std::int64_t Expiry;
};

// The well-formed entries; anything else in the text is dropped.
std::vector<TEntry> Entries(const std::string& policies) {
    std::vector<TEntry> out;
    std::string_view rest = policies;
    while (!rest.empty()) {
        const std::size_t end = rest.find(';');
        std::string_view entry = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
        const std::string host = NextToken(entry, " ");
        const std::string port = NextToken(entry, " ");
        const std::string expiry = NextToken(entry, " ");
        std::int64_t p = 0, e = 0;
        if (host.empty() || !Number(port, 5, p) || p < 1 || p > 65535 || !Number(expiry, 12, e)) continue;
        out.push_back({host, static_cast<int>(p), e});
    }
    return out;
}

}  // namespace

TStsOffer ParseStsValue(std::string_view value) {
    TStsOffer offer;
    while (!value.empty()) {
        const std::size_t comma = value.find(',');
        std::string_view item = value.substr(0, comma);
        value = comma == std::string_view::npos ? std::string_view{} : value.substr(comma + 1);
        const std::size_t eq = item.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string_view key = item.substr(0, eq), v = item.substr(eq + 1);
        std::int64_t n = 0;
        if (key == "port" && Number(v, 5, n) && n >= 1 && n <= 65535) offer.Port = static_cast<int>(n);
        // Ten digits are over three centuries: anything longer is no duration.
        if (key == "duration" && Number(v, 10, n)) {
            offer.HasDuration = true;
            offer.Duration = n;
        }
    }
    return offer;
}

TStsPolicy FindStsPolicy(const std::string& policies, const std::string& host, std::int64_t now) {
    for (const TEntry& e : Entries(policies))
        if (SameTextAscii(e.Host, host) && e.Expiry > now) return {true, e.Port, e.Expiry};
    return {};
}

std::string WithStsPolicy(const std::string& policies, const std::string& host, int port, std::int64_t expiry,
                          std::int64_t now) {
    std::vector<TEntry> kept;
    for (TEntry& e : Entries(policies))
        if (!SameTextAscii(e.Host, host) && e.Expiry > now) kept.push_back(std::move(e));
    // A host name with a blank or ';' would break the text apart.
    const bool storable = !host.empty() && host.find_first_of(" ;") == std::string::npos;
    if (storable && expiry > now && port >= 1 && port <= 65535) kept.push_back({host, port, expiry});
    if (kept.size() > MaxStsPolicies) kept.erase(kept.begin(), kept.end() - MaxStsPolicies);
    std::string out;
    for (const TEntry& e : kept) out += e.Host + " " + std::to_string(e.Port) + " " + std::to_string(e.Expiry) + ";";
    return out;
}
