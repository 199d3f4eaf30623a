// SPDX-License-Identifier: GPL-3.0-or-later
// The three layout readers and the file guard: one table of bad files, each refused with one
// line naming the file, the line or key, and the fault; files that are not regular files;
// good files of each format; the user's layout directory and the factory layouts.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>

#include "rig/FactoryLayouts.h"
#include "rig/LayoutFile.h"
#include "rig/RigError.h"
#include "rig/RigPlan.h"
#include "rig/UserLayouts.h"

namespace {

class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/kiv-rig-XXXXXX";
        path = mkdtemp(pattern);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string write(const std::string& name, const std::string& content) const {
        const std::string file = path + "/" + name;
        std::ofstream(file, std::ios::binary) << content;
        return file;
    }
    std::string path;
};

// The error line of reading a file, or "" when it was read.
std::string errorOf(const std::string& file) {
    try {
        const Layout layout = readLayoutFile(file);
        planForLayout(layout, file);
    } catch (const RigError& e) {
        return e.what();
    }
    return "";
}

std::string ambdec(const std::string& speakersLine, const std::string& mask,
                   const std::string& speakerBlock, const std::string& matrixBlock,
                   const std::string& extra = "") {
    return "/description bad\n/version 3\n/dec/chan_mask " + mask + "\n/dec/freq_bands 1\n" +
           speakersLine + "\n/dec/coeff_scale fuma\n" + extra + "/speakers/{\n" + speakerBlock +
           "/}\n/matrix/{\n" + matrixBlock + "/}\n/end\n";
}

const std::string kTwoSpeakers = "add_spkr L 2 30 0\nadd_spkr R 2 -30 0\n";
const std::string kTwoRows = "order_gain 1 1\nadd_row 1 0 1\nadd_row 1 0 -1\n";

std::string jsonLayout(const std::string& speakers, const std::string& extra = "") {
    return R"({"Name": "bad", "LoudspeakerLayout": {"Name": "x", "Loudspeakers": [)" + speakers +
           "]}" + extra + "}";
}
std::string jsonSpeaker(double az, double el, int channel, bool imaginary = false) {
    return R"({"Azimuth": )" + std::to_string(az) + R"(, "Elevation": )" + std::to_string(el) +
           R"(, "Radius": 1.5, "IsImaginary": )" + (imaginary ? "true" : "false") +
           R"(, "Channel": )" + std::to_string(channel) + R"(, "Gain": 1.0})";
}

struct BadFile {
    const char* name;
    std::string content;
    const char* where; // what follows the path: ":LINE: " or ": KEY: "
    const char* what;  // a part of the fault's description
};

