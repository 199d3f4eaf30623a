// SPDX-License-Identifier: GPL-3.0-or-later
// A PipeWire daemon of the test's own: the system's configuration with drop-ins from a
// temporary directory (the generated filter-chain and a null sink as the rig), its socket in
// a runtime directory of its own, no D-Bus and no session manager. Without a session
// manager nothing gets ports or links by itself: portConfig() and link() do it, as pw-cli
// and pw-link would by hand. Every program here starts through ChildProcess.h.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"

namespace {

// A program with its environment, output into logPath, standard input empty.
kiv::test::ChildOptions programOptions(std::vector<std::string> argv,
                                       std::vector<std::string> environment,
                                       const std::string& logPath, int deathSignal = SIGKILL) {
    kiv::test::ChildOptions options;
    options.argv = std::move(argv);
    options.environment = std::move(environment);
    options.logPath = logPath;
    options.deathSignal = deathSignal;
    return options;
}

// Entries of a directory, "." and ".." left out.
std::vector<std::string> entriesOf(const std::string& path) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(path.c_str())) {
        while (const dirent* e = readdir(dir))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
                names.push_back(e->d_name);
        closedir(dir);
    }
    return names;
}

class PipeWireDaemon {
public:
    // dropIns: (file name, text) for pipewire.conf.d/.
    PipeWireDaemon(const std::vector<std::pair<std::string, std::string>>& dropIns,
                   const std::string& logPath) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/kivpw-XXXXXX";
        if (!mkdtemp(pattern.data())) return;
        root = pattern;
        runtime = root + "/run";
        const std::string confD = root + "/config/pipewire/pipewire.conf.d";
        mkdir(runtime.c_str(), 0700);
        mkdir((root + "/config").c_str(), 0700);
        mkdir((root + "/config/pipewire").c_str(), 0700);
        mkdir(confD.c_str(), 0700);
        for (const auto& [name, text] : dropIns) std::ofstream(confD + "/" + name) << text;
        daemon.emplace(programOptions({KIV_PIPEWIRE},
                                      environment({"XDG_CONFIG_HOME=" + root + "/config",
                                                   "LV2_PATH=" KIV_LV2_ROOT, "PIPEWIRE_DEBUG=2"}),
                                      logPath, SIGTERM));
    }
    ~PipeWireDaemon() {
        stop();
        removeTree();
    }

    bool started() const { return daemon && daemon->started(); }
    const std::string& directory() const { return root; }

    // The environment a client of this daemon runs in.
    std::vector<std::string> environment(std::vector<std::string> extra = {}) const {
        extra.push_back("XDG_RUNTIME_DIR=" + runtime);
        extra.push_back("PIPEWIRE_RUNTIME_DIR=" + runtime);
        extra.push_back("DBUS_SESSION_BUS_ADDRESS=unix:path=" + root + "/no-bus");
        extra.push_back("DBUS_SYSTEM_BUS_ADDRESS=unix:path=" + root + "/no-bus");
        extra.push_back("DISPLAY=");
        return extra;
    }

    // Runs a PipeWire tool to its end; its standard output, and its exit status in status.
    std::string tool(const std::vector<std::string>& argv, int& status) const {
        const std::string path = root + "/tool-output";
        const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        kiv::test::ChildOptions options;
        options.argv = argv;
        options.environment = environment();
        options.outputFd = fd;
        status = fd < 0 ? -1 : kiv::test::runChild(options, std::chrono::seconds(20));
        std::string out;
        char buffer[4096];
        ssize_t n = 0;
        lseek(fd, 0, SEEK_SET);
        while (fd >= 0 && (n = read(fd, buffer, sizeof buffer)) > 0) out.append(buffer, size_t(n));
        if (fd >= 0) close(fd);
        unlink(path.c_str());
        return out;
    }
    bool succeeds(const std::vector<std::string>& argv) const {
        int status = -1;
        tool(argv, status);
        return status == 0;
    }

    // Polls until `what` appears in the tool's output, for up to 15 s.
    bool waitForOutput(const std::vector<std::string>& argv, const std::string& what) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        do {
            int status = -1;
            if (tool(argv, status).find(what) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        } while (std::chrono::steady_clock::now() < deadline);
        return false;
    }

    // Gives a node DSP ports, one per channel at these positions (what a session manager
    // does for each stream).
    bool portConfig(const std::string& node, bool input, const std::vector<std::string>& positions,
                    bool monitor = false) const {
        std::string list;
        for (const std::string& p : positions) list += (list.empty() ? "" : ", ") + p;
        return succeeds({"pw-cli", "set-param", node, "PortConfig",
                         std::string("{ direction: ") + (input ? "Input" : "Output") +
                             ", mode: dsp, monitor: " + (monitor ? "true" : "false") +
                             ", format: { mediaType: audio, mediaSubtype: raw, format: F32P, "
                             "rate: 48000, channels: " +
                             std::to_string(positions.size()) + ", position: [ " + list +
                             " ] } }"});
    }
    bool hasPort(const std::string& port) const {
        return waitForOutput({"pw-link", "--output", "--input"}, port + "\n");
    }
    bool link(const std::string& output, const std::string& input) const {
        return succeeds({"pw-link", output, input});
    }

    // Ends the daemon; true when it ended on SIGTERM within its grace period.
    bool stop() {
        if (!daemon) return true;
        const bool ended = daemon->stop();
        daemon.reset();
        return ended;
    }
    // What the daemon left in its runtime directory (nothing after a clean end).
    std::vector<std::string> runtimeLeftovers() const { return entriesOf(runtime); }

private:
    void removeTree() {
        if (root.empty()) return;
        kiv::test::ChildOptions rm;
        rm.argv = {"rm", "-rf", "--", root};
        kiv::test::runChild(rm, std::chrono::seconds(20));
    }

    std::string root, runtime;
    std::optional<kiv::test::ChildProcess> daemon;
};

} // namespace
