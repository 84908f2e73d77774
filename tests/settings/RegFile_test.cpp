// SPDX-License-Identifier: GPL-3.0-or-later
// The registry-export text: exact output, escapes, the forms Windows writes, and broken files.
#include "settings/RegFile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using testing_support::Escaped;
using testing_support::Hex;

namespace {

const std::string kHead =
    "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Volition\\FreeSpace2\\CorvaneGV]\r\n";

TRegParseResult Parse(const std::string& text) {
    TRegParseResult r = ParseRegFile(text);
    EXPECT_TRUE(r.Ok) << "line " << r.ErrorLine << ": " << r.Error << "\n" << Escaped(text);
    return r;
}

TRegValue Str(std::string name, std::string text) { return {std::move(name), TRegDataType::String, std::move(text), 0}; }
TRegValue Dw(std::string name, std::uint32_t n) { return {std::move(name), TRegDataType::DWord, {}, n}; }

}  // namespace

TEST(RegFile, WritesTheExportFormExactly) {
    const std::string text = FormatRegFile({{Dw("FSEnabled", 1), Dw("Big", 0xABCDEF12u), Str("Nickname", "GV10000")}, {}});
    EXPECT_EQ(text, kHead +
                        "\"FSEnabled\"=dword:00000001\r\n"
                        "\"Big\"=dword:abcdef12\r\n"
                        "\"Nickname\"=\"GV10000\"\r\n"
                        "\r\n")
        << Escaped(text);
}

TEST(RegFile, BackslashAndQuoteAreEscapedAndRoundTripInNamesAndTexts) {
    const std::vector<TRegValue> values = {
        Str("FSPath", "C:\\Games\\FreeSpace2\\fs2_open.exe"),
        Str("Shortcut1", "say \"hi\" \\o/ \\\\server\\share\\"),
        Str("odd\"name\\", "x"),
        Str("Shortcut2", "\xE9t\xE9 \xA9"),  // single-byte texts stay bytes
    };
    const std::string text = FormatRegFile({values, {}});
    EXPECT_NE(text.find("\"FSPath\"=\"C:\\\\Games\\\\FreeSpace2\\\\fs2_open.exe\"\r\n"), std::string::npos) << Escaped(text);
    EXPECT_NE(text.find("\"Shortcut1\"=\"say \\\"hi\\\" \\\\o/ \\\\\\\\server\\\\share\\\\\"\r\n"), std::string::npos)
        << Escaped(text);
    EXPECT_EQ(Parse(text).Content.Values, values);
}

TEST(RegFile, TextsWithLineBreaksOrZeroBytesAreWrittenAsHexStrings) {
    const std::string text = FormatRegFile({{Str("Shortcut3", "one\r\ntwo"), Str("Shortcut4", std::string("a\0b", 3))}, {}});
    EXPECT_NE(text.find("\"Shortcut3\"=hex(1):6f,00,6e,00,65,00,0d,00,0a,00,74,00,77,00,6f,00,00,00\r\n"),
              std::string::npos)
        << Escaped(text);
    const auto values = Parse(text).Content.Values;
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[0], Str("Shortcut3", "one\r\ntwo"));
    EXPECT_EQ(values[1].Text, "a");  // the registry's string ends at its first zero
}

TEST(RegFile, ReadsWhatWindowsAndPeopleWrite) {
    // LF ends, comments, blanks around "=", a hand-typed lone backslash, upper-case hex,
    // short dword, a duplicate in another case (last wins, first spelling kept), deletion.
    const std::string text =
        "Windows Registry Editor Version 5.00\n\n"
        "; written by hand\n"
        "[hkey_local_machine\\SOFTWARE\\Volition\\FreeSpace2\\CorvaneGV]\n"
        "\"FSPath\" = \"C:\\Games\\fs2.exe\"\n"
        "\"FSEnabled\"=dword:5\n"
        "\"fsenabled\"=DWORD:0000000A\n"
        "\"Gone\"=\"x\"\n"
        "\"Gone\"=-\n"
        "@=\"default value\"\n";
    const auto values = Parse(text).Content.Values;
    ASSERT_EQ(values.size(), 3u);
    EXPECT_EQ(values[0], Str("FSPath", "C:\\Games\\fs2.exe"));
    EXPECT_EQ(values[1], Dw("FSEnabled", 10));
    EXPECT_EQ(values[2], Str("", "default value"));
    EXPECT_EQ(FormatRegFile({values, {}}).find("@=\"default value\"\r\n") != std::string::npos, true);
}