TEST(RigReaders, BadFilesAreRefusedWithOneLineNamingFileLineAndFault) {
    std::string many;
    for (int i = 0; i < 33; ++i)
        many += "S" + std::to_string(i) + " " + std::to_string(i * 10) + " 0\n";
    std::string cut = ambdec("/dec/speakers 2", "b", kTwoSpeakers, kTwoRows);
    cut.resize(cut.find("add_row 1 0 -1"));
    std::string noEnd = ambdec("/dec/speakers 2", "b", kTwoSpeakers, kTwoRows);
    noEnd.resize(noEnd.find("/end"));
    const BadFile table[] = {
        {"truncated.ambdec", cut, ":14: ", "ends inside the block of line 11 (truncated?)"},
        {"no-end.ambdec", noEnd, ":16: ", "ends without /end (truncated?)"},
        {"no-matrix.ambdec",
         "/version 3\n/dec/chan_mask b\n/dec/freq_bands 2\n/dec/speakers 2\n/dec/coeff_scale sn3d\n"
         "/speakers/{\n" +
             kTwoSpeakers + "/}\n/lfmatrix/{\n" + kTwoRows + "/}\n/end\n",
         ":16: ", "no /hfmatrix/ block"},
        {"extra-row.ambdec",
         ambdec("/dec/speakers 2", "b", kTwoSpeakers, kTwoRows + "add_row 1 1 1\n"),
         ":15: ", "more rows than /dec/speakers 2"},
        {"few-rows.ambdec",
         ambdec("/dec/speakers 2", "b", kTwoSpeakers, "order_gain 1 1\nadd_row 1 0 1\n"),
         ":14: ", "block of line 11 has 1 rows, /dec/speakers says 2"},
        {"few-speakers.ambdec", ambdec("/dec/speakers 2", "b", "add_spkr L 2 30 0\n", kTwoRows),
         ":9: ", "block of line 7 has 1 speakers, /dec/speakers says 2"},
        {"short-row.ambdec", ambdec("/dec/speakers 2", "f", kTwoSpeakers, kTwoRows),
         ":13: ", "row has 3 values, the preset's channels ask for 4"},
        {"keyword.ambdec",
         ambdec("/dec/speakers 2", "b", kTwoSpeakers, kTwoRows, "/opt/loudness on\n"),
         ":7: ", "unknown keyword '/opt/loudness'"},
        {"nan.ambdec",
         ambdec("/dec/speakers 2", "b", kTwoSpeakers,
                "order_gain 1 1\nadd_row nan 0 1\nadd_row 1 0 -1\n"),
         ":13: ", "'nan' is not finite"},
        {"inf.ambdec",
         ambdec("/dec/speakers 2", "b", "add_spkr L inf 30 0\nadd_spkr R 2 -30 0\n", kTwoRows),
         ":8: ", "distance 'inf' is not finite"},
        {"latin1.ambdec", "# caf\xe9\n" + ambdec("/dec/speakers 2", "b", kTwoSpeakers, kTwoRows),
         ":1: ", "is not UTF-8 text"},
        {"many.ambdec", ambdec("/dec/speakers 40", "b", kTwoSpeakers, kTwoRows),
         ":5: ", "speakers 40 is not a whole number from 2 to 32"},
        {"one.ambdec", ambdec("/dec/speakers 1", "b", kTwoSpeakers, kTwoRows),
         ":5: ", "speakers 1 is not a whole number from 2 to 32"},
        {"mask.ambdec", ambdec("/dec/speakers 2", "3", kTwoSpeakers, kTwoRows),
         ":3: ", "chan_mask '3' is neither first order (b, f) nor a higher order"},
        {"mask-hex.ambdec", ambdec("/dec/speakers 2", "xyz", kTwoSpeakers, kTwoRows),
         ":3: ", "chan_mask 'xyz' is not a hexadecimal mask"},
        {"scale.ambdec",
         "/version 3\n/dec/chan_mask b\n/dec/freq_bands 1\n/dec/speakers 2\n/dec/coeff_scale "
         "maxn\n",
         ":5: ", "coeff_scale 'maxn' is not fuma, sn3d or n3d"},
        {"order.ambdec", "/version 2\n/dec/hor_order 1\n/dec/ver_order 2\n",
         ":3: ", "ver_order is above hor_order"},
        {"channel.json", jsonLayout(jsonSpeaker(30, 0, 1) + "," + jsonSpeaker(-30, 0, 33)),
         ": /LoudspeakerLayout/Loudspeakers/1/Channel: ", "is not a whole number from 1 to 32"},
        {"repeated.json", jsonLayout(jsonSpeaker(30, 0, 2) + "," + jsonSpeaker(-30, 0, 2)),
         ": /LoudspeakerLayout/Loudspeakers/1/Channel: ", "2 is used by an earlier loudspeaker"},
        {"syntax.json", "{\n  \"Name\": \"x\",\n  \"LoudspeakerLayout\": [1, 2,,]\n}\n",
         ":3: ", "not valid JSON"},
        {"nolayout.json", R"({"Name": "x"})", ": /LoudspeakerLayout: ", "is missing"},
        {"type.json", jsonLayout(R"({"Azimuth": "left", "Elevation": 0, "Channel": 1})"),
         ": /LoudspeakerLayout/Loudspeakers/0/Azimuth: ", "is not a number"},
        {"deep.json", std::string(100, '[') + std::string(100, ']'), ": ",
         "nested deeper than 16 levels"},
        {"too-many.txt", many, ":33: ", "more than 32 speakers"},
        {"routing.json",
         jsonLayout(jsonSpeaker(30, 0, 1) + "," + jsonSpeaker(-30, 0, 2),
                    R"(, "Decoder": {"Matrix": [[1,0,0,0],[1,0,0,0]], "Routing": [1, 7]})"),
         ": /Decoder/Routing/1: ", "channel 7 is no loudspeaker's Channel"},
        {"columns.json",
         jsonLayout(jsonSpeaker(30, 0, 1) + "," + jsonSpeaker(-30, 0, 2),
                    R"(, "Decoder": {"Matrix": [[1,0,0],[1,0,0]]})"),
         ": /Decoder/Matrix: ", "not (N+1)^2"},
        {"short.txt", "name x\nL 30\n",
         ":2: ", "expected NAME AZIMUTH ELEVATION [DISTANCE], found 2 words"},
        {"word.txt", "L 30 up\nR -30 0\n", ":1: ", "elevation 'up' is not a number"},
        {"alone.txt", "# one\nC 0 0\n", ": ", "has 1 real speaker, at least 2 are needed"},
        {"high.txt", "L 30 100\nR -30 0\n", ": ",
         "speaker 1 (L) has an elevation outside -90 to 90 degrees"},
        {"twins.txt", "L 30 0\nR -30 0\nL2 30.1 0.1\n", ": ",
         "speaker 3 (L2) stands at the same place as speaker 1 (L)"},
        {"far.txt", "L 30 0 1e300\nR -30 0\n", ": ", "has a distance outside 0 to 1000 m"},
        {"nul.txt", std::string("L 30 0\n\0R -30 0\n", 16), ":2: ", "holds a NUL byte"},
        {"big.txt", std::string(2 << 20, '#'), ": ",
         "is 2048 KiB, layout files are at most 1024 KiB"},
    };
    const TempDir dir;
    for (const BadFile& bad : table) {
        SCOPED_TRACE(bad.name);
        const std::string file = dir.write(bad.name, bad.content);
        const std::string error = errorOf(file);
        EXPECT_EQ(error.rfind(file + bad.where, 0), 0u) << error;
        EXPECT_NE(error.find(bad.what), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
}

TEST(RigReaders, WhatIsNotARegularFileIsRefusedWithoutBlocking) {
    const TempDir dir;
    const std::string fifo = dir.path + "/layout.ambdec";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    auto pending = std::async(std::launch::async, [&] { return errorOf(fifo); });
    if (pending.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        const int writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK); // let the reader go
        if (writer >= 0) close(writer);
        FAIL() << "reading a FIFO blocked";
    }
    EXPECT_EQ(pending.get(), fifo + ": is not a regular file (a FIFO, device or socket)");
    EXPECT_EQ(errorOf("/dev/zero"), "/dev/zero: is not a regular file (a FIFO, device or socket)");
    EXPECT_EQ(errorOf(dir.path), dir.path + ": is a directory, not a layout file");
    EXPECT_EQ(errorOf(dir.path + "/none.json"),
              dir.path + "/none.json: cannot open: No such file or directory");
}

TEST(RigReaders, SpeakerListGivesNamesDistancesAndSubwoofer) {
    const std::string text =
        "# living room\nname Living room 5.1\nsubwoofer\n"
        "L 30 0 2.1  # front left\nR -30 0 2.1\nC 0 0 2.0\nLS 110 0 0.9\nRS -110 0\n";
    const Layout layout = parseLayout(text, LayoutFormat::SpeakerList, "room.txt");
    EXPECT_EQ(layout.name, "Living room 5.1");
    ASSERT_EQ(layout.realCount(), 5);
    EXPECT_TRUE(layout.subwoofer);
    EXPECT_EQ(layout.speakers[3].name, "LS");
    EXPECT_EQ(layout.speakers[3].azimuthDegrees, 110.0);
    EXPECT_EQ(layout.speakers[3].distanceMetres, 0.9);
    EXPECT_EQ(layout.speakers[4].distanceMetres, 2.0); // left out: 2 m
    const DecoderPlan plan = planForLayout(layout).plan;
    EXPECT_EQ(plan.numSpeakers, 5);
    EXPECT_TRUE(plan.subwoofer);
    EXPECT_TRUE(plan.delayCompensation);
    EXPECT_TRUE(plan.levelCompensation);
    EXPECT_EQ(plan.distanceMetres[0], 2.1);
    EXPECT_EQ(plan.distanceMetres[3], 0.9);
}

TEST(RigReaders, IemLayoutRoutesByChannelAndKeepsImaginarySpeakersOutOfThePlan) {
    // Channels out of order; an imaginary speaker below; the layout under Decoder as in
    // older files.
    const std::string text =
        R"({"Name": "Quad", "Decoder": {"LoudspeakerLayout": {"Loudspeakers": [)" +
        jsonSpeaker(45, 0, 2) + "," + jsonSpeaker(-45, 0, 1) + "," + jsonSpeaker(135, 0, 4) + "," +
        jsonSpeaker(-135, 0, 3) + "," + jsonSpeaker(0, -90, 5, true) + "]}}}";
    const Layout layout = parseLayout(text, LayoutFormat::IemJson, "quad.json");
    EXPECT_EQ(layout.name, "Quad");
    EXPECT_EQ(layout.realCount(), 4);
    EXPECT_FALSE(layout.decoder.has_value());
    const std::vector<const Speaker*> real = layout.realSpeakers();
    EXPECT_EQ(real[0]->azimuthDegrees, -45.0); // channel 1
    EXPECT_EQ(real[1]->azimuthDegrees, 45.0);
    const RigPlan rig = planForLayout(layout);
    EXPECT_FALSE(rig.asWritten);
    EXPECT_EQ(rig.plan.numSpeakers, 4);
    // Channel 1 (right front) gets more of a wave from the right than channel 2.
    const double fromRight = rig.plan.hf[0][2] * -1.0, fromRightOnLeft = rig.plan.hf[1][2] * -1.0;
    EXPECT_GT(fromRight, fromRightOnLeft);
}

// Channels 1, 2 and 5: rows move to their outputs, 3 and 4 stay silent, designed or written.
TEST(RigReaders, IemChannelGapsLeaveSilentOutputs) {
    const std::string speakers =
        jsonSpeaker(30, 0, 1) + "," + jsonSpeaker(-30, 0, 2) + "," + jsonSpeaker(180, 0, 5);
    const std::string matrix =
        R"(, "Decoder": {"Matrix": [[0.1, 0, 0, -1], [0.2, 0, 0, 1], [0.3, 0, 0, 1]], "Routing": [5, 1, 2]})";
    for (const std::string& text : {jsonLayout(speakers), jsonLayout(speakers, matrix)}) {
        const RigPlan rig = planForLayout(parseLayout(text, LayoutFormat::IemJson, "gaps.json"));
        ASSERT_EQ(rig.plan.numSpeakers, 5);
        for (int o : {2, 3})
            for (int c = 0; c < 4; ++c) EXPECT_EQ(rig.plan.hf[o][c], 0.0) << o;
        EXPECT_EQ(rig.plan.distanceMetres[3], 1.5);
        // The rear speaker (output 5) gets the most of a wave from behind.
        const double fromBehind[3] = {rig.plan.hf[0][0] - rig.plan.hf[0][1] * std::sqrt(2.0),
                                      rig.plan.hf[1][0] - rig.plan.hf[1][1] * std::sqrt(2.0),
                                      rig.plan.hf[4][0] - rig.plan.hf[4][1] * std::sqrt(2.0)};
        EXPECT_GT(fromBehind[2], fromBehind[0]);
        EXPECT_GT(fromBehind[2], fromBehind[1]);
    }
}

TEST(RigReaders, IemFirstOrderDecoderIsUsedAsWrittenWithItsWeights) {
    struct Case {
        const char* weights;
        bool applied;
        const char* normalisation;
        double w1;    // gain on the first-order columns
        double scale; // FuMa to the columns: X, Y, Z
    };
    const Case cases[] = {{"maxrE", false, "n3d", 1.0 / std::sqrt(3.0), std::sqrt(3.0)},
                          {"maxrE", true, "n3d", 1.0, std::sqrt(3.0)},
                          {"inPhase", false, "sn3d", 1.0 / 3.0, 1.0},
                          {"none", false, "sn3d", 1.0, 1.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.weights) + " " + c.normalisation);
        const std::string text = jsonLayout(
            jsonSpeaker(30, 0, 1) + "," + jsonSpeaker(-30, 0, 2) + "," + jsonSpeaker(180, 0, 3),
            std::string(R"(, "Decoder": {"ExpectedInputNormalization": ")") + c.normalisation +
                R"(", "Weights": ")" + c.weights + R"(", "WeightsAlreadyApplied": )" +
                (c.applied ? "true" : "false") +
                R"(, "Matrix": [[0.1, 0.2, 0.3, 0.4], [0.5, 0.6, 0.7, 0.8], [0.9, 1.0, 1.1, 1.2]],
                              "Routing": [3, 1, 2]})");
        const RigPlan rig = planForLayout(parseLayout(text, LayoutFormat::IemJson, "dec.json"));
        ASSERT_TRUE(rig.asWritten);
        EXPECT_FALSE(rig.plan.twoBand);
        // Row 0 of the matrix feeds channel 3: W, then ACN Y, Z, X onto FuMa X, Y, Z.
        const double(&row)[4] = rig.plan.lf[2];
        EXPECT_NEAR(row[0], 0.1 * std::sqrt(2.0), 1e-12);
        EXPECT_NEAR(row[1], 0.4 * c.w1 * c.scale, 1e-12);
        EXPECT_NEAR(row[2], 0.2 * c.w1 * c.scale, 1e-12);
        EXPECT_NEAR(row[3], 0.3 * c.w1 * c.scale, 1e-12);
        EXPECT_NEAR(rig.plan.hf[2][1], row[1], 1e-15);
    }
}

