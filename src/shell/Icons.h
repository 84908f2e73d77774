// SPDX-License-Identifier: GPL-3.0-or-later
// The program's pictures, drawn in code: the tray images, the game lists' mode icons, the window icon.
#pragma once

#include <QIcon>
#include <QPixmap>

#include <vector>

// The program's picture on a transparent background, size x size pixels.
QPixmap ProgramPicture(int size);

// Tray image 0 is the program's picture; 1 is the same picture on a black square with cut
// corners, shown while a message waits. Both 16 x 16. Any other index gives a null icon.
QIcon TrayImage(int index);
std::vector<QIcon> TrayImages();

// The game lists' 16 x 16 mode icons (green): 0 three arrowheads pointing right, 1 two groups
// of three facing each other, 2 four pointing in to the centre. Any other index: null icon.
QIcon ModeIcon(int index);

// The mark beside a player in the lobby's user list who went to play a game lately: the
// picture's small craft alone, 16 x 16.
QIcon PlayingMark();

// The program's picture in the sizes a window manager or taskbar asks for.
QIcon WindowIcon();
