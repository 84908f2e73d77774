// SPDX-License-Identifier: GPL-3.0-or-later
// The computer's name and the process owner's login name on POSIX.
#include "settings/Names.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

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
