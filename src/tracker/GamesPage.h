// SPDX-License-Identifier: GPL-3.0-or-later
// TGamesPage: the games page logic: four game lists, arModTypes, status queries and replies.
#pragma once

#include "net/NMUDP.h"
#include "net/Timer.h"
#include "tracker/AdvArray.h"
#include "tracker/Favourites.h"
#include "tracker/FormingAlert.h"
#include "tracker/FriendMarks.h"
#include "tracker/GameList.h"
#include "tracker/StatusQueries.h"
#include "tracker/StatusReply.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>

// Local UDP port of the status socket; replies come back to it.
inline constexpr int StatusLocalPort = 22901;
// Interval of tmRefreshUDP: one status sweep over all lists.
inline constexpr int RefreshUDPIntervalMs = 15000;
// The local server the hidden "UDPCheck" button asks.
inline constexpr int UDPCheckPort = 7808;

// Bounds on what network input can make us remember. Anyone can answer from many ports and a
// tracker can name many servers; real lists hold dozens.
inline constexpr int MaxListedServers = 16384;  // rows over all four lists
inline constexpr int MaxModTypes = 65536;       // arModTypes rows

// Indices of the four lists, in code order.
enum TGameTypeIndex : int { gtFS = 0, gtBtRL = 1, gtWCS = 2, gtStarfox = 3 };

class TGamesPage {
public:
    // The socket and the message boxes must outlive the page. The page takes the socket's
    // OnDataReceived for itself and starts tmRefreshUDP.
    TGamesPage(TEventLoop& loop, TNMUDP& udp, TMessageBoxes& boxes);
    ~TGamesPage();
    TGamesPage(const TGamesPage&) = delete;
    TGamesPage& operator=(const TGamesPage&) = delete;

    // The enabled game types (until the settings store provides them).
    bool FSEnabled = true;
    bool BtRLEnabled = false;
    bool WCSEnabled = false;
    bool StarfoxEnabled = false;
    // The user's favourites, when the shell keeps any: each sweep also asks those not listed,
    // so that one that went silent comes back when it answers again. Must outlive the page.
    TFavourites* Favourites = nullptr;
    // The forming alert rule, looked at on each reply; OnFormingAlert tells the user.
    TFormingAlert FormingAlert;
    std::function<void(TGamesPage& sender, int gameType, const TGameRow& row)> OnFormingAlert;
    // Friends playing now; the lists mark the rows of their servers.
    TFriendMarks FriendMarks;

    TGameList& List(int gameType) { return lists_.at(static_cast<std::size_t>(gameType)); }
    const TGameList& List(int gameType) const { return lists_.at(static_cast<std::size_t>(gameType)); }
    TGameList& lvFSGames() { return lists_[gtFS]; }
    TGameList& lvBtRLGames() { return lists_[gtBtRL]; }
    TGameList& lvWCSGames() { return lists_[gtWCS]; }
    TGameList& lvStarfoxGames() { return lists_[gtStarfox]; }
    // The game type index of one of the four lists.
    int GameTypeOf(const TGameList& list) const;

    // Read-only: every write goes through CheckGamesFromPXO, which keeps the index right.
    const TAdvancedArray& arModTypes() const { return modTypes_; }

    // "Corvane Games" or "Corvane Games (N)" with N the rows over all four lists.
    const std::string& Caption() const { return caption_; }
    std::function<void(TGamesPage& sender, const std::string& caption)> OnCaptionChange;

    // Merges one tracker result (address, port, game type code) and runs a status sweep.
    void CheckGamesFromPXO(std::unique_ptr<TAdvancedArray> table);
    TGameRow* FindServerInLists(const std::string& address, const std::string& port) const;
    TGameRow* lstGamesFindServer(const TGameList& list, const std::string& address,
                                 const std::string& port) const;
    int arModTypesFindServer(const std::string& address, const std::string& port) const;
    // The list a server's replies go to: its arModTypes game type, FreeSpace 2 otherwise.
    TGameList& ListForServer(const std::string& address, const std::string& port);
    TGameRow& lstGamesAddItem(TGameList& list);

    // The row texts from the state and flags bytes; the row's list reports the change.
    void SetGameType(std::uint8_t state, TGameRow* row);
    void SetHostType(std::uint8_t flags, TGameRow* row);

    void lvGamesInsert(TGameList& sender);
    void lvGamesDeletion(TGameList& sender);

    // Sends 00 E2 to the socket's RemoteHost:RemotePort; every error is swallowed. True when
    // a datagram went out.
    bool SendStatusQuery();
    // Queues one query per row, bottom row first. A row's miss counter steps when its query
    // leaves (it counts the queries sent since the last reply), so a long queue never turns
    // into misses.
    void RefreshListServers(TGameList& list);
    void tmRefreshUDPTimer();
    void NMUDP1DataReceived(TNMUDP& sender, int numberBytes, const std::string& fromIP, int port);
    // Creates or refreshes the sender's row from a parsed reply; null when the reply is
    // dropped because the lists are full.
    TGameRow* ApplyStatusReply(const TStatusReply& reply, const std::string& fromIP, int port);
    void Button2Click();
    // One status query to a server now (a favourite just added), with the retries of a
    // server the tracker named.
    void QueryServer(const std::string& address, const std::string& port);

    TTimer& tmRefreshUDP() { return tmRefreshUDP_; }
    // The queries of merges and sweeps, sent paced.
    const TStatusQueries& StatusQueries() const { return *queries_; }

private:
    int TotalRows() const;
    void SetCaption(std::string caption);
    // Sends one queued query; a sweep's query first steps its row's miss counter.
    bool SendQueued(const TQueuedQuery& query);

    TEventLoop& loop_;
    TNMUDP& udp_;
    std::array<TGameList, 4> lists_;
    TAdvancedArray modTypes_;
    std::unordered_map<std::string, int> modTypesIndex_;  // ServerKey -> arModTypes row
    std::string caption_ = "Corvane Games";
    TTimer tmRefreshUDP_;
    // When the last query to each server left, for its ping; bounded like arModTypes.
    std::unordered_map<std::string, std::chrono::steady_clock::time_point> sentAt_;
    std::chrono::steady_clock::time_point receivedAt_{};
    std::unique_ptr<TStatusQueries> queries_;  // last: its sends reach into the lists
};
