// SPDX-License-Identifier: GPL-3.0-or-later
// The one way a test starts another program (X servers, JACK, LV2 hosts, command-line
// tools). Whatever way the test ends (an assertion, a crash, exit(), SIGKILL from CTest's
// timeout), the program does not outlive it: it gets PR_SET_PDEATHSIG right after fork (and
// ends at once when the test is already gone by then), leads a process group of its own (so
// what it starts is ended with it), and writes its standard output and error into files,
// never into the test's own streams: those are the pipe CTest reads until every holder has
// closed it. The test's other descriptors are closed in the child.
// The death signal follows the thread that forks: start children from the test's main thread.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

extern char** environ;

namespace kiv::test {

struct ChildOptions {
    std::vector<std::string> argv;        // argv[0]: a path, or a program looked up on PATH
    std::vector<std::string> environment; // "NAME=value", over the test's own environment
    std::string logPath = "/dev/null";    // standard output and error
    std::string errorPath;                // standard error alone, when not empty
    int outputFd = -1;                    // standard output into this descriptor instead
    std::string directory;                // working directory, when not empty
    bool inputPipe = false; // standard input a pipe the test holds open (else inputPath)
    int keepFd = -1;        // a descriptor the child keeps under the same number
    // Sent to the child when the test ends. SIGTERM for programs that must undo something
    // shared on their way out (jackd's entry in JACK's registry); SIGKILL is certain.
    int deathSignal = SIGKILL;
    std::string inputPath = "/dev/null"; // standard input, without inputPipe
};

struct Spawned {
    pid_t pid = -1;      // -1 when the program could not be started
    int inputWrite = -1; // the test's end of the input pipe
};

// The program's path: itself when it names a file, else the first match on PATH.
inline std::string programPath(const std::string& program) {
    if (program.find('/') != std::string::npos) return program;
    const char* path = std::getenv("PATH");
    const std::string dirs = path ? path : "/usr/bin:/bin";
    for (std::size_t start = 0; start <= dirs.size();) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        const std::string candidate = dirs.substr(start, end - start) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return std::string();
}

// Starts the program; everything that allocates is done before fork.
inline Spawned spawnChild(const ChildOptions& options) {
    Spawned result;
    if (options.argv.empty()) return result;
    const std::string path = programPath(options.argv[0]);
    if (path.empty()) return result;

    std::vector<std::string> words = options.argv;
    std::vector<char*> args;
    for (std::string& w : words) args.push_back(w.data());
    args.push_back(nullptr);
    std::vector<std::string> entries;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        bool replaced = false;
        for (const std::string& extra : options.environment)
            replaced = replaced ||
                       entry.compare(0, extra.find('=') + 1, extra, 0, extra.find('=') + 1) == 0;
        if (!replaced) entries.push_back(entry);
    }
    entries.insert(entries.end(), options.environment.begin(), options.environment.end());
    std::vector<char*> envp;
    for (std::string& e : entries) envp.push_back(e.data());
    envp.push_back(nullptr);

    int input[2] = {-1, -1};
    if (options.inputPipe ? pipe2(input, O_CLOEXEC) != 0
                          : (input[0] = open(options.inputPath.c_str(), O_RDONLY | O_CLOEXEC)) < 0)
        return result;
    const int out = options.outputFd >= 0 ? options.outputFd
                                          : open(options.logPath.c_str(),
                                                 O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int err =
        options.errorPath.empty()
            ? (options.outputFd >= 0
                   ? open(options.logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)
                   : out)
            : open(options.errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const auto closeOurs = [&] {
        close(input[0]);
        if (out >= 0 && out != options.outputFd) close(out);
        if (err >= 0 && err != out) close(err);
    };
    if (out < 0 || err < 0) {
        closeOurs();
        if (input[1] >= 0) close(input[1]);
        return result;
    }

    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        // Only async-signal-safe calls from here on.
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, options.deathSignal);
        if (getppid() != parent) _exit(127); // the test ended before the line above
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        for (int s = 1; s < NSIG; ++s)
            if (s != SIGKILL && s != SIGSTOP) signal(s, SIG_DFL);
        // Standard streams: sources moved above 2 first, so that none is overwritten
        // before it is used and dup2 always clears close-on-exec.
        int streams[3] = {input[0], out, err};
        for (int& fd : streams)
            if (fd < 3 && (fd = fcntl(fd, F_DUPFD_CLOEXEC, 3)) < 0) _exit(127);
        for (int i = 0; i < 3; ++i)
            if (dup2(streams[i], i) < 0) _exit(127);
        if (options.keepFd > 2) {
            if (options.keepFd > 3) close_range(3, unsigned(options.keepFd - 1), 0);
            close_range(unsigned(options.keepFd + 1), ~0u, 0);
            fcntl(options.keepFd, F_SETFD, 0);
        } else {
            close_range(3, ~0u, 0);
        }
        if (!options.directory.empty() && chdir(options.directory.c_str()) != 0) _exit(127);
        execve(path.c_str(), args.data(), envp.data());
        _exit(127);
    }
    closeOurs();
    if (pid < 0) {
        if (input[1] >= 0) close(input[1]);
        return result;
    }
    setpgid(pid, pid); // as the child does: no race with a kill of the group
    result.pid = pid;
    result.inputWrite = input[1];
    return result;
}

