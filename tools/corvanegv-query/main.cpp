// SPDX-License-Identifier: GPL-3.0-or-later
// corvanegv-query: asks game servers for their status and prints what the games page would list.
#include "QueryOptions.h"
#include "QueryRun.h"
#include "shell/CommandLine.h"

#include <iostream>

int main(int argc, char** argv) {
    TQueryOptions options;
    std::string error;
    if (!ParseQueryOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::cerr << "corvanegv-query: " << error << "\n"
                  << "Try 'corvanegv-query --help'.\n";
        return 2;
    }
    if (options.Help) {
        std::cout << QueryUsage;
        return 0;
    }
    if (options.Version) {
        std::cout << "corvanegv-query " << ProgramVersion << "\n";
        return 0;
    }
    return RunQuery(options, std::cout, std::cerr);
}
