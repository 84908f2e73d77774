// SPDX-License-Identifier: GPL-3.0-or-later
// TMessageBoxes: how the core asks the user something; the shell shows real boxes, tests record.
#pragma once

#include <string>

// The caption of every message box but the settings dialog's nickname warning.
inline constexpr const char* ApplicationTitle = "Corvane Games Viewer";

enum class TMsgIcon { None, Information, Warning, Error, Question };
enum class TMsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class TMsgResult { Ok, Cancel, Yes, No };
// Which of the box's buttons, counted from the left, Enter presses at first.
enum class TMsgDefault { First, Second, Third };

class TMessageBoxes {
public:
    virtual ~TMessageBoxes() = default;
    // Shows a modal box and returns the button the user chose. Closing the box without a
    // button answers No, Cancel or Ok: the answer that changes nothing.
    virtual TMsgResult Show(const std::string& text, const std::string& caption, TMsgIcon icon,
                            TMsgButtons buttons, TMsgDefault defaultButton = TMsgDefault::First) = 0;
};
