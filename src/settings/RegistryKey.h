// SPDX-License-Identifier: GPL-3.0-or-later
// The typed key-value store in front of the settings key: value kinds, the registry's error
// texts, and writes that are buffered and committed once when the key is closed.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

enum class TRegDataType {
    String,        // REG_SZ
    ExpandString,  // REG_EXPAND_SZ: read as a string, never expanded
    DWord,         // REG_DWORD: the flags
    Other,         // anything else; kept as it is, unreadable as string or flag
};

struct TRegValue {
    std::string Name;  // "" is the key's default value ("@" in the file)
    TRegDataType Type = TRegDataType::String;
    std::string Text;        // String, ExpandString; for Other the data as the back end keeps it
    std::uint32_t Number = 0;  // DWord

    bool operator==(const TRegValue&) const = default;
};

// Value names compare as the registry compares them: ASCII letters ignore case.
bool SameValueName(const std::string& a, const std::string& b);

// What() is the exact text ("Failed to set data for 'Nickname'"); ValueName and Cause say
// more for those who want it (the cause is the system's reason, or empty).
class ERegistryException : public std::runtime_error {
public:
    enum TKind { SetData, GetData, InvalidType };
    ERegistryException(TKind kind, const std::string& valueName, std::string cause = {});
    TKind Kind() const { return kind_; }
    const std::string& ValueName() const { return valueName_; }
    const std::string& Cause() const { return cause_; }

private:
    TKind kind_;
    std::string valueName_;
    std::string cause_;
};

// One key, opened and closed around each batch of work. Writes land in memory and reach the
// back end once, at CloseKey: a batch of thirty values costs one file replacement, not thirty.
// Because nothing of a batch reaches the back end before CloseKey, a failed commit is
// reported against the first value written since OpenKey, the value a write-through store
// would have failed on.
class TRegistryKey {
public:
    virtual ~TRegistryKey() = default;

    // Reads the key afresh; a missing key is an empty one that comes into being at the first
    // commit. Never raises: a back end that cannot read makes every later access raise.
    void OpenKey();
    // Commits the writes made since OpenKey, if any, and closes the key. On failure raises
    // "Failed to set data for '<first value written>'"; the writes are dropped either way.
    void CloseKey();
    bool IsOpen() const { return open_; }

    bool ValueExists(const std::string& name) const;
    // Strings and expandable strings; "Invalid data type" for another kind, "Failed to get
    // data" for a missing value.
    std::string ReadString(const std::string& name) const;
    // Any non-zero number reads true.
    bool ReadBool(const std::string& name) const;
    void WriteString(const std::string& name, const std::string& text);
    void WriteBool(const std::string& name, bool value);

    // Problems the back end met and went on past while opening (a broken file kept aside),
    // as texts for the application-wide error handler; taking them clears them.
    std::vector<std::string> TakeNotices();

protected:
    struct TLoaded {
        std::vector<TRegValue> Values;
        std::vector<std::string> Notices;
        bool Readable = true;
        std::string Cause;  // why it is not readable
    };
    virtual TLoaded Load() = 0;
    // Stores the whole key; raises any std::exception whose what() is the cause.
    virtual void Save(const std::vector<TRegValue>& values) = 0;

private:
    void RequireOpen() const;
    const TRegValue* Find(const std::string& name) const;
    const TRegValue& Readable(const std::string& name) const;
    void Put(TRegValue value);

    bool open_ = false;
    bool readable_ = true;
    std::string unreadableCause_;
    std::vector<TRegValue> values_;
    std::string firstWrite_;
    bool dirty_ = false;
    std::vector<std::string> notices_;
};
