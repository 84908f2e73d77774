// SPDX-License-Identifier: GPL-3.0-or-later
// Stands in for a game: writes its working folder and arguments, one a line, to started.txt
// in its working folder.
#include <direct.h>

#include <cstdio>

int main(int argc, char** argv) {
    char folder[1024] = {};
    if (!_getcwd(folder, sizeof folder)) return 1;
    std::FILE* out = std::fopen("started.txt.part", "wb");
    if (!out) return 1;
    std::fprintf(out, "%s\n", folder);
    for (int i = 1; i < argc; ++i) std::fprintf(out, "%s\n", argv[i]);
    std::fclose(out);
    // Whole or not at all: the test polls for the final name.
    return std::rename("started.txt.part", "started.txt") == 0 ? 0 : 1;
}
