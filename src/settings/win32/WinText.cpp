// SPDX-License-Identifier: GPL-3.0-or-later
// Texts between our UTF-8 and the UTF-16 of the Windows wide-character calls.
#include "settings/win32/WinText.h"

#include <windows.h>

std::wstring WideText(const std::string& s) {
    if (s.empty()) return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n);
    return out;
}

std::string Utf8Text(const wchar_t* s, std::size_t count) {
    if (count == 0) return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, s, static_cast<int>(count), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, s, static_cast<int>(count), out.data(), n, nullptr, nullptr);
    return out;
}
