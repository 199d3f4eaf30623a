// SPDX-License-Identifier: GPL-3.0-or-later
// Output files that appear whole or not at all, the formats chosen by extension, and the
// B-format channel conversions.
#include "tools/ambidec/AtomicOutput.h"
#include "tools/ambidec/BFormat.h"
#include "tools/ambidec/SoundFile.h"
#include "tools/ambidec/ToolError.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace kiv::ambidec;

namespace {

class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/ambidec-test-XXXXXX";
        path_ = ::mkdtemp(pattern);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        DIR* dir = ::opendir(path_.c_str());
        while (dirent* e = ::readdir(dir))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
                names.push_back(e->d_name);
        ::closedir(dir);
        return names;
    }

private:
    std::string path_;
};

std::string contents(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void put(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
}

void writeAll(int fd, const std::string& text) {
    ASSERT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
}

} // namespace

TEST(AtomicOutput, CommitRenamesTheTemporaryFileIntoPlace) {
    TempDir dir;
    {
        AtomicOutput out(dir / "a.txt", false);
        EXPECT_EQ(out.temporaryPath().rfind(dir / ".a.txt.tmp-", 0), 0u);
        writeAll(out.fd(), "hello");
        EXPECT_EQ(dir.entries().size(), 1u);
        out.commit();
    }
    EXPECT_EQ(contents(dir / "a.txt"), "hello");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"a.txt"});
}

TEST(AtomicOutput, AFailedRunLeavesNothing) {
    TempDir dir;
    try {
        AtomicOutput out(dir / "b.wav", false);
        writeAll(out.fd(), "half");
        throw ToolError("something went wrong");
    } catch (const ToolError&) {
    }
    EXPECT_TRUE(dir.entries().empty());
}

TEST(AtomicOutput, ExistingFilesNeedOverwrite) {
    TempDir dir;
    put(dir / "c.txt", "old");
    try {
        AtomicOutput out(dir / "c.txt", false);
        FAIL();
    } catch (const ToolError& error) {
        EXPECT_EQ(std::string(error.what()),
                  dir / "c.txt" + ": already exists (use --force to replace it)");
    }
    {
        AtomicOutput out(dir / "c.txt", true);
        writeAll(out.fd(), "new");
        EXPECT_EQ(contents(dir / "c.txt"), "old");
        out.commit();
    }
    EXPECT_EQ(contents(dir / "c.txt"), "new");
    EXPECT_EQ(dir.entries().size(), 1u);
}

TEST(AtomicOutput, AFileThatAppearsMeanwhileIsNotReplaced) {
    TempDir dir;
    AtomicOutput out(dir / "d.txt", false);
    writeAll(out.fd(), "mine");
    put(dir / "d.txt", "theirs");
    EXPECT_THROW(out.commit(), ToolError);
    EXPECT_EQ(contents(dir / "d.txt"), "theirs");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"d.txt"});
}

TEST(AtomicOutput, UnwritablePlacesAreRefused) {
    TempDir dir;
    EXPECT_THROW(AtomicOutput(dir / "missing/e.txt", true), ToolError);
    EXPECT_THROW(AtomicOutput(dir / "", true), ToolError);
    EXPECT_TRUE(dir.entries().empty());
}

TEST(AtomicOutput, SigtermRemovesTheTemporaryFile) {
    TempDir dir;
    for (int signal : {SIGTERM, SIGINT}) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            AtomicOutput::installSignalCleanup();
            AtomicOutput out(dir / "f.wav", false);
            (void)::write(out.fd(), "partial", 7);
            ::raise(signal);
            ::_exit(0); // not reached
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status));
        EXPECT_EQ(WTERMSIG(status), signal);
        EXPECT_TRUE(dir.entries().empty());
    }
}

