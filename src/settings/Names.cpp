// Nickname filter, number texts and the system names.
#include "settings/Names.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

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

namespace {

std::string HostName() {
    char buf[256] = {};
    if (::gethostname(buf, sizeof buf - 1) != 0) return {};
    return FitSystemName(std::string_view(buf, ::strnlen(buf, sizeof buf)));
}

// The owner of the process, not whoever the terminal says logged in: a program started
// through sudo or a service manager gets the account it runs as.
std::string LoginName() {
    if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_name && *pw->pw_name)
        return FitSystemName(pw->pw_name);
    // Accounts missing from the password database (containers, remapped ids).
    for (const char* var : {"LOGNAME", "USER"})
        if (const char* v = std::getenv(var); v && *v) return FitSystemName(v);
    return {};
}

}  // namespace

TSystemNames CollectSystemNames() {
    return {HostName(), LoginName()};
}
