// SPDX-License-Identifier: GPL-3.0-or-later
// Each .so exports exactly its entry point and its decoder list.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>

namespace {

std::set<std::string> definedDynamicSymbols(const std::string& so) {
    const std::string command = std::string(KIV_NM) + " -D --defined-only " + so + " 2>/dev/null";
    std::set<std::string> names;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return names;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) {
        std::istringstream fields(line);
        std::string address, type, name;
        if (fields >> address >> type >> name) names.insert(name);
    }
    EXPECT_EQ(pclose(pipe), 0) << command;
    return names;
}

TEST(Exports, OnlyTheEntryPointAndTheDecoderList) {
    const std::set<std::string> expected{"DecList", "VSTPluginMain"};
    for (const char* so : {KIV_REGULAR_SO, KIV_IRREGULAR_SO})
        EXPECT_EQ(definedDynamicSymbols(so), expected) << so;
}

} // namespace