TEST(RigReaders, TextInMemoryReadsAsTheFileDoes) {
    const TempDir dir;
    const std::string text = "name Pair\nL 30 0 1.5\nR -30 0 1.5\n";
    const Layout fromFile = readLayoutFile(dir.write("pair.txt", text));
    const Layout fromText = parseLayout(text, LayoutFormat::SpeakerList, "state");
    ASSERT_EQ(fromFile.speakers.size(), fromText.speakers.size());
    const DecoderPlan a = planForLayout(fromFile).plan, b = planForLayout(fromText).plan;
    for (int s = 0; s < a.numSpeakers; ++s)
        for (int c = 0; c < 4; ++c) EXPECT_EQ(a.hf[s][c], b.hf[s][c]);
    EXPECT_EQ(layoutFormatOfName("x.AMBDEC"), LayoutFormat::Ambdec);
    EXPECT_EQ(layoutFormatOfName("x.json"), LayoutFormat::IemJson);
    EXPECT_EQ(layoutFormatOfName("x.layout"), LayoutFormat::SpeakerList);
}

TEST(RigLayouts, UserLayoutsAreFoundByNameBesideTheFactoryOnes) {
    const TempDir dir;
    const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = oldXdg ? oldXdg : "";
    setenv("XDG_CONFIG_HOME", dir.path.c_str(), 1);
    mkdir((dir.path + "/kivtone").c_str(), 0700);
    mkdir((dir.path + "/kivtone/layouts").c_str(), 0700);
    dir.write("kivtone/layouts/studio.txt", "name Studio\nL 30 0\nR -30 0\nC 0 0\n");
    dir.write("kivtone/layouts/cube.ambdec", "/version 3\n");
    dir.write("kivtone/layouts/.hidden", "x");
    dir.write("kivtone/layouts/studio.txt~", "x");
    EXPECT_EQ(userLayoutDirectory(), dir.path + "/kivtone/layouts");
    const std::vector<UserLayoutFile> files = listUserLayouts();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].name, "cube");
    EXPECT_EQ(files[1].name, "studio");
    EXPECT_EQ(findLayout("studio").name, "Studio");
    EXPECT_EQ(findLayout("ITU 5.1").realCount(), 5);
    EXPECT_EQ(findLayout(dir.path + "/kivtone/layouts/studio.txt").realCount(), 3);
    try {
        findLayout("cube");
        ADD_FAILURE() << "a broken user layout was read";
    } catch (const RigError& e) {
        EXPECT_NE(std::string(e.what()).find("cube.ambdec:"), std::string::npos) << e.what();
    }
    try {
        findLayout("attic");
        ADD_FAILURE() << "an unknown name was found";
    } catch (const RigError& e) {
        EXPECT_EQ(std::string(e.what()), "attic: no such file, factory layout or layout in " +
                                             dir.path + "/kivtone/layouts");
    }
    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(userLayoutDirectory(), "/home/someone/.config/kivtone/layouts");
    if (oldXdg) setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
}

