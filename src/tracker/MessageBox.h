// TMessageBoxes: how the core asks the user something; the shell shows real boxes, tests record.
#pragma once

#include <string>

// The caption of every message box but the settings dialog's nickname warning.
inline constexpr const char* ApplicationTitle = "Corvane Games Viewer";

enum class TMsgIcon { None, Information, Warning, Error, Question };
enum class TMsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class TMsgResult { Ok, Cancel, Yes, No };

class TMessageBoxes {
public:
    virtual ~TMessageBoxes() = default;
    // Shows a modal box and returns the button the user chose.
    virtual TMsgResult Show(const std::string& text, const std::string& caption, TMsgIcon icon,
                            TMsgButtons buttons) = 0;
};
