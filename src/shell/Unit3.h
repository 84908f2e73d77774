// TfrmAbout: the about box with the program's name, version and two links.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPointer>

#include <functional>
#include <string>

// Opens a link (the chat's OpenURL once the window hands it in).
using TOpenUrl = std::function<void(const std::string& link)>;

class TfrmAbout final : public QDialog {
public:
    static constexpr const char* kTitle = "Corvane Games Viewer v1.01";
    static constexpr const char* kAuthor = "Corvane Games Viewer developers";
    static constexpr const char* kMail = "corvanegv@example.org";
    static constexpr const char* kWeb = "http://www.example.org/corvanegv/";

    // Modeless, on top, destroyed when closed. An empty openUrl falls back to OpenLinkOnDesktop.
    explicit TfrmAbout(QWidget* owner = nullptr, TOpenUrl openUrl = {});

    void MailLinkClick();
    void WebLinkClick();

    QLabel* lbTitle = nullptr;
    QLabel* lbMail = nullptr;
    QLabel* lbWeb = nullptr;

private:
    void FormCreate();
    TOpenUrl openUrl_;
};

// Shows the box, creating it first when the mark is empty; the mark clears itself when the box
// closes, so a box exists at most once and a second call only brings it forward.
TfrmAbout* ShowAboutBox(QPointer<TfrmAbout>& mark, QWidget* owner, TOpenUrl openUrl = {});

// Whether a link is one the desktop may be handed: http, https or mailto, any letter case.
bool DesktopMayOpen(const std::string& link);

// Hands a link the desktop may open to its URL handler; anything else is dropped.
void OpenLinkOnDesktop(const std::string& link);
