// SPDX-License-Identifier: GPL-3.0-or-later
// What the live tests share: a JACK server of the test's own (dummy backend, no real-time
// scheduling), started and ended by the test, and clients of ours on it.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <jack/jack.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include <chrono>
#include <string>
#include <thread>

#include "ChildProcess.h"

namespace {

using kiv::test::ChildProcess;

constexpr int kSampleRate = 48000;

// Polls until ready() or the time is up.
template <typename Ready> bool waitFor(Ready ready, std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (ready()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return ready();
}

// A client of ours on the named server; null when there is no such server.
jack_client_t* openClient(const std::string& server, const char* name) {
    jack_status_t status{};
    return jack_client_open(name, static_cast<jack_options_t>(JackNoStartServer | JackServerName),
                            &status, server.c_str());
}

// JACK's clients leave their semaphores in /dev/shm, and a killed server its segment, named
// after the server: gone with it.
void removeServerSemaphores(const std::string& server) {
    DIR* shm = opendir("/dev/shm");
    if (!shm) return;
    while (const dirent* entry = readdir(shm)) {
        const std::string name = entry->d_name;
        if ((name.rfind("jack_sem.", 0) == 0 &&
             name.find("_" + server + "_") != std::string::npos) ||
            name.rfind("jack_" + server + "_", 0) == 0)
            unlink(("/dev/shm/" + name).c_str());
    }
    closedir(shm);
}

// JACK keeps one registry of at most eight servers for the whole machine, in shared memory.
// A server frees its entry when it ends on a signal it can handle; one killed outright (CTest
// kills a timed-out test's whole process tree with SIGKILL) keeps it, and after eight of
// those no JACK server starts on the machine ("Too many servers already active"). These read
// and mend the registry: a header {magic "JACK", protocol, size, header length, entry
// length}, then eight entries {pid, "jack-<uid>:<name>:"}. Anything else is left alone.
class JackRegistry {
public:
    JackRegistry() : fd(open("/dev/shm/jack-shm-registry", O_RDWR | O_CLOEXEC)) {
        std::uint32_t header[6] = {};
        valid = fd >= 0 && pread(fd, header, sizeof header, 0) == ssize_t(sizeof header) &&
                std::memcmp(header, "KCAJ", 4) == 0 && header[4] == kFirst + kServers * kEntry;
    }
    ~JackRegistry() {
        if (fd >= 0) close(fd);
    }
    JackRegistry(const JackRegistry&) = delete;
    JackRegistry& operator=(const JackRegistry&) = delete;

    // True when a server of that name is registered (running or not).
    bool holds(const std::string& server) {
        for (std::size_t i = 0; i < kServers; ++i) {
            Entry e{};
            if (read(i, e) && e.pid != 0 && std::strstr(e.name, (":" + server + ":").c_str()))
                return true;
        }
        return false;
    }
    // Frees the entries of servers that are gone (or dead and not yet waited for); answers
    // how many.
    int reclaim() {
        int freed = 0;
        for (std::size_t i = 0; i < kServers; ++i) {
            Entry e{};
            if (!read(i, e) || e.pid <= 0 || !gone(e.pid)) continue;
            const Entry none{};
            if (pwrite(fd, &none, sizeof none, off_t(kFirst + i * kEntry)) == ssize_t(sizeof none))
                ++freed;
        }
        return freed;
    }

private:
    static constexpr std::size_t kFirst = 24, kServers = 8, kEntry = 264;
    static bool gone(pid_t pid) {
        if (kill(pid, 0) != 0) return errno == ESRCH;
        char stat[256] = {};
        const int f = open(("/proc/" + std::to_string(pid) + "/stat").c_str(), O_RDONLY);
        if (f < 0) return true;
        const ssize_t n = ::read(f, stat, sizeof stat - 1);
        close(f);
        const char* state = n > 0 ? std::strrchr(stat, ')') : nullptr;
        return state && state[1] == ' ' && state[2] == 'Z';
    }
    struct Entry {
        std::int32_t pid;
        char name[kEntry - 4];
    };
    bool read(std::size_t i, Entry& e) {
        if (!valid || pread(fd, &e, sizeof e, off_t(kFirst + i * kEntry)) != ssize_t(sizeof e))
            return false;
        e.name[sizeof e.name - 1] = 0;
        return true;
    }

    int fd;
    bool valid = false;
};

// jackd -d dummy under a name of its own; logs next to the test. It ends with the test
// (on SIGTERM, so that it leaves the registry); entries of servers killed before are freed
// first.
class JackServer {
public:
    JackServer(const std::string& name, const std::string& logPath)
        : name_(name), process(start(name, logPath)) {}
    ~JackServer() { stop(); }

    const std::string& name() const { return name_; }
    pid_t pid() const { return process.pid(); }
    // A client of ours once the server answers (null when it does not within 15 s).
    jack_client_t* connect(const char* clientName) {
        jack_client_t* client = nullptr;
        waitFor([&] { return process.started() && (client = openClient(name_, clientName)); },
                std::chrono::seconds(15));
        return client;
    }
    // Ends the server; true when it ended on SIGTERM and no longer answers.
    bool stop() {
        const bool ended = process.stop();
        const bool gone = openClient(name_, "kivafter") == nullptr;
        removeServerSemaphores(name_);
        return ended && gone;
    }

private:
    static ChildProcess start(const std::string& name, const std::string& logPath) {
        JackRegistry().reclaim();
        return ChildProcess({KIV_JACKD, "--no-realtime", "-n", name, "-d", "dummy", "-r",
                             std::to_string(kSampleRate), "-p", "256"},
                            {}, logPath, SIGTERM);
    }

    std::string name_;
    ChildProcess process;
};

} // namespace
