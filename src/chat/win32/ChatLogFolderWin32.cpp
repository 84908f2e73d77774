// SPDX-License-Identifier: GPL-3.0-or-later
// The chat logs' folder on Windows: under the user's roaming application data, where a
// player's own files live (the settings' registry key is below HKEY_LOCAL_MACHINE).
#include "chat/ChatLog.h"
#include "settings/win32/WinText.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <cwchar>

std::string SystemChatLogFolder() {
    PWSTR path = nullptr;
    std::string folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &path)) && path && path[0])
        folder = Utf8Text(path, std::wcslen(path)) + "\\CorvaneGV\\logs";
    CoTaskMemFree(path);
    return folder;
}
