// SPDX-License-Identifier: GPL-3.0-or-later
// The drawn icons: sizes, the message image's black square with cut corners, distinct mode icons.
#include "shell/Icons.h"
#include "TrayTestSupport.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {

class IconsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { tray_test::TQtApp::Start(); }
    static void TearDownTestSuite() { tray_test::TQtApp::Stop(); }

    static QImage Image(const QIcon& icon) {
        return icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
    }
};

}  // namespace

TEST_F(IconsTest, TrayImagesAreTheSamePictureWithAndWithoutTheBlackSquare) {
    const auto images = TrayImages();
    ASSERT_EQ(images.size(), 2u);
    const QImage normal = Image(images[0]), message = Image(images[1]);
    ASSERT_EQ(normal.size(), QSize(16, 16));
    ASSERT_EQ(message.size(), QSize(16, 16));
    // Corners: transparent in both (the square's corners are cut).
    for (QPoint c : {QPoint(0, 0), QPoint(15, 0), QPoint(0, 15), QPoint(15, 15)}) {
        EXPECT_EQ(qAlpha(normal.pixel(c)), 0) << c.x() << "," << c.y();
        EXPECT_EQ(qAlpha(message.pixel(c)), 0) << c.x() << "," << c.y();
    }
    // Edge middles: transparent around the normal picture, black on the message square.
    for (QPoint e : {QPoint(0, 8), QPoint(8, 15)}) {
        EXPECT_EQ(qAlpha(normal.pixel(e)), 0);
        EXPECT_EQ(message.pixel(e), qRgba(0, 0, 0, 255));
    }
    // Where the picture is drawn, both images agree.
    int picturePixels = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            if (qAlpha(normal.pixel(x, y)) == 255) {
                ++picturePixels;
                EXPECT_EQ(normal.pixel(x, y), message.pixel(x, y)) << x << "," << y;
            }
    EXPECT_GT(picturePixels, 20);
    EXPECT_TRUE(TrayImage(2).isNull());
}

TEST_F(IconsTest, ThreeDistinctGreenModeIcons) {
    QImage img[3];
    for (int i = 0; i < 3; ++i) {
        img[i] = Image(ModeIcon(i));
        ASSERT_EQ(img[i].size(), QSize(16, 16));
        int green = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const QRgb p = img[i].pixel(x, y);
                if (qAlpha(p) == 255 && qGreen(p) > 2 * qRed(p) && qGreen(p) > 2 * qBlue(p)) ++green;
            }
        EXPECT_GT(green, 30) << "icon " << i;
    }
    EXPECT_NE(img[0], img[1]);
    EXPECT_NE(img[1], img[2]);
    EXPECT_NE(img[0], img[2]);
    EXPECT_TRUE(ModeIcon(3).isNull());
    EXPECT_TRUE(ModeIcon(-1).isNull());
}
