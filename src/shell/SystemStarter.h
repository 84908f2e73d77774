// SPDX-License-Identifier: GPL-3.0-or-later
// The program starter of this system; one back end file per platform.
#pragma once

#include "tracker/ProgramStarter.h"

#include <memory>

// Linux: detached processes through Qt, Windows programs through wine. Windows: CreateProcessW.
std::unique_ptr<TProgramStarter> MakeSystemStarter();
