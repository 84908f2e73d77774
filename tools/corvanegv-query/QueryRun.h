// SPDX-License-Identifier: GPL-3.0-or-later
// One run of corvanegv-query: ask the servers through the games page and print its rows.
#pragma once

#include "QueryOptions.h"

#include <ostream>

// Returns the exit status: 0 when the query ran, 1 when the local port cannot be bound or a
// server's host cannot be resolved.
int RunQuery(const TQueryOptions& options, std::ostream& out, std::ostream& err);
