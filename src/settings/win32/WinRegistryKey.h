// SPDX-License-Identifier: GPL-3.0-or-later
// The settings key in the Windows registry itself, in the 32-bit view the original program used.
#pragma once

#include "settings/RegistryKey.h"

#include <string>
#include <vector>

// HKEY_LOCAL_MACHINE\Software\Volition\FreeSpace2\CorvaneGV under KEY_WOW64_32KEY, so that a
// 64-bit build shares the values with the 32-bit original (Wow6432Node on 64-bit Windows).
inline constexpr const wchar_t* kSettingsSubKey = L"Software\\Volition\\FreeSpace2\\CorvaneGV";

class TWinRegistryKey : public TRegistryKey {
public:
    explicit TWinRegistryKey(std::wstring subKey = kSettingsSubKey) : subKey_(std::move(subKey)) {}
    // Whether the key is there at all (it is not before the first start).
    bool Exists() const;

protected:
    // A missing key is an empty one; a key that exists but cannot be read leaves it unreadable.
    TLoaded Load() override;
    // Writes each value; values of other kinds are left as they are in the registry.
    void Save(const std::vector<TRegValue>& values) override;

private:
    std::wstring subKey_;
};
