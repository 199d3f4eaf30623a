// SPDX-License-Identifier: GPL-3.0-or-later
// Every .ambdec preset that Debian's ambdec package installs: a first-order one decodes
// exactly as its matrices say (LF and HF, measured with plane waves encoded in the preset's
// own normalisation), a higher-order one is redesigned from its speakers and says so.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "RigMeasure.h"
#include "engine/LayoutDecoderEngine.h"
#include "rig/LayoutFile.h"
#include "rig/RigPlan.h"

namespace {

const char* const kPresetDirectory = "/usr/share/ambdec/presets";

std::vector<std::string> presetFiles() {
    std::vector<std::string> files;
    if (DIR* d = opendir(kPresetDirectory)) {
        while (const dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name.size() > 7 && name.substr(name.size() - 7) == ".ambdec")
                files.push_back(std::string(kPresetDirectory) + "/" + name);
        }
        closedir(d);
    }
    std::sort(files.begin(), files.end());
    return files;
}

// A plane wave from u in ACN channel acn, in the preset's normalisation, written out per
// convention rather than through the reader's conversion.
double encoded(Normalisation n, int acn, const Vec3& u) {
    const double first[4] = {1.0, u[1], u[2], u[0]}; // SN3D: W, Y, Z, X
    switch (n) {
    case Normalisation::FuMa:
        return acn == 0 ? std::sqrt(0.5) : first[acn];
    case Normalisation::SN3D:
        return first[acn];
    case Normalisation::N3D:
        return acn == 0 ? 1.0 : std::sqrt(3.0) * first[acn];
    }
    return 0.0;
}

// Speaker gains for a wave from u as the preset's own matrix gives them.
std::vector<double> presetGains(const PresetDecoder& d,
                                const std::vector<std::vector<double>>& rows,
                                const std::vector<double>& orderGain, double bandDb,
                                const Vec3& u) {
    std::vector<double> g;
    for (const auto& row : rows) {
        double sum = 0.0;
        for (size_t k = 0; k < d.acnColumns.size(); ++k) {
            const int acn = d.acnColumns[k];
            const int order = acn == 0 ? 0 : 1;
            const double og = order < static_cast<int>(orderGain.size()) ? orderGain[order] : 1.0;
            sum += row[k] * og * encoded(d.coeffScale, acn, u);
        }
        g.push_back(sum * std::pow(10.0, bandDb / 20.0));
    }
    return g;
}

std::vector<double> planGains(const double (*m)[4], int n, const Vec3& u) {
    const std::array<double, 4> in = fumaOfDirection(u);
    std::vector<double> g(n, 0.0);
    for (int s = 0; s < n; ++s)
        for (int c = 0; c < 4; ++c) g[s] += m[s][c] * in[c];
    return g;
}

TEST(RigPresets, FirstOrderPresetsDecodeAsWrittenHigherOrderOnesAreRedesigned) {
    const std::vector<std::string> files = presetFiles();
    if (files.empty())
        GTEST_SKIP() << "no presets in " << kPresetDirectory << " (Debian package ambdec)";
    int firstOrder = 0, redesigned = 0;
    const std::vector<Vec3> waves = sampleDirections(200, false);
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        const Layout layout = readLayoutFile(file);
        ASSERT_TRUE(layout.decoder.has_value());
        const PresetDecoder& d = *layout.decoder;
        const RigPlan rig = planForLayout(layout);
        const DecoderPlan& plan = rig.plan;
        ASSERT_EQ(plan.numSpeakers, layout.realCount());
        if (d.order > 1) {
            ++redesigned;
            EXPECT_FALSE(rig.asWritten);
            EXPECT_NE(rig.notice.find("a first-order decoder is designed"), std::string::npos)
                << rig.notice;
            EXPECT_TRUE(plan.twoBand);
            // sevendotone's subwoofer stands where its centre does: silent, and named.
            if (file.find("sevendotone") != std::string::npos) {
                EXPECT_NE(rig.notice.find("Left silent, standing where another speaker does: Sub."),
                          std::string::npos)
                    << rig.notice;
                for (int c = 0; c < 4; ++c) EXPECT_EQ(plan.hf[3][c], 0.0);
            }
            continue;
        }
        ++firstOrder;
        EXPECT_TRUE(rig.asWritten);
        EXPECT_EQ(rig.notice, "");
        EXPECT_EQ(plan.twoBand, d.twoBand);
        const double ratio = d.twoBand ? d.crossoverRatioDb / 2.0 : 0.0;
        for (const Vec3& u : waves) {
            const std::vector<double> lfWant = presetGains(d, d.lf, d.lfOrderGain, -ratio, u);
            const std::vector<double> lfGot = planGains(plan.lf, plan.numSpeakers, u);
            const std::vector<double> hfWant =
                d.twoBand ? presetGains(d, d.hf, d.hfOrderGain, ratio, u) : lfWant;
            const std::vector<double> hfGot = planGains(plan.hf, plan.numSpeakers, u);
            for (int s = 0; s < plan.numSpeakers; ++s) {
                ASSERT_NEAR(lfGot[s], lfWant[s], 1e-12);
                ASSERT_NEAR(hfGot[s], hfWant[s], 1e-12);
            }
        }
        // The options and distances as the file says.
        EXPECT_EQ(plan.delayCompensation, d.delayCompensation);
        EXPECT_EQ(plan.levelCompensation, d.levelCompensation);
        EXPECT_EQ(plan.crossoverHz, d.crossoverHz);
        const std::vector<const Speaker*> real = layout.realSpeakers();
        for (int s = 0; s < plan.numSpeakers; ++s)
            EXPECT_EQ(plan.distanceMetres[s], real[s]->distanceMetres);
    }
    // Debian's 60 presets: 14 first-order v3 (chan_mask b or f), 9 v1/v2 with hor_order 1.
    EXPECT_EQ(firstOrder, 23);
    EXPECT_EQ(redesigned, 37);
}

