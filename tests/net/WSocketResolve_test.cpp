// SPDX-License-Identifier: GPL-3.0-or-later
// The connection's pure parts: error texts, errno translation, resolution, the send block.
#include "net/WSockbuf.h"
#include "net/WSocket.h"
#include "net/WSocketErrors.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netdb.h>

#include <cerrno>
#include <string>
#include <utility>
#include <vector>

namespace {

template <class F>
std::string ErrorOf(F&& work) {
    try {
        work();
    } catch (const ESocketException& e) {
        return e.what();
    }
    return "";
}

int NoLookup(const std::string&, std::uint32_t&) {
    ADD_FAILURE() << "dotted text must not be looked up";
    return 11001;
}

}  // namespace

TEST(WSocketErrorText, WholeTable) {
    const std::vector<std::pair<int, const char*>> table = {
        {0, "No Error"}, {10004, "Interrupted system call"}, {10009, "Bad file number"},
        {10013, "Permission denied"}, {10014, "Bad address"}, {10022, "Invalid argument"},
        {10024, "Too many open files"}, {10035, "Operation would block"}, {10036, "Operation now in progress"},
        {10037, "Operation already in progress"}, {10038, "Socket operation on non-socket"},
        {10039, "Destination address required"}, {10040, "Message too long"},
        {10041, "Protocol wrong type for socket"}, {10042, "Protocol not available"},
        {10043, "Protocol not supported"}, {10044, "Socket type not supported"},
        {10045, "Operation not supported on socket"}, {10046, "Protocol family not supported"},
        {10047, "Address family not supported by protocol family"}, {10048, "Address already in use"},
        {10049, "Address not available"}, {10050, "Network is down"}, {10051, "Network is unreachable"},
        {10052, "Network dropped connection on reset"}, {10053, "Connection aborted"},
        {10054, "Connection reset by peer"}, {10055, "No buffer space available"},
        {10056, "Socket is already connected"}, {10057, "Socket is not connected"},
        {10058, "Can't send after socket shutdown"}, {10059, "Too many references: can't splice"},
        {10060, "Connection timed out"}, {10061, "Connection refused"},
        {10062, "Too many levels of symbolic links"}, {10063, "File name too long"}, {10064, "Host is down"},
        {10065, "No route to host"}, {10066, "Directory not empty"}, {10067, "Too many processes"},
        {10068, "Too many users"}, {10069, "Disc quota exceeded"}, {10070, "Stale NFS file handle"},
        {10071, "Too many levels of remote in path"}, {10091, "Network sub-system is unusable"},
        {10092, "WinSock DLL cannot support this application"}, {10093, "WinSock not initialized"},
        {11001, "Host not found"}, {11002, "Non-authoritative host not found"}, {11003, "Non-recoverable error"},
        {11004, "No Data"}, {1, "Not a WinSock error"}, {10072, "Not a WinSock error"},
        {11005, "Not a WinSock error"}, {-1, "Not a WinSock error"},
    };
    for (const auto& [number, text] : table) EXPECT_EQ(ErrorText(number), text) << number;
}

TEST(WSocketErrorText, PlatformCodesBecomeWinSockNumbers) {
    EXPECT_EQ(WinSockErrorFromErrno(0), 0);
    EXPECT_EQ(WinSockErrorFromErrno(ECONNREFUSED), 10061);
    EXPECT_EQ(WinSockErrorFromErrno(EWOULDBLOCK), 10035);
    EXPECT_EQ(WinSockErrorFromErrno(EAGAIN), 10035);
    EXPECT_EQ(WinSockErrorFromErrno(EINPROGRESS), 10036);
    EXPECT_EQ(WinSockErrorFromErrno(ECONNRESET), 10054);
    EXPECT_EQ(WinSockErrorFromErrno(EPIPE), 10054);
    EXPECT_EQ(WinSockErrorFromErrno(ENOTCONN), 10057);
    EXPECT_EQ(WinSockErrorFromErrno(EBADF), 10038);
    EXPECT_EQ(WinSockErrorFromErrno(ETIMEDOUT), 10060);
    EXPECT_EQ(WinSockErrorFromErrno(EHOSTUNREACH), 10065);
    EXPECT_EQ(WinSockErrorFromErrno(ENOENT), ENOENT);  // no counterpart: passed on, "Not a WinSock error"

    EXPECT_EQ(WinSockErrorFromLookup(EAI_NONAME, 0), 11001);
    EXPECT_EQ(WinSockErrorFromLookup(EAI_AGAIN, 0), 11002);
    EXPECT_EQ(WinSockErrorFromLookup(EAI_FAIL, 0), 11003);
    EXPECT_EQ(WinSockErrorFromLookup(EAI_SYSTEM, ECONNREFUSED), 10061);
}

TEST(WSocketResolve, DottedFormPredicate) {
    for (const char* yes : {"127.0.0.1", "0.0.0.0", "255.255.255.255", "  10.1.2.3  ", "001.2.3.4"})
        EXPECT_TRUE(WSocketIsDottedIP(yes)) << yes;
    for (const char* no : {"10.0.0.300", "256.0.0.1", ".1.2.3", "1.2.3.", "1..2.3", "1.2.3", "1.2.3.4.5",
                           "1.2.3.a", "a.b.c.d", "", "   ", "1.2.3.4x", "1 .2.3.4", "\t1.2.3.4",
                           "99999999999999999999.1.1.1"})
        EXPECT_FALSE(WSocketIsDottedIP(no)) << no;
}

