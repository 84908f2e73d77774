// SPDX-License-Identifier: GPL-3.0-or-later
// TChatSession: connect and disconnect, the status lines and the registration line.
#include "chat/ChatSession.h"

#include "chat/ServerMessage.h"
#include "chat/StsPolicy.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

// The full name is the user's own text, but a line break in it would end the line early and
// send the rest to the server as a command of its own.
std::string OneLine(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != '\r' && c != '\n' && c != '\0') out += c;
    return out;
}

}  // namespace

TChatSession::TChatSession(TIRCCli& client, TConversations& conversations, TSettings& settings,
                           TRandomGenerator& random, std::string host, std::string port)
    : client_(client), conversations_(conversations), settings_(settings), random_(random), host_(std::move(host)),
      port_(std::move(port)) {}

std::string TChatSession::RealNameText() const {
    return std::string("CorvaneGV v") + ChatVersionText + " - " + OneLine(settings_.FullName);
}

std::string TChatSession::RegistrationLine(const std::string& r1, const std::string& r2,
                                           const std::string& r3) const {
    return "USER GV" + r1 + " \"GV" + r2 + ".GV" + r3 + "\" \"" + host_ + "\" :" + RealNameText();
}

std::string TChatSession::LoginNick() const {
    // After the server gave us a changed nickname the user still wants the one they chose.
    if (!changedNick_.empty() && settings_.Nickname == changedNick_) return wantedNick_;
    return settings_.Nickname;
}

void TChatSession::btnChatConnectionClick() {
    if (client_.Connected() || reconnecting_) {
        Disconnect();
        return;
    }
    // Still connecting: the button is disabled, but the first activation clicks in code.
    if (client_.Active()) return;
    TChatPageView& view = conversations_.View();
    view.SetConnectButton("Connect", false);
    wanted_ = true;
    Policy.Started();
    try {
        StartAttempt();
    } catch (...) {
        // The client is idle again after a failed start; so is the button, and the user can
        // try once more. The error itself goes on to the application's handler.
        wanted_ = false;
        if (client_.Active()) {
            try {
                client_.Disconnect();
            } catch (...) {
            }
        }
        view.SetConnectButton("Connect", true);
        throw;
    }
}

void TChatSession::SetServer(const std::string& host, const std::string& port, bool tls) {
    if (!SameTextAscii(host, host_)) stsPort_ = 0;
    host_ = host;
    port_ = port;
    tls_ = tls;
}

std::int64_t TChatSession::UnixNow() const {
    return UnixClock ? UnixClock() : static_cast<std::int64_t>(std::time(nullptr));
}

std::string TChatSession::SaslPassword() {
    const std::string& account = settings_.ChatAccount;
    if (account.empty() || !Secrets) return {};
    const TSecretResult r = Secrets->Read(SecretKey(account, host_));
    if (!r.Ok)
        conversations_.AddLineToRichEdit("", "The password of " + account + " could not be read: " + r.Error,
                                         LineClass::Error);
    else if (!r.Found)
        conversations_.AddLineToRichEdit("", "No password is stored for " + account + " on " + host_ +
                                                 ": not logging in (Settings, Chat server)",
                                         LineClass::Error);
    return r.Ok && r.Found ? r.Secret : std::string();
}

void TChatSession::StartAttempt() {
    up_ = false;
    bool tls = tls_;
    attemptPort_ = port_;
    // Under a strict transport policy the host is reached over TLS only, on its port.
    if (!tls) {
        const TStsPolicy policy = FindStsPolicy(settings_.ChatStsPolicies, host_, UnixNow());
        const int port = policy.Holds ? policy.Port : stsPort_;
        if (port != 0) {
            tls = true;
            attemptPort_ = std::to_string(port);
        }
        if (policy.Holds)
            conversations_.AddLineToRichEdit("", host_ + " asked for TLS only (strict transport, until " +
                                                     std::to_string(policy.Expiry) + "): using port " + attemptPort_,
                                             LineClass::Status);
    }
    client_.SetUseTls(tls);
    client_.SetTlsPin(tls ? CertificatePin(settings_.ChatCertificatePins, host_) : std::string());
    client_.SetCapabilities(true);
    client_.SetSaslLogin(settings_.ChatAccount, SaslPassword());
    client_.SetNick(LoginNick());
    client_.SetRealName(RealNameText());
    client_.SetHost(host_);
    client_.SetPort(attemptPort_);
    conversations_.SetTabLabel(0, host_);
    conversations_.AddLineToRichEdit("", "Connecting to " + host_ + ":" + attemptPort_ + (tls ? " (TLS)" : ""),
                                     LineClass::Status);
    client_.Connect();
}

