// SPDX-License-Identifier: GPL-3.0-or-later
// Ardour's VST2 scanner loads each bundle as the DAW does and writes what it found to a
// cache file. Skipped where the scanner is not installed.
#include <dirent.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "PluginBundles.h"
#include "tests/support/ChildProcess.h"

namespace {

// The text of every file below directory (the scanner writes one cache file per plug-in).
std::string filesBelow(const std::string& directory) {
    std::string all;
    DIR* dir = opendir(directory.c_str());
    if (!dir) return all;
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        const std::string path = directory + "/" + name;
        struct stat st {};
        if (stat(path.c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            all += filesBelow(path);
        } else {
            std::ifstream file(path);
            std::stringstream text;
            text << file.rdbuf();
            all += text.str();
        }
    }
    closedir(dir);
    return all;
}

class ArdourScanner : public ::testing::TestWithParam<const BundleFacts*> {};

TEST_P(ArdourScanner, ScansCleanly) {
    if (access(KIV_ARDOUR_SCANNER, X_OK) != 0)
        GTEST_SKIP() << KIV_ARDOUR_SCANNER << " is not installed";
    if (KIV_SANITIZED)
        GTEST_SKIP() << "an instrumented plug-in needs an instrumented host; the plain build "
                        "runs this test";
    const BundleFacts& b = *GetParam();

    char scratch[] = "/tmp/kiv-scan-XXXXXX";
    ASSERT_NE(mkdtemp(scratch), nullptr);
    const std::string home = scratch;
    const std::string cache = home + "/cache";
    // The scanner's cache goes into a directory of our own; a scan that hangs is a failure.
    kiv::test::ChildOptions scan;
    scan.argv = {KIV_ARDOUR_SCANNER, "-f", b.so};
    scan.environment = {"HOME=" + home, "XDG_CACHE_HOME=" + cache,
                        "LD_LIBRARY_PATH=/usr/lib/ardour7"};
    scan.logPath = home + "/scan.log";
    const int status = kiv::test::runChild(scan, std::chrono::seconds(60));
    std::ifstream log(scan.logPath);
    const std::string output{std::istreambuf_iterator<char>(log), {}};
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("Found Plugin"), std::string::npos) << output;

    const std::string found = filesBelow(cache);
    std::ostringstream id;
    id << "id=\"" << b.uniqueID << "\"";
    for (const std::string& expected :
         {id.str(), "name=\"" + std::string(b.product) + "\"", std::string("creator=\"Kivtone\""),
          "n_inputs=\"" + std::to_string(b.inputs) + "\"",
          "n_outputs=\"" + std::to_string(b.outputs) + "\"", std::string("has_editor=\"1\""),
          std::string("can_process_replace=\"1\""), std::string("is_instrument=\"0\"")})
        EXPECT_NE(found.find(expected), std::string::npos) << expected << "\n" << found;

    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
}

INSTANTIATE_TEST_SUITE_P(Bundles, ArdourScanner, ::testing::Values(&kRegular, &kIrregular),
                         bundleName);

} // namespace