TEST(SoundFile, OutputFormatFollowsTheExtension) {
    const struct {
        const char* path;
        int format;
    } cases[] = {{"out.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT},
                 {"dir.d/out", SF_FORMAT_WAV | SF_FORMAT_FLOAT}, // no extension: float WAV
                 {"OUT.WAV", SF_FORMAT_WAV | SF_FORMAT_FLOAT},
                 {"a.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24}};
    for (const auto& c : cases) EXPECT_EQ(outputFormatFor(c.path), c.format) << c.path;
    try {
        outputFormatFor("x/out.mp3");
        FAIL();
    } catch (const ToolError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "x/out.mp3: unknown output format '.mp3' (use .wav, .w64, .rf64, .aiff, .caf, "
                  ".flac or .ogg)");
    }
}

TEST(SoundFile, FloatWavRoundTripsExactly) {
    TempDir dir;
    std::vector<float> samples;
    for (int i = 0; i < 5 * 1000; ++i) samples.push_back(std::sin(0.001f * i * i) * 1.5f);
    {
        AtomicOutput out(dir / "r.wav", false);
        SoundFileWriter writer(out.fd(), out.target(), outputFormatFor("r.wav"), 5, 44100);
        writer.write(samples.data(), 600);
        writer.write(samples.data() + 600 * 5, 400);
        writer.close();
        out.commit();
    }
    SoundFileReader reader(dir / "r.wav");
    EXPECT_EQ(reader.channels(), 5);
    EXPECT_EQ(reader.sampleRate(), 44100);
    ASSERT_EQ(reader.frames(), 1000);
    std::vector<float> back(5 * 1000);
    EXPECT_EQ(reader.read(back.data(), 1000), 1000);
    EXPECT_EQ(back, samples); // above full scale too: float WAV does not clip
    EXPECT_EQ(reader.read(back.data(), 1000), 0);
}

TEST(SoundFile, UnreadableFilesSayWhy) {
    TempDir dir;
    put(dir / "text.wav", "this is no audio file");
    for (const std::string& path : {dir / "text.wav", dir / "missing.wav"}) {
        try {
            SoundFileReader reader(path);
            FAIL() << path;
        } catch (const ToolError& error) {
            EXPECT_EQ(std::string(error.what()).rfind(path + ": cannot be read: ", 0), 0u)
                << error.what();
        }
    }
}

TEST(BFormat, PlaneWaveEncoding) {
    const double h = std::sqrt(0.5);
    const struct {
        double azimuthDeg, elevationDeg;
        BFormatGains expected;
    } cases[] = {{0, 0, {h, 1, 0, 0}},
                 {90, 0, {h, 0, 1, 0}},
                 {180, 0, {h, -1, 0, 0}},
                 {-90, 0, {h, 0, -1, 0}},
                 {0, 90, {h, 0, 0, 1}},
                 {45, 0, {h, h, h, 0}},
                 {0, -30, {h, std::cos(M_PI / 6), 0, -0.5}}};
    for (const auto& c : cases) {
        const BFormatGains g =
            encodePlaneWave(c.azimuthDeg * M_PI / 180, c.elevationDeg * M_PI / 180);
        EXPECT_NEAR(g.w, c.expected.w, 1e-12);
        EXPECT_NEAR(g.x, c.expected.x, 1e-12);
        EXPECT_NEAR(g.y, c.expected.y, 1e-12);
        EXPECT_NEAR(g.z, c.expected.z, 1e-12);
    }
}

TEST(BFormat, AmbiXFramesBecomeFuMaInputs) {
    // ACN 0 to 3 of two frames: W, Y, Z, X with SN3D.
    const float file[] = {1.0f, 0.2f, 0.3f, 0.4f, -2.0f, -0.5f, 0.25f, 0.125f};
    float w[2], x[2], y[2], z[2];
    float* inputs[] = {w, x, y, z};
    splitToPluginInputs(file, 4, InputFormat::AmbiX, 2, inputs, 4);
    EXPECT_FLOAT_EQ(w[0], 1.0f / std::sqrt(2.0f));
    EXPECT_FLOAT_EQ(x[0], 0.4f);
    EXPECT_FLOAT_EQ(y[0], 0.2f);
    EXPECT_FLOAT_EQ(z[0], 0.3f);
    EXPECT_FLOAT_EQ(w[1], -std::sqrt(2.0f));
    EXPECT_FLOAT_EQ(x[1], 0.125f);
    EXPECT_FLOAT_EQ(y[1], -0.5f);
    EXPECT_FLOAT_EQ(z[1], 0.25f);

    // A 3-input plug-in takes W, X, Y and no Z, from a full first-order AmbiX file.
    z[0] = 99.0f;
    splitToPluginInputs(file, 4, InputFormat::AmbiX, 1, inputs, 3);
    EXPECT_FLOAT_EQ(x[0], 0.4f);
    EXPECT_FLOAT_EQ(z[0], 99.0f);

    const float fuma[] = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f};
    splitToPluginInputs(fuma, 3, InputFormat::FuMa, 2, inputs, 3);
    EXPECT_EQ(w[1], 0.4f);
    EXPECT_EQ(x[1], 0.5f);
    EXPECT_EQ(y[1], 0.6f);

    // W, X, Y into four inputs: Z silent. W, X, Y, Z into three: Z left out.
    z[0] = z[1] = 99.0f;
    splitToPluginInputs(fuma, 3, InputFormat::FuMa, 2, inputs, 4);
    EXPECT_EQ(z[0], 0.0f);
    EXPECT_EQ(z[1], 0.0f);
    EXPECT_EQ(y[1], 0.6f);
    const float fuma4[] = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f};
    z[1] = 99.0f;
    splitToPluginInputs(fuma4, 4, InputFormat::FuMa, 2, inputs, 3);
    EXPECT_EQ(w[1], 0.5f);
    EXPECT_EQ(y[1], 0.7f);
    EXPECT_EQ(z[1], 99.0f);
}

TEST(BFormat, AcceptedChannelCounts) {
    const struct {
        InputFormat format;
        int channels;
        bool accepted;
    } cases[] = {{InputFormat::FuMa, 1, false}, {InputFormat::FuMa, 2, false},
                 {InputFormat::FuMa, 3, true},  {InputFormat::FuMa, 4, true},
                 {InputFormat::FuMa, 5, false}, {InputFormat::AmbiX, 3, false},
                 {InputFormat::AmbiX, 4, true}, {InputFormat::AmbiX, 9, false}};
    for (const auto& c : cases)
        EXPECT_EQ(acceptsFileChannels(c.format, c.channels), c.accepted) << c.channels;
}
