// SPDX-License-Identifier: GPL-3.0-or-later
// The in-memory back end of the settings key, for tests and for runs that must not touch disk.
#pragma once

#include "settings/RegistryKey.h"

#include <string>
#include <vector>

class TMemoryRegistryKey : public TRegistryKey {
public:
    // What the key holds between batches; tests put values of any kind here directly.
    std::vector<TRegValue> Stored;
    // Fault switches: commits fail, or the key cannot be read at all.
    bool FailCommits = false;
    bool Unreadable = false;
    int CommitCount = 0;

    // The stored value of that name, or null.
    const TRegValue* StoredValue(const std::string& name) const;

protected:
    TLoaded Load() override;
    void Save(const std::vector<TRegValue>& values) override;
};
