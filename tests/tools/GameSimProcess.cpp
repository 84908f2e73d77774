// SPDX-License-Identifier: GPL-3.0-or-later
// Child-process handling for the game-server simulator in tests.
#include "tools/GameSimProcess.h"

#include <stdexcept>

namespace testing_support {

namespace {

std::vector<std::string> Arguments(const std::vector<std::string>& servers, const std::vector<std::string>& extraArgs) {
    std::vector<std::string> args{TGameSimProcess::BinaryPath()};
    for (const auto& s : servers) {
        args.push_back("--server");
        args.push_back(s);
    }
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    return args;
}

}  // namespace

std::string TGameSimProcess::BinaryPath() { return CGV_GAMESIM_PATH; }

TGameSimProcess::TGameSimProcess(const std::vector<std::string>& servers, const std::vector<std::string>& extraArgs,
                                 int ms)
    : child_(Arguments(servers, extraArgs), {.Name = "simulator"}) {
    // "server 127.0.0.1:PORT NAME"
    for (const auto& line : child_.ReadUntil("ready", ms))
        if (line.starts_with("server 127.0.0.1:")) ports_.push_back(std::stoi(line.substr(17)));
}

TGameSimProcess::~TGameSimProcess() {
    // A clean stop first; the child's own destructor kills what is left.
    if (Running()) Stop(SIGTERM);
}

void TGameSimProcess::Set(int port, const std::string& words) { Command("set " + std::to_string(port) + " " + words); }

int TGameSimProcess::Add(const std::string& words) {
    for (const auto& line : Command("add " + words)) {
        if (line.starts_with("server 127.0.0.1:")) {
            ports_.push_back(std::stoi(line.substr(17)));
            return ports_.back();
        }
    }
    throw std::runtime_error("simulator added no server: " + words);
}

void TGameSimProcess::Remove(int port) { Command("remove " + std::to_string(port)); }

long TGameSimProcess::Queries(int port) {
    const std::string prefix = "queries " + std::to_string(port) + " ";
    for (const auto& line : Command("queries " + std::to_string(port)))
        if (line.starts_with(prefix)) return std::stol(line.substr(prefix.size()));
    throw std::runtime_error("simulator gave no query count for port " + std::to_string(port));
}

}  // namespace testing_support
