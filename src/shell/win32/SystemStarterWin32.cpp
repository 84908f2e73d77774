// SPDX-License-Identifier: GPL-3.0-or-later
// The program starter on Windows: CreateProcessW. No Qt here, so the core's cross build tests it.
#include "shell/SystemStarter.h"
#include "tracker/win32/WinProgramStarter.h"

std::unique_ptr<TProgramStarter> MakeSystemStarter() { return std::make_unique<TWinProgramStarter>(); }