// Signals a child's process group; never a group that is not a child's (kill() with 0, -1
// or 1 would reach the test itself, every process there is, or init).
inline void signalGroup(pid_t group, int signal) {
    if (group > 1) kill(-group, signal);
}

// A started program the test ends, or that ends with the object: SIGTERM to its process
// group, SIGKILL after a grace period.
class ChildProcess {
public:
    explicit ChildProcess(const ChildOptions& options) {
        const Spawned s = spawnChild(options);
        pid_ = group_ = s.pid;
        inputWrite = s.inputWrite;
    }
    // argv[0] is the program; environment entries are "NAME=value"; output into logPath;
    // standard input is a pipe the test holds open (console programs that read commands
    // keep running).
    ChildProcess(std::vector<std::string> argv, std::vector<std::string> environment,
                 const std::string& logPath, int deathSignal = SIGKILL)
        : ChildProcess(ChildOptions{std::move(argv),
                                    std::move(environment),
                                    logPath,
                                    {},
                                    -1,
                                    {},
                                    true,
                                    -1,
                                    deathSignal}) {}
    ~ChildProcess() { stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return group_ > 0; }
    // Writes a line to the program's standard input (inputPipe), as typed at its prompt.
    bool type(const std::string& line) {
        if (inputWrite < 0) return false;
        const std::string text = line + "\n";
        return write(inputWrite, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    }
    // The process id while the program runs; -1 once it has ended (and been waited for).
    pid_t pid() const { return pid_; }

    // True while the program has not ended.
    bool running() {
        if (pid_ <= 0) return false;
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            status_ = status;
            pid_ = -1;
            return false;
        }
        return true;
    }

    // Waits until the program ends or the time is up; true when it ended.
    bool wait(std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (running()) {
            if (std::chrono::steady_clock::now() >= deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }
    // The wait status once the program has ended (-1 before).
    int status() const { return status_; }

    // Ends the process group; true when the program ended within the grace period of
    // SIGTERM (or had ended already).
    bool stop(std::chrono::milliseconds grace = std::chrono::milliseconds(5000)) {
        if (inputWrite >= 0) {
            close(inputWrite);
            inputWrite = -1;
        }
        if (pid_ <= 0) {
            signalGroup(group_, SIGKILL); // whatever it left behind in its group
            return true;
        }
        signalGroup(pid_, SIGTERM);
        if (wait(grace)) {
            signalGroup(group_, SIGKILL);
            return true;
        }
        signalGroup(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
        status_ = status;
        pid_ = -1;
        return false;
    }

private:
    pid_t pid_ = -1;
    pid_t group_ = -1;
    int inputWrite = -1;
    int status_ = -1;
};

// Runs the program to its end, at most for the time given (then its group is killed).
// Answers the wait status, or -1 when it did not start or end in time.
inline int runChild(const ChildOptions& options, std::chrono::milliseconds limit) {
    ChildProcess child(options);
    if (!child.started()) return -1;
    if (!child.wait(limit)) return -1;
    return child.status();
}

// Runs the program to its end (at most for the time given) and answers its standard output;
// status is as runChild's. Standard error is dropped.
inline std::string outputOf(const std::vector<std::string>& argv, int& status,
                            std::chrono::milliseconds limit = std::chrono::seconds(60)) {
    const char* tmp = std::getenv("TMPDIR");
    std::string path = std::string(tmp && *tmp ? tmp : "/tmp") + "/kiv-output-XXXXXX";
    const int fd = mkstemp(path.data());
    status = -1;
    if (fd < 0) return std::string();
    ChildOptions options;
    options.argv = argv;
    options.outputFd = fd;
    options.logPath = "/dev/null";
    status = runChild(options, limit);
    std::string output;
    char buffer[4096];
    ssize_t n = 0;
    lseek(fd, 0, SEEK_SET);
    while ((n = read(fd, buffer, sizeof buffer)) > 0) output.append(buffer, std::size_t(n));
    close(fd);
    unlink(path.c_str());
    return output;
}

} // namespace kiv::test
