// SPDX-License-Identifier: GPL-3.0-or-later
// A private X server for window tests: Xvfb on a display number it picks itself
// (-displayfd), so parallel tests never collide; it reports the number once it accepts
// connections, and is ended when the object goes (or with the test, however that ends).
// Its output goes to a log file, kept when the test failed. Plus the helpers such tests share.
#pragma once

#include "ChildProcess.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

inline bool onPath(const char* program) {
    return !kiv::test::programPath(program).empty();
}

class XvfbServer {
public:
    // screen: WIDTHxHEIGHTxDEPTH of the one screen.
    explicit XvfbServer(const std::string& logPath = defaultLogPath(),
                        const std::string& screen = "640x480x24")
        : log(logPath) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) return;
        kiv::test::ChildOptions options;
        options.argv = {"Xvfb",      "-displayfd", std::to_string(fds[1]),
                        "-screen",   "0",          screen,
                        "-nolisten", "tcp",        "-noreset"};
        options.logPath = log;
        options.keepFd = fds[1];
        process = std::make_unique<kiv::test::ChildProcess>(options);
        close(fds[1]);
        std::string number;
        pollfd wait{fds[0], POLLIN, 0};
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (process->started() && std::chrono::steady_clock::now() < deadline) {
            if (poll(&wait, 1, 200) <= 0) continue;
            char c = 0;
            if (read(fds[0], &c, 1) != 1) break; // the server ended before it was ready
            if (c == '\n') {
                display = ":" + number;
                break;
            }
            number += c;
        }
        close(fds[0]);
    }
    ~XvfbServer() {
        process.reset();
        if (!::testing::Test::HasFailure()) std::remove(log.c_str());
    }
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    const std::string& name() const { return display; }
    static std::string defaultLogPath() {
        return ::testing::TempDir() + "xvfb-" + std::to_string(getpid()) + ".log";
    }
    pid_t pid() const { return process ? process->pid() : -1; }

private:
    std::string log;
    std::unique_ptr<kiv::test::ChildProcess> process;
    std::string display;
};

class ScopedDisplayVariable {
public:
    explicit ScopedDisplayVariable(const std::string& value) {
        if (const char* old = std::getenv("DISPLAY")) {
            saved = old;
            had = true;
        }
        setenv("DISPLAY", value.c_str(), 1);
    }
    ~ScopedDisplayVariable() {
        if (had)
            setenv("DISPLAY", saved.c_str(), 1);
        else
            unsetenv("DISPLAY");
    }

private:
    std::string saved;
    bool had = false;
};

} // namespace
