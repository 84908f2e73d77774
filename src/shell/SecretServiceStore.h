// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop's secret store for the chat's passwords, or a store for this run only when
// none answers (then Unavailable says so, for the dialog to show).
#pragma once

#include "settings/SecretStore.h"

#include <memory>
#include <string>

struct TDesktopSecrets {
    std::unique_ptr<TSecretStore> Store;
    std::string Unavailable;  // empty when the desktop's store answers
};

// How long a call to the desktop's store may block the caller.
struct TSecretServiceLimits {
    int CallMs = 5000;     // each read, write or erase; and the probe as a whole
    int UnlockMs = 30000;  // the probe's unlock prompt, shown only when the keyring is locked
};

TDesktopSecrets MakeDesktopSecretStore();
TDesktopSecrets MakeDesktopSecretStore(const TSecretServiceLimits& limits);

// The schema name of the items, for tools that look them up (attributes "account", "host").
std::string SecretSchemaName();
