// SPDX-License-Identifier: GPL-3.0-or-later
// The typed key-value store: lookups, kinds, error texts and the commit at CloseKey.
#include "settings/RegistryKey.h"

#include <algorithm>
#include <utility>

namespace {

std::string MessageFor(ERegistryException::TKind kind, const std::string& name) {
    switch (kind) {
    case ERegistryException::SetData: return "Failed to set data for '" + name + "'";
    case ERegistryException::GetData: return "Failed to get data for '" + name + "'";
    case ERegistryException::InvalidType: break;
    }
    return "Invalid data type for '" + name + "'";
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool SameValueName(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

ERegistryException::ERegistryException(TKind kind, const std::string& valueName, std::string cause)
    : std::runtime_error(MessageFor(kind, valueName)), kind_(kind), valueName_(valueName),
      cause_(std::move(cause)) {}

void TRegistryKey::OpenKey() {
    TLoaded loaded = Load();
    values_ = std::move(loaded.Values);
    readable_ = loaded.Readable;
    unreadableCause_ = std::move(loaded.Cause);
    for (auto& n : loaded.Notices) notices_.push_back(std::move(n));
    firstWrite_.clear();
    dirty_ = false;
    open_ = true;
}

void TRegistryKey::RequireOpen() const {
    if (!open_) throw std::logic_error("settings key is not open");
}

void TRegistryKey::CloseKey() {
    RequireOpen();
    open_ = false;
    if (!dirty_) return;
    dirty_ = false;
    try {
        Save(values_);
    } catch (const std::exception& e) {
        throw ERegistryException(ERegistryException::SetData, firstWrite_, e.what());
    }
}

const TRegValue* TRegistryKey::Find(const std::string& name) const {
    for (const auto& v : values_)
        if (SameValueName(v.Name, name)) return &v;
    return nullptr;
}

bool TRegistryKey::ValueExists(const std::string& name) const {
    RequireOpen();
    // Saying "absent" about a key we could not read would invite defaults over real data.
    if (!readable_) throw ERegistryException(ERegistryException::GetData, name, unreadableCause_);
    return Find(name) != nullptr;
}

const TRegValue& TRegistryKey::Readable(const std::string& name) const {
    RequireOpen();
    if (!readable_) throw ERegistryException(ERegistryException::GetData, name, unreadableCause_);
    const TRegValue* v = Find(name);
    if (!v) throw ERegistryException(ERegistryException::GetData, name, "no such value");
    return *v;
}

std::string TRegistryKey::ReadString(const std::string& name) const {
    const TRegValue& v = Readable(name);
    if (v.Type != TRegDataType::String && v.Type != TRegDataType::ExpandString)
        throw ERegistryException(ERegistryException::InvalidType, name);
    return v.Text;
}

bool TRegistryKey::ReadBool(const std::string& name) const {
    const TRegValue& v = Readable(name);
    if (v.Type != TRegDataType::DWord) throw ERegistryException(ERegistryException::InvalidType, name);
    return v.Number != 0;
}

void TRegistryKey::Put(TRegValue value) {
    RequireOpen();
    // Committing over a key we could not read would destroy what it holds.
    if (!readable_) throw ERegistryException(ERegistryException::SetData, value.Name, unreadableCause_);
    if (!dirty_) firstWrite_ = value.Name;
    dirty_ = true;
    for (auto& v : values_) {
        if (SameValueName(v.Name, value.Name)) {
            value.Name = v.Name;  // the registry keeps the spelling a value was created with
            v = std::move(value);
            return;
        }
    }
    values_.push_back(std::move(value));
}

void TRegistryKey::WriteString(const std::string& name, const std::string& text) {
    Put({name, TRegDataType::String, text, 0});
}

void TRegistryKey::WriteBool(const std::string& name, bool value) {
    Put({name, TRegDataType::DWord, {}, value ? 1u : 0u});
}

std::vector<std::string> TRegistryKey::TakeNotices() {
    return std::exchange(notices_, {});
}
