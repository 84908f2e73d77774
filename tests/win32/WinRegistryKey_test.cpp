// SPDX-License-Identifier: GPL-3.0-or-later
// The settings key in the real registry under wine: round trip, wine's own reg tool, exports.
#include "settings/RegFile.h"
#include "settings/Settings.h"
#include "settings/SettingsPlace.h"
#include "settings/win32/WinRegistryKey.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

const wchar_t* const kView64 = L"HKLM\\Software\\Wow6432Node\\Volition\\FreeSpace2\\CorvaneGV";
const wchar_t* const kKey = L"HKLM\\Software\\Volition\\FreeSpace2\\CorvaneGV";

void DeleteKey() {
    HKEY parent = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Volition\\FreeSpace2", 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY,
                        &parent) != ERROR_SUCCESS)
        return;
    ::RegDeleteTreeW(parent, L"CorvaneGV");
    ::RegCloseKey(parent);
}

// Runs a command line of wine's own tools, waits for it, and returns what it printed.
std::string RunTool(std::wstring line, const std::filesystem::path& out, DWORD* exitCode = nullptr) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE file = ::CreateFileW(out.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = file;
    si.hStdError = file;
    PROCESS_INFORMATION pi{};
    const BOOL started = ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    ::CloseHandle(file);
    if (!started) return "(not started)";
    ::WaitForSingleObject(pi.hProcess, 30000);
    DWORD code = 1;
    ::GetExitCodeProcess(pi.hProcess, &code);
    if (exitCode) *exitCode = code;
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    std::ifstream in(out, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const ERegistryException& e) {
        return e.what();
    }
    return "(no error)";
}

class WinRegistryKey : public ::testing::Test {
protected:
    void SetUp() override { DeleteKey(); }
    void TearDown() override { DeleteKey(); }
    testing_support::TTempDir temp;
};

}  // namespace

TEST_F(WinRegistryKey, ValuesGoInThe32BitViewWhereRegQueryReadsThemAndComeBack) {
    {
        TWinRegistryKey key;
        key.OpenKey();
        key.WriteString("Nickname", "Pilot\xC3\xA9");  // UTF-8 here, UTF-16 in the registry
        key.WriteBool("ShowTray", true);
        key.CloseKey();
    }
    const std::string query = RunTool(std::wstring(L"reg query ") + kView64 + L" /v Nickname", temp.Path() / "q.txt");
    EXPECT_NE(query.find("REG_SZ"), std::string::npos) << query;
    EXPECT_NE(query.find("Pilot"), std::string::npos) << query;

    TWinRegistryKey again;
    again.OpenKey();
    EXPECT_EQ(again.ReadString("Nickname"), "Pilot\xC3\xA9");
    EXPECT_TRUE(again.ReadBool("ShowTray"));
    again.CloseKey();
}

TEST_F(WinRegistryKey, EachFailureHasItsOwnText) {
    TWinRegistryKey key;
    key.OpenKey();
    key.WriteString("Nickname", "Pilot");
    key.CloseKey();
    // A value of a kind the store does not read, as another program might leave it.
    HKEY raw = nullptr;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSettingsSubKey, 0, KEY_SET_VALUE | KEY_WOW64_32KEY, &raw), ERROR_SUCCESS);
    const BYTE blob[] = {1, 2, 3};
    ::RegSetValueExW(raw, L"Blob", 0, REG_BINARY, blob, sizeof blob);
    ::RegCloseKey(raw);

    key.OpenKey();
    EXPECT_EQ(ErrorOf([&] { key.ReadString("Missing"); }), "Failed to get data for 'Missing'");
    EXPECT_EQ(ErrorOf([&] { key.ReadString("Blob"); }), "Invalid data type for 'Blob'");
    EXPECT_EQ(ErrorOf([&] { key.ReadBool("Nickname"); }), "Invalid data type for 'Nickname'");
    key.CloseKey();

    // A key name the registry refuses: it cannot even be opened, so the first write fails.
    TWinRegistryKey refused(std::wstring(L"Software\\") + std::wstring(300, L'x'));
    refused.OpenKey();
    EXPECT_EQ(ErrorOf([&] { refused.WriteString("Nickname", "Pilot"); }), "Failed to set data for 'Nickname'");
    refused.CloseKey();
}

