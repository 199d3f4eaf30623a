// SPDX-License-Identifier: GPL-3.0-or-later
// Every sample rate a host may run, every block length, blocks longer than announced, and
// outputs written over the inputs: the decoded audio must not depend on how the host cuts
// it into blocks or where it keeps the buffers, and must mean the same at every rate. Both
// faces of every bundle; an LV2 instance is told its longest block as bufsz:maxBlockLength.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "host/VstOpcodes.h"
#include "tests/validation/Audio.h"
#include "tests/validation/Face.h"
#include "tests/validation/ParameterSets.h"

using namespace kiv::validation;
using kiv::vsthost::PluginInstance;

namespace {

class RatesAndBlocks : public ::testing::TestWithParam<FaceUnderTest> {};
// What only the VST record has: a rate set apart from the start.
class RatesAndBlocksVst : public ::testing::TestWithParam<BundleUnderTest> {};

const float kRates[] = {8000, 22050, 44100, 48000, 96000, 192000, 384000};

std::unique_ptr<Face> configured(const FaceUnderTest& face, const ParameterSet& set, float rate,
                                 int announced) {
    auto instance = newFace(face);
    apply(*instance, set);
    instance->start(rate, announced);
    return instance;
}

std::unique_ptr<PluginInstance> configured(const BundleUnderTest& bundle, const ParameterSet& set,
                                           float rate, int announced) {
    auto instance = newInstance(bundle);
    apply(*instance, set);
    instance->start(rate, announced);
    return instance;
}

double rms(const std::vector<float>& x, int from) {
    double sum = 0.0;
    for (std::size_t i = from; i < x.size(); ++i) sum += double(x[i]) * x[i];
    return std::sqrt(sum / double(x.size() - from));
}

} // namespace

TEST_P(RatesAndBlocks, OutputDoesNotDependOnBlockLengthOrBufferPlacement) {
    // The headphone monitor's latency and partitions follow the announced block by design;
    // tests/headphonemonitor holds it to its responses at each block size instead.
    if (GetParam().name.rfind("HeadphoneMonitor", 0) == 0)
        GTEST_SKIP() << "latency follows the announced block";
    const Audio input = noise(GetParam().inputs, 3 * 4096 + 123, 21, 0.7f);
    for (const ParameterSet& set : chainVariants()) {
        for (float rate : kRates) {
            const Audio reference = render(*configured(GetParam(), set, rate, 4096), input, 4096);
            ASSERT_EQ(firstNonFinite(reference), "") << set.name << " at " << rate;
            ASSERT_GT(peak(reference), 0.01f) << set.name << " at " << rate;
            const struct {
                int announced, length;
            } cuts[] = {{1, 1},
                        {2, 2},
                        {3, 3},
                        {64, 64},
                        {511, 511},
                        {4096, 4096},
                        // longer than the host announced
                        {64, 100},
                        {64, 4096},
                        {511, 5000},
                        {1, 7}};
            for (const auto& cut : cuts) {
                for (bool inPlace : {true, false}) {
                    const Audio out = render(*configured(GetParam(), set, rate, cut.announced),
                                             input, cut.length, inPlace);
                    EXPECT_EQ(firstDifference(out, reference), "")
                        << set.name << " at " << rate << " Hz, announced " << cut.announced
                        << ", blocks of " << cut.length << (inPlace ? ", in place" : "");
                }
            }
        }
    }
}

// A low tone lies below every cut-off, far from every rate's Nyquist frequency: it must
// come out at the same level whatever the rate.
TEST_P(RatesAndBlocks, ALowToneComesOutAtTheSameLevelAtEveryRate) {
    // The headphone monitor plays its responses at the level libmysofa gives them, which
    // normalises their energy after resampling: low tones grow with the root of the rate.
    if (GetParam().name.rfind("HeadphoneMonitor", 0) == 0)
        GTEST_SKIP() << "its level is libmysofa's at each rate";
    for (const ParameterSet& set : chainVariants()) {
        std::vector<double> atRate;
        for (float rate : kRates) {
            const int frames = static_cast<int>(rate / 2); // half a second
            const Audio input = sine(GetParam().inputs, frames, 100.0f, rate);
            const Audio out = render(*configured(GetParam(), set, rate, 512), input, 512);
            double level = 0.0;
            for (int s = 0; s < out.channels(); ++s) level += rms(out[s], frames / 2);
            atRate.push_back(level);
        }
        const double at48k = atRate[3];
        ASSERT_GT(at48k, 0.01) << set.name;
        for (std::size_t r = 0; r < atRate.size(); ++r)
            EXPECT_NEAR(atRate[r] / at48k, 1.0, 0.02) << set.name << " at " << kRates[r] << " Hz";
    }
}

// A rate that is no rate (zero, negative, infinite, NaN) would make every filter NaN; the
// plug-in keeps the rate it had, so the audio stays what it was.
TEST_P(RatesAndBlocksVst, ARateThatIsNoRateIsIgnored) {
    const Audio input = noise(GetParam().inputs, 4096, 25, 0.5f);
    for (const ParameterSet& set : chainVariants()) {
        const Audio want = render(*configured(GetParam(), set, 48000.0f, 512), input, 512);
        for (float bad : {0.0f, -48000.0f, std::numeric_limits<float>::infinity(),
                          std::numeric_limits<float>::quiet_NaN()}) {
            auto instance = configured(GetParam(), set, 48000.0f, 512);
            instance->stop();
            instance->dispatch(effSetSampleRate, 0, 0, nullptr, bad);
            instance->dispatch(effMainsChanged, 0, 1);
            EXPECT_EQ(firstDifference(render(*instance, input, 512), want), "")
                << set.name << ", rate " << bad;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Bundles, RatesAndBlocks, ::testing::ValuesIn(allFaces()), BundleName());
INSTANTIATE_TEST_SUITE_P(Bundles, RatesAndBlocksVst, ::testing::ValuesIn(allBundlesUnderTest()),
                         BundleName());
