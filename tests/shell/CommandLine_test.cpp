// SPDX-License-Identifier: GPL-3.0-or-later
// The developer switch and the program's options.
#include "shell/CommandLine.h"

#include <gtest/gtest.h>

namespace {

using Args = std::vector<std::string>;

TEST(FindSwitch, MatchesTheWholeArgumentIgnoringCase) {
    EXPECT_EQ(FindSwitch({"corvanegv", "-developer"}, "-developer"), 1);
    EXPECT_EQ(FindSwitch({"corvanegv", "-DEVELOPER"}, "-developer"), 1);
    EXPECT_EQ(FindSwitch({"corvanegv", "-Developer"}, "-developer"), 1);
    EXPECT_EQ(FindSwitch({"corvanegv", "--developer"}, "-developer"), -1);
    EXPECT_EQ(FindSwitch({"corvanegv", "/developer"}, "-developer"), -1);
    EXPECT_EQ(FindSwitch({"corvanegv", "-developers"}, "-developer"), -1);
    EXPECT_EQ(FindSwitch({"corvanegv", "-develope"}, "-developer"), -1);
    EXPECT_EQ(FindSwitch({"corvanegv"}, "-developer"), -1);
    EXPECT_EQ(FindSwitch({}, "-developer"), -1);
}

TEST(FindSwitch, SearchesFromTheLastArgumentAndNeverComparesTheProgram) {
    EXPECT_EQ(FindSwitch({"corvanegv", "-developer", "x", "-DEVELOPER", "y"}, "-developer"), 3);
    EXPECT_EQ(FindSwitch({"-developer", "x"}, "-developer"), -1);
}

TEST(ParseCommandLine, DefaultsPointAtTheBuiltInServers) {
    TCommandLine line;
    std::string error;
    ASSERT_TRUE(ParseCommandLine({"corvanegv"}, line, error));
    EXPECT_FALSE(line.Developer);
    EXPECT_EQ(line.ChatHost, DefaultChatServerHost);
    EXPECT_EQ(line.ChatPort, "6697");
    EXPECT_TRUE(line.ChatTls);
    EXPECT_FALSE(line.ChatServerGiven);
    EXPECT_EQ(line.Tracker.Addr, DefaultTrackerAddress().Addr);
    EXPECT_EQ(line.Tracker.BasePort, 12000);
    EXPECT_TRUE(line.ConfigDir.empty());
}

TEST(ParseCommandLine, ReadsTrackerChatServerAndConfigDirInBothSpellings) {
    TCommandLine line;
    std::string error;
    ASSERT_TRUE(ParseCommandLine({"corvanegv", "--tracker", "127.0.0.1:20000", "--chat-server=127.0.0.1:16667",
                                  "--config-dir", "/tmp/cfg", "-Developer"},
                                 line, error))
        << error;
    EXPECT_EQ(line.Tracker.Addr, "127.0.0.1");
    EXPECT_EQ(line.Tracker.BasePort, 20000);
    EXPECT_EQ(line.ChatHost, "127.0.0.1");
    EXPECT_EQ(line.ChatPort, "16667");
    EXPECT_EQ(line.ConfigDir, "/tmp/cfg");
    EXPECT_TRUE(line.Developer);

    TCommandLine bare;
    ASSERT_TRUE(ParseCommandLine({"corvanegv", "--tracker=127.0.0.1", "--chat-server", "localhost"}, bare, error));
    EXPECT_EQ(bare.Tracker.BasePort, 12000);
    EXPECT_EQ(bare.ChatHost, "localhost");
    EXPECT_EQ(bare.ChatPort, "6667");
    EXPECT_FALSE(bare.ChatTls);
    EXPECT_TRUE(bare.ChatServerGiven);
}

TEST(ParseCommandLine, ChatServerFormsChooseTlsAndTheirDefaultPorts) {
    struct TCase {
        const char* text;
        const char* host;
        const char* port;
        bool tls;
    } cases[] = {
        {"ircs://localhost", "localhost", "6697", true},  {"IRCS://127.0.0.1:7000", "127.0.0.1", "7000", true},
        {"irc://localhost", "localhost", "6667", false},  {"irc://localhost:6697/", "localhost", "6697", false},
        {"localhost:6697", "localhost", "6697", false},
    };
    for (const TCase& c : cases) {
        TCommandLine line;
        std::string error;
        ASSERT_TRUE(ParseCommandLine({"corvanegv", "--chat-server", c.text}, line, error)) << c.text << error;
        EXPECT_EQ(line.ChatHost, c.host) << c.text;
        EXPECT_EQ(line.ChatPort, c.port) << c.text;
        EXPECT_EQ(line.ChatTls, c.tls) << c.text;
    }
    for (const char* bad : {"http://localhost", "ircs://", "ircs://:6697", "ircs://host:0", "ircs://user@host"}) {
        TCommandLine line;
        std::string error;
        EXPECT_FALSE(ParseCommandLine({"corvanegv", "--chat-server", bad}, line, error)) << bad;
        EXPECT_NE(error.find("--chat-server"), std::string::npos) << bad;
    }
}

TEST(ParseCommandLine, IgnoresUnknownArgumentsButRejectsBadValues) {
    TCommandLine line;
    std::string error;
    EXPECT_TRUE(ParseCommandLine({"corvanegv", "whatever", "--unknown", "-x"}, line, error));
    EXPECT_FALSE(line.Help);

    for (const Args& bad : {Args{"corvanegv", "--tracker"}, Args{"corvanegv", "--chat-server", "host:0"},
                            Args{"corvanegv", "--chat-server", "host:70000"}, Args{"corvanegv", "--chat-server", ":6667"},
                            Args{"corvanegv", "--chat-server", "host:66x"}, Args{"corvanegv", "--config-dir="},
                            Args{"corvanegv", "--tracker", "127.0.0.1:65535"}}) {
        TCommandLine l;
        error.clear();
        EXPECT_FALSE(ParseCommandLine(bad, l, error)) << bad.back();
        EXPECT_FALSE(error.empty()) << bad.back();
    }
}

TEST(ParseCommandLine, HelpNamesEveryOption) {
    TCommandLine line;
    std::string error;
    ASSERT_TRUE(ParseCommandLine({"corvanegv", "--help", "--version"}, line, error));
    EXPECT_TRUE(line.Help);
    EXPECT_TRUE(line.Version);
    for (const char* option : {"-developer", "--tracker", "--chat-server", "--config-dir", "--help", "--version"})
        EXPECT_NE(std::string(CommandLineUsage).find(option), std::string::npos) << option;
}

}  // namespace
