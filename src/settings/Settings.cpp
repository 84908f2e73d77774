// SPDX-License-Identifier: GPL-3.0-or-later
// Loading and saving TSettings: the value table, the two orders, defaults and error semantics.
#include "settings/Settings.h"

#include <algorithm>
#include <array>
#include <optional>
#include <stdexcept>
#include <string_view>

namespace {

enum class TRole {
    Optional,  // paths and command lines: read when present, never written by a load
    Default,   // written with its default when missing, then read back
    Nickname,
    FullName,
};

struct TValueDef {
    const char* Name;
    std::string TSettings::*Text;  // exactly one of Text and Flag is set
    bool TSettings::*Flag;
    TRole Role;
    const char* DefaultText;
    bool DefaultFlag;
};

constexpr TValueDef Optional(const char* name, std::string TSettings::*text) {
    return {name, text, nullptr, TRole::Optional, "", false};
}
constexpr TValueDef Flag(const char* name, bool TSettings::*flag, bool byDefault) {
    return {name, nullptr, flag, TRole::Default, "", byDefault};
}
constexpr TValueDef Text(const char* name, std::string TSettings::*text, const char* byDefault, TRole role = TRole::Default) {
    return {name, text, nullptr, role, byDefault, false};
}

using S = TSettings;

// The load order; the table is also the one place that names each value.
constexpr std::array<TValueDef, 43> kLoadOrder = {{
    Optional("FSPath", &S::FSPath),
    Optional("FSCmd", &S::FSCmd),
    Flag("FSEnabled", &S::FSEnabled, true),
    Optional("BtRLPath", &S::BtRLPath),
    Optional("BtRLCmd", &S::BtRLCmd),
    Flag("BtRLEnabled", &S::BtRLEnabled, false),
    Optional("WCSPath", &S::WCSPath),
    Optional("WCSCmd", &S::WCSCmd),
    Flag("WCSEnabled", &S::WCSEnabled, false),
    Optional("StarfoxPath", &S::StarfoxPath),
    Optional("StarfoxCmd", &S::StarfoxCmd),
    Flag("StarfoxEnabled", &S::StarfoxEnabled, false),
    Text("Nickname", &S::Nickname, "", TRole::Nickname),
    Text("FullName", &S::FullName, "", TRole::FullName),
    Flag("DontAskQuitQuestion", &S::DontAskQuitQuestion, false),
    Flag("MinimizeToTray", &S::MinimizeToTray, true),
    Flag("TrayIconVisible", &S::TrayIconVisible, true),
    Flag("AlwaysPlaySound", &S::AlwaysPlaySound, false),
    Flag("Notification-UserMessage", &S::NotificationUserMessage, true),
    Flag("Sound-UserMessage", &S::SoundUserMessage, true),
    Text("SoundPath-UserMessage", &S::SoundPathUserMessage, "new_msg.wav"),
    Text("Shortcut1", &S::Shortcut1, ""),
    Text("Shortcut2", &S::Shortcut2, ""),
    Text("Shortcut3", &S::Shortcut3, ""),
    Text("Shortcut4", &S::Shortcut4, ""),
    Text("Shortcut5", &S::Shortcut5, ""),
    Text("Shortcut6", &S::Shortcut6, ""),
    Text("Shortcut7", &S::Shortcut7, ""),
    Text("Shortcut8", &S::Shortcut8, ""),
    Text("Shortcut9", &S::Shortcut9, ""),
    Text("Shortcut0", &S::Shortcut0, ""),
    Flag("DesktopNotification", &S::DesktopNotification, true),
    Flag("ChatLogs", &S::ChatLogs, false),
    // The tracker's default is a documentation address that routes nowhere (the real one is
    // not known to us): the games page says so and points the user here.
    Text("Tracker", &S::Tracker, "192.0.2.1:12000"),
    Text("ChatServerHost", &S::ChatServerHost, "irc.libera.chat"),
    Text("ChatServerPort", &S::ChatServerPort, "6697"),
    Flag("ChatServerTls", &S::ChatServerTls, true),
    Text("ChatCertificatePins", &S::ChatCertificatePins, ""),
    Flag("ShowColours", &S::ShowFormatting, true),
    Text("ChatAccount", &S::ChatAccount, ""),
    Text("ChatStsPolicies", &S::ChatStsPolicies, ""),
    Text("Friends", &S::Friends, ""),
    Flag("FriendNotifications", &S::FriendNotifications, true),
}};

// The save order differs from the load order only in each game's flag coming first.
constexpr std::array<std::string_view, 43> kSaveOrder = {
    "FSEnabled", "FSPath", "FSCmd", "BtRLEnabled", "BtRLPath", "BtRLCmd", "WCSEnabled", "WCSPath", "WCSCmd",
    "StarfoxEnabled", "StarfoxPath", "StarfoxCmd", "Nickname", "FullName", "DontAskQuitQuestion",
    "MinimizeToTray", "TrayIconVisible", "AlwaysPlaySound", "Notification-UserMessage", "Sound-UserMessage",
    "SoundPath-UserMessage", "Shortcut1", "Shortcut2", "Shortcut3", "Shortcut4", "Shortcut5", "Shortcut6",
    "Shortcut7", "Shortcut8", "Shortcut9", "Shortcut0", "DesktopNotification", "ChatLogs",
    "Tracker",
    "ChatServerHost", "ChatServerPort", "ChatServerTls", "ChatCertificatePins",
    "ShowColours",
    "ChatAccount", "ChatStsPolicies",
    "Friends", "FriendNotifications",
};

const TValueDef& Def(std::string_view name) {
    for (const auto& d : kLoadOrder)
        if (name == d.Name) return d;
    throw std::logic_error("unknown settings value");
}

std::size_t LoadIndex(std::string_view name) {
    for (std::size_t i = 0; i < kLoadOrder.size(); ++i)
        if (name == kLoadOrder[i].Name) return i;
    return kLoadOrder.size();
}

std::size_t SaveIndex(std::string_view name) {
    for (std::size_t i = 0; i < kSaveOrder.size(); ++i)
        if (name == kSaveOrder[i]) return i;
    return kSaveOrder.size();
}

void CopyField(const TValueDef& d, TSettings& to, const TSettings& from) {
    if (d.Text) to.*d.Text = from.*d.Text;
    else to.*d.Flag = from.*d.Flag;
}

void LoadValue(TRegistryKey& key, const TValueDef& d, TSettings& work, const TSystemNames& names,
               TRandomGenerator& random) {
    const std::string name = d.Name;
    switch (d.Role) {
    case TRole::Optional:
        if (key.ValueExists(name)) work.*d.Text = key.ReadString(name);
        return;
    case TRole::Default:
        if (!key.ValueExists(name)) {
            if (d.Text) key.WriteString(name, d.DefaultText);
            else key.WriteBool(name, d.DefaultFlag);
        }
        break;
    case TRole::Nickname:
        if (!key.ValueExists(name)) {
            const std::string fromLogin = ValidateNick(names.LoginName);
            key.WriteString(name, fromLogin.empty() ? "GV" + RandomNumberText(random) : fromLogin);
        }
        // The stored text stays as the user wrote it; only the copy in use is filtered.
        work.Nickname = ValidateNick(key.ReadString(name));
        return;
    case TRole::FullName:
        if (!key.ValueExists(name))
            key.WriteString(name, names.ComputerName.empty() ? "GV" + RandomNumberText(random) : names.ComputerName);
        break;
    }
    // Read back, so the field always holds what the key holds.
    if (d.Text) work.*d.Text = key.ReadString(name);
    else work.*d.Flag = key.ReadBool(name);
}

void ReportProblems(TRegistryKey& key, const TSettingsEvents& events) {
    for (const auto& problem : key.TakeNotices())
        if (events.OnProblem) events.OnProblem(problem);
}

}  // namespace

