// SPDX-License-Identifier: GPL-3.0-or-later
// TfrmAbout: the about box with the program's name, version and two links.
#pragma once

#include "shell/Identity.h"

#include <QDialog>
#include <QLabel>
#include <QPointer>

#include <functional>
#include <string>

// Opens a link; by default the chat's OpenURL with the desktop's URL handler.
using TOpenUrl = std::function<void(const std::string& link)>;

class TfrmAbout final : public QDialog {
public:
    static constexpr const char* kTitle = "Corvane Games Viewer v1.01";
    static constexpr const char* kAuthor = "Corvane GV team";
    static constexpr const char* kMail = "corvanegv@example.org";
    static constexpr const char* kWeb = Homepage;
    static constexpr const char* kLicence = "Free software: GNU GPL version 3 or later";

    // Modeless, on top, destroyed when closed. An empty openUrl means OpenURL on the desktop.
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
