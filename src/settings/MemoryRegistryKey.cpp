// SPDX-License-Identifier: GPL-3.0-or-later
// The in-memory back end of the settings key.
#include "settings/MemoryRegistryKey.h"

#include <stdexcept>

const TRegValue* TMemoryRegistryKey::StoredValue(const std::string& name) const {
    for (const auto& v : Stored)
        if (SameValueName(v.Name, name)) return &v;
    return nullptr;
}

TRegistryKey::TLoaded TMemoryRegistryKey::Load() {
    TLoaded loaded;
    if (Unreadable) {
        loaded.Readable = false;
        loaded.Cause = "unreadable (test switch)";
    } else {
        loaded.Values = Stored;
    }
    return loaded;
}

void TMemoryRegistryKey::Save(const std::vector<TRegValue>& values) {
    if (FailCommits) throw std::runtime_error("commit refused (test switch)");
    Stored = values;
    ++CommitCount;
}
