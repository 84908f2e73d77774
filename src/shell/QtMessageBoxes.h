// SPDX-License-Identifier: GPL-3.0-or-later
// TQtMessageBoxes: the core's message boxes shown as QMessageBox, owned by a window.
#pragma once

#include "tracker/MessageBox.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include <functional>

class TQtMessageBoxes : public TMessageBoxes {
public:
    explicit TQtMessageBoxes(QWidget* owner = nullptr) : owner_(owner) {}
    void SetOwner(QWidget* owner) { owner_ = owner; }
    TMsgResult Show(const std::string& text, const std::string& caption, TMsgIcon icon,
                    TMsgButtons buttons, TMsgDefault defaultButton) override;
    // Raised with the box just before it runs, so tests can answer it with keys.
    std::function<void(QMessageBox& box)> OnShowing;

private:
    QPointer<QWidget> owner_;
};
