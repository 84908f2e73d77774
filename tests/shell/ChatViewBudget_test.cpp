// SPDX-License-Identifier: GPL-3.0-or-later
// All chat views together under one budget of lines, the shown view kept whole.
#include "shell/ChatViewBudget.h"

#include "shell/ChatView.h"

#include <QApplication>
#include <QTextBlock>
#include <QTextDocument>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

void Fill(TChatView& view, const std::string& name, int lines) {
    for (int i = 0; i < lines; ++i) view.AppendLine(name + " " + std::to_string(i), TFontStyle::Regular, {0, 0, 0});
}

}  // namespace

TEST(ChatViewBudget, ManyFilledViewsStayUnderTheBudgetTheLargestTrimmedFirstAndTheShownViewKeptWhole) {
    int argc = 1;
    char arg0[8] = "test";
    char* argv[2] = {arg0, nullptr};
    QApplication app(argc, argv);
    QWidget window;
    window.resize(600, 400);
    TChatViewBudget budget(2000);

    auto* shown = new TChatView(&window);
    budget.Add(*shown);
    std::vector<TChatView*> hidden;
    for (int i = 0; i < 20; ++i) {
        hidden.push_back(new TChatView(&window));
        hidden.back()->setVisible(false);
        budget.Add(*hidden.back());
    }
    window.show();
    Fill(*shown, "shown", 300);
    Fill(*hidden[0], "big", 1500);
    for (std::size_t i = 1; i < hidden.size(); ++i) Fill(*hidden[i], "h" + std::to_string(i), 150);
    // A view that goes away takes its lines out of the count.
    auto* closed = new TChatView(&window);
    closed->setVisible(false);
    budget.Add(*closed);
    Fill(*closed, "closed", 1000);
    closed->Flush();
    delete closed;
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();

    int total = shown->document()->blockCount(), largestSmall = 0;
    for (std::size_t i = 0; i < hidden.size(); ++i) {
        const QTextDocument* doc = hidden[i]->document();
        total += doc->blockCount();
        const std::string name = i == 0 ? "big" : "h" + std::to_string(i);
        EXPECT_EQ(doc->lastBlock().text().toStdString(), name + (i == 0 ? " 1499" : " 149")) << "newest line kept";
        if (i > 0) largestSmall = std::max(largestSmall, doc->blockCount());
    }
    EXPECT_LE(total, budget.Limit());
    EXPECT_GT(total, budget.Limit() / 2) << "trimmed far more than needed";
    EXPECT_LE(hidden[0]->document()->blockCount(), largestSmall) << "the largest view goes first";
    EXPECT_EQ(shown->document()->blockCount(), 300);
    EXPECT_EQ(shown->document()->firstBlock().text(), "shown 0");

    // More lines later: still under the budget, the shown view still whole.
    Fill(*hidden[5], "later", 2000);
    Fill(*shown, "more", 100);
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    total = 0;
    for (TChatView* v : hidden) total += v->document()->blockCount();
    EXPECT_LE(total + shown->document()->blockCount(), budget.Limit());
    EXPECT_EQ(shown->document()->blockCount(), 400);
    EXPECT_EQ(hidden[5]->document()->lastBlock().text(), "later 1999");
}
