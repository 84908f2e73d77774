// SPDX-License-Identifier: GPL-3.0-or-later
// TTrackerPage: the settings dialog's "Tracker" page: where the game tracker is.
#pragma once

#include <QWidget>

#include <string>

class QLabel;
class QLineEdit;
class QSpinBox;

class TTrackerPage final : public QWidget {
public:
    explicit TTrackerPage(QWidget* parent = nullptr);

    // Fills the fields from the settings' "Tracker"; inUse names the tracker this run asks
    // when the command line chose another one (empty otherwise).
    void Fill(const std::string& tracker, const std::string& overriddenBy);
    // "ADDR:BASEPORT" as typed; Check says whether it is one, and why not.
    std::string Text() const;
    bool Check(std::string& error) const;

    QLineEdit* lbeTrackerAddress = nullptr;
    QSpinBox* seTrackerPort = nullptr;
    QLabel* lbTrackerInUse = nullptr;
};
