// SPDX-License-Identifier: GPL-3.0-or-later
// The chat's passwords in a real GNOME Keyring on a private session bus, and without one.
#include "shell/SecretServiceStore.h"
#include "support/KeyringSession.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

using testing::HasSubstr;
using testing::IsEmpty;
using testing_support::TKeyringSession;
using testing_support::TTempDir;

namespace {

std::vector<std::string> Tool(std::vector<std::string> command, const std::string& account, const std::string& host)
{
    for (const std::string& word : {std::string("xdg:schema"), SecretSchemaName(), std::string("account"), account,
                                    std::string("host"), host})
        command.push_back(word);
    return command;
}

// Files below dir whose bytes hold needle.
std::vector<std::string> FilesHolding(const std::filesystem::path& dir, const std::string& needle)
{
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
        if (!entry.is_regular_file())
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (bytes.find(needle) != std::string::npos)
            found.push_back(entry.path().string());
    }
    return found;
}

double SecondsOf(const std::function<void()>& f)
{
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

TEST(SecretServiceStore, PasswordWrittenHereIsReadByAnotherProgramAndLiesInNoFile)
{
    TKeyringSession session;
    auto secrets = MakeDesktopSecretStore();
    ASSERT_EQ(secrets.Unavailable, "");
    const std::string password = "correct horse \xC3\xA9 battery";
    const auto written = secrets.Store->Write(SecretKey("alice", "irc.example.test"), password);
    ASSERT_TRUE(written.Ok) << written.Error;

    const auto lookup = session.Run(Tool({"secret-tool", "lookup"}, "alice", "irc.example.test"));
    EXPECT_EQ(lookup.Exit, 0) << lookup.Errors;
    EXPECT_EQ(lookup.Output, password);
    const auto search = session.Run(Tool({"secret-tool", "search", "--all"}, "alice", "irc.example.test"));
    EXPECT_THAT(search.Output, HasSubstr("label = Corvane Games Viewer: chat password for alice on irc.example.test"));
    EXPECT_THAT(FilesHolding(session.Folder(), password), IsEmpty());
}

TEST(SecretServiceStore, PasswordStoredByAnotherProgramIsReadAndOverwrittenInPlace)
{
    TKeyringSession session;
    const auto stored = session.Run(Tool({"secret-tool", "store", "--label=old"}, "bob", "irc.example.test"),
                                    std::string("pass\0word", 9));
    ASSERT_EQ(stored.Exit, 0) << stored.Errors;

    auto secrets = MakeDesktopSecretStore();
    const auto read = secrets.Store->Read(SecretKey("bob", "irc.example.test"));
    ASSERT_TRUE(read.Ok) << read.Error;
    EXPECT_TRUE(read.Found);
    EXPECT_EQ(read.Secret, std::string("pass\0word", 9));

    ASSERT_TRUE(secrets.Store->Write(SecretKey("bob", "irc.example.test"), "new").Ok);
    const auto search = session.Run(Tool({"secret-tool", "search", "--all", "--unlock"}, "bob", "irc.example.test"));
    EXPECT_THAT(search.Output, HasSubstr("secret = new"));
    EXPECT_EQ(search.Output.find("secret = pass"), std::string::npos) << search.Output;
    EXPECT_EQ(search.Output.find("[/", search.Output.find("[/") + 1), std::string::npos) << "two items:\n"
                                                                                        << search.Output;
}

TEST(SecretServiceStore, EachAccountAndHostKeepsItsOwnPasswordAndEraseTakesOnlyOne)
{
    TKeyringSession session;
    auto secrets = MakeDesktopSecretStore();
    auto& store = *secrets.Store;
    ASSERT_TRUE(store.Write(SecretKey("alice", "one.test"), "a1").Ok);
    ASSERT_TRUE(store.Write(SecretKey("alice", "two.test"), "a2").Ok);
    ASSERT_TRUE(store.Write(SecretKey("bob", "one.test"), "b1").Ok);
    EXPECT_FALSE(store.Read(SecretKey("carol", "one.test")).Found);

    ASSERT_TRUE(store.Erase(SecretKey("alice", "one.test")).Ok);
    const auto gone = store.Read(SecretKey("alice", "one.test"));
    EXPECT_TRUE(gone.Ok);
    EXPECT_FALSE(gone.Found);
    EXPECT_EQ(session.Run(Tool({"secret-tool", "lookup"}, "alice", "one.test")).Exit, 1);
    EXPECT_EQ(store.Read(SecretKey("alice", "two.test")).Secret, "a2");
    EXPECT_EQ(store.Read(SecretKey("bob", "one.test")).Secret, "b1");
    EXPECT_TRUE(store.Erase(SecretKey("alice", "one.test")).Ok) << "erasing what is not there";
}

TEST(SecretServiceStore, WithoutASessionBusThePasswordLastsForTheSession)
{
    TTempDir nowhere;
    ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + (nowhere.Path() / "bus").string()).c_str(), 1);
    auto secrets = MakeDesktopSecretStore();
    EXPECT_THAT(secrets.Unavailable, HasSubstr("No desktop session"));
    EXPECT_THAT(secrets.Unavailable, HasSubstr("for this session only"));
    ASSERT_TRUE(secrets.Store->Write(SecretKey("alice", "h"), "pw").Ok);
    EXPECT_EQ(secrets.Store->Read(SecretKey("alice", "h")).Secret, "pw");
}

