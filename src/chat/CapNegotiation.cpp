// SPDX-License-Identifier: GPL-3.0-or-later
// TCapNegotiation: CAP LS, REQ, ACK/NAK, NEW/DEL, END; SASL PLAIN and its replies; the sts offer.
#include "chat/CapNegotiation.h"

#include "chat/Sasl.h"

#include <vector>

namespace {

// Asked for when offered. "sts" is only read: asking for it would have the whole request refused.
const char* const kWanted[] = {"multi-prefix", "server-time", "away-notify", "cap-notify", "sasl"};

bool Wanted(const std::string& name) {
    for (const char* w : kWanted)
        if (name == w) return true;
    return false;
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> out;
    std::string_view rest = text;
    while (!rest.empty()) {
        std::string word = NextToken(rest, " ");
        if (!word.empty()) out.push_back(std::move(word));
    }
    return out;
}

bool HasMechanism(const std::string& list, std::string_view mechanism) {
    std::string_view rest = list;
    while (!rest.empty())
        if (SameTextAscii(NextToken(rest, ","), mechanism)) return true;
    return false;
}

const std::string& Last(const TIRCLine& line) {
    static const std::string none;
    return line.Parameters.empty() ? none : line.Parameters.back();
}

}  // namespace

void TCapNegotiation::Say(const std::string& text, bool error) const {
    if (Note) Note(text, error);
}

void TCapNegotiation::Out(const std::string& line) const {
    if (Send) Send(line);
}

void TCapNegotiation::Once(const std::string& text) {
    if (said_.insert(text).second) Say(text, false);
}

void TCapNegotiation::Reset() {
    state_ = TState::Off;
    tls_ = false;
    account_.clear();
    password_.clear();
    sasl_ = TSasl::None;
    listLines_ = 0;
    stsSeen_ = false;
    offeredSts_.clear();
    offeredSasl_.clear();
    offered_.clear();
    requested_.clear();
    enabled_.clear();
    said_.clear();
}

void TCapNegotiation::Begin(bool tls, const std::string& account, const std::string& password) {
    Reset();
    tls_ = tls;
    account_ = account;
    password_ = password;
    state_ = TState::Listing;
    Out("CAP LS 302");
}

void TCapNegotiation::End() {
    if (!Negotiating()) return;
    // A login not confirmed by now never will be.
    if (sasl_ == TSasl::Running) sasl_ = TSasl::Failed;
    state_ = TState::Done;
    password_.clear();
    Out("CAP END");
}

void TCapNegotiation::TakeOffers(const std::string& list) {
    for (const std::string& word : Words(list)) {
        const std::size_t eq = word.find('=');
        const std::string name = word.substr(0, eq);
        if (name != "sts" && !Wanted(name)) continue;
        const std::string value = eq == std::string::npos ? std::string() : word.substr(eq + 1);
        if (value.size() > MaxValue) {
            Once("The server's value for the capability " + name + " is too long (" + std::to_string(value.size()) +
                 " bytes): left out");
            continue;
        }
        if (name == "sts") {
            stsSeen_ = true;
            offeredSts_ = value;
            continue;
        }
        if (name == "sasl") offeredSasl_ = value;
        offered_.insert(name);
    }
}

bool TCapNegotiation::TakeStsOffer() {
    if (!stsSeen_) return false;
    const TStsOffer sts = ParseStsValue(offeredSts_);
    if (!tls_ && sts.Port != 0) {
        // The plain connection goes; nothing more is said on it.
        state_ = TState::Done;
        password_.clear();
        if (OnStsUpgrade) OnStsUpgrade(sts.Port);
        return true;
    }
    if (tls_ && sts.HasDuration && OnStsDuration) OnStsDuration(sts.Duration);
    return false;
}

