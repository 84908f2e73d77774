// SPDX-License-Identifier: GPL-3.0-or-later
// TQtMessageBoxes: modal QMessageBox with the asked icon and buttons.
#include "shell/QtMessageBoxes.h"

#include <QMessageBox>

#include <vector>

TMsgResult TQtMessageBoxes::Show(const std::string& text, const std::string& caption, TMsgIcon icon,
                                 TMsgButtons buttons, TMsgDefault defaultButton) {
    QMessageBox box(owner_);
    box.setWindowTitle(QString::fromLocal8Bit(caption.data(), static_cast<qsizetype>(caption.size())));
    // Plain text: a message may quote what came from the network.
    box.setTextFormat(Qt::PlainText);
    box.setText(QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size())));
    switch (icon) {
    case TMsgIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case TMsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    case TMsgIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case TMsgIcon::Error: box.setIcon(QMessageBox::Critical); break;
    case TMsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    }
    switch (buttons) {
    case TMsgButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case TMsgButtons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case TMsgButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case TMsgButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    // The buttons from the left, as the default choice counts them.
    std::vector<QMessageBox::StandardButton> order;
    switch (buttons) {
    case TMsgButtons::Ok: order = {QMessageBox::Ok}; break;
    case TMsgButtons::OkCancel: order = {QMessageBox::Ok, QMessageBox::Cancel}; break;
    case TMsgButtons::YesNo: order = {QMessageBox::Yes, QMessageBox::No}; break;
    case TMsgButtons::YesNoCancel: order = {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel}; break;
    }
    const auto chosen = static_cast<std::size_t>(defaultButton);
    box.setDefaultButton(order[chosen < order.size() ? chosen : 0]);
    if (OnShowing) OnShowing(box);
    switch (box.exec()) {
    case QMessageBox::Yes: return TMsgResult::Yes;
    case QMessageBox::No: return TMsgResult::No;
    case QMessageBox::Cancel: return TMsgResult::Cancel;
    case QMessageBox::Ok: return TMsgResult::Ok;
    }
    // Closed with Escape or the close box: the answer that changes nothing.
    switch (buttons) {
    case TMsgButtons::Ok: return TMsgResult::Ok;
    case TMsgButtons::YesNo: return TMsgResult::No;
    default: return TMsgResult::Cancel;
    }
}
