// SPDX-License-Identifier: GPL-3.0-or-later
// Where ambidec's outputs go, through the real bundles: sizes past a format's limit are
// refused before any audio is written; links are followed, devices and FIFOs written into
// and never replaced; no way of stopping the program short of SIGKILL leaves a file behind.
#include "ToolRun.h"
#include "tests/support/ChildProcess.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

using namespace kiv::ambidec::testing;

namespace {

std::vector<float> tone(int frames, int channels, float level) {
    std::vector<float> samples;
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            samples.push_back(level *
                              std::sin(0.05f * static_cast<float>(i) + static_cast<float>(c)));
    return samples;
}

bool hasTemporary(const std::vector<std::string>& entries) {
    for (const auto& e : entries)
        if (e.find(".tmp-") != std::string::npos) return true;
    return false;
}

std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

mode_t typeOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? (st.st_mode & S_IFMT) : 0;
}

// A 32-bit float WAV header for frames frames of audio, the data left as a hole in the file:
// a long file that takes no room on the disk (its audio is silence).
void writeSparseWav(const std::string& path, int channels, int rate, std::uint32_t frames) {
    const std::uint32_t dataBytes = frames * static_cast<std::uint32_t>(channels) * 4;
    std::string header = "RIFF";
    const auto put32 = [&header](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) header += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    const auto put16 = [&header](std::uint16_t v) {
        header += static_cast<char>(v & 0xFF);
        header += static_cast<char>(v >> 8);
    };
    put32(36 + dataBytes);
    header += "WAVEfmt ";
    put32(16);
    put16(3); // IEEE float
    put16(static_cast<std::uint16_t>(channels));
    put32(static_cast<std::uint32_t>(rate));
    put32(static_cast<std::uint32_t>(rate * channels * 4));
    put16(static_cast<std::uint16_t>(channels * 4));
    put16(32);
    header += "data";
    put32(dataBytes);
    std::ofstream(path, std::ios::binary) << header;
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(header.size()) + dataBytes), 0);
}

} // namespace

TEST(AmbidecOutputs, SizesPastAFormatsLimitAreRefusedBeforeWriting) {
    ScratchDir dir;
    // 2^27 frames of 4 channels (2 GiB of input, a hole on the disk) become 4 GiB in 8.
    writeSparseWav(dir / "long.wav", 4, 48000, 1u << 27);
    const struct {
        std::vector<std::string> arguments;
        std::string message;
    } cases[] = {
        {{"render", kRegular, dir / "long.wav", dir / "out.aiff"},
         dir / "out.aiff: 4.0 GiB of audio would pass the 4 GiB limit of AIFF files; write .wav, "
               ".w64 or .caf instead"},
        {{"testsignal", dir / "signal.aif", "--rate", "384000", "--seconds", "3600"},
         dir / "signal.aif: 20.6 GiB of audio would pass the 4 GiB limit of AIFF files; write "
               ".wav, .w64 or .caf instead"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        const auto began = std::chrono::steady_clock::now();
        const ToolResult r = runAmbidec(c.arguments);
        EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(10))
            << "decided before decoding";
        EXPECT_EQ(r.exitStatus, 1);
        EXPECT_EQ(r.err, "ambidec: " + c.message + "\n");
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"long.wav"});
    }
    // Below the limit AIFF is fine, and WAV has none: a short one stays plain RIFF WAV.
    writeWav(dir / "short.wav", 4, 48000, tone(1000, 4, 0.3f));
    for (const char* name : {"out.aiff", "out.wav"}) {
        const ToolResult r = runAmbidec({"render", kRegular, dir / "short.wav", dir / name});
        ASSERT_EQ(r.exitStatus, 0) << r.err;
        int channels = 0, rate = 0;
        EXPECT_EQ(readSound(dir / name, channels, rate).size(), 8000u);
    }
    EXPECT_EQ(contents(dir / "out.wav").substr(0, 4), "RIFF");
}

