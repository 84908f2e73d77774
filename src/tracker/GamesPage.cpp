// SPDX-License-Identifier: GPL-3.0-or-later
// TGamesPage: the games page logic: four game lists, arModTypes, status queries and replies.
#include "tracker/GamesPage.h"

#include "tracker/GameTypes.h"

#include <algorithm>
#include <charconv>
#include <vector>

namespace {

// The numeric value of a port text; 0 (which no send reaches) for anything else.
int PortValue(const std::string& text) {
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 0 || value > 65535) return 0;
    return value;
}

// Replies that may wait unread: what the socket's receive buffer holds at 2 KiB a datagram
// (a status reply takes well under that), within sane bounds.
int QueriesInFlight(int receiveBufferBytes) {
    return std::clamp(receiveBufferBytes / 2048, 16, 256);
}

}  // namespace

TGamesPage::TGamesPage(TEventLoop& loop, TNMUDP& udp, TMessageBoxes& boxes)
    : loop_(loop), udp_(udp), modTypes_(3, boxes), tmRefreshUDP_(loop, RefreshUDPIntervalMs) {
    udp_.OnDataReceived = [this](TNMUDP& sender, int numberBytes, const std::string& fromIP, int port) {
        NMUDP1DataReceived(sender, numberBytes, fromIP, port);
    };
    tmRefreshUDP_.OnTimer = [this] { tmRefreshUDPTimer(); };
    tmRefreshUDP_.SetEnabled(true);
    queries_ = std::make_unique<TStatusQueries>(
        loop_, QueriesInFlight(udp_.ReceiveBufferSize()),
        [this](const TQueuedQuery& query) { return SendQueued(query); },
        [this](const std::string& address, const std::string& port) {
            return FindServerInLists(address, port) != nullptr;
        },
        [this] { return udp_.DatagramWaiting(); });
}

TGamesPage::~TGamesPage() {
    // The socket outlives the page: it must not call into a page that is gone.
    udp_.OnDataReceived = nullptr;
}

int TGamesPage::GameTypeOf(const TGameList& list) const {
    for (std::size_t i = 0; i < lists_.size(); ++i)
        if (&lists_[i] == &list) return static_cast<int>(i);
    return -1;
}

int TGamesPage::TotalRows() const {
    int n = 0;
    for (const TGameList& l : lists_) n += l.Count();
    return n;
}

void TGamesPage::SetCaption(std::string caption) {
    if (caption == caption_) return;
    caption_ = std::move(caption);
    if (OnCaptionChange) OnCaptionChange(*this, caption_);
}

void TGamesPage::lvGamesInsert(TGameList&) {
    const int n = TotalRows();
    SetCaption(n >= 1 ? "Corvane Games (" + std::to_string(n) + ")" : "Corvane Games");
}

void TGamesPage::lvGamesDeletion(TGameList&) {
    const int n = TotalRows();
    SetCaption(n == 0 ? "Corvane Games" : "Corvane Games (" + std::to_string(n) + ")");
}

TGameRow* TGamesPage::lstGamesFindServer(const TGameList& list, const std::string& address,
                                         const std::string& port) const {
    return list.Find(address, port);
}

TGameRow* TGamesPage::FindServerInLists(const std::string& address, const std::string& port) const {
    // One key for the four lists: merges and retries ask this for thousands of servers.
    const std::string key = ServerKey(address, port);
    for (const TGameList& l : lists_)
        if (TGameRow* row = l.FindKey(key)) return row;
    return nullptr;
}

int TGamesPage::arModTypesFindServer(const std::string& address, const std::string& port) const {
    auto it = modTypesIndex_.find(ServerKey(address, port));
    return it == modTypesIndex_.end() ? -1 : it->second;
}

TGameList& TGamesPage::ListForServer(const std::string& address, const std::string& port) {
    const int r = arModTypesFindServer(address, port);
    if (r < 0 && Favourites)
        if (const TFavourite* f = Favourites->Find(address, port)) return lists_[static_cast<std::size_t>(f->GameType)];
    if (r < 0) return lists_[gtFS];
    const std::string code = modTypes_.GetCell(r, 2);
    if (code == "1") return lists_[gtBtRL];
    if (code == "2") return lists_[gtWCS];
    if (code == "3") return lists_[gtStarfox];
    return lists_[gtFS];
}

TGameRow& TGamesPage::lstGamesAddItem(TGameList& list) {
    TGameRow& row = list.Add();
    lvGamesInsert(list);
    return row;
}

void TGamesPage::SetGameType(std::uint8_t state, TGameRow* row) {
    if (!row) return;
    ::SetGameType(state, row);
    for (TGameList& l : lists_) l.Changed(*row);
}

void TGamesPage::SetHostType(std::uint8_t flags, TGameRow* row) {
    if (!row) return;
    ::SetHostType(flags, row);
    for (TGameList& l : lists_) l.Changed(*row);
}

