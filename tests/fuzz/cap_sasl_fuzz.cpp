// SPDX-License-Identifier: GPL-3.0-or-later
// A hostile server during the capability negotiation and SASL: its stream goes through the
// client (tags, CAP, AUTHENTICATE, the SASL numerics, AWAY, server-time) and the page logic,
// and its lines through a negotiation of their own. Nothing may crash, a password never goes
// over plain text, the answers stay in proportion, and silence always ends the negotiation.
#include "FuzzChat.h"
#include "FuzzSupport.h"
#include "net/PollEventLoop.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const bool tls = (data[0] & 1) != 0;
    const std::string_view input = fuzz::Bytes(data, size);

    TPollEventLoop loop;
    TIRCCli client(loop);
    client.SetNick("alice");
    client.SetUseTls(tls);
    client.SetCapabilities(true);
    client.SetSaslLogin("alice", "pw");
    std::size_t sent = 0;
    bool payloadSent = false;
    const auto wire = [&](const std::string& bytes) {
        FUZZ_CHECK(bytes.size() >= 2 && bytes.find_first_of("\r\n") == bytes.size() - 2);
        ++sent;
        const std::string line = bytes.substr(0, bytes.size() - 2);
        if (line.starts_with("AUTHENTICATE ") && line != "AUTHENTICATE PLAIN" && line != "AUTHENTICATE *")
            payloadSent = true;
    };
    client.OfflineWire = wire;
    int upgrades = 0;
    client.OnStsUpgrade = [&](TIRCCli&, int port) {
        FUZZ_CHECK(!tls && port >= 1 && port <= 65535);
        ++upgrades;
    };
    std::size_t notes = 0;
    client.OnNegotiationNote = [&](TIRCCli&, const std::string&, bool) { ++notes; };
    TFuzzChat fuzzChat(client);

    client.StartNegotiation();
    for (std::string_view receipt : fuzz::Receipts(input)) client.DataArrived(receipt);
    const std::size_t lines = static_cast<std::size_t>(std::count(input.begin(), input.end(), '\n')) + 1;
    FUZZ_CHECK(!(payloadSent && !tls));
    FUZZ_CHECK(upgrades <= 1 || !tls);
    // A line gets at most a couple of answers (a SASL chunk, a REQ, a PONG, a JOIN).
    FUZZ_CHECK(sent <= 4 + 3 * lines);
    FUZZ_CHECK(notes <= 8 + lines);

    // The same lines straight into a negotiation, which silence must always end.
    TCapNegotiation caps;
    bool ended = false;
    caps.Send = [&](const std::string& line) {
        FUZZ_CHECK(line.find_first_of("\r\n") == std::string::npos);
        if (line == "CAP END") ended = true;
    };
    caps.Begin(tls, "alice", "pw");
    TDataQueue queue;
    queue.Write(input.substr(1));
    std::string text;
    while (queue.ReadLine(text)) {
        TIRCLine line;
        if (ParseIRCLine(text, line)) caps.Handle(line);
    }
    caps.Silence();
    FUZZ_CHECK(!caps.Negotiating());
    FUZZ_CHECK(ended || caps.Sasl() != TCapNegotiation::TSasl::Running);
    return 0;
}