TEST(RegFile, ExpandableStringsInBothExportVersionsAreReadUnexpanded) {
    // Version 5.00 stores UTF-16LE with a zero terminator and wraps long lists.
    const std::string v5 =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Volition\\FreeSpace2\\CorvaneGV]\r\n"
        "\"SoundPath-UserMessage\"=hex(2):25,00,57,00,49,00,4e,00,25,00,5c,00,\\\r\n"
        "  61,00,2e,00,77,00,61,00,76,00,00,00\r\n"
        "\"Shortcut1\"=hex(1):e9,00,ac,20,00,00\r\n";
    auto values = Parse(v5).Content.Values;
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[0].Type, TRegDataType::ExpandString);
    EXPECT_EQ(values[0].Text, "%WIN%\\a.wav");
    EXPECT_EQ(values[1], Str("Shortcut1", "\xE9?"));  // no single byte for the euro sign here

    const std::string v4 =
        "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Volition\\FreeSpace2\\CorvaneGV]\n"
        "\"SoundPath-UserMessage\"=hex(2):25,57,25,00\n";
    const TRegFileContent old = Parse(v4).Content;
    ASSERT_EQ(old.Values.size(), 1u);
    EXPECT_EQ(old.Values[0].Type, TRegDataType::ExpandString);
    EXPECT_EQ(old.Values[0].Text, "%W%");

    // Written back in the registry's own form for each version, and read back the same.
    const std::string again4 = FormatRegFile(old);
    EXPECT_EQ(again4.rfind("REGEDIT4\r\n", 0), 0u) << Escaped(again4);
    EXPECT_NE(again4.find("=hex(2):25,57,25,00\r\n"), std::string::npos) << Escaped(again4);
    const std::string again5 = FormatRegFile({old.Values, {}});
    EXPECT_NE(again5.find("=hex(2):25,00,57,00,25,00,00,00\r\n"), std::string::npos) << Escaped(again5);
    EXPECT_EQ(Parse(again4).Content.Values, old.Values);
    EXPECT_EQ(Parse(again5).Content.Values, old.Values);
}

TEST(RegFile, UnicodeAndUtf8MarkedFilesAreRead) {
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("Windows Registry Editor Version 5.00\r\n\r\n"
                              "[HKEY_LOCAL_MACHINE\\Software\\Volition\\FreeSpace2\\CorvaneGV]\r\n"
                              "\"Nickname\"=\"Bob\"\r\n")) {
        utf16.push_back(c);
        utf16.push_back('\0');
    }
    EXPECT_EQ(Parse(utf16).Content.Values, (std::vector<TRegValue>{Str("Nickname", "Bob")}));
    EXPECT_EQ(Parse("\xEF\xBB\xBFREGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Volition\\FreeSpace2\\CorvaneGV]\n\"A\"=\"b\"\n")
                  .Content.Values,
              (std::vector<TRegValue>{Str("A", "b")}));
}

TEST(RegFile, OtherKeysAndOtherKindsSurviveARewrite) {
    const std::string text =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Other]\r\n"
        "; kept\r\n"
        "\"X\"=hex:01,02,\\\r\n"
        "  03\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Volition\\FreeSpace2\\CorvaneGV]\r\n"
        "\"Multi\"=hex(7):61,00,00,00,00,00\r\n"
        "\"Q\"=hex(b):01,00,00,00,00,00,00,00\r\n"
        "\"FSEnabled\"=dword:00000001\r\n\r\n"
        "[-HKEY_CURRENT_USER\\Software\\Gone]\r\n";
    const TRegFileContent content = Parse(text).Content;
    ASSERT_EQ(content.Values.size(), 3u);
    EXPECT_EQ(content.Values[0].Type, TRegDataType::Other);
    EXPECT_EQ(FormatRegFile(content),
              kHead +
                  "\"Multi\"=hex(7):61,00,00,00,00,00\r\n"
                  "\"Q\"=hex(b):01,00,00,00,00,00,00,00\r\n"
                  "\"FSEnabled\"=dword:00000001\r\n\r\n"
                  "[HKEY_CURRENT_USER\\Software\\Other]\r\n"
                  "; kept\r\n"
                  "\"X\"=hex:01,02,\\\r\n"
                  "  03\r\n\r\n"
                  "[-HKEY_CURRENT_USER\\Software\\Gone]\r\n\r\n");
}

TEST(RegFile, BrokenTextIsRejectedWithItsLine) {
    const std::string key = "[HKEY_LOCAL_MACHINE\\Software\\Volition\\FreeSpace2\\CorvaneGV]\n";
    const std::string h = "Windows Registry Editor Version 5.00\n\n";
    struct TCase {
        std::string Text;
        int Line;
    };
    const TCase cases[] = {
        {"", 1},
        {"not a registry file\n", 1},
        {"Windows Registry Editor Version 4.00\n", 1},
        {h + "\"A\"=\"outside any key\"\n", 3},
        {h + key + "\"A\"=\"unterminated\n", 4},
        {h + key + "\"A\"=\"x\" trailing\n", 4},
        {h + key + "A=\"unquoted name\"\n", 4},
        {h + key + "\"A\"\n", 4},
        {h + key + "\"A\"=dword:123456789\n", 4},
        {h + key + "\"A\"=dword:\n", 4},
        {h + key + "\"A\"=dword:12g4\n", 4},
        {h + key + "\"A\"=hex(2):41,00,4\n", 4},         // odd UTF-16 byte count
        {h + key + "\"A\"=hex:411\n", 4},                // not a byte
        {h + key + "\"A\"=hex:41,,42\n", 4},
        {h + key + "\"A\"=hex(zz):00\n", 4},
        {h + key + "\"A\"=hex:41,\\\n", 4},              // continuation at end of file
        {h + key + "\"A\"=qword:1\n", 4},
        {h + key + "[unclosed\n", 4},
        {h + "[HKEY_CURRENT_USER\\X]\n\"B\"=nonsense\n", 4},  // other keys are checked too
        {"\xFF\xFE\x41", 1},
    };
    for (const auto& c : cases) {
        const TRegParseResult r = ParseRegFile(c.Text);
        EXPECT_FALSE(r.Ok) << Escaped(c.Text);
        EXPECT_EQ(r.ErrorLine, c.Line) << Escaped(c.Text) << " -> " << r.Error;
        EXPECT_TRUE(r.Content.Values.empty());
    }
}
