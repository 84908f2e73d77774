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

TDesktopSecrets MakeDesktopSecretStore();
