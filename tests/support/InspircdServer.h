// SPDX-License-Identifier: GPL-3.0-or-later
// TInspircdServer, TAthemeServer, TIrcCrowd: a private InspIRCd (with Atheme services for SASL)
// on free ports of 127.0.0.1, and a crowd of bot clients to fill its channels.
#pragma once

#include "support/TestSupport.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {
class TChildProcess;
}

// A big network's dialect: PREFIX (qaohv)~&@%+, CASEMAPPING rfc1459, NAMESX, UHNAMES, MONITOR,
// CAP with multi-prefix, server-time, away-notify, cap-notify; TLS and STS on request.
class TInspircdServer {
public:
    struct TOptions {
        // A TLS port with this certificate and key (PEM files); empty: plain text only.
        std::filesystem::path CertFile{};
        std::filesystem::path KeyFile{};
        // The plain port offers sts=port=<TLS port>; needs the TLS port. Duration in seconds.
        bool Sts = false;
        int StsDuration = 300;
        // A server port for Atheme (TAthemeServer) and the SASL modules aimed at it.
        bool Services = false;
        // Lines appended to the configuration as they are (modules, blocks of a test's own).
        std::string ExtraConfig{};
    };

    // Starts InspIRCd in the foreground and waits until it listens. Throws std::runtime_error
    // with the reason (and its log) when it is missing or does not come up.
    TInspircdServer();
    explicit TInspircdServer(const TOptions& options);
    ~TInspircdServer();
    TInspircdServer(const TInspircdServer&) = delete;
    TInspircdServer& operator=(const TInspircdServer&) = delete;

    static constexpr const char* Name = "irc.inspircd.test";
    static constexpr const char* ServicesName = "services.test";
    static constexpr const char* LinkPassword = "linkpw";
    // "OPER root operpw" makes a client an operator with every privilege (KILL, KLINE, ...).
    static constexpr const char* OperName = "root";
    static constexpr const char* OperPassword = "operpw";

    int Port() const { return port_; }
    std::string PortText() const { return std::to_string(port_); }
    int TlsPort() const { return tlsPort_; }
    int LinkPort() const { return linkPort_; }
    const std::filesystem::path& Folder() const { return dir_.Path(); }
    std::string Log() const;

    // Ends the server as a stopped server ends: its clients see their connections close.
    void Stop();
    // Starts it again on the same ports with the same configuration.
    void Restart();

private:
    void WriteConfig() const;
    bool TryStart();

    testing_support::TTempDir dir_;
    std::string binary_;
    TOptions options_;
    std::unique_ptr<testing_support::TChildProcess> process_;
    int port_ = 0;
    int tlsPort_ = 0;
    int linkPort_ = 0;
};

// Atheme linked to a TInspircdServer made with Services: NickServ accounts and SASL PLAIN.
class TAthemeServer {
public:
    // Starts Atheme and waits until it has linked and synced (about a second).
    explicit TAthemeServer(const TInspircdServer& ircd);
    ~TAthemeServer();
    TAthemeServer(const TAthemeServer&) = delete;
    TAthemeServer& operator=(const TAthemeServer&) = delete;

    // Registers the nickname as an account with this password through NickServ, as a user
    // does; throws std::runtime_error with the server's answer when it is refused.
    void RegisterAccount(const std::string& account, const std::string& password);
    std::string Log() const;

private:
    const TInspircdServer& ircd_;
    testing_support::TTempDir dir_;
    std::unique_ptr<testing_support::TChildProcess> process_;
};

// Many bot clients in one channel, kept alive (PING answered, input drained) on a thread of
// their own, so a test's loop only sees the server. Names are prefix + number ("bot0", ...).
class TIrcCrowd {
public:
    // Connects count bots to 127.0.0.1:port, joins each to channel, and returns once every
    // one has seen the channel's end of names. Throws std::runtime_error after 30 s.
    TIrcCrowd(int port, int count, const std::string& channel, const std::string& prefix = "bot");
    ~TIrcCrowd();
    TIrcCrowd(const TIrcCrowd&) = delete;
    TIrcCrowd& operator=(const TIrcCrowd&) = delete;

    int Count() const { return static_cast<int>(bots_.size()); }
    std::string Nick(int i) const { return prefix_ + std::to_string(i); }
    // Sends a raw line (CR LF added) as bot i.
    void Send(int i, const std::string& line);
    // Closes bot i's connection without a QUIT.
    void Drop(int i);

private:
    struct TBot {
        int Fd = -1;
        std::string In;
    };
    void Join(int first, int last, int port, const std::string& channel, std::chrono::steady_clock::time_point deadline);
    void Pump();

    std::string prefix_;
    std::vector<TBot> bots_;
    std::mutex mutex_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};
