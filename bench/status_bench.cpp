// SPDX-License-Identifier: GPL-3.0-or-later
// Status replies: parse cost, and matching 10,000 replies to 10,000 rows by index vs. by list walk.
#include "net/NMUDP.h"
#include "net/PollEventLoop.h"
#include "tracker/GameTypes.h"
#include "tracker/GamesPage.h"
#include "tracker/StatusReply.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

class TNoBoxes : public TMessageBoxes {
public:
    TMsgResult Show(const std::string&, const std::string&, TMsgIcon, TMsgButtons, TMsgDefault) override { return TMsgResult::Ok; }
};

std::string Le32(std::uint32_t v) {
    std::string b(4, '\0');
    for (int i = 0; i < 4; ++i) b[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return b;
}

std::string Reply(const std::string& server, const std::string& file, const std::string& mission) {
    return std::string("\x00\xE1\x2E\x2E", 4) + Le32(static_cast<std::uint32_t>(server.size())) + server +
           Le32(static_cast<std::uint32_t>(file.size())) + file + Le32(static_cast<std::uint32_t>(mission.size())) +
           mission + "\x05\x81\x34";
}

// Servers on 127.0.0.1 ports 10000.. (below the ephemeral range, so the sweep's queries do not
// land on sockets of tests running beside us).
constexpr int kFirstPort = 10000;

struct TWorld {
    explicit TWorld(int servers) : udp(loop), page(loop, udp, boxes) {
        udp.SetLocalPort(0);
        for (int i = 0; i < servers; ++i) {
            datagrams.push_back(Reply("Server number " + std::to_string(i), "m" + std::to_string(i % 50) + ".fs2",
                                      "Mission " + std::to_string(i % 50)));
            page.ApplyStatusReply(*ParseStatusReply(datagrams.back()), "127.0.0.1", kFirstPort + i);
        }
    }
    TPollEventLoop loop;
    TNoBoxes boxes;
    TNMUDP udp;
    TGamesPage page;
    std::vector<std::string> datagrams;
};

// What the replies cost when each one walks the list for its row, as a plain list view would.
TGameRow* WalkForServer(TGameList& list, const std::string& address, const std::string& port) {
    for (int i = 0; i < list.Count(); ++i) {
        TGameRow& row = list.Row(i);
        if (row.Address() == address && row.Port() == port) return &row;
    }
    return nullptr;
}

void ApplyByWalk(TGamesPage& page, const TStatusReply& reply, const std::string& address, int port) {
    const std::string portText = std::to_string(port);
    TGameList& list = page.ListForServer(address, portText);
    TGameRow* row = WalkForServer(list, address, portText);
    if (!row) return;
    row->Server = reply.ServerName;
    row->Players = std::to_string(reply.Players);
    row->Mission = MissionText(reply);
    row->Miss = "0";
    SetGameType(reply.State, row);
    SetHostType(reply.Flags, row);
    list.Changed(*row);
}

void BM_ParseStatusReply(benchmark::State& state) {
    const std::string bytes = Reply("Alpha Squadron [EU]", "m1-07.fs2", "Operation Thunderclap");
    for (auto _ : state) benchmark::DoNotOptimize(ParseStatusReply(bytes));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_ParseStatusReply);

void BM_RepliesIndexed(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    TWorld w(n);
    for (auto _ : state)
        for (int i = 0; i < n; ++i)
            if (auto r = ParseStatusReply(w.datagrams[i])) w.page.ApplyStatusReply(*r, "127.0.0.1", kFirstPort + i);
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_RepliesIndexed)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_RepliesLinearWalk(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    TWorld w(n);
    for (auto _ : state)
        for (int i = 0; i < n; ++i)
            if (auto r = ParseStatusReply(w.datagrams[i])) ApplyByWalk(w.page, *r, "127.0.0.1", kFirstPort + i);
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_RepliesLinearWalk)->Arg(10000)->Unit(benchmark::kMillisecond);

// One sweep (a real 2-byte datagram to 127.0.0.1 per row) and then every server's reply.
void BM_SweepAndReplies(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    TWorld w(n);
    for (auto _ : state) {
        w.page.tmRefreshUDPTimer();
        for (int i = 0; i < n; ++i)
            if (auto r = ParseStatusReply(w.datagrams[i])) w.page.ApplyStatusReply(*r, "127.0.0.1", kFirstPort + i);
    }
    if (w.page.lvFSGames().Count() != n) state.SkipWithError("rows were lost");
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_SweepAndReplies)->Arg(10000)->Unit(benchmark::kMillisecond);

// Sweeps that delete every other row, the worst shape for a list that shifts its tail.
void BM_SweepDeletingHalf(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        TWorld w(n);
        TGameList& list = w.page.lvFSGames();
        for (int i = 0; i < n; i += 2) list.Row(i).Miss = "2";
        state.ResumeTiming();
        w.page.tmRefreshUDPTimer();
        state.PauseTiming();
        if (list.Count() != n / 2) state.SkipWithError("wrong rows deleted");
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_SweepDeletingHalf)->Arg(4000)->Arg(16000)->Unit(benchmark::kMillisecond);

}  // namespace
