// SPDX-License-Identifier: GPL-3.0-or-later
// TIRCCli: properties, session start and stop, login, and the receive path.
#include "chat/IRCCli.h"

#include <algorithm>

namespace {

const char* const kActiveText = "You cannot change this property while the component is active";

// Drops leading and trailing blanks and control characters.
std::string Trimmed(const std::string& text) {
    std::size_t b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= 32) ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= 32) --e;
    return text.substr(b, e - b);
}

// The command word, whatever its case: QUIT ends the session for good.
bool IsQuitLine(std::string_view text) {
    const std::size_t b = text.find_first_not_of(' ');
    if (b == std::string_view::npos) return false;
    text.remove_prefix(b);
    return SameTextAscii(text.substr(0, text.find(' ')), "QUIT");
}

}  // namespace

TIRCCli::TIRCCli(TEventLoop& loop) : loop_(loop), socket_(loop) {
    socket_.OnSessionConnected = [this](TWSocket&, std::uint16_t error) { SocketSessionConnected(error); };
    socket_.OnSessionClosed = [this](TWSocket&, std::uint16_t error) { SocketSessionClosed(error); };
    socket_.OnDataAvailable = [this](TWSocket&, std::uint16_t) { SocketDataAvailable(); };
    caps_.Send = [this](const std::string& line) { SendLine(line); };
    caps_.Note = [this](const std::string& text, bool error) {
        if (OnNegotiationNote) OnNegotiationNote(*this, text, error);
    };
    caps_.OnStsUpgrade = [this](int port) {
        if (OnStsUpgrade) OnStsUpgrade(*this, port);
    };
    caps_.OnStsDuration = [this](std::int64_t seconds) {
        if (OnStsDuration) OnStsDuration(*this, seconds);
    };
}

TIRCCli::~TIRCCli() {
    StopWatchdog();
    StopCapTimer();
    StopPacing();
    quietClose_ = true;
    if (active_) {
        active_ = false;
        try {
            if (Connected()) SendLine("Quit");
        } catch (...) {
            // The connection is going anyway.
        }
        try {
            socket_.Close();
        } catch (...) {
        }
    }
    try {
        channels_.Clear();
    } catch (...) {
        // A destructor cannot pass a handler's failure on.
    }
}

void TIRCCli::CheckInactive() const {
    if (active_) throw EIRCCli(kActiveText);
}

void TIRCCli::SetUser(const std::string& value) {
    CheckInactive();
    user_ = value;
}

void TIRCCli::SetRealName(const std::string& value) {
    CheckInactive();
    realName_ = value;
}

void TIRCCli::SetHost(const std::string& value) {
    CheckInactive();
    host_ = value;
}

void TIRCCli::SetPort(const std::string& value) {
    CheckInactive();
    port_ = value;
}

void TIRCCli::SetUseTls(bool value) {
    CheckInactive();
    useTls_ = value;
}

void TIRCCli::SetNick(const std::string& value) {
    nick_ = value;
    wantedNick_ = value;
    if (Connected()) SendLine("nick " + value);
}

void TIRCCli::SetPass(const std::string& value) {
    pass_ = value;
    if (Connected() && !value.empty()) SendLine("pass " + value);
}

void TIRCCli::SetActive(bool value) {
    if (value == active_) return;
    active_ = value;
    if (value)
        Start();
    else
        Stop();
}

void TIRCCli::Start() {
    // An unfinished line of an earlier session must not run into the first line of this one.
    queue_.Clear();
    registered_ = false;
    quitSent_ = false;
    support_ = TIRCSupport{};
    nickAttempt_ = 0;
    nickMaxLength_ = std::string::npos;
    try {
        socket_.SetAddr(host_);
        socket_.SetPort(port_);
        socket_.SetProto("tcp");
        socket_.Tls.Enabled = useTls_;
        socket_.Tls.ServerName = host_;
        socket_.Tls.PinnedFingerprint = tlsPin_;
        socket_.Connect();
    } catch (...) {
        // Back to idle, so that a later Connect tries again.
        active_ = false;
        if (socket_.State() != wsClosed) {
            quietClose_ = true;
            try {
                socket_.Abort();
            } catch (...) {
            }
            quietClose_ = false;
        }
        throw;
    }
}

