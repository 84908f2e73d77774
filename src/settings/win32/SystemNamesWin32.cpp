// SPDX-License-Identifier: GPL-3.0-or-later
// The computer's name and the user's name on Windows, as the original program asked for them.
#include "settings/Names.h"

#include <windows.h>

TSystemNames CollectSystemNames() {
    TSystemNames names;
    char buf[256] = {};
    DWORD size = sizeof buf;
    if (::GetComputerNameA(buf, &size)) names.ComputerName = FitSystemName(std::string_view(buf, size));
    size = sizeof buf;
    // The size it reports counts the terminating zero.
    if (::GetUserNameA(buf, &size) && size > 0) names.LoginName = FitSystemName(std::string_view(buf, size - 1));
    return names;
}