// A worked preset: the reader and the fold by hand, columns out of FuMa order, N3D, order gains,
// the band ratio and the options.
TEST(RigPresets, WorkedVersion3PresetFoldsAsComputedByHand) {
    const std::string text = R"(# test
/description  worked example
/version 3
/dec/chan_mask f
/dec/freq_bands 2
/dec/speakers 2
/dec/coeff_scale n3d
/opt/input_scale sn3d
/opt/nfeff_comp output
/opt/delay_comp on
/opt/level_comp off
/opt/xover_freq 500
/opt/xover_ratio 6
/speakers/{
add_spkr L 2.0 90 0 system:playback_1
add_spkr R 1.5 -90 0
/}
/lfmatrix/{
order_gain 1.0 2.0 0 0
add_row 0.1 0.2 0.3 0.4
add_row 0.5 0.6 0.7 0.8
/}
/hfmatrix/{
order_gain 0.5 1.0
add_row 1 0 0 0
add_row 0 1 0 0
/}
/end
)";
    const Layout layout = parseLayout(text, LayoutFormat::Ambdec, "worked.ambdec");
    EXPECT_EQ(layout.description, "worked example");
    const DecoderPlan plan = planForLayout(layout).plan;
    const double s2 = std::sqrt(2.0), s3 = std::sqrt(3.0);
    const double lfBand = std::pow(10.0, -6.0 / 40.0), hfBand = std::pow(10.0, 6.0 / 40.0);
    // Plan inputs W, X, Y, Z from ACN W, Y, Z, X: N3D W = sqrt 2 FuMa W, N3D X = sqrt 3 X.
    const double lf0[4] = {0.1 * s2, 0.4 * 2 * s3, 0.2 * 2 * s3, 0.3 * 2 * s3};
    const double hf1[4] = {0.0, 0.0, 1.0 * s3, 0.0};
    for (int c = 0; c < 4; ++c) {
        EXPECT_NEAR(plan.lf[0][c], lf0[c] * lfBand, 1e-12) << c;
        EXPECT_NEAR(plan.hf[1][c], hf1[c] * hfBand, 1e-12) << c;
    }
    EXPECT_NEAR(plan.hf[0][0], 0.5 * s2 * hfBand, 1e-12);
    EXPECT_EQ(plan.nearField, DecoderPlan::NearField::Output);
    EXPECT_TRUE(plan.delayCompensation);
    EXPECT_FALSE(plan.levelCompensation);
    EXPECT_EQ(plan.crossoverHz, 500.0);
    EXPECT_EQ(plan.distanceMetres[1], 1.5);
}

