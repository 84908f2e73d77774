// SPDX-License-Identifier: GPL-3.0-or-later
// Child-process handling for the tracker simulator in tests.
#include "tools/TrackerSimProcess.h"

#include <algorithm>
#include <stdexcept>

namespace testing_support {

namespace {

// "key=VALUE" inside a stats line; -1 when absent.
int Field(const std::string& line, const std::string& key) {
    const auto at = line.find(" " + key + "=");
    if (at == std::string::npos) return -1;
    return std::stoi(line.substr(at + key.size() + 2));
}

std::vector<std::string> Arguments(const std::vector<std::string>& args) {
    std::vector<std::string> all{TTrackerSimProcess::BinaryPath()};
    all.insert(all.end(), args.begin(), args.end());
    return all;
}

}  // namespace

std::string TTrackerSimProcess::BinaryPath() { return CGV_TRACKERSIM_PATH; }

TTrackerSimProcess::TTrackerSimProcess(const std::vector<std::string>& args, int ms)
    : child_(Arguments(args), {.Name = "tracker simulator"}) {
    for (const auto& line : child_.ReadUntil("ready", ms))
        if (line.starts_with("tracker 127.0.0.1:")) base_ = std::stoi(line.substr(18));
    if (base_ <= 0) throw std::runtime_error("tracker simulator named no port before \"ready\"");
}

TTrackerSimProcess::~TTrackerSimProcess() {
    // A clean stop first; the child's own destructor kills what is left.
    if (Running()) Stop(SIGTERM);
}

std::vector<std::string> TTrackerSimProcess::Command(const std::string& line, int ms) {
    std::vector<std::string> printed = child_.Command(line, ms);
    // Its log of requests comes whenever a client asks; it is not part of the answer.
    std::erase_if(printed, [](const std::string& l) { return l.starts_with("request "); });
    return printed;
}

void TTrackerSimProcess::Set(int gameType, const std::string& words) {
    Command("set " + std::to_string(gameType) + " " + words);
}

TTrackerSimProcess::TStats TTrackerSimProcess::Stats(int gameType) {
    const std::string prefix = "stats " + std::to_string(gameType) + " ";
    for (const auto& line : Command("stats " + std::to_string(gameType))) {
        if (!line.starts_with(prefix)) continue;
        return TStats{Field(line, "connections"), Field(line, "requests"), Field(line, "received")};
    }
    throw std::runtime_error("tracker simulator gave no stats for game type " + std::to_string(gameType));
}

}  // namespace testing_support
