// SPDX-License-Identifier: GPL-3.0-or-later
// Drawing of the program's icons with QPainter, so no image files need to be shipped.
#include "shell/Icons.h"

#include <QPainter>
#include <QImage>
#include <QPolygonF>

namespace {

const QColor kRing(70, 140, 255);
const QColor kShip(255, 170, 20);
const QColor kModeFill(0, 170, 0);
const QColor kModeEdge(0, 90, 0);

QPixmap Transparent(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    return pm;
}

// The picture drawn in a 16-unit square scaled to the painter's size.
void PaintProgramPicture(QPainter& p, int size) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    // An open ring, the C of the name, around a small craft heading out through the gap.
    QPen ring(kRing, 2.2, Qt::SolidLine, Qt::RoundCap);
    p.setPen(ring);
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(2.2, 2.2, 11.6, 11.6), 40 * 16, 280 * 16);
    QPolygonF ship;
    ship << QPointF(14.6, 8.0) << QPointF(6.0, 4.6) << QPointF(8.2, 8.0) << QPointF(6.0, 11.4);
    p.setPen(QPen(kShip.darker(140), 0.6));
    p.setBrush(kShip);
    p.drawPolygon(ship);
    p.restore();
}

// The mode icons as pixel art: at 16 x 16 hand-placed pixels stay crisper than scaled shapes.
// '#' edge, 'o' fill, '.' transparent. 1 is two formations of three, each led by the inner one.
const char* const kModeArt[3][16] = {
    {  // 0
        "................",
        "................",
        "................",
        "#....#....#.....",
        "##...##...##....",
        "#o#..#o#..#o#...",
        "#oo#.#oo#.#oo#..",
        "#ooo##ooo##ooo#.",
        "#oo#.#oo#.#oo#..",
        "#o#..#o#..#o#...",
        "##...##...##....",
        "#....#....#.....",
        "................",
        "................",
        "................",
        "................",
    },
    {  // 1
        "#..............#",
        "##............##",
        "#o#..........#o#",
        "#oo#........#oo#",
        "#o#.#......#.#o#",
        "##..##....##..##",
        "#...#o#..#o#...#",
        "....#oo##oo#....",
        "....#o#..#o#....",
        "#...##....##...#",
        "##..#......#..##",
        "#o#..........#o#",
        "#oo#........#oo#",
        "#o#..........#o#",
        "##............##",
        "#..............#",
    },
    {  // 2
        "................",
        "...##########...",
        "....#oooooo#....",
        ".#...#oooo#...#.",
        ".##...#oo#...##.",
        ".#o#...##...#o#.",
        ".#oo#......#oo#.",
        ".#ooo#....#ooo#.",
        ".#ooo#....#ooo#.",
        ".#oo#......#oo#.",
        ".#o#...##...#o#.",
        ".##...#oo#...##.",
        ".#...#oooo#...#.",
        "....#oooooo#....",
        "...##########...",
        "................",
    },
};

QPixmap ModePixmap(int index) {
    QImage img(16, 16, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const char c = kModeArt[index][y][x];
            if (c == '#') img.setPixelColor(x, y, kModeEdge);
            if (c == 'o') img.setPixelColor(x, y, kModeFill);
        }
    return QPixmap::fromImage(img);
}

QPixmap MessagePixmap() {
    QPixmap pm = Transparent(16);
    QPainter p(&pm);
    // Black square with its corners cut, drawn on whole pixels so the cuts stay crisp.
    QPolygon square;
    square << QPoint(3, 0) << QPoint(13, 0) << QPoint(16, 3) << QPoint(16, 13) << QPoint(13, 16) << QPoint(3, 16)
           << QPoint(0, 13) << QPoint(0, 3);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawPolygon(square);
    PaintProgramPicture(p, 16);
    return pm;
}

}  // namespace

QPixmap ProgramPicture(int size) {
    QPixmap pm = Transparent(size);
    QPainter p(&pm);
    PaintProgramPicture(p, size);
    return pm;
}

QIcon TrayImage(int index) {
    if (index == 0) return QIcon(ProgramPicture(16));
    if (index == 1) return QIcon(MessagePixmap());
    return {};
}

std::vector<QIcon> TrayImages() { return {TrayImage(0), TrayImage(1)}; }

QIcon ModeIcon(int index) {
    if (index < 0 || index > 2) return {};
    return QIcon(ModePixmap(index));
}

QIcon WindowIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128}) icon.addPixmap(ProgramPicture(size));
    return icon;
}

QIcon PlayingMark() {
    QPixmap pm = Transparent(16);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPolygonF ship;
    ship << QPointF(15.0, 8.0) << QPointF(3.0, 3.2) << QPointF(6.2, 8.0) << QPointF(3.0, 12.8);
    p.setPen(QPen(kShip.darker(160), 0.8));
    p.setBrush(kShip);
    p.drawPolygon(ship);
    p.end();
    return QIcon(pm);
}
