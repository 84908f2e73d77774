// SPDX-License-Identifier: GPL-3.0-or-later
// A hostile IRC server: its byte stream, cut into receipts, goes through the line queue, the
// parser, the client's dispatch and registry, and the chat page logic (conversations, user
// lists, tabs) without a socket. Nothing may crash, and what is held stays bounded.
#include "FuzzChat.h"
#include "FuzzSupport.h"
#include "net/PollEventLoop.h"

#include <set>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TPollEventLoop loop;
    TIRCCli client(loop);
    client.SetNick("alice");
    std::size_t sentBytes = 0;
    client.OfflineWire = [&](const std::string& bytes) {
        sentBytes += bytes.size();
        // What goes back to the server is whole lines only: a peer's CR or LF must never start
        // a command of its own.
        FUZZ_CHECK(bytes.size() >= 2 && bytes.compare(bytes.size() - 2, 2, "\r\n") == 0);
        FUZZ_CHECK(bytes.find_first_of("\r\n") == bytes.size() - 2);
    };
    TFuzzChat fuzzChat(client);
    TFakeChatPage& page = fuzzChat.page;
    TConversations& chat = fuzzChat.chat;

    for (std::string_view receipt : fuzz::Receipts(fuzz::Bytes(data, size))) {
        client.DataArrived(receipt);
        FUZZ_CHECK(client.LineQueue().LineCount() == 0);
        FUZZ_CHECK(client.LineQueue().Size() <= TDataQueue::MaxLine + 1);
    }

    // The page and the logic agree: one tab per conversation after the server tab, one view
    // per conversation, and no conversation twice.
    FUZZ_CHECK(page.Tabs.size() == static_cast<std::size_t>(chat.RowCount()) + 1);
    FUZZ_CHECK(chat.SelectedTab() >= 0 && chat.SelectedTab() <= chat.RowCount());
    std::set<std::string> names;
    for (int i = 0; i < chat.RowCount(); ++i) FUZZ_CHECK(names.insert(LowerAscii(chat.Row(i).Name)).second);
    FUZZ_CHECK(page.Views.size() == static_cast<std::size_t>(chat.RowCount()));
    return 0;
}
