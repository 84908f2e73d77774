// TChatSession: connect and disconnect, the status lines and the registration line.
#include "chat/ChatSession.h"

namespace {

// The full name is the user's own text, but a line break in it would end the line early and
// send the rest to the server as a command of its own.
std::string OneLine(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != '\r' && c != '\n' && c != '\0') out += c;
    return out;
}

}  // namespace

TChatSession::TChatSession(TIRCCli& client, TConversations& conversations, TSettings& settings,
                           TRandomGenerator& random, std::string host, std::string port)
    : client_(client), conversations_(conversations), settings_(settings), random_(random), host_(std::move(host)),
      port_(std::move(port)) {}

std::string TChatSession::RealNameText() const {
    return std::string("CorvaneGV v") + ChatVersionText + " - " + OneLine(settings_.FullName);
}

std::string TChatSession::RegistrationLine(const std::string& r1, const std::string& r2,
                                           const std::string& r3) const {
    return "USER GV" + r1 + " \"GV" + r2 + ".GV" + r3 + "\" \"" + host_ + "\" :" + RealNameText();
}

std::string TChatSession::LoginNick() const {
    // After the server gave us a changed nickname the user still wants the one they chose.
    if (client_.Nick() != client_.WantedNick() && settings_.Nickname == client_.Nick()) return client_.WantedNick();
    return settings_.Nickname;
}

void TChatSession::btnChatConnectionClick() {
    if (client_.Connected()) {
        Disconnect();
        return;
    }
    // Still connecting: the button is disabled, but the first activation clicks in code.
    if (client_.Active()) return;
    TChatPageView& view = conversations_.View();
    view.SetConnectButton("Connect", false);
    try {
        client_.SetNick(LoginNick());
        client_.SetRealName(RealNameText());
        client_.SetHost(host_);
        client_.SetPort(port_);
        conversations_.SetTabLabel(0, host_);
        conversations_.AddLineToRichEdit("", "Connecting to " + host_ + ":" + port_, LineClass::Status);
        client_.Connect();
    } catch (...) {
        // The client is idle again after a failed start; so is the button, and the user can
        // try once more. The error itself goes on to the application's handler.
        if (client_.Active()) {
            try {
                client_.Disconnect();
            } catch (...) {
            }
        }
        view.SetConnectButton("Connect", true);
        throw;
    }
}

void TChatSession::Disconnect() { client_.Disconnect(); }

void TChatSession::WriteEverywhere(const std::string& text) {
    conversations_.AddLineToRichEdit("", text, LineClass::Status);
    // Straight to each row's view: writing by name would bring back the tabs the user closed.
    for (int i = 0; i < conversations_.RowCount(); ++i) {
        TConversation& c = conversations_.Row(i);
        try {
            c.View->AppendLine(text, LineClass::Status.Style, LineClass::Status.Colour);
        } catch (...) {
        }
    }
}

void TChatSession::IRCCli1SessionConnected(TIRCCli&, std::uint16_t) {
    conversations_.View().SetConnectButton("Disconnect", true);
    WriteEverywhere("Connected to " + host_ + ":" + port_);
    const std::string r1 = RandomNumberText(random_);
    const std::string r2 = RandomNumberText(random_);
    const std::string r3 = RandomNumberText(random_);
    client_.SendLine(RegistrationLine(r1, r2, r3));
}

void TChatSession::IRCCli1SessionClosed(TIRCCli&, std::uint16_t) {
    conversations_.View().SetConnectButton("Connect", true);
    WriteEverywhere("Disconnected from " + host_ + ":" + port_);
    for (int i = 0; i < conversations_.RowCount(); ++i) {
        TConversation& c = conversations_.Row(i);
        if (c.UserList) c.UserList->Clear();
    }
}