void TIRCCli::Stop() {
    if (Connected()) {
        try {
            SendLine("Quit");
        } catch (...) {
            socket_.Close();
            throw;
        }
    }
    socket_.Close();
}

void TIRCCli::SendLine(const std::string& text) {
    // A CR or LF inside text (a lone one stays inside a received line, and is echoed back in a
    // PONG) would end the line early at the server and run the rest as a command nobody sent.
    // Each becomes a blank; every other byte passes unchanged.
    std::string bytes = text;
    for (char& c : bytes)
        if (c == '\r' || c == '\n') c = ' ';
    bytes += "\r\n";
    if (IsQuitLine(text) && !ownQuit_) quitSent_ = true;
    if (OfflineWire) {
        OfflineWire(bytes);
        return;
    }
    socket_.SendText(bytes);
    socket_.Send(nullptr, 0);
}

void TIRCCli::SendCommand(const std::string& word, const std::vector<std::string>& parameters) {
    std::string line = word;
    for (const auto& p : parameters) {
        line += ' ';
        line += p;
    }
    SendLine(Trimmed(line));
}

void TIRCCli::SocketSessionConnected(std::uint16_t error) {
    if (error != 0) {
        // The QUIT of this clean-up is the client's own, not the user's ending of the session.
        ownQuit_ = true;
        try {
            Disconnect();
        } catch (...) {
            ownQuit_ = false;
            throw;
        }
        ownQuit_ = false;
        return;
    }
    StartWatchdog();
    if (autoLogin_) {
        if (capabilities_) StartNegotiation();
        if (!pass_.empty()) SendLine("pass " + pass_);
        SendLine("nick " + nick_);
        SendLine("user " + user_ + " - - :" + realName_);
    }
    if (OnSessionConnected) OnSessionConnected(*this, 0);
}

void TIRCCli::SocketSessionClosed(std::uint16_t error) {
    if (quietClose_) return;
    StopWatchdog();
    StopCapTimer();
    caps_.Reset();
    // Lines for a session that is gone are not sent into the next one; the user is told.
    std::vector<std::string> unsent(paced_.begin(), paced_.end());
    StopPacing();
    if (!unsent.empty() && OnUnsent) {
        try {
            OnUnsent(*this, unsent);
        } catch (...) {
        }
    }
    if (timedOut_ && error == 0) error = NoAnswerError;
    timedOut_ = false;
    active_ = false;
    registered_ = false;
    channels_.Clear();
    if (OnSessionClosed) OnSessionClosed(*this, error);
}

void TIRCCli::SocketDataAvailable() {
    lastHeard_ = std::chrono::steady_clock::now();
    char buffer[8193];
    for (;;) {
        int n = socket_.Receive(buffer, sizeof buffer);
        if (n <= 0) break;
        queue_.Write(buffer, static_cast<std::size_t>(n));
        // Handle what is here first; the connection calls again while bytes are waiting.
        if (queue_.Size() >= ReceiveHighWater) break;
    }
    HandleQueuedLines();
}

void TIRCCli::DataArrived(std::string_view bytes) {
    queue_.Write(bytes);
    HandleQueuedLines();
}

void TIRCCli::HandleQueuedLines() {
    std::string line;
    while (queue_.ReadLine(line)) HandleLine(line);
}

bool TIRCCli::HandleLine(std::string_view text) {
    TIRCLine line;
    if (!ParseIRCLine(text, line)) return false;
    // The answer to our own keep-alive PING is nobody else's business.
    if (SameTextAscii(line.Command, "PONG") && !line.Parameters.empty() &&
        line.Parameters.back() == KeepAliveToken)
        return false;
    // Only a time the client asked for is taken as the server's.
    serverTime_ = caps_.Enabled("server-time") ? TagValue(line.Tags, "time") : std::string();
    // A failed line is skipped alone; the complete lines behind it are handled now rather than
    // waiting for the next arrival of data.
    try {
        if (caps_.Handle(line)) {
            capHeard_ = std::chrono::steady_clock::now();
            return false;
        }
        prefixInfo_ = SplitPrefix(line.Prefix);
        Dispatch(line);
        if (OnServerMessage) OnServerMessage(*this, line.Prefix, line.Command, line.Parameters);
    } catch (...) {
        return false;
    }
    return true;
}