const std::string& ShortcutText(const TSettings& s, int digit) {
    static const std::string none;
    switch (digit) {
    case 0: return s.Shortcut0;
    case 1: return s.Shortcut1;
    case 2: return s.Shortcut2;
    case 3: return s.Shortcut3;
    case 4: return s.Shortcut4;
    case 5: return s.Shortcut5;
    case 6: return s.Shortcut6;
    case 7: return s.Shortcut7;
    case 8: return s.Shortcut8;
    case 9: return s.Shortcut9;
    default: return none;
    }
}

// The work is done on a copy and applied in order afterwards, because the buffered key only
// learns at CloseKey whether the writes failed, and the values after a failed one must not
// have arrived.
void LoadSettings(TRegistryKey& key, TSettings& settings, const TSystemNames& names, TRandomGenerator& random,
                  const TSettingsEvents& events) {
    key.OpenKey();
    TSettings work = settings;
    std::optional<ERegistryException> failure;
    std::size_t end = 0;  // values [0, end) are loaded
    try {
        for (; end < kLoadOrder.size(); ++end) LoadValue(key, kLoadOrder[end], work, names, random);
    } catch (const ERegistryException& e) {
        failure = e;
    }
    try {
        key.CloseKey();
    } catch (const ERegistryException& e) {
        // The first default that never reached the store ends the load before its own value;
        // it comes before any value whose reading failed.
        const std::size_t at = LoadIndex(e.ValueName());
        if (!failure || at <= end) {
            failure = e;
            end = std::min(at, end);
        }
    }
    for (std::size_t i = 0; i < end; ++i) {
        CopyField(kLoadOrder[i], settings, work);
        if (events.OnValueLoaded) events.OnValueLoaded(kLoadOrder[i].Name);
    }
    ReportProblems(key, events);
    if (failure) throw *failure;
}

