// SPDX-License-Identifier: GPL-3.0-or-later
// The chat page's widgets laid out as the main window lays them, on the Qt loop, for tests.
#pragma once

#include "shell/ChatPage.h"
#include "shell/ChatView.h"
#include "shell/QtEventLoop.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

class TChatPageFixture : public ::testing::Test {
protected:
    TChatPageFixture() {
        client.resize(803, 388);
        strip->addTab("<Server>");
        strip->setGeometry(7, 32, 785, strip->sizeHint().height());
        server->setGeometry(8, 56, 785, 281);
        edit->setGeometry(4, 350, 642, 25);
        button->setGeometry(653, 350, 136, 25);
        settings.Nickname = "Ann";
        settings.FullName = "Tester";
        client.show();
    }
    // The page goes before the widgets and the client it binds.
    ~TChatPageFixture() override { page.reset(); }

    bool Pump(const std::function<bool()>& pred, int ms = 5000) { return testing_support::WaitFor(loop, pred, ms); }

    int argc = 1;
    char arg0[8] = "test";
    char* argv[2] = {arg0, nullptr};
    QApplication app{argc, argv};
    TQtEventLoop loop;
    TIRCCli irc{loop};
    QWidget client;
    QTabBar* strip = new QTabBar(&client);
    TChatView* server = new TChatView(&client);
    QLineEdit* edit = new QLineEdit(&client);
    QPushButton* button = new QPushButton("Connect", &client);
    TSettings settings;
    TRandomGenerator random;
    std::unique_ptr<TChatPage> page;
};
