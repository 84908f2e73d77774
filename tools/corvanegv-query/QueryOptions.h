// The command line of corvanegv-query.
#pragma once

#include <string>
#include <vector>

struct TServerArg {
    std::string Host;  // as given
    int Port = 0;
};

struct TQueryOptions {
    std::vector<TServerArg> Servers;
    double TimeoutSeconds = 3.0;
    bool Json = false;
    int LocalPort = 0;  // 0: an ephemeral port
    bool Help = false;
};

extern const char* const QueryUsage;

// Fills options from the arguments after the program name; false with a message in error
// when an argument is wrong or no server is named.
bool ParseQueryOptions(const std::vector<std::string>& args, TQueryOptions& options, std::string& error);
