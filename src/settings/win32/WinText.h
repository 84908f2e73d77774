// SPDX-License-Identifier: GPL-3.0-or-later
// Texts between our UTF-8 and the UTF-16 of the Windows wide-character calls.
#pragma once

#include <cstddef>
#include <string>

std::wstring WideText(const std::string& utf8);
std::string Utf8Text(const wchar_t* text, std::size_t count);
