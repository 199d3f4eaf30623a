// SPDX-License-Identifier: GPL-3.0-or-later
// Nothing a test starts outlives it, and no test can hang the suite. A CTest project of one
// test (servers_then_end) is run by a nested ctest, once for each way the test can end
// badly: exit(1), an X error under Xlib's default handler, and being killed by CTest's
// timeout. The nested ctest must finish and report the failure, and no process of the
// test's Xvfb's or jackd's process groups may be left. The same when the test is killed
// with SIGKILL by anyone else (CTest ends a timed-out test's descendants itself; other
// killers do not).
#include "ChildProcess.h"
#include "LiveJack.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Ending {
    const char* mode;
    int timeout;         // the nested test's TIMEOUT, seconds
    const char* verdict; // what the nested ctest says of it
};

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Live (not zombie) processes whose process group is the one given.
std::vector<int> processesInGroup(int group) {
    std::vector<int> found;
    DIR* proc = opendir("/proc");
    if (!proc) return found;
    while (const dirent* entry = readdir(proc)) {
        const int pid = std::atoi(entry->d_name);
        if (pid <= 0) continue;
        const std::string stat = slurp("/proc/" + std::string(entry->d_name) + "/stat");
        const std::size_t close = stat.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream fields(stat.substr(close + 1));
        char state = 0;
        int parent = 0, pgrp = 0;
        if (fields >> state >> parent >> pgrp && pgrp == group && state != 'Z')
            found.push_back(pid);
    }
    closedir(proc);
    return found;
}

// Waits for every process of the groups of the servers named in DIR/pids to be gone;
// answers those left after 10 s ({-1} when no servers are named).
std::vector<int> processesLeft(const std::string& dir, std::string& server) {
    int xvfb = 0, jackd = 0;
    std::istringstream(slurp(dir + "/pids")) >> xvfb >> jackd >> server;
    if (xvfb <= 0 || jackd <= 0) return {-1};
    // The death signal is sent as the test ends; the servers go a moment later.
    std::vector<int> left;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    do {
        left = processesInGroup(xvfb);
        for (int pid : processesInGroup(jackd)) left.push_back(pid);
        if (left.empty()) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (std::chrono::steady_clock::now() < deadline);
    return left;
}

std::string describe(const std::vector<int>& left) {
    if (left == std::vector<int>{-1}) return "the servers did not start";
    std::string text = std::to_string(left.size()) + " process(es) outlived the test:";
    for (int pid : left) {
        std::string line = slurp("/proc/" + std::to_string(pid) + "/cmdline");
        for (char& c : line)
            if (c == '\0') c = ' ';
        text += "\n  " + std::to_string(pid) + " " + line;
    }
    return text;
}

// A jackd that could not leave JACK's registry (CTest's timeout kills it with SIGKILL; it
// may fail on the way out when its client is gone) leaves no entry once the next server
// starts: the machine's eight entries do not run out.
void expectRegistryFreed(const std::string& server) {
    if (server.empty()) return;
    JackRegistry().reclaim();
    EXPECT_FALSE(JackRegistry().holds(server)) << "the dead jackd still holds a registry entry";
}

// What the killed client leaves in shared memory, and the scratch directory.
void cleanUp(const std::string& dir, const std::string& server, bool keepDir) {
    if (!server.empty()) removeServerSemaphores(server);
    std::error_code ignored;
    if (!keepDir) std::filesystem::remove_all(dir, ignored);
}

std::string scratchDir() {
    char pattern[] = "/tmp/kiv-harness-XXXXXX";
    return mkdtemp(pattern) ? pattern : "";
}

void PrintTo(const Ending& ending, std::ostream* out) {
    *out << ending.mode;
}

class BadEnding : public ::testing::TestWithParam<Ending> {};

TEST_P(BadEnding, LeavesNoProcessAndCTestFinishes) {
    const Ending& ending = GetParam();
    const std::string dir = scratchDir();
    ASSERT_FALSE(dir.empty());
    std::ofstream(dir + "/CTestTestfile.cmake")
        << "add_test(servers_then_end \"" << KIV_SERVERS_THEN_END << "\" " << ending.mode << " \""
        << dir << "\")\nset_tests_properties(servers_then_end PROPERTIES TIMEOUT " << ending.timeout
        << ")\n";

    kiv::test::ChildOptions ctest;
    ctest.argv = {KIV_CTEST, "--test-dir", dir, "--output-on-failure"};
    ctest.logPath = dir + "/ctest.log";
    const auto started = std::chrono::steady_clock::now();
    const int status = kiv::test::runChild(ctest, std::chrono::seconds(ending.timeout + 60));
    const std::string log = slurp(dir + "/ctest.log");
    ASSERT_NE(status, -1) << "the nested ctest did not finish: it waits for the test's "
                             "processes\n"
                          << log;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << log;
    EXPECT_NE(log.find(ending.verdict), std::string::npos) << log;
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(ending.timeout + 30))
        << log;

    std::string server;
    const std::vector<int> left = processesLeft(dir, server);
    EXPECT_TRUE(left.empty()) << describe(left) << "\n" << log;
    expectRegistryFreed(server);
    cleanUp(dir, server, HasFailure());
}

INSTANTIATE_TEST_SUITE_P(Harness, BadEnding,
                         ::testing::Values(Ending{"exit", 60, "Failed"},
                                           Ending{"xerror", 60, "Failed"},
                                           Ending{"hang", 25, "Timeout"}),
                         [](const auto& info) { return std::string(info.param.mode); });

TEST(Harness, ATestKilledWithSigkillLeavesNoProcess) {
    const std::string dir = scratchDir();
    ASSERT_FALSE(dir.empty());
    kiv::test::ChildOptions test;
    test.argv = {KIV_SERVERS_THEN_END, "hang", dir};
    test.logPath = dir + "/test.log";
    kiv::test::ChildProcess process(test);
    ASSERT_TRUE(process.started());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (slurp(dir + "/pids").find('\n') == std::string::npos && process.running() &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    // The test process alone, not its group: what it started must go by itself.
    ASSERT_GT(process.pid(), 1) << "the test program ended by itself\n" << slurp(test.logPath);
    ASSERT_EQ(kill(process.pid(), SIGKILL), 0);
    EXPECT_TRUE(process.wait(std::chrono::seconds(10)));
    std::string server;
    const std::vector<int> left = processesLeft(dir, server);
    EXPECT_TRUE(left.empty()) << describe(left) << "\n" << slurp(test.logPath);
    expectRegistryFreed(server);
    cleanUp(dir, server, HasFailure());
}

TEST(Harness, EveryTestHasADefaultTimeout) {
    // CTest's TimeOut in the build tree: the limit of every test without a TIMEOUT of its own.
    std::istringstream config(slurp(KIV_DART_CONFIGURATION));
    int seconds = 0;
    for (std::string line; std::getline(config, line);)
        if (line.rfind("TimeOut:", 0) == 0) seconds = std::atoi(line.c_str() + 8);
    EXPECT_GT(seconds, 0) << KIV_DART_CONFIGURATION;
    EXPECT_LE(seconds, 600) << "a stuck test would hold the suite for longer than that";
}

} // namespace
