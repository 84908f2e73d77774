// SPDX-License-Identifier: GPL-3.0-or-later
#include "SecretServiceCall.h"

namespace {

// Lives on the heap: a call given up may still call back when the context next runs.
struct TPending {
    GAsyncResult* Result = nullptr;
    bool Abandoned = false;
};

void Finished(GObject*, GAsyncResult* result, gpointer data)
{
    auto* pending = static_cast<TPending*>(data);
    if (pending->Abandoned) {
        delete pending;
        return;
    }
    pending->Result = G_ASYNC_RESULT(g_object_ref(result));
}

struct TClock {
    GCancellable* Cancel = nullptr;
    bool Cancelled = false;
    bool GiveUp = false;
};

gboolean CancelNow(gpointer data)
{
    auto* clock = static_cast<TClock*>(data);
    clock->Cancelled = true;
    g_cancellable_cancel(clock->Cancel);
    return G_SOURCE_REMOVE;
}

gboolean GiveUpNow(gpointer data)
{
    static_cast<TClock*>(data)->GiveUp = true;
    return G_SOURCE_REMOVE;
}

GSource* Timer(GMainContext* ctx, int ms, GSourceFunc fn, TClock* clock)
{
    GSource* source = g_timeout_source_new(static_cast<guint>(ms < 0 ? 0 : ms));
    g_source_set_callback(source, fn, clock, nullptr);
    g_source_attach(source, ctx);
    return source;
}

}  // namespace

TBoundedResult RunBounded(GMainContext* ctx, int ms, const TAsyncStart& start)
{
    g_main_context_push_thread_default(ctx);
    TClock clock;
    clock.Cancel = g_cancellable_new();
    GSource* cancelTimer = Timer(ctx, ms, CancelNow, &clock);
    GSource* giveUpTimer = Timer(ctx, ms + 1000, GiveUpNow, &clock);

    auto* pending = new TPending;
    start(clock.Cancel, Finished, pending);
    while (!pending->Result && !clock.GiveUp)
        g_main_context_iteration(ctx, TRUE);

    TBoundedResult out;
    out.TimedOut = clock.Cancelled;
    if (pending->Result) {
        out.Result = pending->Result;
        delete pending;
    } else {
        pending->Abandoned = true;
    }
    g_source_destroy(cancelTimer);
    g_source_unref(cancelTimer);
    g_source_destroy(giveUpTimer);
    g_source_unref(giveUpTimer);
    g_object_unref(clock.Cancel);
    g_main_context_pop_thread_default(ctx);
    return out;
}
