// SPDX-License-Identifier: GPL-3.0-or-later
// The socket and protocol tests' loop in the programs without Qt: poll(2).
#include "net/PollEventLoop.h"
#include "support/TestLoop.h"

std::unique_ptr<TEventLoop> testing_support::MakeTestLoop() { return std::make_unique<TPollEventLoop>(); }