void TGamesPage::CheckGamesFromPXO(std::unique_ptr<TAdvancedArray> table) {
    const int rows = table ? table->RowCount() : 0;
    for (int i = 0; i < rows; ++i) {
        const std::string address = table->GetCell(i, 0);
        const std::string port = table->GetCell(i, 1);
        if (FindServerInLists(address, port)) continue;
        int r = arModTypesFindServer(address, port);
        if (r < 0 && modTypes_.RowCount() < MaxModTypes) {
            r = modTypes_.AddRow();
            modTypesIndex_.emplace(ServerKey(address, port), r);
        }
        if (r >= 0) {
            modTypes_.SetCell(r, 0, address);
            modTypes_.SetCell(r, 1, port);
            modTypes_.SetCell(r, 2, table->GetCell(i, 2));
        }
        queries_->Queue({address, port, -1, FirstQueryRetries});
    }
    tmRefreshUDPTimer();
}

bool TGamesPage::SendStatusQuery() {
    try {
        udp_.SendDatagram(std::string(StatusQuery));
        return true;
    } catch (...) {
        // A server that cannot be reached simply ages out of its list.
        return false;
    }
}

void TGamesPage::RefreshListServers(TGameList& list) {
    // The rows as they stand now: the sends below may already delete rows of this list.
    const int gameType = GameTypeOf(list);
    std::vector<TQueuedQuery> sweep;
    sweep.reserve(static_cast<std::size_t>(list.Count()));
    for (int i = list.Count() - 1; i >= 0; --i)
        sweep.push_back({list.Row(i).Address(), list.Row(i).Port(), gameType, 0});
    for (TQueuedQuery& query : sweep) queries_->Queue(std::move(query));
}

bool TGamesPage::SendQueued(const TQueuedQuery& query) {
    const auto now = std::chrono::steady_clock::now();
    if (query.List >= 0) {
        TGameList& list = lists_.at(static_cast<std::size_t>(query.List));
        TGameRow* row = list.Find(query.Address, query.Port);
        // Deleted by an earlier sweep's query since: this sweep would not have visited it.
        if (!row) return false;
        if (row->Miss == "0") {
            row->Miss = "1";
        } else if (row->Miss == "1") {
            row->Miss = "2";
        } else if (row->Miss == "2") {
            list.Delete(list.IndexOf(*row));
            lvGamesDeletion(list);
            row = nullptr;
        }
        if (row) row->LastQuery = now;
    }
    udp_.RemoteHost = query.Address;
    udp_.RemotePort = PortValue(query.Port);
    if (!SendStatusQuery()) return false;
    if (sentAt_.size() >= static_cast<std::size_t>(MaxModTypes)) sentAt_.clear();
    sentAt_[ServerKey(query.Address, query.Port)] = now;
    return true;
}

void TGamesPage::tmRefreshUDPTimer() {
    if (loop_.Terminated()) return;
    for (TGameList& l : lists_) RefreshListServers(l);
    if (!Favourites) return;
    for (const TFavourite& f : Favourites->All())
        if (!FindServerInLists(f.Address, f.Port)) queries_->Queue({f.Address, f.Port, -1, 0});
}

void TGamesPage::NMUDP1DataReceived(TNMUDP& sender, int numberBytes, const std::string& fromIP, int port) {
    // Taken before anything else runs, so the ping is the reply's, not the handler's.
    receivedAt_ = std::chrono::steady_clock::now();
    queries_->Received();
    if (numberBytes < 0) return;
    std::string bytes;
    try {
        sender.ReadDatagram(bytes);
    } catch (...) {
        return;
    }
    if (auto reply = ParseStatusReply(bytes)) ApplyStatusReply(*reply, fromIP, port);
    receivedAt_ = {};
}

TGameRow* TGamesPage::ApplyStatusReply(const TStatusReply& reply, const std::string& fromIP, int port) {
    const std::string portText = std::to_string(port);
    TGameList& list = ListForServer(fromIP, portText);
    TGameRow* row = lstGamesFindServer(list, fromIP, portText);
    if (!row) {
        if (TotalRows() >= MaxListedServers) return nullptr;
        row = &lstGamesAddItem(list);
        list.SetServer(*row, fromIP, portText);
    }
    row->Server = reply.ServerName;
    row->Players = std::to_string(reply.Players);
    row->Mission = MissionText(reply);
    row->Miss = "0";
    const auto heard = receivedAt_ == std::chrono::steady_clock::time_point{} ? std::chrono::steady_clock::now()
                                                                               : receivedAt_;
    row->LastHeard = heard;
    if (auto sent = sentAt_.find(ServerKey(fromIP, portText)); sent != sentAt_.end()) {
        row->PingMs = std::max(0, static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                      heard - sent->second).count()));
        sentAt_.erase(sent);
    }
    if (Favourites) Favourites->Rename(fromIP, portText, reply.ServerName);
    ::SetGameType(reply.State, row);
    ::SetHostType(reply.Flags, row);
    list.Changed(*row);
    const int gameType = GameTypeOf(list);
    if (FormingAlert.Check(gameType, *row) && OnFormingAlert) OnFormingAlert(*this, gameType, *row);
    return row;
}

void TGamesPage::Button2Click() {
    udp_.RemotePort = UDPCheckPort;
    udp_.RemoteHost = "127.0.0.1";
    if (SendStatusQuery()) sentAt_[ServerKey("127.0.0.1", std::to_string(UDPCheckPort))] = std::chrono::steady_clock::now();
}

void TGamesPage::QueryServer(const std::string& address, const std::string& port) {
    if (!FindServerInLists(address, port)) queries_->Queue({address, port, -1, FirstQueryRetries});
}