TEST(SecretServiceStore, ABusWithNoSecretStoreIsSaidSo)
{
    TKeyringSession session({.Keyring = false});
    auto secrets = MakeDesktopSecretStore();
    EXPECT_THAT(secrets.Unavailable, HasSubstr("No secret store"));
    EXPECT_TRUE(secrets.Store->Write(SecretKey("alice", "h"), "pw").Ok);
}

TEST(SecretServiceStore, ALockedKeyringThatRefusesToUnlockIsSaidSo)
{
    TKeyringSession session;
    ASSERT_TRUE(MakeDesktopSecretStore().Store->Write(SecretKey("alice", "h"), "pw").Ok);
    session.RestartKeyring(false);
    auto secrets = MakeDesktopSecretStore();
    EXPECT_THAT(secrets.Unavailable, HasSubstr("locked"));
    EXPECT_FALSE(secrets.Store->Read(SecretKey("alice", "h")).Found) << "a store for the session only";
}

TEST(SecretServiceStore, AStoreThatStopsAnsweringFailsWithinItsBoundAndRecovers)
{
    TKeyringSession session;
    auto secrets = MakeDesktopSecretStore({.CallMs = 1000});
    ASSERT_EQ(secrets.Unavailable, "");
    session.FreezeKeyring();
    TSecretResult frozen;
    const double took = SecondsOf([&] { frozen = secrets.Store->Write(SecretKey("alice", "h"), "pw"); });
    EXPECT_FALSE(frozen.Ok);
    EXPECT_THAT(frozen.Error, HasSubstr("did not answer within 1 s"));
    EXPECT_GE(took, 0.9);
    EXPECT_LT(took, 2.5);

    session.ThawKeyring();
    ASSERT_TRUE(secrets.Store->Write(SecretKey("alice", "h"), "pw").Ok);
    EXPECT_EQ(secrets.Store->Read(SecretKey("alice", "h")).Secret, "pw");

    // The session ends under us: an error, not the end of the program.
    session.StopBus();
    const auto after = secrets.Store->Read(SecretKey("alice", "h"));
    EXPECT_FALSE(after.Ok);
    EXPECT_THAT(after.Error, HasSubstr("secret store"));
}

TEST(SecretServiceStore, AProbeOfAStoreThatDoesNotAnswerEndsWithinItsBound)
{
    TKeyringSession session;
    session.FreezeKeyring();
    TDesktopSecrets secrets;
    const double took = SecondsOf([&] { secrets = MakeDesktopSecretStore({.CallMs = 1000}); });
    EXPECT_THAT(secrets.Unavailable, HasSubstr("did not answer within 1 s"));
    EXPECT_LT(took, 2.5);
    ASSERT_NE(secrets.Store, nullptr);
}
