// SPDX-License-Identifier: GPL-3.0-or-later
// The file calls of the settings file and the chat logs on Windows.
#include "settings/SystemFiles.h"

#include "settings/win32/WinText.h"

#include <windows.h>

#include <atomic>
#include <string_view>

namespace sysfiles {

namespace {

HANDLE H(THandle file) { return reinterpret_cast<HANDLE>(file); }
THandle Of(HANDLE h) { return reinterpret_cast<THandle>(h); }

DWORD Chunk(std::size_t size) { return size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size); }

}  // namespace

std::string ErrorText(int error) {
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string out = n ? Utf8Text(text, n) : "error " + std::to_string(error);
    if (text) ::LocalFree(text);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ' || out.back() == '.')) out.pop_back();
    return out;
}

int MakePrivateFolder(const std::filesystem::path& dir) {
    // The folder inherits the profile's permissions, which already keep other users out.
    if (::CreateDirectoryW(dir.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS) return 0;
    return static_cast<int>(::GetLastError());
}

void KeepFolderPrivate(const std::filesystem::path&) {}

int CreateTemporaryBeside(const std::filesystem::path& target, std::filesystem::path& temp, THandle& file) {
    static std::atomic<unsigned> counter{0};
    static const char digits[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        unsigned long long seed = ::GetTickCount64() * 2654435761u ^ (::GetCurrentProcessId() << 16) ^ counter++;
        std::wstring name = target.wstring() + L".tmp-";
        for (int i = 0; i < 6; ++i, seed /= 62) name += static_cast<wchar_t>(digits[seed % 62]);
        // Not inheritable (no security attributes), so a started game does not keep it open.
        const HANDLE h = ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            if (::GetLastError() == ERROR_FILE_EXISTS) continue;
            return static_cast<int>(::GetLastError());
        }
        temp = name;
        file = Of(h);
        return 0;
    }
    return ERROR_FILE_EXISTS;
}

int OpenForAppend(const std::filesystem::path& path, THandle& file, std::int64_t& size) {
    // The link itself is opened, not what it points to, and then refused.
    const HANDLE h = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return static_cast<int>(::GetLastError());
    BY_HANDLE_FILE_INFORMATION info{};
    LARGE_INTEGER length{};
    if (!::GetFileInformationByHandle(h, &info) || (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ||
        !::GetFileSizeEx(h, &length)) {
        ::CloseHandle(h);
        return ERROR_INVALID_PARAMETER;
    }
    file = Of(h);
    size = length.QuadPart;
    return 0;
}

int OpenForReading(const std::filesystem::path& path, THandle& file, bool& missing) {
    const HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return static_cast<int>(error);
    }
    missing = false;
    if (::GetFileType(h) != FILE_TYPE_DISK) {
        ::CloseHandle(h);
        return ERROR_INVALID_PARAMETER;
    }
    file = Of(h);
    return 0;
}

int WriteSome(THandle file, const void* data, std::size_t size, std::size_t& written) {
    DWORD n = 0;
    written = 0;
    if (!::WriteFile(H(file), data, Chunk(size), &n, nullptr)) return static_cast<int>(::GetLastError());
    if (n == 0 && size > 0) return ERROR_WRITE_FAULT;
    written = n;
    return 0;
}

int ReadSome(THandle file, void* buffer, std::size_t size, std::size_t& read) {
    DWORD n = 0;
    read = 0;
    if (!::ReadFile(H(file), buffer, Chunk(size), &n, nullptr)) return static_cast<int>(::GetLastError());
    read = n;
    return 0;
}

int FlushToDisk(THandle file) { return ::FlushFileBuffers(H(file)) ? 0 : static_cast<int>(::GetLastError()); }

int CloseFile(THandle file) { return ::CloseHandle(H(file)) ? 0 : static_cast<int>(::GetLastError()); }

int RenameOver(const std::filesystem::path& from, const std::filesystem::path& to) {
    // Write-through: the call returns once the new name is on disk, which POSIX needs the
    // folder's flush for.
    if (::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 0;
    return static_cast<int>(::GetLastError());
}

void FlushFolder(const std::filesystem::path&) {}

std::string FitFileName(std::string name) {
    for (char& c : name)
        if (std::string_view("<>:\"|?*").find(c) != std::string_view::npos) c = '_';
    // "nul.log" is the device too, whatever follows the first dot, and spaces before it.
    std::string base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    for (char& c : base) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    const bool numbered = base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
                          base[3] >= '0' && base[3] <= '9';
    if (numbered || base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" ||
        base == "CONOUT$")
        name.insert(0, "_");
    return name;
}

std::tm LocalTime(std::time_t t) {
    std::tm local{};
    ::localtime_s(&local, &t);
    return local;
}

std::string AccountHomeFolder() {
    wchar_t buf[MAX_PATH];
    const DWORD n = ::GetEnvironmentVariableW(L"USERPROFILE", buf, MAX_PATH);
    return n > 0 && n < MAX_PATH ? Utf8Text(buf, n) : std::string();
}

}  // namespace sysfiles
