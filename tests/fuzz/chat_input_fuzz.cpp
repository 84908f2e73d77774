// SPDX-License-Identifier: GPL-3.0-or-later
// The input line: typed and pasted text, keys and caret places from a stranger's paste. The
// word deletion and the UTF-8 cut keep to their promises, and the key handling never fails.
#include "../chat/FakeChatPage.h"
#include "FuzzSupport.h"
#include "chat/ChatInput.h"
#include "net/PollEventLoop.h"

namespace {

// Well-formed UTF-8 by its lead and continuation bytes (overlong forms not looked at).
bool WellFormed(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        const std::size_t n = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 0;
        if (n == 0 || i + n > text.size()) return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::string text(fuzz::Bytes(data + 2, size - 2));

    const std::size_t caret = data[0] % (text.size() + 1);
    const TWordDeletion d = DeleteWordBefore(text, caret);
    FUZZ_CHECK(d.Caret <= d.Text.size());
    FUZZ_CHECK(d.Text.size() <= text.size());
    // What is left is a start of the text before the caret and the whole text behind it.
    FUZZ_CHECK(d.Text.compare(d.Caret, std::string::npos, text, caret) == 0);
    FUZZ_CHECK(text.compare(0, d.Caret, d.Text, 0, d.Caret) == 0);

    const std::size_t max = data[1];
    const std::string cut = CutUtf8(text, max);
    FUZZ_CHECK(cut.size() <= max && text.compare(0, cut.size(), cut) == 0);
    if (WellFormed(text)) FUZZ_CHECK(WellFormed(cut));

    TPollEventLoop loop;
    TIRCCli client(loop);
    TFakeChatPage page;
    TConversations chat(page);
    TSettings settings;
    settings.Nickname = "alice";
    settings.Shortcut3 = text;
    TPingValues ping;
    TChatInput input(client, chat, settings, ping);
    page.Input = text;
    input.HandleText(text);
    input.Edit1KeyDown('3', ssCtrl);
    input.Edit1KeyDown(ChatKey::Up, 0);
    input.Edit1KeyDown(ChatKey::Back, ssCtrl);
    input.Edit1KeyDown(ChatKey::Down, 0);
    return 0;
}