void TCapNegotiation::Offered() {
    if (TakeStsOffer() || state_ != TState::Listing) return;
    std::string caps;
    for (const char* cap : kWanted) {
        if (std::string(cap) == "sasl" || !offered_.count(cap) || enabled_.count(cap)) continue;
        caps += (caps.empty() ? "" : " ") + std::string(cap);
    }
    if (!account_.empty() && !password_.empty()) {
        if (!offered_.count("sasl"))
            Say("The server offers no SASL login; going on without logging in as " + account_, true);
        else if (!tls_)
            Say("Not logging in as " + account_ +
                    " with SASL: the connection is not encrypted, and the password would cross the network "
                    "readable. Use TLS to log in.",
                true);
        else if (!offeredSasl_.empty() && !HasMechanism(offeredSasl_, "PLAIN"))
            Say("The server takes no SASL PLAIN login (it offers " + offeredSasl_ + "); going on without logging in",
                true);
        else
            caps += (caps.empty() ? "" : " ") + std::string("sasl");
    }
    if (!tls_) password_.clear();
    if (caps.empty())
        End();
    else
        Request(caps);
}

void TCapNegotiation::Request(const std::string& caps) {
    for (const std::string& cap : Words(caps)) requested_.insert(cap);
    if (state_ == TState::Listing) state_ = TState::Requesting;
    Out("CAP REQ :" + caps);
}

void TCapNegotiation::Acknowledged(const std::string& caps) {
    std::string on;
    for (std::string word : Words(caps)) {
        const bool off = word[0] == '-';
        if (off) word.erase(0, 1);
        if (off) {
            enabled_.erase(word);
        } else if (requested_.count(word)) {
            enabled_.insert(word);
            on += (on.empty() ? "" : " ") + word;
        }
        requested_.erase(word);
    }
    if (state_ != TState::Requesting) return;
    if (!on.empty()) Say("Server capabilities on: " + on, false);
    if (enabled_.count("sasl") && !account_.empty() && !password_.empty())
        StartSasl();
    else
        End();
}

void TCapNegotiation::StartSasl() {
    sasl_ = TSasl::Running;
    state_ = TState::SaslStart;
    Out("AUTHENTICATE PLAIN");
}

void TCapNegotiation::Authenticate(const TIRCLine& line) {
    const std::string& challenge = line.Parameters.empty() ? std::string() : line.Parameters[0];
    if (state_ == TState::SaslStart && challenge == "+") {
        const std::string payload = SaslPlainPayload(account_, password_);
        password_.clear();
        if (payload.empty()) {
            Say("The account name or password holds a zero byte and cannot be sent; going on without login", true);
            sasl_ = TSasl::Failed;
            state_ = TState::SaslAborting;
            Out("AUTHENTICATE *");
            return;
        }
        for (const std::string& chunk : AuthenticateLines(payload)) Out(chunk);
        state_ = TState::SaslSent;
        return;
    }
    if (state_ == TState::SaslStart || state_ == TState::SaslSent) {
        Say("The server's SASL exchange came out of order; the login is given up", true);
        sasl_ = TSasl::Failed;
        password_.clear();
        state_ = TState::SaslAborting;
        Out("AUTHENTICATE *");
        return;
    }
    Once("The server sent an AUTHENTICATE nobody asked for: ignored");
}

void TCapNegotiation::SaslReply(const std::string& numeric, const TIRCLine& line) {
    if (numeric == "900") {
        if (line.Parameters.size() > 2 && !line.Parameters[2].empty()) account_ = line.Parameters[2];
        Say("Logged in as " + account_ + " (SASL)", false);
        return;
    }
    if (numeric == "903") {
        if (sasl_ == TSasl::Running) sasl_ = TSasl::LoggedIn;
        End();
        return;
    }
    if (numeric == "901" || numeric == "908") return;  // a logout, the mechanism list: the end comes next
    if (numeric == "907") {
        Say("Already logged in", false);
        End();
        return;
    }
    if (sasl_ != TSasl::LoggedIn && state_ != TState::SaslAborting) {
        std::string why = numeric == "902"   ? "the account is not available now"
                          : numeric == "905" ? "the login was too long"
                          : numeric == "906" ? "it was aborted"
                                             : "the account name or password is wrong";
        Say("The SASL login as " + account_ + " failed: " + why + " (" + Last(line) + "). Going on without login.",
            true);
    }
    sasl_ = TSasl::Failed;
    End();
}