void TChatSession::StsUpgrade(TIRCCli&, int port) {
    if (client_.UseTls() || upgrading_) return;
    stsPort_ = port;
    upgrading_ = true;
    conversations_.AddLineToRichEdit("", host_ + " asks for TLS (strict transport): reconnecting with TLS on port " +
                                             std::to_string(port),
                                     LineClass::Status);
    // Not from inside the line's handling: the connection is still delivering it.
    client_.Loop().Post([this, alive = alive_] {
        if (*alive) Upgrade();
    });
}

void TChatSession::Upgrade() {
    if (!upgrading_) return;
    if (client_.Active()) client_.Disconnect();
    upgrading_ = false;
    if (!wanted_) return;
    try {
        StartAttempt();
    } catch (const std::exception& e) {
        conversations_.AddLineToRichEdit("", e.what(), LineClass::Error);
        wanted_ = false;
        conversations_.View().SetConnectButton("Connect", true);
    }
}

void TChatSession::StsDuration(TIRCCli&, std::int64_t seconds) {
    if (!client_.UseTls()) return;
    const std::int64_t now = UnixNow();
    const std::string policies =
        WithStsPolicy(settings_.ChatStsPolicies, host_, std::atoi(attemptPort_.c_str()), now + seconds, now);
    if (policies == settings_.ChatStsPolicies) return;
    settings_.ChatStsPolicies = policies;
    if (OnSettingsChanged) OnSettingsChanged("ChatStsPolicies");
}

void TChatSession::ScheduleReconnect(std::chrono::milliseconds pause) {
    using namespace std::chrono;
    reconnecting_ = true;
    conversations_.View().SetConnectButton("Disconnect", true);
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", static_cast<double>(pause.count()) / 1000.0);
    conversations_.AddLineToRichEdit("", "Reconnecting in " + std::string(seconds) + " s (attempt " +
                                             std::to_string(Policy.Attempt()) + ")", LineClass::Status);
    StopReconnectTimer();
    timer_ = client_.Loop().StartTimer(std::max(pause, milliseconds(1)), [this] { ReconnectTimer(); });
}

void TChatSession::Dropped() {
    const TReconnectPolicy::TDecision d =
        Policy.Dropped(Now(), std::uniform_real_distribution<double>(0.0, 1.0)(jitter_));
    if (d.Reconnect) {
        ScheduleReconnect(d.Pause);
        return;
    }
    wanted_ = false;
    reconnecting_ = false;
    if (!d.Reason.empty()) conversations_.AddLineToRichEdit("", d.Reason, LineClass::Error);
}

void TChatSession::ServerLine(const std::string& command, const std::vector<std::string>& parameters) {
    Policy.ServerLine(command, parameters);
}

void TChatSession::ChannelClosed(const std::string& channel) {
    const int row = conversations_.FindRow(channel);
    if (row < 0 || !conversations_.Row(row).Joined || !client_.Connected()) return;
    // Names came from the server; one with a blank or line end is no channel to send.
    if (channel.find_first_of(" ,\r\n") != std::string::npos) return;
    client_.SendLine("PART " + channel);
}

void TChatSession::ReconnectTimer() {
    StopReconnectTimer();
    try {
        StartAttempt();
    } catch (const std::exception& e) {
        // A start that fails at once (the name does not resolve) is one more failed attempt.
        conversations_.AddLineToRichEdit("", e.what(), LineClass::Error);
        if (client_.Active()) {
            try {
                client_.Disconnect();
            } catch (...) {
            }
        }
        if (wanted_ && !client_.Active()) Dropped();
    }
}

void TChatSession::StopReconnectTimer() {
    if (timer_ == 0) return;
    client_.Loop().StopTimer(timer_);
    timer_ = 0;
}

TChatSession::~TChatSession() {
    *alive_ = false;
    StopReconnectTimer();
}

void TChatSession::Welcomed() {
    // Kept through failed attempts: each of them sets the client's nickname anew.
    if (client_.Nick() != client_.WantedNick()) {
        changedNick_ = client_.Nick();
        wantedNick_ = client_.WantedNick();
    } else {
        changedNick_.clear();
    }
    if (!rejoin_) return;
    rejoin_ = false;
    Rejoin();
}

void TChatSession::Rejoin() {
    // The lobby has its own JOIN at the welcome; the other channels joined at the drop go in
    // as few lines as fit, so that the server's flood limit does not count one per channel.
    // A channel the user parted or was kicked from is not asked for again.
    std::string list;
    const auto flush = [&] {
        if (!list.empty()) client_.SendLine("JOIN " + list);
        list.clear();
    };
    for (const std::string& name : rejoinChannels_) {
        if (conversations_.SameName(name, LobbyChannel)) continue;
        // Names came from the server; one with a blank, comma or line end is no channel to ask for.
        if (name.find_first_of(" ,\r\n") != std::string::npos) continue;
        if (list.size() + name.size() > 400) flush();
        if (!list.empty()) list += ',';
        list += name;
    }
    rejoinChannels_.clear();
    flush();
}

