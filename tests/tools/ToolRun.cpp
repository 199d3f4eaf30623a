// SPDX-License-Identifier: GPL-3.0-or-later
#include "ToolRun.h"

#include "tests/support/ChildProcess.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace kiv::ambidec::testing {

namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

pid_t spawn(const std::vector<std::string>& arguments, const std::string& out,
            const std::string& err, const std::string& cwd = "") {
    kiv::test::ChildOptions options;
    options.argv = {kAmbidec};
    options.argv.insert(options.argv.end(), arguments.begin(), arguments.end());
    options.logPath = out;
    options.errorPath = err;
    options.directory = cwd;
    const pid_t pid = kiv::test::spawnChild(options).pid;
    if (pid < 0) throw std::runtime_error("cannot start " + kAmbidec);
    return pid;
}

} // namespace

ScratchDir::ScratchDir() {
    char pattern[] = "/tmp/ambidec-run-XXXXXX";
    path_ = ::mkdtemp(pattern);
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> ScratchDir::entries() const {
    std::vector<std::string> names;
    DIR* dir = ::opendir(path_.c_str());
    while (dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

ToolResult runAmbidec(const std::vector<std::string>& arguments) {
    return runAmbidecWith(arguments, "", "");
}

ToolResult runAmbidecWith(const std::vector<std::string>& arguments, const std::string& cwd,
                          const std::string& stdoutPath) {
    char pattern[] = "/tmp/ambidec-streams-XXXXXX";
    const std::string dir = ::mkdtemp(pattern);
    const std::string out = stdoutPath.empty() ? dir + "/out" : stdoutPath, err = dir + "/err";
    const pid_t pid = spawn(arguments, out, err, cwd);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ToolResult result;
    if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    if (stdoutPath.empty()) result.out = slurp(out);
    result.err = slurp(err);
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    return result;
}

int startAmbidec(const std::vector<std::string>& arguments) {
    return spawn(arguments, "/dev/null", "/dev/null");
}

void writeWav(const std::string& path, int channels, int sampleRate,
              const std::vector<float>& interleaved) {
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = sampleRate;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) throw std::runtime_error("cannot write " + path);
    sf_writef_float(file, interleaved.data(),
                    static_cast<sf_count_t>(interleaved.size() / channels));
    sf_close(file);
}

std::vector<float> readSound(const std::string& path, int& channels, int& sampleRate) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) throw std::runtime_error("cannot read " + path);
    std::vector<float> samples(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(file, samples.data(), info.frames);
    sf_close(file);
    channels = info.channels;
    sampleRate = info.samplerate;
    return samples;
}

} // namespace kiv::ambidec::testing