TEST_F(WinRegistryKey, AnExportMovesBetweenTheRegistryAndTheFileFormat) {
    {
        TWinRegistryKey key;
        key.OpenKey();
        key.WriteString("Nickname", "Pilot");
        key.WriteString("GamePath", "C:\\Games\\fs2_open.exe");
        key.WriteBool("ShowTray", false);
        key.CloseKey();
    }
    const std::filesystem::path file = temp.Path() / "out.reg";
    DWORD code = 1;
    const std::string said =
        RunTool(std::wstring(L"reg export ") + kKey + L" \"" + file.wstring() + L"\" /reg:32 /y", temp.Path() / "e.txt", &code);
    ASSERT_EQ(code, 0u) << said;
    std::ifstream in(file, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    const TRegParseResult parsed = ParseRegFile(bytes.str());
    ASSERT_TRUE(parsed.Ok) << parsed.Error << " at line " << parsed.ErrorLine << "\n" << testing_support::Escaped(bytes.str());
    std::vector<TRegValue> expected = {{"Nickname", TRegDataType::String, "Pilot", 0},
                                       {"GamePath", TRegDataType::String, "C:\\Games\\fs2_open.exe", 0},
                                       {"ShowTray", TRegDataType::DWord, "", 0}};
    for (const TRegValue& want : expected) {
        auto it = std::find_if(parsed.Content.Values.begin(), parsed.Content.Values.end(),
                               [&](const TRegValue& v) { return v.Name == want.Name; });
        ASSERT_NE(it, parsed.Content.Values.end()) << want.Name;
        EXPECT_EQ(*it, want) << want.Name;
    }

    // And back: the file store's format, imported, is what the registry store reads.
    DeleteKey();
    TRegFileContent content;
    content.Values = {{"Nickname", TRegDataType::String, "Wingman", 0}, {"ShowTray", TRegDataType::DWord, "", 1}};
    const std::filesystem::path back = temp.Path() / "in.reg";
    std::ofstream(back, std::ios::binary) << FormatRegFile(content);
    const std::string imported =
        RunTool(std::wstring(L"reg import \"") + back.wstring() + L"\" /reg:32", temp.Path() / "i.txt", &code);
    ASSERT_EQ(code, 0u) << imported;
    TWinRegistryKey key;
    key.OpenKey();
    EXPECT_EQ(key.ReadString("Nickname"), "Wingman");
    EXPECT_TRUE(key.ReadBool("ShowTray"));
    key.CloseKey();
}

// The entry's choice on Windows: the registry key unless a folder is given, then the file.
TEST_F(WinRegistryKey, TheProgramKeepsItsSettingsInTheKeyOrInAFolderGiven) {
    const TSystemNames names = {"host-1", "pilot"};
    TRandomGenerator random;
    TSettingsPlace own = OpenSettingsPlace("");
    ASSERT_TRUE(own.Key);
    EXPECT_NE(own.Where.find("HKEY_LOCAL_MACHINE\\Software\\Volition\\FreeSpace2\\CorvaneGV"), std::string::npos) << own.Where;
    EXPECT_FALSE(own.Existed);  // first start: the welcome is shown
    TSettings first;
    LoadSettings(*own.Key, first, names, random);
    EXPECT_TRUE(OpenSettingsPlace("").Existed);
    const std::string query = RunTool(std::wstring(L"reg query ") + kView64 + L" /v Nickname", temp.Path() / "q.txt");
    EXPECT_NE(query.find(first.Nickname), std::string::npos) << query;

    const std::filesystem::path folder = temp.Path() / "portable";
    TSettingsPlace given = OpenSettingsPlace(folder.string());
    ASSERT_TRUE(given.Key);
    EXPECT_EQ(given.Where, (folder / "settings.reg").string());
    EXPECT_FALSE(given.Existed);
    TSettings fromFile;
    LoadSettings(*given.Key, fromFile, names, random);
    EXPECT_TRUE(OpenSettingsPlace(folder.string()).Existed);
    std::stringstream text;
    text << std::ifstream(folder / "settings.reg", std::ios::binary).rdbuf();  // closed at once: an open file blocks the next save on Windows
    EXPECT_EQ(text.str().rfind("Windows Registry Editor Version 5.00\r\n", 0), 0u) << testing_support::Escaped(text.str());

    // A change saved in one place does not leak into the other.
    TSettings changed = fromFile;
    changed.Nickname = "Portable";
    SaveSettings(*given.Key, fromFile, changed);
    TSettings reread;
    LoadSettings(*OpenSettingsPlace("").Key, reread, names, random);
    EXPECT_EQ(reread.Nickname, first.Nickname);
    LoadSettings(*OpenSettingsPlace(folder.string()).Key, reread, names, random);
    EXPECT_EQ(reread.Nickname, "Portable");
}
