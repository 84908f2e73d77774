// SPDX-License-Identifier: GPL-3.0-or-later
// A main window on the offscreen platform with settings in memory and answers to its questions.
#pragma once

#include "settings/MemoryRegistryKey.h"
#include "shell/ChatView.h"
#include "shell/CorvaneApplication.h"
#include "shell/GamesPageView.h"
#include "shell/GuardedEventLoop.h"
#include "shell/QtEventLoop.h"
#include "shell/Unit1.h"
#include "support/TestSupport.h"

#include <QTabWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// Records each box and answers with Answer.
class TRecordingBoxes : public TMessageBoxes {
public:
    struct TShown {
        std::string Text, Caption;
        TMsgIcon Icon;
        TMsgButtons Buttons;
        TMsgDefault Default;
    };
    std::vector<TShown> Shown;
    TMsgResult Answer = TMsgResult::Yes;
    // Runs while the box would be open, as events arriving in its own loop would.
    std::function<void()> WhileShown;

    TMsgResult Show(const std::string& text, const std::string& caption, TMsgIcon icon, TMsgButtons buttons,
                    TMsgDefault defaultButton) override {
        Shown.push_back({text, caption, icon, buttons, defaultButton});
        if (WhileShown) WhileShown();
        return Answer;
    }
};

class MainWindowTest : public ::testing::Test {
protected:
    int argc = 1;
    char arg0[10] = "corvanegv";
    char* argv[2] = {arg0, nullptr};
    TCorvaneApplication app{argc, argv};
    TQtEventLoop qtLoop;
    TGuardedEventLoop loop{qtLoop};
    TMemoryRegistryKey key;
    TRecordingBoxes boxes;
    std::function<TDesktopSecrets()> makeSecrets;  // null: the desktop's store
    std::unique_ptr<TCorvaneGVMF> w;

    void SetFlag(const std::string& name, bool on) {
        for (auto& v : key.Stored)
            if (v.Name == name) {
                v.Number = on ? 1 : 0;
                return;
            }
        TRegValue v;
        v.Name = name;
        v.Type = TRegDataType::DWord;
        v.Number = on ? 1 : 0;
        key.Stored.push_back(v);
    }
    void EnableGames(bool fs, bool btrl, bool wcs, bool starfox) {
        SetFlag("FSEnabled", fs);
        SetFlag("BtRLEnabled", btrl);
        SetFlag("WCSEnabled", wcs);
        SetFlag("StarfoxEnabled", starfox);
    }

    // The tracker is a loopback port where nothing listens: each walk fails at once, quietly.
    TCorvaneGVMF& Make(std::vector<std::string> args = {"corvanegv"}) {
        TMainWindowOptions o;
        o.Args = std::move(args);
        o.Tracker = {"127.0.0.1", testing_support::UnusedTcpPort()};
        o.ChatHost = "127.0.0.1";
        o.ChatPort = std::to_string(testing_support::UnusedTcpPort());
        o.StatusPort = 0;
        o.Boxes = &boxes;
        o.MakeSecrets = makeSecrets;
        w = std::make_unique<TCorvaneGVMF>(loop, key, o);
        return *w;
    }

    bool Pump(const std::function<bool()>& pred, int ms = 5000) { return testing_support::WaitFor(qtLoop, pred, ms); }

    bool WalkDone() { return w->Tracker() && w->Tracker()->Idle() && w->Refresh()->tmRefreshGames().Enabled(); }

    std::vector<std::string> ServerViewLines() const {
        std::vector<std::string> lines;
        for (QTextBlock b = w->RichEdit1->document()->begin(); b.isValid(); b = b.next())
            if (!b.text().isEmpty()) lines.push_back(b.text().toStdString());
        return lines;
    }
    // The character format of the last line of the server view.
    QTextCharFormat LastLineFormat() const {
        QTextCursor c(w->RichEdit1->document()->lastBlock());
        c.movePosition(QTextCursor::EndOfBlock);
        return c.charFormat();
    }
};
