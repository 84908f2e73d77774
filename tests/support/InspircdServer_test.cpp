// SPDX-License-Identifier: GPL-3.0-or-later
// The InspIRCd fixture speaks as the tests expect: a crowd fills a channel fast, the names come
// split, the dialect is a big network's, Atheme links and logs an account in over SASL.
#include "support/InspircdServer.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <regex>

namespace {

// A raw client that collects everything the server says until a text arrives.
class TRawClient {
public:
    explicit TRawClient(int port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        EXPECT_EQ(::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    }
    ~TRawClient() { ::close(fd_); }
    void Send(const std::string& lines) { ASSERT_EQ(::send(fd_, lines.data(), lines.size(), 0), ssize_t(lines.size())); }
    bool WaitFor(const std::string& text, int ms = 10000) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (got.find(text) == std::string::npos) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            char buf[65536];
            ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
            if (n <= 0) return false;
            got.append(buf, static_cast<std::size_t>(n));
        }
        return true;
    }
    std::string got;

private:
    int fd_ = -1;
};

TEST(InspircdServer, ACrowdOf600FillsAChannelWhoseNamesComeSplitInABigNetworksDialect) {
    TInspircdServer ircd;
    TIrcCrowd crowd(ircd.Port(), 600, "#Lobby_20");
    TRawClient me(ircd.Port());
    me.Send("NICK me\r\nUSER me 0 * :me\r\n");
    ASSERT_TRUE(me.WaitFor(" 376 ")) << ircd.Log();
    EXPECT_NE(me.got.find("PREFIX=(qaohv)~&@%+"), std::string::npos);
    EXPECT_NE(me.got.find("CASEMAPPING=rfc1459"), std::string::npos);
    EXPECT_NE(me.got.find("MONITOR="), std::string::npos);
    me.got.clear();
    me.Send("JOIN #Lobby_20\r\n");
    ASSERT_TRUE(me.WaitFor(" 366 "));
    const std::regex names(" 353 me = #Lobby_20 :");
    const auto replies = std::distance(std::sregex_iterator(me.got.begin(), me.got.end(), names), std::sregex_iterator());
    EXPECT_GT(replies, 1);
    for (int i : {0, 299, 599}) EXPECT_TRUE(std::regex_search(me.got, std::regex("[: @]" + crowd.Nick(i) + "[ \\r]"))) << i;
    // bot0 made the channel: its operator, and a bot may act on the channel for a test.
    EXPECT_NE(me.got.find("@bot0"), std::string::npos);
}

TEST(InspircdServer, AthemeRegistersAnAccountThatSaslPlainLogsInAndTheTlsPortOffersSts) {
    testing_support::TTempDir certs;
    const auto cert = certs.Path() / "cert.pem", key = certs.Path() / "key.pem";
    const std::string make = "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=localhost -keyout " +
                             key.string() + " -out " + cert.string() + " 2>/dev/null";
    ASSERT_EQ(std::system(make.c_str()), 0) << "the openssl command is needed";
    TInspircdServer ircd({.CertFile = cert, .KeyFile = key, .Sts = true, .Services = true});
    TAthemeServer services(ircd);
    services.RegisterAccount("ann", "secretpw");

    TRawClient me(ircd.Port());
    me.Send("CAP LS 302\r\nNICK other\r\nUSER other 0 * :other\r\n");
    ASSERT_TRUE(me.WaitFor("CAP * LS"));
    ASSERT_TRUE(me.WaitFor("\r\n"));
    EXPECT_NE(me.got.find("sts=port=" + std::to_string(ircd.TlsPort())), std::string::npos) << me.got;
    EXPECT_NE(me.got.find("sasl=PLAIN"), std::string::npos) << me.got;
    me.Send("CAP REQ :sasl\r\nAUTHENTICATE PLAIN\r\n");
    ASSERT_TRUE(me.WaitFor("AUTHENTICATE :+"));
    me.Send("AUTHENTICATE YW5uAGFubgBzZWNyZXRwdw==\r\n");  // ann \0 ann \0 secretpw
    EXPECT_TRUE(me.WaitFor(" 903 ")) << me.got << services.Log();
}

}  // namespace
