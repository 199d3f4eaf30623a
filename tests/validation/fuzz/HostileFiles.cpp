// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/validation/fuzz/HostileFiles.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace kiv::fuzz {

namespace {

std::string scratch;
std::vector<std::string> paths; // what anyPath picks from
std::vector<std::string> texts; // whole layout texts of the three formats

const char kList[] = "name seed\nL 30 0 3\nR -30 0 3\nLS 110 0 2\nRS -110 0 2\nC 0 0 3\n";
const char kJson[] =
    "{\"Name\": \"pair\", \"LoudspeakerLayout\": {\"Loudspeakers\": [{\"Azimuth\": 30, "
    "\"Elevation\": 0, \"Radius\": 1, \"IsImaginary\": false, \"Channel\": 1, \"Gain\": 1}, "
    "{\"Azimuth\": -30, \"Elevation\": 0, \"Radius\": 1, \"IsImaginary\": false, \"Channel\": 2, "
    "\"Gain\": 1}, {\"Azimuth\": 180, \"Elevation\": 0, \"Radius\": 1, \"IsImaginary\": false, "
    "\"Channel\": 3, \"Gain\": 1}]}}";
const char kSet[] = "/usr/share/libmysofa/default.sofa";
const char kPreset[] = "/usr/share/ambdec/presets/cube.ambdec";

std::string contentOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void need(bool made, const std::string& what) {
    if (made) return;
    std::perror(("kiv fuzz: cannot make " + what).c_str());
    std::abort();
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    need(static_cast<bool>(out), path);
}

} // namespace

void makeHostileFiles() {
    char dir[] = "/tmp/kiv-fuzz-XXXXXX";
    need(mkdtemp(dir) != nullptr, "a scratch directory");
    scratch = dir;
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(scratch, ignored);
    });
    const std::string config = scratch + "/config/kivtone";
    std::filesystem::create_directories(config + "/hrtf");
    std::filesystem::create_directories(config + "/layouts");
    setenv("XDG_CONFIG_HOME", (scratch + "/config").c_str(), 1);

    texts = {kList, kJson};
    const std::string preset = contentOf(kPreset);
    if (!preset.empty()) texts.push_back(preset);
    writeFile(scratch + "/room.txt", kList);
    writeFile(scratch + "/room.json", kJson);
    writeFile(scratch + "/room.ambdec", preset.empty() ? std::string(kList) : preset);
    writeFile(config + "/layouts/studio.txt", kList);

    // A set cut short in its header and in its middle, as a copy or a download broken off
    // leaves it (libmysofa crashes on the first). Each is parsed afresh in a checking child
    // every time it is named, a large one for a tenth of a second: two are enough.
    const std::string set = contentOf(kSet);
    writeFile(scratch + "/cut-head.sofa", set.substr(0, 2048));
    writeFile(scratch + "/cut-half.sofa", set.substr(0, set.size() / 2));
    writeFile(config + "/hrtf/mine.sofa", set.substr(0, 4096)); // a user's set, cut short
    writeFile(scratch + "/text.sofa", "not a set of responses\n");
    writeFile(scratch + "/empty.sofa", "");
    std::filesystem::create_directory(scratch + "/dir.sofa");
    need(mkfifo((scratch + "/fifo").c_str(), 0600) == 0, "a FIFO");
    need(mkfifo((scratch + "/fifo.sofa").c_str(), 0600) == 0, "a FIFO");
    need(symlink("loop.sofa", (scratch + "/loop.sofa").c_str()) == 0, "a symlink loop");

    paths = {kSet,
             scratch + "/room.txt",
             scratch + "/room.json",
             scratch + "/room.ambdec",
             scratch + "/cut-head.sofa",
             scratch + "/cut-half.sofa",
             scratch + "/text.sofa",
             scratch + "/empty.sofa",
             scratch,
             scratch + "/dir.sofa",
             scratch + "/fifo",
             scratch + "/fifo.sofa",
             "/dev/zero",
             "/dev/null",
             scratch + "/loop.sofa",
             scratch + "/missing.sofa",
             scratch + "/" + std::string(1100, 'a'),
             "Cube",
             "ITU 5.0",
             "7.0.4 (BS.2051 4+7+0)",
             "studio",
             "mine",
             "mine.sofa",
             ""};
}

std::string anyPath(FuzzedDataProvider& in) {
    const std::size_t pick = in.ConsumeIntegralInRange<std::size_t>(0, paths.size() + 1);
    if (pick < paths.size()) return paths[pick];
    if (pick == paths.size()) return scratch + "/" + in.ConsumeRandomLengthString(40);
    return in.ConsumeRandomLengthString(1100);
}

std::string anyFileName(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange<int>(0, 7)) {
    case 0:
        return "room.txt";
    case 1:
        return "room.ambdec";
    case 2:
        return "room.json";
    case 3:
        return "";
    case 4:
        return std::string(1100, 'n') + ".txt"; // over every name limit
    default:
        return in.ConsumeRandomLengthString(80);
    }
}

std::string anyLayoutText(FuzzedDataProvider& in) {
    const std::size_t pick = in.ConsumeIntegralInRange<std::size_t>(0, texts.size());
    if (pick == texts.size()) return in.ConsumeRandomLengthString(8192);
    std::string text = texts[pick];
    // Whole, cut short, or with a few bytes changed (a number, a brace, a NUL).
    if (in.ConsumeBool()) text.resize(in.ConsumeIntegralInRange<std::size_t>(0, text.size()));
    const int changes = in.ConsumeIntegralInRange<int>(0, 3);
    for (int c = 0; c < changes && !text.empty(); ++c)
        text[in.ConsumeIntegralInRange<std::size_t>(0, text.size() - 1)] =
            static_cast<char>(in.ConsumeIntegral<std::uint8_t>());
    return text;
}

} // namespace kiv::fuzz