TEST(RigLayouts, FactoryLayoutsHaveTheirSpeakers) {
    struct Expected {
        const char* name;
        int speakers;
        bool subwoofer;
        const char* lastName;
    };
    const Expected table[] = {{"ITU 5.0", 5, false, "RS"},
                              {"ITU 5.1", 5, true, "RS"},
                              {"7.0 (BS.2051 0+7+0)", 7, false, "RRS"},
                              {"5.0.4 (BS.2051 4+5+0)", 9, false, "RTR"},
                              {"7.0.4 (BS.2051 4+7+0)", 11, false, "RTR"},
                              {"12-speaker ring", 12, false, "S12"},
                              {"8+8 dome", 16, false, "U8"}};
    ASSERT_EQ(factoryLayouts().size(), std::size(table));
    for (const Expected& e : table) {
        SCOPED_TRACE(e.name);
        const Layout* layout = factoryLayout(e.name);
        ASSERT_NE(layout, nullptr);
        EXPECT_EQ(layout->realCount(), e.speakers);
        EXPECT_EQ(layout->subwoofer, e.subwoofer);
        EXPECT_EQ(layout->speakers.back().name, e.lastName);
        const RigPlan rig = planForLayout(*layout);
        EXPECT_EQ(rig.plan.numSpeakers, e.speakers);
        EXPECT_EQ(rig.plan.subwoofer, e.subwoofer);
        EXPECT_FALSE(rig.plan.delayCompensation); // all at 2 m
    }
    EXPECT_EQ(factoryLayout("ITU 5.0")->speakers[3].azimuthDegrees, 110.0);
}

} // namespace
