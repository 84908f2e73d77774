// SPDX-License-Identifier: GPL-3.0-or-later
#include "SecretServiceStore.h"

TDesktopSecrets MakeDesktopSecretStore()
{
    return {std::make_unique<TMemorySecretStore>(),
            "No secret store answers: the password is kept for this session only."};
}
