// SPDX-License-Identifier: GPL-3.0-or-later
// Lines per second the IRC client cuts, parses and dispatches: PRIVMSG to a lobby of 500 users.
#include "chat/IRCCli.h"
#include "net/PollEventLoop.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

void PrivmsgToLobbyOf500(benchmark::State& state) {
    TPollEventLoop loop;
    TIRCCli cli(loop);
    cli.SetNick("ann");
    cli.OfflineWire = [](const std::string&) {};
    std::size_t messages = 0, serverMessages = 0;
    cli.OnMessage = [&](TIRCCli&, const std::string&, const std::string&, const std::string&, const std::string&,
                        const std::string& text, bool) { messages += text.size() > 0; };
    cli.OnServerMessage = [&](TIRCCli&, const std::string&, const std::string&, const std::vector<std::string>&) {
        ++serverMessages;
    };

    cli.DataArrived(":ann!~ann@127.0.0.1 JOIN :#Lobby_20\r\n");
    std::string names;
    for (int i = 0; i < 500; ++i) names += (i % 10 == 0 ? "@player" : "player") + std::to_string(i) + " ";
    cli.DataArrived(":irc.test.local 353 ann = #Lobby_20 :" + names + "\r\n");
    if (cli.Channels().Count() != 1 || cli.Channels()[0].Users().Count() != 501) state.SkipWithError("lobby not set up");
    serverMessages = 0;

    // One arrival's worth of lines from several senders, handed over in 8193-byte reads.
    std::string stream;
    const int lines = 1000;
    for (int i = 0; i < lines; ++i)
        stream += ":player" + std::to_string(i % 500) + "!~p@10.0.0." + std::to_string(i % 200) +
                  " PRIVMSG #Lobby_20 :good game everyone, anyone up for a coop mission? " + std::to_string(i) + "\r\n";

    for (auto _ : state) {
        for (std::size_t off = 0; off < stream.size(); off += 8193)
            cli.DataArrived(std::string_view(stream).substr(off, 8193));
    }
    if (serverMessages != static_cast<std::size_t>(lines) * state.iterations()) state.SkipWithError("lines lost");
    state.SetItemsProcessed(static_cast<std::int64_t>(lines) * state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(stream.size()) * state.iterations());
    benchmark::DoNotOptimize(messages);
}

}  // namespace

BENCHMARK(PrivmsgToLobbyOf500)->Unit(benchmark::kMicrosecond);
