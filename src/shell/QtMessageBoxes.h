// TQtMessageBoxes: the core's message boxes shown as QMessageBox, owned by a window.
#pragma once

#include "tracker/MessageBox.h"

#include <QPointer>
#include <QWidget>

class TQtMessageBoxes : public TMessageBoxes {
public:
    explicit TQtMessageBoxes(QWidget* owner = nullptr) : owner_(owner) {}
    void SetOwner(QWidget* owner) { owner_ = owner; }
    TMsgResult Show(const std::string& text, const std::string& caption, TMsgIcon icon,
                    TMsgButtons buttons) override;

private:
    QPointer<QWidget> owner_;
};
