// SPDX-License-Identifier: GPL-3.0-or-later
// Passwords live outside the settings file, in the desktop's secret store; the chat asks for
// them through this seam so its logic and tests need no desktop.
#pragma once

#include <map>
#include <string>

struct TSecretResult {
    bool Ok = false;     // false: the store could not be reached or refused; Error says why
    bool Found = false;  // Read only: a secret is stored under the key
    std::string Secret;
    std::string Error;
};

// Keys are "ACCOUNT@HOST": one password per account and network.
class TSecretStore {
public:
    virtual ~TSecretStore() = default;
    virtual TSecretResult Read(const std::string& key) = 0;
    virtual TSecretResult Write(const std::string& key, const std::string& secret) = 0;
    virtual TSecretResult Erase(const std::string& key) = 0;
};

inline std::string SecretKey(const std::string& account, const std::string& host)
{
    return account + "@" + host;
}

// For tests and for a machine without a secret store (then nothing outlives the run).
class TMemorySecretStore : public TSecretStore {
public:
    TSecretResult Read(const std::string& key) override
    {
        auto it = secrets_.find(key);
        if (it == secrets_.end())
            return {true, false, {}, {}};
        return {true, true, it->second, {}};
    }
    TSecretResult Write(const std::string& key, const std::string& secret) override
    {
        secrets_[key] = secret;
        return {true, false, {}, {}};
    }
    TSecretResult Erase(const std::string& key) override
    {
        secrets_.erase(key);
        return {true, false, {}, {}};
    }

private:
    std::map<std::string, std::string> secrets_;
};
