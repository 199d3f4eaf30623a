// SPDX-License-Identifier: GPL-3.0-or-later
// Each .so exports exactly its entry point and its decoder list.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>

#include "tests/support/ChildProcess.h"

namespace {

std::set<std::string> definedDynamicSymbols(const std::string& so) {
    int status = -1;
    std::istringstream lines(kiv::test::outputOf({KIV_NM, "-D", "--defined-only", so}, status));
    std::set<std::string> names;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string address, type, name;
        if (fields >> address >> type >> name) names.insert(name);
    }
    EXPECT_EQ(status, 0) << KIV_NM << " -D --defined-only " << so;
    return names;
}

TEST(Exports, OnlyTheEntryPointAndTheDecoderList) {
    const std::set<std::string> expected{"DecList", "VSTPluginMain"};
    for (const char* so : {KIV_REGULAR_SO, KIV_IRREGULAR_SO})
        EXPECT_EQ(definedDynamicSymbols(so), expected) << so;
}

} // namespace
