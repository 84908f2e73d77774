// SPDX-License-Identifier: GPL-3.0-or-later
// The settings key in the Windows registry: texts are UTF-8 here and UTF-16 there.
#include "settings/win32/WinRegistryKey.h"

#include "settings/SystemFiles.h"
#include "settings/win32/WinText.h"

#include <windows.h>

#include <stdexcept>

namespace {

std::string SystemText(LONG code) { return sysfiles::ErrorText(static_cast<int>(code)); }

// A string value's data without the terminating zeros the registry may or may not hold.
std::string StringData(const std::vector<BYTE>& data) {
    std::size_t chars = data.size() / sizeof(wchar_t);
    const auto* w = reinterpret_cast<const wchar_t*>(data.data());
    while (chars > 0 && w[chars - 1] == L'\0') --chars;
    return Utf8Text(w, chars);
}

}  // namespace

bool TWinRegistryKey::Exists() const {
    HKEY key = nullptr;
    // Any answer but "not found" means something is there, readable or not.
    const LONG opened = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey_.c_str(), 0, KEY_READ | KEY_WOW64_32KEY, &key);
    if (opened == ERROR_SUCCESS) ::RegCloseKey(key);
    return opened != ERROR_FILE_NOT_FOUND;
}

TRegistryKey::TLoaded TWinRegistryKey::Load() {
    TLoaded loaded;
    HKEY key = nullptr;
    const LONG opened = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey_.c_str(), 0, KEY_READ | KEY_WOW64_32KEY, &key);
    if (opened == ERROR_FILE_NOT_FOUND) return loaded;
    if (opened != ERROR_SUCCESS) {
        loaded.Readable = false;
        loaded.Cause = SystemText(opened);
        return loaded;
    }
    DWORD maxName = 0, maxData = 0;
    ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName, &maxData, nullptr, nullptr);
    std::vector<wchar_t> name(maxName + 2);
    std::vector<BYTE> data(maxData + 2);
    for (DWORD i = 0;; ++i) {
        DWORD nameLen = static_cast<DWORD>(name.size());
        DWORD dataLen = static_cast<DWORD>(data.size());
        DWORD type = 0;
        const LONG rc = ::RegEnumValueW(key, i, name.data(), &nameLen, nullptr, &type, data.data(), &dataLen);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS) {
            loaded.Readable = false;
            loaded.Cause = SystemText(rc);
            break;
        }
        TRegValue v;
        v.Name = Utf8Text(name.data(), nameLen);
        const std::vector<BYTE> bytes(data.begin(), data.begin() + dataLen);
        if (type == REG_SZ || type == REG_EXPAND_SZ) {
            v.Type = type == REG_SZ ? TRegDataType::String : TRegDataType::ExpandString;
            v.Text = StringData(bytes);
        } else if (type == REG_DWORD && dataLen == sizeof(DWORD)) {
            v.Type = TRegDataType::DWord;
            v.Number = *reinterpret_cast<const DWORD*>(bytes.data());
        } else {
            v.Type = TRegDataType::Other;
            v.Text.assign(bytes.begin(), bytes.end());
        }
        loaded.Values.push_back(std::move(v));
    }
    ::RegCloseKey(key);
    return loaded;
}

void TWinRegistryKey::Save(const std::vector<TRegValue>& values) {
    HKEY key = nullptr;
    LONG rc = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, subKey_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS) throw std::runtime_error(SystemText(rc));
    for (const TRegValue& v : values) {
        const std::wstring name = WideText(v.Name);
        if (v.Type == TRegDataType::String || v.Type == TRegDataType::ExpandString) {
            const std::wstring text = WideText(v.Text);
            rc = ::RegSetValueExW(key, name.c_str(), 0, v.Type == TRegDataType::String ? REG_SZ : REG_EXPAND_SZ,
                                  reinterpret_cast<const BYTE*>(text.c_str()),
                                  static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
        } else if (v.Type == TRegDataType::DWord) {
            const DWORD number = v.Number;
            rc = ::RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
        } else {
            continue;
        }
        if (rc != ERROR_SUCCESS) break;
    }
    ::RegCloseKey(key);
    if (rc != ERROR_SUCCESS) throw std::runtime_error(SystemText(rc));
}
