// SPDX-License-Identifier: GPL-3.0-or-later
// A program the test starts and always ends: its own process group (so whatever it starts
// ends with it), standard input on a pipe the test holds open (console programs that read
// commands keep running), output into a log file. Ended with SIGTERM, then SIGKILL after a
// grace period; the destructor ends it if the test did not.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

class ChildProcess {
public:
    // argv[0] is the program's path; environment entries are "NAME=value", added to ours.
    ChildProcess(std::vector<std::string> argv, std::vector<std::string> environment,
                 const std::string& logPath) {
        int input[2];
        if (pipe(input) != 0) return;
        pid = fork();
        if (pid == 0) {
            setpgid(0, 0);
            dup2(input[0], 0);
            close(input[0]);
            close(input[1]);
            const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (log >= 0) {
                dup2(log, 1);
                dup2(log, 2);
                close(log);
            }
            for (std::string& entry : environment) putenv(entry.data());
            std::vector<char*> args;
            for (std::string& a : argv) args.push_back(a.data());
            args.push_back(nullptr);
            execv(args[0], args.data());
            _exit(127);
        }
        close(input[0]);
        stdinWrite = input[1];
        if (pid > 0) setpgid(pid, pid); // as the child does: no race with kill below
    }
    ~ChildProcess() { stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid > 0; }

    // Writes a line to the program's standard input, as typed at its prompt.
    bool type(const std::string& line) {
        if (stdinWrite < 0) return false;
        const std::string text = line + "\n";
        return write(stdinWrite, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    }

    // True while the process has not ended.
    bool running() {
        if (pid <= 0) return false;
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            pid = -1;
            return false;
        }
        return true;
    }

    // Ends the process group; true when it ended within the grace period of SIGTERM.
    bool stop(std::chrono::milliseconds grace = std::chrono::milliseconds(5000)) {
        if (stdinWrite >= 0) {
            close(stdinWrite);
            stdinWrite = -1;
        }
        if (pid <= 0) return true;
        kill(-pid, SIGTERM);
        const auto deadline = std::chrono::steady_clock::now() + grace;
        while (std::chrono::steady_clock::now() < deadline) {
            if (!running()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        kill(-pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        pid = -1;
        return false;
    }

private:
    pid_t pid = -1;
    int stdinWrite = -1;
};

} // namespace
