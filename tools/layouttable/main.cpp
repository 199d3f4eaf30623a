// SPDX-License-Identifier: GPL-3.0-or-later
// kiv_layout_table [FILE]: writes the speaker-layout page (docs/speaker-layouts.md) to FILE,
// whole or not at all, or to standard output without one.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/layouttable/LayoutTable.h"

int main(int argc, char** argv) {
    if (argc > 2) {
        std::fprintf(stderr, "usage: kiv_layout_table [FILE]\n");
        return 2;
    }
    const std::string page = kiv::layouttable::layoutPage();
    if (argc == 1) {
        const bool written = std::fwrite(page.data(), 1, page.size(), stdout) == page.size();
        if (std::fflush(stdout) != 0 || !written) {
            std::fprintf(stderr, "kiv_layout_table: cannot write standard output\n");
            return 1;
        }
        return 0;
    }
    const std::string path = argv[1];
    const std::string temporary = path + ".tmp";
    std::FILE* f = std::fopen(temporary.c_str(), "wb");
    if (f == nullptr) {
        std::fprintf(stderr, "kiv_layout_table: cannot write %s: %s\n", temporary.c_str(),
                     std::strerror(errno));
        return 1;
    }
    const bool written = std::fwrite(page.data(), 1, page.size(), f) == page.size();
    if (std::fclose(f) != 0 || !written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::fprintf(stderr, "kiv_layout_table: cannot write %s: %s\n", path.c_str(),
                     std::strerror(errno));
        std::remove(temporary.c_str());
        return 1;
    }
    return 0;
}
