// SPDX-License-Identifier: GPL-3.0-or-later
// Turning the connection's address, port and protocol texts into numbers.
#include "net/WSocket.h"
#include "net/WSocketApi.h"

#include <cstdio>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The number formed by the leading digits, wrapped to 16 bits as a port is.
unsigned LeadingNumber(const std::string& text, unsigned modulo) {
    unsigned value = 0;
    for (char c : text) {
        if (!IsDigit(c)) break;
        value = (value * 10 + static_cast<unsigned>(c - '0')) % modulo;
    }
    return value;
}

std::string Format(const char* pattern, const std::string& text, int error) {
    const int size = std::snprintf(nullptr, 0, pattern, text.c_str(), error);
    std::string out(static_cast<std::size_t>(size) + 1, '\0');
    std::snprintf(out.data(), out.size(), pattern, text.c_str(), error);
    out.resize(static_cast<std::size_t>(size));
    return out;
}

}  // namespace

std::string WSocketTrim(const std::string& text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
    return text.substr(begin, end - begin);
}

int WSocketResolveProto(const std::string& proto) {
    if (proto.empty() || proto.size() >= 32) throw ESocketException("WSocketResolveProto: Invalid Protocol.");
    const std::string name = WSocketTrim(proto);
    // Protocol numbers are small; the cap only keeps absurd digit strings from overflowing.
    if (!name.empty() && IsDigit(name[0])) return static_cast<int>(LeadingNumber(name, 1u << 24));
    int number = 0;
    if (const int err = wsapi::LookupProtocol(name, number); err != 0)
        throw ESocketException(Format("WSocketResolveProto: Cannot convert protocol '%s', Error #%d", name, err));
    return number;
}

std::uint16_t WSocketResolvePort(const std::string& port, const std::string& proto) {
    if (port.empty() || port.size() >= 32) throw ESocketException("WSocketResolvePort: Invalid Port.");
    const std::string name = WSocketTrim(port);
    if (!name.empty() && IsDigit(name[0])) return wsapi::HostToNet16(static_cast<std::uint16_t>(LeadingNumber(name, 65536)));
    std::uint16_t number = 0;
    if (const int err = wsapi::LookupService(name, WSocketTrim(proto), number); err != 0)
        throw ESocketException(Format("WSocketResolvePort: Cannot convert port '%s', Error #%d", name, err));
    return number;
}

bool WSocketIsDottedIP(const std::string& text) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && text[i] == ' ') ++i;
    int dots = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (i >= n || text[i] != '.') return false;
            ++i;
            ++dots;
        }
        if (i >= n || !IsDigit(text[i])) return false;
        unsigned value = 0;
        while (i < n && IsDigit(text[i])) {
            value = value * 10 + static_cast<unsigned>(text[i] - '0');
            if (value > 255) return false;
            ++i;
        }
    }
    while (i < n && text[i] == ' ') ++i;
    return i == n && dots == 3;
}

int WSocketPlatformHostLookup(const std::string& name, std::uint32_t& address) {
    return wsapi::LookupHost(name, address);
}

std::uint32_t WSocketResolveHost(const std::string& addr, const THostLookup& lookup) {
    if (addr.empty() || addr.size() > 256)
        throw ESocketException("WSocketResolveHost: '" + addr + "' Invalid Hostname.");
    if (WSocketIsDottedIP(addr)) {
        const std::string text = WSocketTrim(addr);
        // inet_addr keeps the platform's reading of leading zeros; its failure value is also
        // the broadcast address, which is valid.
        const std::uint32_t value = wsapi::InetAddr(text);
        if (value == 0xFFFFFFFFu && text != "255.255.255.255")
            throw ESocketException("WSocketResolveHost: '" + addr + "' Invalid IP address.");
        return value;
    }
    std::uint32_t address = 0;
    const int err = lookup ? lookup(addr, address) : WSocketPlatformHostLookup(addr, address);
    if (err != 0) throw ESocketException(Format("WSocketResolveHost: Cannot convert host address '%s', Error #%d", addr, err));
    return address;
}