TEST(AmbidecOutputs, LinksAreFollowedAndTheLinkStays) {
    ScratchDir dir;
    writeWav(dir / "in.wav", 4, 48000, tone(500, 4, 0.3f));
    ASSERT_EQ(::mkdir((dir / "real").c_str(), 0755), 0);
    std::ofstream(dir / "real/target.wav") << "old";
    ASSERT_EQ(::symlink("real/target.wav", (dir / "link.wav").c_str()), 0);
    ASSERT_EQ(::symlink("real/new.wav", (dir / "dangling.wav").c_str()), 0);

    ToolResult r = runAmbidec({"render", kRegular, dir / "in.wav", dir / "link.wav"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err,
              "ambidec: " + dir / "link.wav" + ": already exists (use --force to replace it)\n");
    EXPECT_EQ(contents(dir / "real/target.wav"), "old");

    for (const char* link : {"link.wav", "dangling.wav"}) {
        SCOPED_TRACE(link);
        r = runAmbidec({"render", kRegular, dir / "in.wav", dir / link, "--force"});
        ASSERT_EQ(r.exitStatus, 0) << r.err;
        EXPECT_EQ(typeOf(dir / link), static_cast<mode_t>(S_IFLNK));
        int channels = 0, rate = 0;
        EXPECT_EQ(readSound(dir / link, channels, rate).size(), 4000u);
    }
    EXPECT_EQ(typeOf(dir / "real/target.wav"), static_cast<mode_t>(S_IFREG));
    EXPECT_EQ(typeOf(dir / "real/new.wav"), static_cast<mode_t>(S_IFREG));
    EXPECT_EQ(dir.entries(),
              (std::vector<std::string>{"dangling.wav", "in.wav", "link.wav", "real"}));
}

TEST(AmbidecOutputs, DevicesAndFifosAreWrittenIntoNeverReplaced) {
    ScratchDir dir;
    writeWav(dir / "in.wav", 4, 48000, tone(2000, 4, 0.3f));
    // /dev/null takes a render, a plot and a test signal, and stays what it is.
    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {"render", kRegular, dir / "in.wav", "/dev/null"},
             {"render", kRegular, dir / "in.wav", "/dev/null", "--force"},
             {"plot", kIrregular, "/dev/null", "--force"},
             {"testsignal", "/dev/null", "--seconds", "0.5"}}) {
        const ToolResult r = runAmbidec(arguments);
        EXPECT_EQ(r.exitStatus, 0) << r.err;
        EXPECT_EQ(typeOf("/dev/null"), static_cast<mode_t>(S_IFCHR));
    }
    // A device node of our own, where we may make one (as root).
    if (::mknod((dir / "fakenull").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        const ToolResult r =
            runAmbidec({"render", kRegular, dir / "in.wav", dir / "fakenull", "--force"});
        EXPECT_EQ(r.exitStatus, 0) << r.err;
        EXPECT_EQ(typeOf(dir / "fakenull"), static_cast<mode_t>(S_IFCHR));
        ::unlink((dir / "fakenull").c_str());
    } else {
        std::printf("not root: no device node of our own made, /dev/null only\n");
    }

    // A FIFO takes a format that streams; one whose header is finished last is refused
    // without waiting for a reader.
    ASSERT_EQ(::mkfifo((dir / "stream.flac").c_str(), 0644), 0);
    std::string received;
    std::thread reader([&] { received = contents(dir / "stream.flac"); });
    ToolResult r = runAmbidec({"render", kRegular, dir / "in.wav", dir / "stream.flac", "--force"});
    reader.join();
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(received.substr(0, 4), "fLaC");
    EXPECT_EQ(typeOf(dir / "stream.flac"), static_cast<mode_t>(S_IFIFO));

    ASSERT_EQ(::mkfifo((dir / "stream.wav").c_str(), 0644), 0);
    r = runAmbidec({"render", kRegular, dir / "in.wav", dir / "stream.wav", "--force"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err, "ambidec: " + dir / "stream.wav" +
                         ": is a pipe, and this format's header is finished at the end; name it "
                         ".flac or .ogg to stream\n");
    EXPECT_EQ(typeOf(dir / "stream.wav"), static_cast<mode_t>(S_IFIFO));

    // A socket is no place for a file.
    const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = dir / "sock.wav";
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, socketPath.c_str());
    ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    r = runAmbidec({"render", kRegular, dir / "in.wav", socketPath, "--force"});
    ::close(s);
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(
        r.err.rfind("ambidec: " + socketPath + ": is a socket, not a file ambidec can write", 0),
        0u)
        << r.err;
    EXPECT_EQ(typeOf(socketPath), static_cast<mode_t>(S_IFSOCK));
    EXPECT_FALSE(hasTemporary(dir.entries()));
}

TEST(AmbidecOutputs, EveryWayOfStoppingLeavesNoFile) {
    ScratchDir dir;
    // Long enough in one-frame blocks that the run is still going when the signal comes.
    writeWav(dir / "long.wav", 4, 48000, tone(30 * 48000, 4, 0.5f));
    for (int signal : {SIGHUP, SIGPIPE, SIGINT, SIGTERM, SIGALRM, SIGUSR1, SIGXFSZ}) {
        SCOPED_TRACE(strsignal(signal));
        const int pid =
            startAmbidec({"render", kRegular, dir / "long.wav", dir / "out.wav", "--block", "1"});
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!hasTemporary(dir.entries()) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ASSERT_TRUE(hasTemporary(dir.entries())) << "the render never started writing";
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ::kill(pid, signal);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the render finished before the signal came";
        EXPECT_EQ(WTERMSIG(status), signal);
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"long.wav"});
    }

    // Standard output a pipe that nobody reads (ambidec render ... | true): SIGPIPE at the
    // first line of the report, with the temporary file already made.
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    ::close(pipeEnds[0]);
    kiv::test::ChildOptions render;
    render.argv = {kAmbidec, "render", kRegular, dir / "long.wav", dir / "out.wav"};
    render.outputFd = pipeEnds[1];
    const pid_t pid = kiv::test::spawnChild(render).pid;
    ASSERT_GT(pid, 0);
    ::close(pipeEnds[1]);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGPIPE);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"long.wav"});
}

TEST(AmbidecOutputs, LongNamesUpToTheFileSystemsLimit) {
    ScratchDir dir;
    writeWav(dir / "in.wav", 4, 48000, tone(100, 4, 0.3f));
    const long nameMax = ::pathconf(dir.path().c_str(), _PC_NAME_MAX);
    ASSERT_GT(nameMax, 20);
    // Longest name the file system takes, and within 12 bytes of it.
    for (long length : {nameMax, nameMax - 5, nameMax - 12}) {
        const std::string name = std::string(static_cast<std::size_t>(length) - 4, 'n') + ".wav";
        const ToolResult r = runAmbidec({"render", kRegular, dir / "in.wav", dir / name});
        EXPECT_EQ(r.exitStatus, 0) << length << ": " << r.err;
        EXPECT_EQ(typeOf(dir / name), static_cast<mode_t>(S_IFREG)) << length;
    }
    const std::string tooLong = std::string(static_cast<std::size_t>(nameMax) - 3, 'n') + ".wav";
    const ToolResult r = runAmbidec({"render", kRegular, dir / "in.wav", dir / tooLong});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err, "ambidec: " + dir / tooLong + ": the file name is too long (at most " +
                         std::to_string(nameMax) + " bytes here)\n");
    EXPECT_FALSE(hasTemporary(dir.entries()));
}
