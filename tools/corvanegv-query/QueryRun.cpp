// SPDX-License-Identifier: GPL-3.0-or-later
// One run of corvanegv-query: ask the servers through the games page and print its rows.
#include "QueryRun.h"

#include "QueryOutput.h"
#include "net/NMUDP.h"
#include "net/PollEventLoop.h"
#include "net/WSocketApi.h"
#include "tracker/CorvaneCheck.h"
#include "tracker/GameTypes.h"
#include "tracker/GamesPage.h"


#include <algorithm>
#include <chrono>
#include <memory>
#include <set>

namespace {

// No window to show a box in: the text goes to standard error.
class TStderrBoxes : public TMessageBoxes {
public:
    explicit TStderrBoxes(std::ostream& err) : err_(err) {}
    TMsgResult Show(const std::string& text, const std::string& caption, TMsgIcon, TMsgButtons, TMsgDefault) override {
        err_ << caption << ": " << text << "\n";
        return TMsgResult::Ok;
    }

private:
    std::ostream& err_;
};

// Replies carry the sender's dotted address, so a host name is turned into one up front: that
// is the text the row will be found under.
bool DottedAddress(const std::string& host, std::string& dotted) {
    if (host.find('\0') != std::string::npos) return false;
    // getaddrinfo takes dotted addresses as they are, so one lookup serves both.
    std::uint32_t addr = 0;
    if (wsapi::LookupHost(host, addr) != 0) return false;
    const auto* b = reinterpret_cast<const unsigned char*>(&addr);
    dotted = std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." + std::to_string(b[3]);
    return true;
}

struct TTarget {
    std::string Address;
    std::string Port;
    bool operator<(const TTarget& o) const { return Address != o.Address ? Address < o.Address : Port < o.Port; }
};

}  // namespace

int RunQuery(const TQueryOptions& options, std::ostream& out, std::ostream& err) {
    std::vector<TTarget> targets;
    std::set<TTarget> seen;
    for (const TServerArg& s : options.Servers) {
        TTarget t;
        if (!DottedAddress(s.Host, t.Address)) {
            err << "corvanegv-query: cannot resolve \"" << s.Host << "\" to an IPv4 address\n";
            return 1;
        }
        t.Port = std::to_string(s.Port);
        if (seen.insert(t).second) targets.push_back(t);
    }

    const auto start = std::chrono::steady_clock::now();
    TPollEventLoop loop;
    TStderrBoxes boxes(err);
    std::unique_ptr<TNMUDP> udp;
    try {
        udp = std::make_unique<TNMUDP>(loop);
        udp->SetLocalPort(options.LocalPort);
    } catch (const std::exception& e) {
        err << "corvanegv-query: cannot bind local UDP port " << options.LocalPort << ": " << e.what() << "\n";
        return 1;
    }
    // Servers named by a tracker by anything but a dotted address are not looked up: the tool
    // sends no name of the network's choosing to a resolver.
    udp->NameResolver = [](const std::string&, std::uint32_t&) { return false; };
    TGamesPage page(loop, *udp, boxes);

    // The servers reach the page the way a tracker result does, under FreeSpace 2's code.
    auto table = std::make_unique<TAdvancedArray>(3, boxes);
    for (const TTarget& t : targets) {
        const int r = table->AddRow();
        table->SetCell(r, 0, t.Address);
        table->SetCell(r, 1, t.Port);
        table->SetCell(r, 2, std::string(GameTypes[0].Code));
    }
    page.CheckGamesFromPXO(std::move(table));

    // The walk hands each result to the page as the program does; its servers are waited for too.
    bool walked[4] = {};
    std::unique_ptr<TCorvaneCheck> check;
    if (options.UseTracker) {
        auto enabled = [&options](int gameType) {
            return std::find(options.Games.begin(), options.Games.end(), gameType) != options.Games.end();
        };
        auto sink = [&](std::unique_ptr<TAdvancedArray> result) {
            const int g = check->CurrentGameType()[0] - '0';
            if (g >= 0 && g < 4) walked[g] = true;
            for (int r = 0; r < result->RowCount(); ++r) {
                const TTarget t{result->GetCell(r, 0), result->GetCell(r, 1)};
                if (seen.insert(t).second) targets.push_back(t);
            }
            page.CheckGamesFromPXO(std::move(result));
        };
        check = std::make_unique<TCorvaneCheck>(loop, options.Tracker, enabled, sink, boxes);
        check->StartCheck();
    }

    auto answered = [&](const TTarget& t) { return page.FindServerInLists(t.Address, t.Port) != nullptr; };
    // Checked after every turn of the loop: a cursor over the targets keeps that cheap with
    // thousands of servers, and a full pass confirms the end.
    std::size_t cursor = 0;
    loop.RunUntil(
        [&] {
            if (check && !check->Idle()) return false;
            while (cursor < targets.size() && answered(targets[cursor])) ++cursor;
            if (cursor < targets.size()) return false;
            for (std::size_t i = 0; i < targets.size(); ++i)
                if (!answered(targets[i])) {
                    cursor = i;
                    return false;
                }
            return true;
        },
        std::chrono::milliseconds(static_cast<long long>(options.TimeoutSeconds * 1000)));

    if (options.Timing) {
        const auto ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        const auto listed = std::count_if(targets.begin(), targets.end(), answered);
        err << "corvanegv-query: listed " << listed << " of " << targets.size() << " servers in "
            << static_cast<long long>(ms + 0.5) << " ms\n";
    }
    if (check && !check->Idle()) err << "corvanegv-query: the tracker walk did not end within the timeout\n";
    if (check) {
        for (int g : options.Games)
            if (!walked[g]) err << "corvanegv-query: no tracker result for game type " << g << "\n";
    }
    for (const TTarget& t : targets)
        if (!answered(t)) err << "corvanegv-query: no answer from " << t.Address << ":" << t.Port << "\n";

    std::vector<TListedGame> games;
    for (int i = 0; i < static_cast<int>(GameTypes.size()); ++i) {
        const TGameList& list = page.List(i);
        for (int r = 0; r < list.Count(); ++r) games.push_back({GameTypes[static_cast<std::size_t>(i)].Code, &list.Row(r)});
    }
    out << (options.Json ? FormatJson(games) : FormatTable(games));
    out.flush();
    return 0;
}
