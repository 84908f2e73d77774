// SPDX-License-Identifier: GPL-3.0-or-later
// The about box: its texts and frame, the two links, and existing at most once.
#include "shell/Unit3.h"
#include "TrayTestSupport.h"

#include <QMouseEvent>
#include <QPointer>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class AboutBoxTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { tray_test::TQtApp::Start(); }
    static void TearDownTestSuite() { tray_test::TQtApp::Stop(); }

    TOpenUrl Recorder() {
        return [this](const std::string& link) { opened.push_back(link); };
    }

    static void LeftClick(QWidget* w) {
        const QPointF at(2, 2);
        QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        QCoreApplication::sendEvent(w, &press);
        QCoreApplication::sendEvent(w, &release);
    }

    std::vector<std::string> opened;
};

}  // namespace

TEST_F(AboutBoxTest, FrameAndTitle) {
    QPointer<TfrmAbout> mark;
    TfrmAbout* box = ShowAboutBox(mark, nullptr, Recorder());
    EXPECT_EQ(box->windowTitle(), "About...");
    EXPECT_EQ(box->size(), QSize(314, 240));
    EXPECT_EQ(box->minimumSize(), box->maximumSize());
    EXPECT_TRUE(box->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(box->isModal());
    EXPECT_EQ(box->lbTitle->text(), "Corvane Games Viewer v1.01");
    EXPECT_EQ(box->lbTitle->geometry(), QRect(0, 0, 313, 24));
    EXPECT_EQ(box->lbMail->pos(), QPoint(32, 96));
    EXPECT_EQ(box->lbWeb->pos(), QPoint(32, 144));
    EXPECT_EQ(box->findChildren<QLabel*>().last()->text(), "Free software: GNU GPL version 3 or later");
    for (const QLabel* l : box->findChildren<QLabel*>())  // nothing cut off at the fixed size
        EXPECT_LE(l->geometry().right(), 313) << l->text().toStdString();
    box->close();
}

TEST_F(AboutBoxTest, LinksOpenMailtoAndTheWebPage) {
    QPointer<TfrmAbout> mark;
    TfrmAbout* box = ShowAboutBox(mark, nullptr, Recorder());
    LeftClick(box->lbMail);
    LeftClick(box->lbWeb);
    EXPECT_EQ(opened, (std::vector<std::string>{std::string("mailto:") + TfrmAbout::kMail, TfrmAbout::kWeb}));
    EXPECT_EQ(box->lbMail->text().toStdString(), TfrmAbout::kMail);
    box->close();
}

TEST_F(AboutBoxTest, ExistsAtMostOnceAndGoesWhenClosed) {
    QWidget owner;
    QPointer<TfrmAbout> mark;
    TfrmAbout* first = ShowAboutBox(mark, &owner, Recorder());
    EXPECT_EQ(ShowAboutBox(mark, &owner, Recorder()), first);
    EXPECT_EQ(owner.findChildren<TfrmAbout*>().size(), 1);

    first->close();
    ASSERT_TRUE(tray_test::WaitUntil([&] { return mark.isNull(); }));  // destroyed, the mark cleared
    EXPECT_TRUE(owner.findChildren<TfrmAbout*>().isEmpty());

    TfrmAbout* second = ShowAboutBox(mark, &owner, Recorder());
    EXPECT_FALSE(mark.isNull());
    EXPECT_EQ(second->lbTitle->text(), "Corvane Games Viewer v1.01");
    second->close();
}
