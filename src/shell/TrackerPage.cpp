// SPDX-License-Identifier: GPL-3.0-or-later
// TTrackerPage: an address and a base port, the same pair the --tracker option takes.
#include "shell/TrackerPage.h"

#include "tracker/TrackerAddress.h"

#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

namespace {

QString Local(const std::string& s) { return QString::fromLocal8Bit(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

TTrackerPage::TTrackerPage(QWidget* parent) : QWidget(parent) {
    auto* label = new QLabel("Tracker address (IPv4 or host name):", this);
    label->move(8, 8);
    label->adjustSize();
    lbeTrackerAddress = new QLineEdit(this);
    lbeTrackerAddress->setObjectName("lbeTrackerAddress");
    lbeTrackerAddress->setGeometry(8, 28, 256, 21);
    label->setBuddy(lbeTrackerAddress);
    auto* portLabel = new QLabel("Base port:", this);
    portLabel->move(280, 8);
    portLabel->adjustSize();
    seTrackerPort = new QSpinBox(this);
    seTrackerPort->setObjectName("seTrackerPort");
    seTrackerPort->setGeometry(280, 28, 80, 21);
    // The four game types are asked on the base port and the three above it.
    seTrackerPort->setRange(1, 65532);
    portLabel->setBuddy(seTrackerPort);
    auto* help = new QLabel("FreeSpace 2 is asked on the base port, Beyond the Red Line Demo on the next one, "
                            "Wing Commander Saga and Starfox on the two after it.",
                            this);
    help->setWordWrap(true);
    help->setGeometry(8, 60, 380, 40);
    lbTrackerInUse = new QLabel(this);
    lbTrackerInUse->setObjectName("lbTrackerInUse");
    lbTrackerInUse->setWordWrap(true);
    lbTrackerInUse->setGeometry(8, 108, 380, 40);
}

void TTrackerPage::Fill(const std::string& tracker, const std::string& overriddenBy) {
    TTrackerAddress parsed;
    std::string error;
    if (!ParseTrackerAddress(tracker, parsed, error)) parsed = DefaultTrackerAddress();
    lbeTrackerAddress->setText(Local(parsed.Addr));
    seTrackerPort->setValue(parsed.BasePort);
    lbTrackerInUse->setText(overriddenBy.empty()
                                ? QString()
                                : "This run asks " + Local(overriddenBy) +
                                      " (--tracker) until the tracker here is changed.");
}

std::string TTrackerPage::Text() const {
    return lbeTrackerAddress->text().trimmed().toLocal8Bit().toStdString() + ":" +
           std::to_string(seTrackerPort->value());
}

bool TTrackerPage::Check(std::string& error) const {
    const std::string address = lbeTrackerAddress->text().trimmed().toLocal8Bit().toStdString();
    if (!IsHostOrIPv4(address)) {
        error = "The game tracker needs an IPv4 address (as in 203.0.113.7) or a host name, not \"" + address + "\".";
        return false;
    }
    TTrackerAddress parsed;
    return ParseTrackerAddress(Text(), parsed, error);
}
