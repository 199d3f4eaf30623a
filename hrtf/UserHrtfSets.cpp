// SPDX-License-Identifier: GPL-3.0-or-later
#include "hrtf/UserHrtfSets.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

std::string userHrtfDirectory() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (config && config[0] == '/') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home ? home : "") + "/.config";
    }
    return base + "/kivtone/hrtf";
}

std::vector<std::string> userHrtfSetPaths() {
    namespace fs = std::filesystem;
    std::vector<std::string> paths;
    std::error_code ec;
    for (fs::directory_iterator it(userHrtfDirectory(), ec), end; !ec && it != end;
         it.increment(ec)) {
        const fs::path& p = it->path();
        std::error_code typeError;
        if (p.extension() == ".sofa" && it->is_regular_file(typeError)) paths.push_back(p.string());
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}