void SaveSettings(TRegistryKey& key, TSettings& settings, const TSettings& from, const TSettingsEvents& events) {
    key.OpenKey();
    TSettings work = settings;
    std::optional<ERegistryException> failure;
    std::size_t end = 0;  // values [0, end) of the save order were copied
    try {
        for (; end < kSaveOrder.size(); ++end) {
            const TValueDef& d = Def(kSaveOrder[end]);
            CopyField(d, work, from);
            if (d.Text) key.WriteString(d.Name, work.*d.Text);
            else key.WriteBool(d.Name, work.*d.Flag);
        }
    } catch (const ERegistryException& e) {
        failure = e;
        ++end;  // a value is copied before it is written, so the failed one is copied too
    }
    try {
        key.CloseKey();
    } catch (const ERegistryException& e) {
        const std::size_t at = SaveIndex(e.ValueName());
        if (!failure || at < end) {
            failure = e;
            end = std::min(at + 1, end);
        }
    }
    for (std::size_t i = 0; i < end; ++i) CopyField(Def(kSaveOrder[i]), settings, work);
    ReportProblems(key, events);
    if (failure) throw *failure;
}

void SaveSettingsValue(TRegistryKey& key, const TSettings& settings, const std::string& valueName) {
    const TValueDef& d = Def(valueName);
    key.OpenKey();
    try {
        if (d.Text) key.WriteString(d.Name, settings.*d.Text);
        else key.WriteBool(d.Name, settings.*d.Flag);
    } catch (...) {
        try {
            key.CloseKey();
        } catch (...) {
        }
        throw;
    }
    key.CloseKey();
}

namespace {

bool SameHost(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// Calls each(host, fingerprint, line) for every well-formed line of pins.
template <class F>
void EachPin(const std::string& pins, F each) {
    std::size_t at = 0;
    while (at < pins.size()) {
        std::size_t end = pins.find(';', at);
        if (end == std::string::npos) end = pins.size();
        std::string_view line(pins.data() + at, end - at);
        while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
        while (!line.empty() && line.back() == ' ') line.remove_suffix(1);
        const auto blank = line.find(' ');
        if (blank != std::string_view::npos && blank > 0) each(line.substr(0, blank), line.substr(blank + 1), line);
        at = end + 1;
    }
}

}  // namespace

std::string CertificatePin(const std::string& pins, const std::string& host) {
    std::string found;
    EachPin(pins, [&](std::string_view h, std::string_view fp, std::string_view) {
        if (found.empty() && SameHost(h, host)) found = fp;
    });
    return found;
}

std::string WithCertificatePin(const std::string& pins, const std::string& host, const std::string& fingerprint) {
    std::string out;
    EachPin(pins, [&](std::string_view h, std::string_view, std::string_view line) {
        if (SameHost(h, host)) return;
        out.append(line);
        out += ';';
    });
    if (!fingerprint.empty() && !host.empty()) out += host + " " + fingerprint + ";";
    return out;
}
