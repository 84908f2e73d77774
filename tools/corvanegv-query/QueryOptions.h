// SPDX-License-Identifier: GPL-3.0-or-later
// The command line of corvanegv-query.
#pragma once

#include "tracker/TrackerAddress.h"

#include <string>
#include <vector>

struct TServerArg {
    std::string Host;  // as given
    int Port = 0;
};

struct TQueryOptions {
    std::vector<TServerArg> Servers;
    bool UseTracker = false;
    TTrackerAddress Tracker;
    std::vector<int> Games{0};  // game types to walk, in code order; FreeSpace 2 as a fresh install
    double TimeoutSeconds = 3.0;
    bool Json = false;
    bool Timing = false;  // print how long listing took, for the benchmarks
    int LocalPort = 0;  // 0: an ephemeral port
    bool Help = false;
    bool Version = false;
};

extern const char* const QueryUsage;

// Fills options from the arguments after the program name; false with a message in error
// when an argument is wrong or neither a server nor a tracker is named.
bool ParseQueryOptions(const std::vector<std::string>& args, TQueryOptions& options, std::string& error);
