// SPDX-License-Identifier: GPL-3.0-or-later
// Link finding in a stranger's line: spans in order inside the text, never holding a blank, a
// control or a bidirectional control; an opened address carries none either.
#include "FuzzSupport.h"
#include "chat/Links.h"

namespace {

bool Clean(std::string_view s) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c <= 0x20 || c == 0x7F || BidiControlLength(s.substr(i)) > 0) return false;
    }
    return true;
}

class TCheckingOpener : public TLinkOpener {
public:
    void OpenLink(const std::string& address) override {
        FUZZ_CHECK(Clean(address));
        if (address.size() >= 7 && (address[0] | 0x20) == 'm' && (address[1] | 0x20) == 'a')
            FUZZ_CHECK(address.find_first_of("?#") == std::string::npos);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = fuzz::Bytes(data, size);
    std::size_t after = 0;
    TCheckingOpener opener;
    for (const TLinkSpan& span : FindLinks(text)) {
        FUZZ_CHECK(span.Length > 0 && span.Start >= after && span.Start + span.Length <= text.size());
        after = span.Start + span.Length;
        const std::string_view link = text.substr(span.Start, span.Length);
        FUZZ_CHECK(Clean(link));
        FUZZ_CHECK(LinkCopyOffset(link) < link.size());
        OpenURL(link, opener);
    }
    // Any text may reach the opener through a click's link text; the rule must hold there too.
    OpenURL(text, opener);
    return 0;
}
