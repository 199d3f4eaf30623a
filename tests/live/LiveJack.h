// SPDX-License-Identifier: GPL-3.0-or-later
// What the live tests share: a JACK server of the test's own (dummy backend, no real-time
// scheduling), started and ended by the test, and clients of ours on it.
#pragma once

#include <dirent.h>
#include <jack/jack.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "ChildProcess.h"

namespace {

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

// JACK's clients leave their semaphores in /dev/shm, named after the server: gone with it.
void removeServerSemaphores(const std::string& server) {
    DIR* shm = opendir("/dev/shm");
    if (!shm) return;
    while (const dirent* entry = readdir(shm)) {
        const std::string name = entry->d_name;
        if (name.rfind("jack_sem.", 0) == 0 && name.find("_" + server + "_") != std::string::npos)
            unlink(("/dev/shm/" + name).c_str());
    }
    closedir(shm);
}

// jackd -d dummy under a name of its own; logs next to the test.
class JackServer {
public:
    JackServer(const std::string& name, const std::string& logPath)
        : name_(name), process({KIV_JACKD, "--no-realtime", "-n", name, "-d", "dummy", "-r",
                                std::to_string(kSampleRate), "-p", "256"},
                               {}, logPath) {}
    ~JackServer() { stop(); }

    const std::string& name() const { return name_; }
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
    std::string name_;
    ChildProcess process;
};

} // namespace
