// SPDX-License-Identifier: GPL-3.0-or-later
// The tracker simulator, run as a process: reply bytes per the wire table, failure modes, steering.
#include "support/TestSupport.h"
#include "tools/TrackerSimProcess.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>

using testing_support::Escaped;
using testing_support::Hex;
using testing_support::TTrackerSimProcess;

namespace {

const std::string kRequest = Hex("01 00 00 00 FF FF FF FF FF FF FF FF");
const std::string kMarker = Hex("02 00 00 00 54 45 52 4D");

// A blocking loopback client with deadlines on every read.
class TClient {
public:
    explicit TClient(int port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(static_cast<uint16_t>(port));
        error_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 ? 0 : errno;
    }
    ~TClient() { ::close(fd_); }
    int ConnectError() const { return error_; }
    void Send(const std::string& bytes) { ASSERT_EQ(::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size())); }
    // Everything until the peer closes; closed tells whether it did within ms.
    std::string ReadAll(bool& closed, int ms = 3000) {
        std::string got;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        closed = false;
        while (true) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
            pollfd p{fd_, POLLIN, 0};
            if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) return got;
            char buf[4096];
            const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
            if (n <= 0) {
                closed = true;
                return got;
            }
            got.append(buf, static_cast<std::size_t>(n));
        }
    }

private:
    int fd_ = -1;
    int error_ = 0;
};

// A record from the wire table: 208 bytes the viewer ignores, the address field, the port.
void ExpectRecord(const std::string& got, std::size_t at, const std::string& addressField, const std::string& port) {
    ASSERT_GE(got.size(), at + 228);
    EXPECT_EQ(got.substr(at + 208, 16), addressField) << Escaped(got.substr(at + 208, 16));
    EXPECT_EQ(got.substr(at + 224, 2), port) << Escaped(got.substr(at + 224, 2));
}

}  // namespace

TEST(TrackerSim, RepliesWithRecordsMarkerAndTrailingBytesOnTheGameTypesPort) {
    TTrackerSimProcess sim({"game=2", "server=10.0.0.1:12000", "server=255.255.255.255:65535", "fragment=\\x01\\x02",
                            "trailing=\\xFFok"});
    TClient c(sim.BasePort() + 2);
    ASSERT_EQ(c.ConnectError(), 0);
    // The request may come in pieces.
    c.Send(kRequest.substr(0, 5));
    c.Send(kRequest.substr(5));
    bool closed = false;
    const std::string got = c.ReadAll(closed);
    EXPECT_TRUE(closed) << "the tracker closes after its reply";
    ASSERT_EQ(got.size(), 2 * 228 + 2 + 8 + 3) << Escaped(got);
    ExpectRecord(got, 0, std::string("10.0.0.1") + std::string(8, '\0'), Hex("E0 2E"));
    ExpectRecord(got, 228, std::string("255.255.255.255") + std::string(1, '\0'), Hex("FF FF"));
    EXPECT_EQ(got.substr(456), Hex("01 02") + kMarker + Hex("FF") + "ok");
    const auto stats = sim.Stats(2);
    EXPECT_EQ(stats.Connections, 1);
    EXPECT_EQ(stats.Requests, 1);
    EXPECT_EQ(stats.Received, 12);
    EXPECT_EQ(sim.Stats(0).Connections, 0);
}

TEST(TrackerSim, FailureModesHaveTheirShapes) {
    TTrackerSimProcess sim({"game=0", "mode=refuse", "game=1", "server=1.1.1.1:1", "mode=noterm", "game=2",
                            "server=1.1.1.1:1", "mode=hang", "game=3", "server=1.1.1.1:1"});
    EXPECT_EQ(TClient(sim.BasePort()).ConnectError(), ECONNREFUSED);
    sim.Set(0, "mode=normal");
    EXPECT_EQ(TClient(sim.BasePort()).ConnectError(), 0) << "listening again";

    bool closed = false;
    TClient noterm(sim.BasePort() + 1);
    noterm.Send(kRequest);
    EXPECT_EQ(noterm.ReadAll(closed).size(), 228u);
    EXPECT_TRUE(closed);

    TClient hang(sim.BasePort() + 2);
    hang.Send(kRequest);
    EXPECT_EQ(hang.ReadAll(closed, 300).size(), 228u);
    EXPECT_FALSE(closed) << "a hanging tracker keeps the connection";

    // A wrong request gets no reply.
    TClient wrong(sim.BasePort() + 3);
    wrong.Send(Hex("02 00 00 00 FF FF FF FF FF FF FF FF"));
    EXPECT_EQ(wrong.ReadAll(closed), "");
    EXPECT_TRUE(closed);
    EXPECT_EQ(sim.Stats(3).Requests, 0);

    EXPECT_THROW(sim.Set(4, "mode=normal"), std::runtime_error);
    EXPECT_THROW(sim.Set(1, "mode=sideways"), std::runtime_error);
    EXPECT_THROW(sim.Set(1, "split=1,x"), std::runtime_error);
    EXPECT_THROW(sim.Set(1, "trailing=\\x4"), std::runtime_error);
    EXPECT_THROW(sim.Set(1, "server=1.1.1.1:65536"), std::runtime_error);
    EXPECT_THROW(sim.Command("stats 9"), std::runtime_error);
    EXPECT_EQ(sim.Stop(), 0);
}

TEST(TrackerSim, PausesAtEachSplitSoThatPiecesArriveApart) {
    TTrackerSimProcess sim({"game=0", "server=1.1.1.1:1", "split=230,232"});
    TClient c(sim.BasePort());
    const auto start = std::chrono::steady_clock::now();
    c.Send(kRequest);
    bool closed = false;
    const std::string got = c.ReadAll(closed);
    EXPECT_TRUE(closed);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(55)) << "two pauses of 30 ms";
    ASSERT_EQ(got.size(), 228u + 8u);
    ExpectRecord(got, 0, std::string("1.1.1.1") + std::string(9, '\0'), Hex("01 00"));
    EXPECT_EQ(got.substr(228), kMarker);
}
