// SPDX-License-Identifier: GPL-3.0-or-later
// A hostile server's lines through the client into the friends' presence: MONITOR and ISON
// answers, lobby joins, names, announcements and renames of any shape. Nothing may crash, the
// list stays within its limit, and every line it sends back is one whole line of names.
#include "../chat/FakeChatPage.h"
#include "FuzzSupport.h"
#include "chat/FriendsPresence.h"
#include "net/PollEventLoop.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input = fuzz::Bytes(data, size);
    TPollEventLoop loop;
    TIRCCli client(loop);
    client.SetNick("alice");
    client.OfflineWire = [](const std::string& bytes) {
        FUZZ_CHECK(bytes.size() <= TFriends::MaxCommandLength + 2);
        FUZZ_CHECK(bytes.find_first_of(std::string_view("\r\n\0", 3)) == bytes.size() - 2);
    };
    TFakeChatPage page;
    TConversations chat(page);
    TFriendsPresence presence(client, chat);
    auto now = TFriends::TClock::time_point{};
    presence.Clock = [&] { return now; };
    // The first line is the player's list; the rest is what the server says.
    const std::size_t end = std::min(input.find('\n'), input.size());
    presence.SetList(std::string(input.substr(0, end)));
    input.remove_prefix(std::min(end + 1, input.size()));
    client.OnServerMessage = [&](TIRCCli&, const std::string& p, const std::string& c,
                                 const std::vector<std::string>& params) {
        now += std::chrono::seconds(7);
        presence.ServerLine(p, c, params);
        presence.Expire();
    };
    for (std::string_view receipt : fuzz::Receipts(input)) client.DataArrived(receipt);
    FUZZ_CHECK(presence.Friends().Count() <= TFriends::MaxFriends);
    for (const TFriend* f : presence.Friends().NewestFirst()) FUZZ_CHECK(TFriends::ValidNick(f->Nick));
    return 0;
}
