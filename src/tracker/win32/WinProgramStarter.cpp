// SPDX-License-Identifier: GPL-3.0-or-later
// TWinProgramStarter: CreateProcessW with the program's own path and a quoted argument list.
#include "tracker/win32/WinProgramStarter.h"

#include "settings/SystemFiles.h"
#include "settings/win32/WinText.h"

#include <windows.h>

namespace {

void AppendQuoted(std::wstring& line, const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        line += arg;
        return;
    }
    line += L'"';
    std::size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes count only before a quote: there each one is doubled, and the quote escaped.
        if (c == L'"') line.append(backslashes * 2 + 1, L'\\');
        else line.append(backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, L'\\');  // they come before the closing quote
    line += L'"';
}

}  // namespace

std::wstring WindowsCommandLine(const std::string& program, const std::vector<std::string>& arguments) {
    std::wstring line;
    AppendQuoted(line, WideText(program));
    for (const std::string& a : arguments) {
        line += L' ';
        AppendQuoted(line, WideText(a));
    }
    return line;
}

TStartable TWinProgramStarter::CanStart(const std::string& program) {
    if (program.empty()) return TStartable::Missing;
    const DWORD attributes = ::GetFileAttributesW(WideText(program).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return TStartable::Missing;
    return TStartable::Yes;
}

void TWinProgramStarter::Start(const std::string& program, const std::vector<std::string>& arguments,
                               const std::string& workingDirectory) {
    TryStart(program, arguments, workingDirectory);
}

TStartResult TWinProgramStarter::TryStart(const std::string& program, const std::vector<std::string>& arguments,
                                          const std::string& workingDirectory) {
    if (CanStart(program) != TStartable::Yes) return {false, "there is no such file"};
    // The program's own path as the module name, so that nothing is searched for on PATH.
    const std::wstring module = WideText(program);
    std::wstring line = WindowsCommandLine(program, arguments);
    const std::wstring folder = WideText(workingDirectory);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(module.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT, nullptr,
                          folder.empty() ? nullptr : folder.c_str(), &startup, &process))
        return {false, sysfiles::ErrorText(static_cast<int>(::GetLastError()))};
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return {};
}