void TIRCCli::StartNegotiation() {
    StopCapTimer();
    capHeard_ = std::chrono::steady_clock::now();
    caps_.Begin(useTls_, saslAccount_, saslPassword_);
    const auto tick = std::max(std::chrono::milliseconds(10), CapSilence / 4);
    capTimer_ = loop_.StartTimer(tick, [this] { CapTick(); });
}

void TIRCCli::StopCapTimer() {
    if (capTimer_ == 0) return;
    loop_.StopTimer(capTimer_);
    capTimer_ = 0;
}

void TIRCCli::CapTick() {
    if (!caps_.Negotiating() || !Connected()) {
        StopCapTimer();
        return;
    }
    if (std::chrono::steady_clock::now() - capHeard_ < CapSilence) return;
    StopCapTimer();
    try {
        caps_.Silence();
    } catch (...) {
        // A failed send closes the connection by itself.
    }
}

void TIRCCli::StartWatchdog() {
    StopWatchdog();
    lastHeard_ = std::chrono::steady_clock::now();
    keepAlivePending_ = false;
    timedOut_ = false;
    // A few looks per period are enough: neither limit needs to be met to the millisecond.
    const auto tick = std::max(std::chrono::milliseconds(10), std::min(IdleBeforePing, PingAnswerWait) / 4);
    watchdog_ = loop_.StartTimer(tick, [this] { WatchdogTick(); });
}

void TIRCCli::StopWatchdog() {
    if (watchdog_ == 0) return;
    loop_.StopTimer(watchdog_);
    watchdog_ = 0;
}

void TIRCCli::WatchdogTick() {
    if (!Connected()) return;
    const auto now = std::chrono::steady_clock::now();
    if (keepAlivePending_ && lastHeard_ >= keepAliveSent_) keepAlivePending_ = false;
    if (!keepAlivePending_) {
        if (now - lastHeard_ < IdleBeforePing) return;
        keepAlivePending_ = true;
        keepAliveSent_ = now;
        try {
            SendLine(std::string("PING :") + KeepAliveToken);
        } catch (...) {
            // A failed send closes the connection by itself.
        }
        return;
    }
    if (now - keepAliveSent_ < PingAnswerWait) return;
    timedOut_ = true;
    socket_.Abort();
}

void TIRCCli::SendPaced(const std::string& text) {
    if (OfflineWire) {
        SendLine(text);
        return;
    }
    if (paced_.empty()) {
        const auto now = std::chrono::steady_clock::now();
        pacedUntil_ = std::max(pacedUntil_, now);
        if (pacedUntil_ - now <= SendInterval * (static_cast<long>(SendBurst) - 1)) {
            SendLine(text);
            pacedUntil_ += SendInterval;
            return;
        }
    }
    paced_.push_back(text);
    if (pacer_ == 0)
        pacer_ = loop_.StartTimer(std::max(std::chrono::milliseconds(1), SendInterval / 4), [this] { FlushPaced(); });
}

void TIRCCli::FlushPaced() {
    const auto now = std::chrono::steady_clock::now();
    pacedUntil_ = std::max(pacedUntil_, now);
    while (!paced_.empty() && Connected() && pacedUntil_ - now <= SendInterval * (static_cast<long>(SendBurst) - 1)) {
        const std::string line = std::move(paced_.front());
        paced_.pop_front();
        pacedUntil_ += SendInterval;
        try {
            SendLine(line);
        } catch (...) {
            // A failed send closes the connection, which drops the rest.
            return;
        }
    }
    if (paced_.empty()) StopPacing();
}

void TIRCCli::StopPacing() {
    paced_.clear();
    if (pacer_ == 0) return;
    loop_.StopTimer(pacer_);
    pacer_ = 0;
}
