// SPDX-License-Identifier: GPL-3.0-or-later
// Sets of head-related responses: the default set at several rates against libmysofa's own
// lookup, its geometry (which ear hears a side source first, mirror images), the plan for a
// rig, the user's sets, and files that must be refused with one line.
#include <gtest/gtest.h>
#include <mysofa.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "hrtf/HrtfError.h"
#include "hrtf/HrtfSet.h"
#include "hrtf/MakeBinauralPlan.h"
#include "hrtf/UserHrtfSets.h"

namespace fs = std::filesystem;

namespace {

struct TempDir {
    fs::path path;
    TempDir() {
        char name[] = "/tmp/kiv_hrtf_XXXXXX";
        path = mkdtemp(name);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

// First tap above a tenth of the response's peak.
int onset(const std::vector<float>& h) {
    float peak = 0.0f;
    for (float v : h) peak = std::max(peak, std::fabs(v));
    for (size_t i = 0; i < h.size(); ++i)
        if (std::fabs(h[i]) > 0.1f * peak) return static_cast<int>(i);
    return -1;
}

struct Pair {
    std::vector<float> left, right;
};

Pair response(const HrtfSet& set, double az, double el) {
    Pair p{std::vector<float>(set.length()), std::vector<float>(set.length())};
    set.responseAt(az, el, p.left.data(), p.right.data());
    return p;
}

TEST(HrtfSet, DefaultSetMatchesLibmysofaAtEveryRate) {
    for (double rate : {44100.0, 48000.0, 96000.0}) {
        SCOPED_TRACE(rate);
        auto set = HrtfSet::open(HrtfSet::defaultPath(), rate);
        EXPECT_EQ(set->name(), "default.sofa");
        EXPECT_EQ(set->sampleRate(), rate);
        EXPECT_EQ(set->fileSampleRate(), 44100.0);
        EXPECT_GT(set->measurements(), 100);
        // The set's 512 taps at 44.1 kHz, resampled.
        EXPECT_NEAR(set->length(), 512 * rate / 44100.0, 4.0);

        // libmysofa's lookup, called directly: measured and interpolated directions,
        // cartesian x ahead, y left, z up, at the set's 1.4 m.
        int taps = 0, err = 0;
        MYSOFA_EASY* easy =
            mysofa_open(HrtfSet::defaultPath().c_str(), static_cast<float>(rate), &taps, &err);
        ASSERT_NE(easy, nullptr);
        ASSERT_LE(taps, set->length());
        const double dirs[][2] = {{0, 0}, {90, 0}, {-135, 0}, {37, 12}, {-100, -25}, {180, 80}};
        double worst = 0.0;
        for (const auto& d : dirs) {
            const double az = d[0] * M_PI / 180, el = d[1] * M_PI / 180;
            std::vector<float> l(taps), r(taps);
            float dl = 0, dr = 0;
            mysofa_getfilter_float(easy, float(1.4 * std::cos(el) * std::cos(az)),
                                   float(1.4 * std::cos(el) * std::sin(az)),
                                   float(1.4 * std::sin(el)), l.data(), r.data(), &dl, &dr);
            const long shiftL = std::lround(dl * rate), shiftR = std::lround(dr * rate);
            const Pair ours = response(*set, d[0], d[1]);
            for (int i = 0; i < set->length(); ++i) {
                const float wantL = i >= shiftL && i - shiftL < taps ? l[i - shiftL] : 0.0f;
                const float wantR = i >= shiftR && i - shiftR < taps ? r[i - shiftR] : 0.0f;
                worst = std::max({worst, std::fabs(double(ours.left[i]) - wantL),
                                  std::fabs(double(ours.right[i]) - wantR)});
            }
        }
        mysofa_close(easy);
        EXPECT_LT(worst, 1e-6);
    }
}

TEST(HrtfSet, SideSourcesReachTheNearEarFirstAndMeasuredDirectionsMirror) {
    // The interaural delay the file itself has at 90 degrees on the left, at its own rate.
    int err = 0;
    MYSOFA_HRTF* raw = mysofa_load(HrtfSet::defaultPath().c_str(), &err);
    ASSERT_NE(raw, nullptr);
    mysofa_tospherical(raw);
    int fileItd = -1;
    const unsigned n = raw->N;
    for (unsigned m = 0; m < raw->M; ++m) {
        const float* pos = raw->SourcePosition.values + 3 * m;
        if (std::fabs(pos[0] - 90.0f) < 0.01f && std::fabs(pos[1]) < 0.01f) {
            std::vector<float> l(raw->DataIR.values + (2 * m) * n,
                                 raw->DataIR.values + (2 * m + 1) * n);
            std::vector<float> r(raw->DataIR.values + (2 * m + 1) * n,
                                 raw->DataIR.values + (2 * m + 2) * n);
            fileItd = onset(r) - onset(l);
        }
    }
    mysofa_free(raw);
    ASSERT_GT(fileItd, 10) << "the file has no measurement at 90 degrees with a clear delay";

    for (double rate : {44100.0, 96000.0}) {
        SCOPED_TRACE(rate);
        auto set = HrtfSet::open(HrtfSet::defaultPath(), rate);
        const Pair left = response(*set, 90, 0), right = response(*set, -90, 0);
        const double want = fileItd * rate / 44100.0;
        EXPECT_NEAR(onset(left.right) - onset(left.left), want, 1.0 + rate / 44100.0);
        EXPECT_NEAR(onset(right.left) - onset(right.right), want, 1.0 + rate / 44100.0);

        // Measured directions on the horizontal plane and above: mirror images.
        for (double az : {30.0, 90.0, 150.0})
            for (double el : {0.0, 20.0}) {
                const Pair a = response(*set, az, el), b = response(*set, -az, el);
                double worst = 0.0;
                for (int i = 0; i < set->length(); ++i)
                    worst = std::max({worst, std::fabs(double(a.left[i]) - b.right[i]),
                                      std::fabs(double(a.right[i]) - b.left[i])});
                EXPECT_LT(worst, 1e-6) << "azimuth " << az << ", elevation " << el;
            }
    }
}

TEST(HrtfSet, PlanForARigHoldsTheResponsesAtItsSpeakers) {
    auto set = HrtfSet::open(HrtfSet::defaultPath(), 48000.0);
    const std::vector<BinauralDirection> cube = {{45, 35},  {135, 35},  {-135, 35},  {-45, 35},
                                                 {45, -35}, {135, -35}, {-135, -35}, {-45, -35}};
    auto plan = makeBinauralPlan(*set, cube);
    ASSERT_EQ(plan->feeds, 8);
    EXPECT_EQ(plan->length, set->length());
    EXPECT_EQ(plan->sampleRate, 48000.0);
    for (int f = 0; f < 8; ++f) {
        const Pair p = response(*set, cube[f].azimuthDegrees, cube[f].elevationDegrees);
        EXPECT_EQ(plan->left[f], p.left) << "feed " << f;
        EXPECT_EQ(plan->right[f], p.right) << "feed " << f;
    }
    EXPECT_THROW(makeBinauralPlan(*set, std::vector<BinauralDirection>(33)), std::invalid_argument);
}

TEST(HrtfSet, UserSetsAreTheSofaFilesOfTheConfigDirectory) {
    TempDir tmp;
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_CONFIG_HOME", tmp.path.c_str(), 1);
    EXPECT_TRUE(userHrtfSetPaths().empty()) << "no directory yet";
    const fs::path dir = tmp.path / "kivtone" / "hrtf";
    fs::create_directories(dir / "folder.sofa");
    for (const char* name : {"b.sofa", "a.sofa", "notes.txt"}) std::ofstream(dir / name) << "x";
    EXPECT_EQ(userHrtfSetPaths(),
              (std::vector<std::string>{(dir / "a.sofa").string(), (dir / "b.sofa").string()}));
    if (old)
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

TEST(HrtfSet, BadFilesGiveOneLineNamingTheFile) {
    TempDir tmp;
    const fs::path dir = tmp.path;
    std::ofstream(dir / "text.sofa") << "this is not a set of head-related responses\n";
    std::ofstream(dir / "empty.sofa");
    {
        std::ifstream whole(HrtfSet::defaultPath(), std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(whole)),
                                std::istreambuf_iterator<char>());
        ASSERT_GT(bytes.size(), 100000u);
        // Cut inside the header, the attributes and the responses: libmysofa's reader
        // crashes on some of these, which must not take the caller down.
        for (size_t n : {size_t(500), size_t(5000), size_t(50000), bytes.size() / 2})
            std::ofstream(dir / ("cut" + std::to_string(n) + ".sofa"), std::ios::binary)
                .write(bytes.data(), static_cast<std::streamsize>(n));
    }
    fs::create_directory(dir / "folder.sofa");
    ASSERT_EQ(mkfifo((dir / "fifo.sofa").c_str(), 0600), 0); // nobody writes: would block

    struct Case {
        std::string path;
        int maxTaps;
        std::string says;
    };
    std::vector<Case> cases = {
        {(dir / "text.sofa").string(), HrtfSet::kMaxTaps, "not a SOFA file"},
        {(dir / "empty.sofa").string(), HrtfSet::kMaxTaps, "empty"},
        {(dir / "folder.sofa").string(), HrtfSet::kMaxTaps, "directory"},
        {(dir / "fifo.sofa").string(), HrtfSet::kMaxTaps, "not a regular file"},
        {"/dev/zero", HrtfSet::kMaxTaps, "not a regular file"},
        {(dir / "missing.sofa").string(), HrtfSet::kMaxTaps, "cannot be opened"},
        {HrtfSet::defaultPath(), 256, "more than 256"},
    };
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().filename().string().rfind("cut", 0) == 0)
            cases.push_back({entry.path().string(), HrtfSet::kMaxTaps, ""});
    ASSERT_EQ(cases.size(), 11u);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        try {
            HrtfSet::open(c.path, 48000.0, c.maxTaps);
            ADD_FAILURE() << "opened";
        } catch (const HrtfError& e) {
            const std::string line = e.what();
            EXPECT_EQ(line.rfind(c.path + ": ", 0), 0u) << line;
            EXPECT_EQ(line.find('\n'), std::string::npos) << line;
            EXPECT_NE(line.find(c.says), std::string::npos) << line;
        }
    }
}

} // namespace