bool TCapNegotiation::Handle(const TIRCLine& line) {
    if (state_ == TState::Off) return false;
    const std::string& c = line.Command;
    const auto& p = line.Parameters;
    if (SameTextAscii(c, "CAP")) {
        const std::string sub = p.size() > 1 ? p[1] : std::string();
        static const std::string none;
        if (SameTextAscii(sub, "LS")) {
            if (state_ != TState::Listing) {
                Once("The server sent a capability list nobody asked for: ignored");
                return true;
            }
            const bool more = p.size() > 3 && p[2] == "*";
            TakeOffers(more ? p[3] : p.size() > 2 ? p[2] : none);
            if (more && ++listLines_ < MaxListLines) return true;
            if (more) Say("The server's capability list does not end; going on with what came", true);
            Offered();
        } else if (SameTextAscii(sub, "ACK")) {
            Acknowledged(p.size() > 2 ? p[2] : none);
        } else if (SameTextAscii(sub, "NAK")) {
            const std::string caps = p.size() > 2 ? p[2] : none;
            for (const std::string& cap : Words(caps)) requested_.erase(cap);
            if (state_ == TState::Requesting) {
                Say("The server refused the capabilities " + caps + "; going on without them", false);
                End();
            }
        } else if (SameTextAscii(sub, "NEW")) {
            if (state_ == TState::Listing) return true;
            const std::string caps = p.size() > 2 ? p[2] : none;
            stsSeen_ = false;  // only an sts offer in this line counts
            TakeOffers(caps);
            if (TakeStsOffer()) return true;
            // A login is made once, at the start; the rest is asked for as it comes.
            std::string ask;
            for (const std::string& cap : Words(caps)) {
                const std::string name = cap.substr(0, cap.find('='));
                if (Wanted(name) && name != "sasl" && !enabled_.count(name) && !requested_.count(name))
                    ask += (ask.empty() ? "" : " ") + name;
            }
            if (!ask.empty()) Request(ask);
        } else if (SameTextAscii(sub, "DEL")) {
            const std::string caps = p.size() > 2 ? p[2] : none;
            for (const std::string& cap : Words(caps)) {
                offered_.erase(cap);
                if (enabled_.erase(cap)) Say("The server took back the capability " + cap, false);
            }
        }
        return true;
    }
    if (SameTextAscii(c, "AUTHENTICATE")) {
        Authenticate(line);
        return true;
    }
    // A server that knows no CAP: it answers 421 (unknown command) or 410 (bad subcommand).
    if ((c == "421" && p.size() > 1 && SameTextAscii(p[1], "CAP")) || c == "410") {
        End();
        return true;
    }
    const bool sasl = state_ == TState::SaslStart || state_ == TState::SaslSent || state_ == TState::SaslAborting;
    if (sasl && IsNumericCommand(c) && c >= "900" && c <= "908") {
        SaslReply(c, line);
        return true;
    }
    // Registered without our CAP END: the server knew nothing of it.
    if (c == "001" && Negotiating()) {
        if (sasl_ == TSasl::Running) {
            Say("The server let us in before the SASL login ended; going on without login", true);
            sasl_ = TSasl::Failed;
        }
        state_ = TState::Done;
        password_.clear();
    }
    return false;
}

void TCapNegotiation::Silence() {
    if (!Negotiating()) return;
    if (state_ == TState::SaslStart || state_ == TState::SaslSent) {
        Say("The SASL login got no answer; going on without login", true);
        sasl_ = TSasl::Failed;
        Out("AUTHENTICATE *");
    }
    End();
}