TEST(WSocketResolve, HostTexts) {
    EXPECT_EQ(WSocketResolveHost("127.0.0.1", NoLookup), htonl(INADDR_LOOPBACK));
    EXPECT_EQ(WSocketResolveHost(" 127.0.0.1 ", NoLookup), htonl(INADDR_LOOPBACK));
    EXPECT_EQ(WSocketResolveHost("255.255.255.255", NoLookup), 0xFFFFFFFFu);
    // Dotted, yet the numeric conversion refuses it (a leading zero reads as octal).
    EXPECT_EQ(ErrorOf([] { WSocketResolveHost("08.0.0.1", NoLookup); }),
              "WSocketResolveHost: '08.0.0.1' Invalid IP address.");
    EXPECT_EQ(ErrorOf([] { WSocketResolveHost("", NoLookup); }), "WSocketResolveHost: '' Invalid Hostname.");
    const std::string longName(257, 'h');
    EXPECT_EQ(ErrorOf([&] { WSocketResolveHost(longName, NoLookup); }),
              "WSocketResolveHost: '" + longName + "' Invalid Hostname.");

    std::vector<std::string> asked;
    auto lookup = [&](const std::string& name, std::uint32_t& address) {
        asked.push_back(name);
        address = htonl(0x0A000001);
        return name == "10.0.0.300" ? 0 : 11004;
    };
    EXPECT_EQ(WSocketResolveHost("10.0.0.300", lookup), htonl(0x0A000001));
    EXPECT_EQ(ErrorOf([&] { WSocketResolveHost(std::string(256, 'n'), lookup); }),
              "WSocketResolveHost: Cannot convert host address '" + std::string(256, 'n') + "', Error #11004");
    EXPECT_EQ(asked.size(), 2u);
}

TEST(WSocketResolve, ProtocolTexts) {
    EXPECT_EQ(WSocketResolveProto("6"), 6);
    EXPECT_EQ(WSocketResolveProto("tcp"), 6);
    EXPECT_EQ(WSocketResolveProto(" udp "), 17);
    EXPECT_EQ(WSocketResolveProto("17x"), 17);
    EXPECT_EQ(ErrorOf([] { WSocketResolveProto(""); }), "WSocketResolveProto: Invalid Protocol.");
    EXPECT_EQ(ErrorOf([] { WSocketResolveProto(std::string(32, '6')); }), "WSocketResolveProto: Invalid Protocol.");
    EXPECT_EQ(WSocketResolveProto(std::string(31, '6')) >= 0, true);  // no overflow on long digit runs
    EXPECT_EQ(ErrorOf([] { WSocketResolveProto("nosuchprotocol"); }),
              "WSocketResolveProto: Cannot convert protocol 'nosuchprotocol', Error #11004");
}

TEST(WSocketResolve, PortTexts) {
    EXPECT_EQ(WSocketResolvePort("6667", "tcp"), htons(6667));
    EXPECT_EQ(WSocketResolvePort("12003", "6"), htons(12003));
    EXPECT_EQ(WSocketResolvePort("70000", "tcp"), htons(70000 % 65536));
    EXPECT_EQ(WSocketResolvePort("80abc", "tcp"), htons(80));
    EXPECT_EQ(WSocketResolvePort(" http ", " tcp "), htons(80));
    EXPECT_EQ(ErrorOf([] { WSocketResolvePort("", "tcp"); }), "WSocketResolvePort: Invalid Port.");
    EXPECT_EQ(ErrorOf([] { WSocketResolvePort(std::string(32, '1'), "tcp"); }), "WSocketResolvePort: Invalid Port.");
    EXPECT_EQ(ErrorOf([] { WSocketResolvePort("nosuchservice", "tcp"); }),
              "WSocketResolvePort: Cannot convert port 'nosuchservice', Error #11004");
}

TEST(WSockbuf, WritePeekRemoveAndReuse) {
    TBuffer defaulted(0);
    EXPECT_EQ(defaulted.Capacity(), 1514);
    EXPECT_EQ(TBuffer(-3).Capacity(), 1514);

    TBuffer b(8);
    EXPECT_EQ(b.Write("0123456789", 10), 8);  // only what fits
    EXPECT_EQ(b.Write("x", 1), 0);
    EXPECT_EQ(b.Remove(3), 3);
    int n = 0;
    const char* p = b.Peek(n);
    EXPECT_EQ(std::string(p, static_cast<std::size_t>(n)), "34567");
    EXPECT_EQ(b.Remove(100), 5);  // never more than is unread
    EXPECT_EQ(b.Filled(), 0);     // emptied: used again from the start
    EXPECT_EQ(b.Consumed(), 0);
    EXPECT_EQ(b.Write("abcdefgh", 8), 8);
    EXPECT_EQ(b.Remove(-1), 0);
    EXPECT_EQ(b.Write("x", -1), 0);
}

TEST(WSockbuf, ResizeKeepsWrittenBytes) {
    TBuffer b(4);
    b.Write("abcd", 4);
    b.Remove(1);
    b.SetBufSize(10);
    EXPECT_EQ(b.Write("efg", 3), 3);
    int n = 0;
    const char* p = b.Peek(n);
    EXPECT_EQ(std::string(p, static_cast<std::size_t>(n)), "bcdefg");
    b.SetBufSize(2);  // cannot drop queued bytes
    EXPECT_EQ(b.Capacity(), 7);
    p = b.Peek(n);
    EXPECT_EQ(std::string(p, static_cast<std::size_t>(n)), "bcdefg");
}