void TChatSession::Disconnect() {
    wanted_ = false;
    Policy.UserEnded();
    StopReconnectTimer();
    if (reconnecting_) {
        reconnecting_ = false;
        rejoin_ = false;
        conversations_.AddLineToRichEdit("", "Reconnecting stopped", LineClass::Status);
    }
    if (client_.Active()) client_.Disconnect();
    conversations_.View().SetConnectButton("Connect", true);
}

void TChatSession::WriteEverywhere(const std::string& text) {
    conversations_.AddLineToRichEdit("", text, LineClass::Status);
    // Straight to each row's view: writing by name would bring back the tabs the user closed.
    for (int i = 0; i < conversations_.RowCount(); ++i) {
        TConversation& c = conversations_.Row(i);
        try {
            c.View->AppendLine(text, LineClass::Status.Style, LineClass::Status.Colour);
        } catch (...) {
        }
    }
}

void TChatSession::IRCCli1SessionConnected(TIRCCli&, std::uint16_t) {
    up_ = true;
    Policy.Connected(Now());
    rejoin_ = reconnecting_;
    reconnecting_ = false;
    conversations_.View().SetConnectButton("Disconnect", true);
    WriteEverywhere("Connected to " + host_ + ":" + attemptPort_);
    const std::string r1 = RandomNumberText(random_);
    const std::string r2 = RandomNumberText(random_);
    const std::string r3 = RandomNumberText(random_);
    client_.SendLine(RegistrationLine(r1, r2, r3));
}

void TChatSession::IRCCli1SessionClosed(TIRCCli&, std::uint16_t error) {
    const bool wasUp = up_;
    up_ = false;
    rejoin_ = false;
    conversations_.View().SetConnectButton("Connect", true);
    const std::string line = "Disconnected from " + host_ + ":" + attemptPort_;
    // A reconnect attempt that never came up concerns the server view alone.
    if (reconnecting_ && !wasUp)
        conversations_.AddLineToRichEdit("", line, LineClass::Status);
    else
        WriteEverywhere(line);
    if (error == TIRCCli::NoAnswerError && wasUp)
        conversations_.AddLineToRichEdit("", "The server did not answer for too long", LineClass::Status);
    // A refused certificate is the same on every attempt: no retry, and never plain text.
    if (ReportTlsFailure()) {
        wanted_ = false;
        reconnecting_ = false;
    }
    if (wasUp) rejoinChannels_.clear();
    for (int i = 0; i < conversations_.RowCount(); ++i) {
        TConversation& c = conversations_.Row(i);
        if (!c.UserList) continue;
        c.UserList->Clear();
        if (c.Joined) rejoinChannels_.push_back(c.Name);
        conversations_.SetJoined(i, false);
    }
    // Left for the TLS connection at once: the attempt that follows is no reconnect.
    if (upgrading_) return;
    // The user's own /quit ends the session as Disconnect does.
    if (client_.QuitSent()) Policy.UserEnded();
    // Only a session that was up, or the attempts to bring it back, are tried again: a first
    // connect that fails is left to the user, as before.
    if (wanted_ && (wasUp || reconnecting_))
        Dropped();
    else
        wanted_ = false;
}

bool TChatSession::ReportTlsFailure() {
    const TTlsFailure& f = client_.Socket().TlsFailure();
    if (!client_.UseTls() || !f.Failed) return false;
    if (!f.CertificateRejected) {
        conversations_.AddLineToRichEdit("", "TLS with " + host_ + " failed: " + f.Reason, LineClass::Error);
        return false;
    }
    refusedFingerprint_ = f.Fingerprint;
    std::string line;
    if (!f.PinnedFingerprint.empty())
        line = "The certificate of " + host_ + " has changed: refused. Trusted SHA-256 " + f.PinnedFingerprint +
               ", offered SHA-256 " + f.Fingerprint;
    else
        line = "The certificate of " + host_ + " was refused (" + f.Reason + "). SHA-256 fingerprint " +
               (f.Fingerprint.empty() ? std::string("none") : f.Fingerprint);
    conversations_.AddLineToRichEdit("", line, LineClass::Error);
    conversations_.AddLineToRichEdit(
        "", "Not connected. If you know this certificate is the server's, trust it in Settings (Chat server).",
        LineClass::Error);
    return true;
}