// Versions 1 and 2: FuMa column order W, X, Y (Z); two order gains; no ratio line.
TEST(RigPresets, Version2ColumnsAreInFumaOrder) {
    const std::string text =
        "/version 2\n/dec/hor_order 1\n/dec/ver_order 1\n/dec/freq_bands 1\n"
        "/dec/speakers 2\n/dec/coeff_scale fuma\n/opt/nfeff_comp input\n"
        "/speakers/{\nadd_spkr a 1 0 0\nadd_spkr b 3 180 0\n/}\n"
        "/matrix/{\norder_gain 1 0.5\nadd_row 1 2 3 4\nadd_row 5 6 7 8\n/}\n/end\n";
    const DecoderPlan plan =
        planForLayout(parseLayout(text, LayoutFormat::Ambdec, "v2.ambdec")).plan;
    const double want[4] = {1.0, 1.0, 1.5, 2.0};
    for (int c = 0; c < 4; ++c) EXPECT_DOUBLE_EQ(plan.lf[0][c], want[c]);
    EXPECT_FALSE(plan.twoBand);
    EXPECT_EQ(plan.nearField, DecoderPlan::NearField::Input);
    EXPECT_EQ(plan.nearFieldDistanceMetres, 3.0); // the farthest speaker
}

// Through the layout engine at its as-written settings (patterns 1, single band): a plane
// wave at 30 Hz comes out as the preset's LF matrix says, at 12 kHz as its HF matrix says.
// Compensation is switched off here: it is the engine's, tested with the engine.
TEST(RigPresets, FirstOrderPresetsThroughTheLayoutEngine) {
    const std::vector<std::string> files = presetFiles();
    if (files.empty()) GTEST_SKIP() << "no presets in " << kPresetDirectory;
    constexpr double kFs = 48000.0;
    constexpr int kFrames = 9600, kBlock = 256;
    int checked = 0;
    for (const std::string& file : files) {
        const Layout layout = readLayoutFile(file);
        if (layout.decoder->order != 1) continue;
        SCOPED_TRACE(file);
        const PresetDecoder& d = *layout.decoder;
        DecoderPlan plan = planForLayout(layout).plan;
        plan.nearField = DecoderPlan::NearField::None;
        plan.delayCompensation = plan.levelCompensation = false;
        for (const double hz : {30.0, 12000.0}) {
            const bool hf = hz > 1000.0 && d.twoBand;
            const Vec3 u = unitVector(70.0, 20.0);
            LayoutDecoderEngine engine(LayoutDecoderEngine::kMaxOutputs, kBlock);
            engine.setFS(static_cast<float>(kFs));
            engine.setLPGain(0.5f);
            engine.setHPGain(0.5f);
            engine.setSEQ(0.0f);
            engine.setDistComp(1.0f);
            engine.setNFC(1.0f);
            engine.setPlan(plan);
            const std::array<double, 4> fuma = fumaOfDirection(u);
            std::vector<std::vector<float>> in(4, std::vector<float>(kFrames)),
                out(LayoutDecoderEngine::kMaxOutputs, std::vector<float>(kFrames));
            for (int i = 0; i < kFrames; ++i)
                for (int c = 0; c < 4; ++c)
                    in[c][i] = static_cast<float>(fuma[c] *
                                                  std::sin(2.0 * 3.141592653589793 * hz * i / kFs));
            for (int at = 0; at < kFrames; at += kBlock) {
                float* ip[4];
                float* op[LayoutDecoderEngine::kMaxOutputs];
                for (int c = 0; c < 4; ++c) ip[c] = in[c].data() + at;
                for (int o = 0; o < LayoutDecoderEngine::kMaxOutputs; ++o)
                    op[o] = out[o].data() + at;
                engine.processReplacing(ip, op, std::min(kBlock, kFrames - at));
            }
            const double ratio = d.twoBand ? d.crossoverRatioDb / 2.0 : 0.0;
            const std::vector<double> want = hf ? presetGains(d, d.hf, d.hfOrderGain, ratio, u)
                                                : presetGains(d, d.lf, d.lfOrderGain, -ratio, u);
            for (int s = 0; s < plan.numSpeakers; ++s) {
                double c = 0.0, q = 0.0;
                for (int i = kFrames / 2; i < kFrames; ++i) {
                    c += out[s][i] * std::cos(2.0 * 3.141592653589793 * hz * i / kFs);
                    q += out[s][i] * std::sin(2.0 * 3.141592653589793 * hz * i / kFs);
                }
                const double amplitude = 2.0 * std::hypot(c, q) / (kFrames / 2);
                EXPECT_NEAR(amplitude, std::fabs(want[s]), 0.01 + 0.01 * std::fabs(want[s]))
                    << hz << " Hz, speaker " << s;
            }
        }
        ++checked;
    }
    EXPECT_EQ(checked, 23);
}

} // namespace
