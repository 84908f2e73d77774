// SPDX-License-Identifier: GPL-3.0-or-later
// One asynchronous GLib call run to its end on a private main context, cancelled when it
// outlasts its bound: a silent or prompting secret store must not hold the window for long.
#pragma once

#include <gio/gio.h>

#include <functional>

// Starts the call with the cancellable, the callback and its data it is to be given.
using TAsyncStart = std::function<void(GCancellable*, GAsyncReadyCallback, gpointer)>;

struct TBoundedResult {
    GAsyncResult* Result = nullptr;  // owned; null when the call was given up
    bool TimedOut = false;           // the bound passed and the call was cancelled

    TBoundedResult() = default;
    TBoundedResult(const TBoundedResult&) = delete;
    TBoundedResult& operator=(const TBoundedResult&) = delete;
    TBoundedResult(TBoundedResult&& other) noexcept : Result(other.Result), TimedOut(other.TimedOut)
    {
        other.Result = nullptr;
    }
    ~TBoundedResult()
    {
        if (Result)
            g_object_unref(Result);
    }
};

// Runs start on ctx (made the thread's default meanwhile) until its callback comes. After ms
// the call is cancelled; a call that ignores the cancel is given up one second later.
TBoundedResult RunBounded(GMainContext* ctx, int ms, const TAsyncStart& start);
