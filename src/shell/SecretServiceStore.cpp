// SPDX-License-Identifier: GPL-3.0-or-later
#include "SecretServiceStore.h"

#include "SecretServiceCall.h"
#include "shell/Identity.h"

#include <libsecret/secret.h>

#include <algorithm>

namespace {

// A chat password is short; anything far longer under our attributes is not ours to hand on.
constexpr std::size_t MaxSecretBytes = 64 * 1024;

struct TError {
    GError* E = nullptr;
    TError() = default;
    TError(const TError&) = delete;
    TError& operator=(const TError&) = delete;
    ~TError() { g_clear_error(&E); }
    bool Is(GQuark domain, int code) const { return g_error_matches(E, domain, code); }
};

const SecretSchema* Schema()
{
    static const std::string name = SecretSchemaName();
    static const SecretSchema schema = {
        name.c_str(),
        SECRET_SCHEMA_NONE,
        {{"account", SECRET_SCHEMA_ATTRIBUTE_STRING}, {"host", SECRET_SCHEMA_ATTRIBUTE_STRING}},
        0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    return &schema;
}

// Keys are "ACCOUNT@HOST"; a host name holds no "@", so the last one splits them.
GHashTable* Attributes(const std::string& key, std::string* label = nullptr)
{
    const auto at = key.rfind('@');
    const std::string account = at == std::string::npos ? key : key.substr(0, at);
    const std::string host = at == std::string::npos ? std::string() : key.substr(at + 1);
    if (label)
        *label = "Corvane Games Viewer: chat password for " + account + " on " + host;
    return secret_attributes_build(Schema(), "account", account.c_str(), "host", host.c_str(), nullptr);
}

std::string Seconds(int ms)
{
    return std::to_string((ms + 999) / 1000) + " s";
}

TSecretResult Failed(const TError& error, bool timedOut, int ms)
{
    TSecretResult out;
    if (!error.E || (timedOut && error.Is(G_IO_ERROR, G_IO_ERROR_CANCELLED)))
        out.Error = "The desktop's secret store did not answer within " + Seconds(ms) + ".";
    else
        out.Error = std::string("The desktop's secret store: ") + error.E->message;
    return out;
}

class TSecretServiceStore final : public TSecretStore {
public:
    // Takes over both references.
    TSecretServiceStore(GMainContext* ctx, SecretService* service, int callMs)
        : ctx_(ctx), service_(service), callMs_(callMs)
    {
    }
    ~TSecretServiceStore() override
    {
        g_object_unref(service_);
        g_main_context_unref(ctx_);
    }
    TSecretServiceStore(const TSecretServiceStore&) = delete;
    TSecretServiceStore& operator=(const TSecretServiceStore&) = delete;

    TSecretResult Read(const std::string& key) override
    {
        GHashTable* attributes = Attributes(key);
        auto call = RunBounded(ctx_, callMs_, [&](GCancellable* c, GAsyncReadyCallback cb, gpointer d) {
            secret_service_lookup(service_, Schema(), attributes, c, cb, d);
        });
        g_hash_table_unref(attributes);
        TError error;
        SecretValue* value = call.Result ? secret_service_lookup_finish(service_, call.Result, &error.E) : nullptr;
        if (!value) {
            if (!call.Result || error.E)
                return Failed(error, call.TimedOut, callMs_);
            return {true, false, {}, {}};
        }
        gsize length = 0;
        const gchar* bytes = secret_value_get(value, &length);
        TSecretResult out;
        if (length > MaxSecretBytes)
            out.Error = "The desktop's secret store holds " + std::to_string(length) +
                        " bytes under this account, far more than a password.";
        else
            out = {true, true, std::string(bytes, length), {}};
        secret_value_unref(value);
        return out;
    }

    TSecretResult Write(const std::string& key, const std::string& secret) override
    {
        if (secret.size() > MaxSecretBytes)
            return {false, false, {}, "A password of " + std::to_string(secret.size()) + " bytes is too long to keep."};
        std::string label;
        GHashTable* attributes = Attributes(key, &label);
        SecretValue* value = secret_value_new(secret.data(), static_cast<gssize>(secret.size()), "text/plain");
        auto call = RunBounded(ctx_, callMs_, [&](GCancellable* c, GAsyncReadyCallback cb, gpointer d) {
            secret_service_store(service_, Schema(), attributes, SECRET_COLLECTION_DEFAULT, label.c_str(), value, c,
                                 cb, d);
        });
        secret_value_unref(value);
        g_hash_table_unref(attributes);
        TError error;
        if (!call.Result || !secret_service_store_finish(service_, call.Result, &error.E))
            return Failed(error, call.TimedOut, callMs_);
        return {true, false, {}, {}};
    }

    TSecretResult Erase(const std::string& key) override
    {
        GHashTable* attributes = Attributes(key);
        auto call = RunBounded(ctx_, callMs_, [&](GCancellable* c, GAsyncReadyCallback cb, gpointer d) {
            secret_service_clear(service_, Schema(), attributes, c, cb, d);
        });
        g_hash_table_unref(attributes);
        TError error;
        // FALSE without an error only says there was nothing to erase.
        if (!call.Result || (!secret_service_clear_finish(service_, call.Result, &error.E) && error.E))
            return Failed(error, call.TimedOut, callMs_);
        return {true, false, {}, {}};
    }

private:
    GMainContext* ctx_;
    SecretService* service_;
    int callMs_;
};

// GLib keeps one session connection per process and tells of its end on the context it was
// made on; with one context for all our calls, a later probe runs that news and connects anew
// instead of being handed the dead connection.
GMainContext* SharedContext()
{
    static GMainContext* const ctx = g_main_context_new();
    return g_main_context_ref(ctx);
}

TDesktopSecrets SessionOnly(GMainContext* ctx, const std::string& why)
{
    g_main_context_unref(ctx);
    return {std::make_unique<TMemorySecretStore>(), why + ": the password is kept for this session only."};
}

std::string NoAnswer(const TError& error, bool timedOut, int ms)
{
    if (!error.E || (timedOut && error.Is(G_IO_ERROR, G_IO_ERROR_CANCELLED)))
        return "The desktop's secret store did not answer within " + Seconds(ms);
    if (error.Is(G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN) || error.Is(G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER))
        return "No secret store (such as GNOME Keyring or KWallet) runs on this desktop";
    return std::string("The desktop's secret store does not work (") + error.E->message + ")";
}

}  // namespace

std::string SecretSchemaName()
{
    return std::string(AppId) + ".ChatPassword";
}

TDesktopSecrets MakeDesktopSecretStore()
{
    return MakeDesktopSecretStore(TSecretServiceLimits{});
}

TDesktopSecrets MakeDesktopSecretStore(const TSecretServiceLimits& limits)
{
    // Every call runs on a context of our own, so the window's loop never runs inside one.
    GMainContext* ctx = SharedContext();
    while (g_main_context_iteration(ctx, FALSE)) {
    }
    const gint64 deadline = g_get_monotonic_time() + gint64{limits.CallMs} * 1000;
    const auto left = [&] { return static_cast<int>(std::max<gint64>(0, (deadline - g_get_monotonic_time()) / 1000)); };

    auto bus = RunBounded(ctx, left(), [](GCancellable* c, GAsyncReadyCallback cb, gpointer d) {
        g_bus_get(G_BUS_TYPE_SESSION, c, cb, d);
    });
    TError error;
    GDBusConnection* connection = bus.Result ? g_bus_get_finish(bus.Result, &error.E) : nullptr;
    if (!connection)
        return SessionOnly(ctx, "No desktop session answers, so there is no secret store");
    // GLib ends the process when the shared session connection closes; for us a vanished
    // session is only a store that fails.
    g_dbus_connection_set_exit_on_close(connection, FALSE);

    auto open = RunBounded(ctx, left(), [](GCancellable* c, GAsyncReadyCallback cb, gpointer d) {
        secret_service_open(SECRET_TYPE_SERVICE, nullptr, SECRET_SERVICE_OPEN_SESSION, c, cb, d);
    });
    SecretService* service = open.Result ? secret_service_open_finish(open.Result, &error.E) : nullptr;
    g_object_unref(connection);  // the service holds its own reference
    if (!service)
        return SessionOnly(ctx, NoAnswer(error, open.TimedOut, limits.CallMs));

    auto alias = RunBounded(ctx, left(), [&](GCancellable* c, GAsyncReadyCallback cb, gpointer d) {
        secret_collection_for_alias(service, SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE, c, cb, d);
    });
    SecretCollection* collection = alias.Result ? secret_collection_for_alias_finish(alias.Result, &error.E) : nullptr;
    if (!collection && (!alias.Result || error.E)) {
        g_object_unref(service);
        return SessionOnly(ctx, NoAnswer(error, alias.TimedOut, limits.CallMs));
    }
    // Without a default collection yet, the first write asks the desktop to make one.
    if (collection && secret_collection_get_locked(collection)) {
        GList* objects = g_list_append(nullptr, collection);
        auto unlock = RunBounded(ctx, limits.UnlockMs, [&](GCancellable* c, GAsyncReadyCallback cb, gpointer d) {
            secret_service_unlock(service, objects, c, cb, d);
        });
        g_list_free(objects);
        const gint unlocked = unlock.Result ? secret_service_unlock_finish(service, unlock.Result, nullptr, &error.E) : 0;
        if (unlocked < 1) {
            g_object_unref(collection);
            g_object_unref(service);
            return SessionOnly(ctx, "The desktop's keyring is locked and was not unlocked");
        }
    }
    if (collection)
        g_object_unref(collection);
    return {std::make_unique<TSecretServiceStore>(ctx, service, limits.CallMs), {}};
}
