// SPDX-License-Identifier: GPL-3.0-or-later
// The settings dialog's Apply and OK rules and the executable chooser's first folder.
#include "settings/OptionsApply.h"

#include "settings/Names.h"

#include <system_error>

namespace {

// Steps 1 and 2, shared by Apply and OK.
bool NicknameChecked(TSettings& values, TOptionsApplyTargets& targets) {
    values.Nickname = ValidateNick(values.Nickname);
    targets.SetNicknameText(values.Nickname);
    if (!values.Nickname.empty()) return true;
    targets.ShowWarning(NicknameWarning, NicknameWarningCaption);
    return false;
}

}  // namespace

bool ApplyOptions(TSettings& settings, TRegistryKey& key, TSettings values, TOptionsApplyTargets& targets,
                  const TSettingsEvents& events) {
    if (!NicknameChecked(values, targets)) return false;
    targets.SetApplyEnabled(false);

    if (targets.Connected() && values.Nickname != settings.Nickname) targets.SendLine("NICK " + values.Nickname);
    if (targets.Connected() && values.FullName != settings.FullName)
        targets.ShowInformation(ReconnectNotice, "Corvane Games Viewer");

    // Saved into a copy: a failed commit leaves the store as it was, and the record with it.
    TSettings saved = settings;
    try {
        SaveSettings(key, saved, values, events);
    } catch (...) {
        targets.SetApplyEnabled(true);
        throw;
    }
    settings = saved;

    targets.ApplyTray(settings.MinimizeToTray, settings.TrayIconVisible);
    targets.ShowEnabledGames();
    return true;
}

bool ConfirmOptions(TSettings& settings, TRegistryKey& key, const TSettings& values, TOptionsApplyTargets& targets,
                    const TSettingsEvents& events) {
    TSettings checked = values;
    if (!NicknameChecked(checked, targets)) return false;
    if (targets.ApplyEnabled()) ApplyOptions(settings, key, checked, targets, events);
    return true;
}

std::filesystem::path BrowseStartFolder(const std::string& currentPath, const std::filesystem::path& programFolder) {
    // The folder part is everything up to the last separator; a bare file name has none.
    const auto slash = currentPath.find_last_of('/');
    if (slash != std::string::npos) {
        const std::filesystem::path folder = currentPath.substr(0, slash + 1);
        std::error_code ec;
        if (std::filesystem::is_directory(folder, ec)) return folder;
    }
    return programFolder;
}
