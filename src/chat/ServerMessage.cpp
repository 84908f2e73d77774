// TServerMessages: welcome, JOIN, names reply and the generic rule.
#include "chat/ServerMessage.h"

#include <ctime>

std::string SenderOf(const std::string& prefix) {
    if (prefix.size() < 2) return {};
    const std::size_t bang = prefix.find('!', 1);
    return prefix.substr(1, bang == std::string::npos ? std::string::npos : bang - 1);
}

std::string TServerMessages::Now() const {
    if (TimeText) return TimeText();
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

void TServerMessages::IRCCli1ServerMessage(TIRCCli&, const std::string& APrefix, const std::string& ACommand,
                                           const std::vector<std::string>& Parameters) {
    const auto& p = Parameters;
    if (ACommand == "366" || ACommand == "PING") return;
    if (ACommand == "001") {
        client_.SendLine(std::string("JOIN ") + LobbyChannel);
        conversations_.AddLineToRichEdit("", p.at(0), LineClass::Info);
        return;
    }
    if (ACommand == "353") {
        NamesReply(p.at(2), p.at(3));
        return;
    }
    if (ACommand == "JOIN") {
        const std::string& channel = p.at(0);
        const std::string nick = SenderOf(APrefix);
        conversations_.AddLineToRichEdit(channel, nick + " has joined at " + Now(), LineClass::Event);
        const int row = conversations_.FindRow(channel);
        if (row < 0) return;
        TUserList* list = conversations_.Row(row).UserList.get();
        if (list && LVFindItem(*list, nick) < 0) list->Add(nick);
        return;
    }
    Generic(ACommand, p);
}

void TServerMessages::NamesReply(const std::string& channel, const std::string& names) {
    const int row = conversations_.FindRow(channel);
    if (row < 0) return;
    TUserList* list = conversations_.Row(row).UserList.get();
    if (!list) return;
    std::vector<std::string> captions;
    std::string name;
    for (char c : names) {
        if (c != ' ') {
            name += c;
            continue;
        }
        // Two blanks in a row, or a blank at the end, name nobody.
        if (!name.empty()) captions.push_back(name);
        name.clear();
    }
    if (!name.empty()) captions.push_back(name);
    list->Fill(std::move(captions));
}

void TServerMessages::Generic(const std::string& command, const std::vector<std::string>& parameters) {
    std::string text;
    for (std::size_t i = 1; i < parameters.size(); ++i) {
        if (i > 1) text += ' ';
        text += parameters[i];
    }
    bool numeric = !command.empty();
    for (char c : command)
        if (c < '0' || c > '9') numeric = false;
    if (!numeric && command != "NOTICE") text = command + ":   " + text;
    if (!text.empty()) conversations_.AddLineToRichEdit("", text, LineClass::Info);
}
