// SPDX-License-Identifier: GPL-3.0-or-later
// The program starter on Linux: Qt's detached processes.
#include "shell/QtProgramStarter.h"
#include "shell/SystemStarter.h"

std::unique_ptr<TProgramStarter> MakeSystemStarter() { return std::make_unique<TQtProgramStarter>(); }
