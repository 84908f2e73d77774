// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop's secret store for the chat's passwords, or a store for this run only when
// none answers (then Unavailable says so, for the dialog to show).
#pragma once

#include "settings/SecretStore.h"

#include <functional>
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

// The desktop's store, asked whether it answers only when a password is first wanted (a
// connect with an account, the settings dialog): a start never waits for it, and a player
// without an account is never shown the keyring's unlock prompt.
class TLazyDesktopSecrets final : public TSecretStore {
public:
    explicit TLazyDesktopSecrets(std::function<TDesktopSecrets()> make) : make_(std::move(make)) {}
    TSecretResult Read(const std::string& key) override { return Made().Read(key); }
    TSecretResult Write(const std::string& key, const std::string& secret) override {
        return Made().Write(key, secret);
    }
    TSecretResult Erase(const std::string& key) override { return Made().Erase(key); }
    // Empty when the desktop's store answers.
    const std::string& Unavailable() {
        Made();
        return made_.Unavailable;
    }

private:
    TSecretStore& Made() {
        if (!made_.Store) {
            made_ = make_();
            if (!made_.Store) made_.Store = std::make_unique<TMemorySecretStore>();
        }
        return *made_.Store;
    }

    std::function<TDesktopSecrets()> make_;
    TDesktopSecrets made_;
};

// The schema name of the items, for tools that look them up (attributes "account", "host").
std::string SecretSchemaName();
