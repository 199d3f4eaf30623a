// SPDX-License-Identifier: GPL-3.0-or-later
// A private X server for window tests: Xvfb on a display number it picks itself
// (-displayfd), so parallel tests never collide; it reports the number once it accepts
// connections, and is killed when the object goes. Plus the helpers such tests share.
#pragma once

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

bool onPath(const char* program) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    for (std::size_t start = 0; start <= dirs.size();) {
        const std::size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::string candidate = dirs.substr(start, end - start) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

class XvfbServer {
public:
    XvfbServer() {
        int fds[2];
        if (pipe(fds) != 0) return;
        pid = fork();
        if (pid == 0) {
            close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            freopen("/dev/null", "w", stderr);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "640x480x24",
                   "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        pollfd wait{fds[0], POLLIN, 0};
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (pid > 0 && std::chrono::steady_clock::now() < deadline) {
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
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
    const std::string& name() const { return display; }

private:
    pid_t pid = -1;
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
