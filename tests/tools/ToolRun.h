// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers of the tests that drive the ambidec program and the real bundles: a scratch
// directory, B-format files written with libsndfile, and a run of ambidec with its exit
// status and both output streams.
#pragma once

#include <sndfile.h>

#include <string>
#include <vector>

namespace kiv::ambidec::testing {

// Paths given by CMake.
inline const std::string kAmbidec = AMBIDEC_PATH;
inline const std::string kRegular = KIV_REGULAR_BUNDLE_PATH;
inline const std::string kIrregular = KIV_IRREGULAR_BUNDLE_PATH;

class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }
    // File names in the directory, sorted, hidden ones included.
    std::vector<std::string> entries() const;

private:
    std::string path_;
};

struct ToolResult {
    int exitStatus = -1; // -1 when ended by a signal
    int signal = 0;
    std::string out, err;
};

// Runs ambidec with the arguments and waits for it.
ToolResult runAmbidec(const std::vector<std::string>& arguments);
// The same in the directory cwd (when not empty), with standard output going to stdoutPath
// (when not empty; result.out stays empty then) and standard input read from stdinPath.
ToolResult runAmbidecWith(const std::vector<std::string>& arguments, const std::string& cwd,
                          const std::string& stdoutPath,
                          const std::string& stdinPath = "/dev/null");
// Starts ambidec in the background; answers its process id. Standard output goes to
// /dev/null, standard error to stderrPath.
int startAmbidec(const std::vector<std::string>& arguments,
                 const std::string& stderrPath = "/dev/null");

// Writes interleaved float samples as a 32-bit float WAV.
void writeWav(const std::string& path, int channels, int sampleRate,
              const std::vector<float>& interleaved);
// Reads a whole file: interleaved samples, channel count and sample rate.
std::vector<float> readSound(const std::string& path, int& channels, int& sampleRate);

} // namespace kiv::ambidec::testing
