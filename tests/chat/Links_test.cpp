// SPDX-License-Identifier: GPL-3.0-or-later
// Links in chat text: what is marked, what may be opened and what a right-click copies.
#include "chat/Links.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> Marked(std::string_view text) {
    std::vector<std::string> out;
    for (const auto& l : FindLinks(text)) out.emplace_back(text.substr(l.Start, l.Length));
    return out;
}

using Texts = std::vector<std::string>;

class TRecordingOpener : public TLinkOpener {
public:
    void OpenLink(const std::string& address) override { Opened.push_back(address); }
    Texts Opened;
};

}  // namespace

TEST(Links, TheKindsARichTextViewRecognises) {
    EXPECT_EQ(Marked("a http://x.org/p b HTTPS://Y.org c ftp://f.org d www.w.org"),
              (Texts{"http://x.org/p", "HTTPS://Y.org", "ftp://f.org", "www.w.org"}));
    EXPECT_EQ(Marked("mailto:bob@x.org file:///etc/passwd news:comp.lang telnet:host"),
              (Texts{"mailto:bob@x.org", "file:///etc/passwd", "news:comp.lang", "telnet:host"}));
    EXPECT_EQ(Marked("nntp:a gopher:b wais:c prospero:d notes:e"), (Texts{"nntp:a", "gopher:b", "wais:c", "prospero:d", "notes:e"}));
}

TEST(Links, BoundariesInASentence) {
    EXPECT_EQ(Marked("(see www.x.org)."), (Texts{"www.x.org"}));
    EXPECT_EQ(Marked("http://en.wiki.org/A_(b)."), (Texts{"http://en.wiki.org/A_(b)"}));
    EXPECT_EQ(Marked("<http://x.org/a>\"http://y.org\""), (Texts{"http://x.org/a", "http://y.org"}));
    EXPECT_EQ(Marked("go to http://x.org/?q=1&r=2!"), (Texts{"http://x.org/?q=1&r=2"}));
    EXPECT_EQ(Marked("xwww.x.org notawww.y.org 2http://z.org"), Texts{});
    EXPECT_EQ(Marked("http:// www. mailto: http://..."), Texts{});
    EXPECT_EQ(Marked("caf\xc3\xa9 http://x.org/caf\xc3\xa9\tend"), (Texts{"http://x.org/caf\xc3\xa9"}));
    EXPECT_EQ(Marked("[x](http://y.org/a(b)c)]"), (Texts{"http://y.org/a(b)c"}));
    // A hostile line of brackets is cut in one pass.
    const std::string brackets = "www.x" + std::string(60000, ')') + " " + std::string(60000, '(') + "www.y";
    EXPECT_EQ(Marked(brackets), (Texts{"www.x", "www.y"}));
    const auto spans = FindLinks("ab www.c.d");
    ASSERT_EQ(spans.size(), 1u);
    EXPECT_EQ(spans[0], (TLinkSpan{3, 7}));
}

TEST(Links, OnlyWebFtpAndMailLinksAreOpenedAndWwwGetsAScheme) {
    TRecordingOpener opener;
    for (auto link : {"http://x.org", "HTTPS://x.org/a", "ftp://f.org", "www.w.org", "MailTo:bob@x.org"})
        EXPECT_TRUE(OpenURL(link, opener)) << link;
    EXPECT_EQ(opener.Opened,
              (Texts{"http://x.org", "HTTPS://x.org/a", "ftp://f.org", "http://www.w.org", "MailTo:bob@x.org"}));

    opener.Opened.clear();
    for (auto link : {"file:///usr/bin/xterm", "telnet:host", "news:x", "javascript:alert(1)", "steam://run/1",
                      "smb://host/share", "http:", "www.", "http://a b", "http://a\nb"})
        EXPECT_FALSE(OpenURL(link, opener)) << link;
    EXPECT_TRUE(opener.Opened.empty());
}

TEST(Links, RightClickCopiesMailAddressesWithoutTheirScheme) {
    EXPECT_EQ(LinkCopyOffset("mailto:bob@x.org"), 7u);
    EXPECT_EQ(LinkCopyOffset("MAILTO:bob@x.org"), 7u);
    EXPECT_EQ(LinkCopyOffset("http://x.org"), 0u);
    EXPECT_EQ(LinkCopyOffset("file:///x"), 0u);
}

TEST(Links, AMailLinkIsHandedOnWithoutItsQuery) {
    TRecordingOpener opener;
    for (auto link : {"mailto:bob@x.org?attach=/home/me/.ssh/id_rsa", "mailto:bob@x.org?subject=a&body=b",
                      "MAILTO:bob@x.org#frag", "mailto:bob@x.org"})
        EXPECT_TRUE(OpenURL(link, opener)) << link;
    EXPECT_EQ(opener.Opened, (Texts{"mailto:bob@x.org", "mailto:bob@x.org", "MAILTO:bob@x.org", "mailto:bob@x.org"}));
    opener.Opened.clear();
    EXPECT_FALSE(OpenURL("mailto:?to=bob@x.org&attach=/etc/passwd", opener)) << "no address is left";
    EXPECT_TRUE(opener.Opened.empty());
    EXPECT_EQ(LinkAddress("http://x.org/?a=1#b"), "http://x.org/?a=1#b") << "web links keep theirs";
}

TEST(Links, ABidirectionalControlEndsALink) {
    // "http://x.org/" RLO "gpj.exe" would show as ...exe.jpg; the link stops before the control.
    const std::string rlo = "\xE2\x80\xAE", lri = "\xE2\x81\xA6", rlm = "\xE2\x80\x8F", alm = "\xD8\x9C";
    EXPECT_EQ(Marked("http://x.org/" + rlo + "gpj.exe"), (Texts{"http://x.org/"}));
    EXPECT_EQ(Marked("www.a.org" + lri + "b www.c.org" + rlm + " http://d.org/" + alm + "e"),
              (Texts{"www.a.org", "www.c.org", "http://d.org/"}));
    for (const std::string& c : {rlo, lri, rlm, alm, std::string("\xE2\x80\xAA"), std::string("\xE2\x81\xA9"),
                                 std::string("\xE2\x80\x8E")})
        EXPECT_EQ(BidiControlLength(c + "x"), c.size()) << c;
    // Neighbours that are not controls: U+2029, U+2065 (unassigned), U+200D (joiner), U+061B.
    for (std::string_view c : {"\xE2\x80\xA9", "\xE2\x81\xA5", "\xE2\x80\x8D", "\xD8\x9B", "\xE2\x80"})
        EXPECT_EQ(BidiControlLength(c), 0u) << c;
    EXPECT_EQ(Marked("http://x.org/caf\xc3\xa9\xE2\x82\xAC"), (Texts{"http://x.org/caf\xc3\xa9\xE2\x82\xAC"}));
    // Nor is a text holding one opened, wherever it came from.
    TRecordingOpener opener;
    EXPECT_FALSE(OpenURL("www.g" + lri + "b.org", opener));
    EXPECT_FALSE(OpenURL("http://x.org/" + rlo + "gpj.exe", opener));
    EXPECT_TRUE(opener.Opened.empty());
}
