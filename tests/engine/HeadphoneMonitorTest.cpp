// SPDX-License-Identifier: GPL-3.0-or-later
// The headphone monitor's engine: exact responses after the reported latency at any block
// size, the plan swap and the bypass as crossfades, the level, and a process() that
// allocates and locks nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "engine/HeadphoneMonitorEngine.h"
#include "tests/validation/AllocationHook.h"

namespace {

constexpr double kRate = 48000.0;

// Decaying noise, different for every feed, ear and seed; the first tap is never zero so
// the onset marks the delay.
std::shared_ptr<BinauralPlan> noisePlan(int feeds, int length, unsigned seed) {
    auto plan = std::make_shared<BinauralPlan>();
    plan->sampleRate = kRate;
    plan->feeds = feeds;
    plan->length = length;
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    for (int f = 0; f < feeds; ++f)
        for (auto* h : {&plan->left[f], &plan->right[f]}) {
            h->resize(static_cast<size_t>(length));
            for (int i = 0; i < length; ++i) (*h)[i] = u(rng) * std::exp(-3.0f * i / length) * 0.5f;
            (*h)[0] = 0.5f + 0.1f * f;
        }
    return plan;
}

struct Ears {
    std::vector<float> left, right;
};

// Runs `input` (feeds x frames) through the engine in blocks cycling through `blocks`;
// `during(frame)` is called before each block. Counts allocations and locks in process.
template <typename During>
Ears run(HeadphoneMonitorEngine& engine, const std::vector<std::vector<float>>& input,
         const std::vector<int>& blocks, During during, long* hookTotal = nullptr) {
    const int frames = static_cast<int>(input[0].size());
    Ears out{std::vector<float>(frames), std::vector<float>(frames)};
    std::vector<const float*> ptrs(input.size());
    long total = 0;
    for (int at = 0, b = 0; at < frames; b = (b + 1) % static_cast<int>(blocks.size())) {
        const int n = std::min(blocks[b], frames - at);
        during(at);
        for (size_t f = 0; f < input.size(); ++f) ptrs[f] = input[f].data() + at;
        kiv::validation::AllocationHook::arm();
        engine.process(ptrs.data(), static_cast<int>(ptrs.size()), out.left.data() + at,
                       out.right.data() + at, n);
        total += kiv::validation::AllocationHook::disarm().total();
        at += n;
    }
    if (hookTotal) *hookTotal = total;
    return out;
}

Ears run(HeadphoneMonitorEngine& engine, const std::vector<std::vector<float>>& input,
         const std::vector<int>& blocks) {
    return run(engine, input, blocks, [](int) {});
}

std::vector<std::vector<float>> noise(int feeds, int frames, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(-0.5f, 0.5f);
    std::vector<std::vector<float>> in(feeds, std::vector<float>(frames));
    for (auto& ch : in)
        for (auto& v : ch) v = u(rng);
    return in;
}

// Where y lies between a and b (0 at a, 1 at b), frame by frame, where they differ clearly:
// a crossfade shows a factor that only moves by small steps from 0 to 1.
void expectSmoothBlend(const std::vector<float>& a, const std::vector<float>& b,
                       const std::vector<float>& y, int from, int to, double maxStep) {
    double last = 0.0;
    int seen = 0, lastFrame = from;
    for (int i = from; i < to; ++i) {
        const double d = double(b[i]) - a[i];
        if (std::fabs(d) < 0.05) continue;
        const double g = (double(y[i]) - a[i]) / d;
        ASSERT_GE(g, -1e-3) << "frame " << i;
        ASSERT_LE(g, 1.0 + 1e-3) << "frame " << i;
        if (seen++) {
            ASSERT_LE(std::fabs(g - last), maxStep * (i - lastFrame) + 1e-3)
                << "jump at frame " << i;
        }
        last = g;
        lastFrame = i;
    }
    EXPECT_GT(seen, (to - from) / 4) << "too few frames to judge the blend";
}

TEST(HeadphoneMonitorEngine, ImpulseOnEachFeedGivesItsResponsesAfterTheLatency) {
    ASSERT_TRUE(kiv::validation::AllocationHook::active());
    struct Case {
        int maxBlock;
        std::vector<int> blocks;
        int taps; // responses shorter and longer than a partition
    };
    const std::vector<Case> cases = {
        {64, {64}, 300},
        {512, {512}, 558},
        {512, {1, 511, 300, 7}, 1115},
        {100, {37, 100, 63, 250}, 30},
        {7, {7, 3, 5, 1}, 200},
        {4096, {4096, 1500, 17}, 2500},
        {1, {1}, 40},
    };
    const int feeds = 5, spacing = 3000;
    for (const Case& c : cases) {
        SCOPED_TRACE("maxBlock " + std::to_string(c.maxBlock) + ", taps " + std::to_string(c.taps));
        HeadphoneMonitorEngine engine;
        engine.prepare(kRate, c.maxBlock);
        const int latency = engine.latency();
        EXPECT_GE(latency, 1);
        EXPECT_LE(latency, c.maxBlock);
        auto plan = noisePlan(feeds, c.taps, 7u + c.taps);
        ASSERT_TRUE(engine.setPlan(plan));

        // One impulse per feed, each far enough from the next to be seen alone; a sixth input
        // beyond the plan's feeds carries noise that must not be heard.
        const int frames = 100 + feeds * spacing + c.taps + latency;
        std::vector<std::vector<float>> in(feeds + 1, std::vector<float>(frames, 0.0f));
        for (int k = 0; k < feeds; ++k) in[k][100 + k * spacing] = 1.0f;
        in[feeds] = noise(1, frames, 3)[0];
        long hook = -1;
        Ears out = run(
            engine, in, c.blocks, [](int) {}, &hook);
        EXPECT_EQ(hook, 0) << "allocations, frees or locks in process";

        double worst = 0.0;
        int onset = -1;
        for (int i = 0; i < frames && onset < 0; ++i)
            if (std::fabs(out.left[i]) > 1e-3f) onset = i; // above the transforms' rounding
        EXPECT_EQ(onset, 100 + latency) << "measured delay differs from latency()";
        for (int k = 0; k < feeds; ++k)
            for (int i = 0; i < spacing && 100 + k * spacing + latency + i < frames; ++i) {
                const int at = 100 + k * spacing + latency + i;
                const float wantL = i < c.taps ? plan->left[k][i] : 0.0f;
                const float wantR = i < c.taps ? plan->right[k][i] : 0.0f;
                worst = std::max({worst, std::fabs(double(out.left[at]) - wantL),
                                  std::fabs(double(out.right[at]) - wantR)});
            }
        EXPECT_LT(worst, 1e-5);
    }
}

TEST(HeadphoneMonitorEngine, PlanSwapAndBypassAreCrossfades) {
    const int maxBlock = 256, frames = 24000, swapAt = 6000;
    auto in = noise(4, frames, 11);
    // Both plans hear the same feeds: a feed that a new plan adds starts from silence.
    auto planA = noisePlan(3, 700, 1), planB = noisePlan(3, 400, 2);
    auto alone = [&](std::shared_ptr<BinauralPlan> plan) {
        HeadphoneMonitorEngine e;
        e.prepare(kRate, maxBlock);
        EXPECT_TRUE(e.setPlan(plan));
        return run(e, in, {maxBlock});
    };
    const Ears a = alone(planA), b = alone(planB);

    HeadphoneMonitorEngine engine;
    engine.prepare(kRate, maxBlock);
    ASSERT_TRUE(engine.setPlan(planA));
    long hook = -1;
    const Ears swapped = run(
        engine, in, {maxBlock, 100, 45},
        [&](int at) {
            if (at >= swapAt && engine.plan() == planA) {
                EXPECT_TRUE(engine.setPlan(planB));
            }
        },
        &hook);
    EXPECT_EQ(hook, 0);
    const int fade = static_cast<int>(HeadphoneMonitorEngine::kCrossfadeSeconds * kRate);
    const int settled = swapAt + 2 * maxBlock + fade + engine.latency();
    for (int i = 0; i < frames; ++i) {
        if (i < swapAt) {
            ASSERT_EQ(swapped.left[i], a.left[i]) << "before the swap, frame " << i;
        }
        if (i >= settled) {
            ASSERT_NEAR(swapped.left[i], b.left[i], 1e-6) << "frame " << i;
        }
    }
    expectSmoothBlend(a.left, b.left, swapped.left, swapAt, settled, 1.0 / fade);
    expectSmoothBlend(a.right, b.right, swapped.right, swapAt, settled, 1.0 / fade);

    // Bypass: feeds 1 and 2 as they came in, delayed by the latency, unscaled by the level.
    std::vector<float> dryL(frames, 0.0f), dryR(frames, 0.0f);
    const int latency = engine.latency();
    std::copy(in[0].begin(), in[0].end() - latency, dryL.begin() + latency);
    std::copy(in[1].begin(), in[1].end() - latency, dryR.begin() + latency);
    HeadphoneMonitorEngine bypassed;
    bypassed.prepare(kRate, maxBlock);
    ASSERT_TRUE(bypassed.setPlan(planA));
    bypassed.setLevelDb(-12.0f);
    const Ears level = alone(planA);
    const Ears by = run(bypassed, in, {maxBlock},
                        [&](int at) { bypassed.setBypass(at >= swapAt && at < 3 * swapAt); });
    const float gain = std::pow(10.0f, -12.0f / 20.0f);
    for (int i = 0; i < frames; ++i) {
        if (i > 4000 && i < swapAt) {
            ASSERT_NEAR(by.left[i], gain * level.left[i], 1e-5) << "level, frame " << i;
        }
        if (i >= swapAt + fade + maxBlock && i < 3 * swapAt) {
            ASSERT_EQ(by.left[i], dryL[i]) << "bypass, frame " << i;
            ASSERT_EQ(by.right[i], dryR[i]) << "bypass, frame " << i;
        }
    }
    std::vector<float> scaled(level.left);
    for (auto& v : scaled) v *= gain;
    expectSmoothBlend(scaled, dryL, by.left, swapAt, swapAt + fade + maxBlock, 1.0 / fade);
    expectSmoothBlend(dryL, scaled, by.left, 3 * swapAt, 3 * swapAt + fade + maxBlock, 1.0 / fade);
}

TEST(HeadphoneMonitorEngine, LevelGlidesAndPlansThatDoNotFitAreRefused) {
    const int maxBlock = 128, frames = 14400, change = 38 * maxBlock;
    auto in = noise(2, frames, 5);
    auto plan = noisePlan(2, 256, 9);
    HeadphoneMonitorEngine ref, engine;
    for (auto* e : {&ref, &engine}) {
        e->prepare(kRate, maxBlock);
        ASSERT_TRUE(e->setPlan(plan));
    }
    const Ears r = run(ref, in, {maxBlock});
    const Ears y = run(engine, in, {maxBlock}, [&](int at) {
        if (at >= change) engine.setLevelDb(-20.0f);
    });
    // The first frames after the change are still close to the old level; 80 ms later the
    // new one holds.
    for (int i = change; i < change + 8; ++i)
        if (std::fabs(r.left[i]) > 0.05f) {
            EXPECT_GT(y.left[i] / r.left[i], 0.9f);
        }
    for (int i = change + 3840; i < frames; ++i) ASSERT_NEAR(y.left[i], 0.1f * r.left[i], 1e-5);

    // A burst of non-finite samples is heard as silence, and the output stays finite.
    auto poisoned = in;
    for (int i = 100; i < 140; ++i) poisoned[i % 2][i] = i % 3 ? NAN : INFINITY;
    const Ears p = run(engine, poisoned, {maxBlock});
    for (int i = 0; i < frames; ++i) {
        ASSERT_TRUE(std::isfinite(p.left[i]) && std::isfinite(p.right[i])) << "frame " << i;
    }

    // reset() drops the tails and the delayed frames still in the engine.
    engine.reset();
    const Ears silent = run(engine, {std::vector<float>(2000, 0.0f)}, {maxBlock});
    for (size_t i = 0; i < silent.left.size(); ++i) {
        ASSERT_EQ(silent.left[i], 0.0f) << "frame " << i;
        ASSERT_EQ(silent.right[i], 0.0f) << "frame " << i;
    }

    auto wrongRate = noisePlan(2, 256, 9);
    wrongRate->sampleRate = 44100.0;
    auto tooLong = noisePlan(1, HeadphoneMonitorEngine::kMaxTaps + 1, 9);
    auto ragged = noisePlan(2, 256, 9);
    ragged->right[1].pop_back();
    auto empty = noisePlan(0, 256, 9);
    for (auto& bad : {wrongRate, tooLong, ragged, empty}) EXPECT_FALSE(engine.setPlan(bad));
    EXPECT_EQ(engine.plan(), plan) << "a refused plan replaced the running one";

    // A rate change drops the plan; the same rate keeps it for the new block size.
    engine.prepare(kRate, 1024);
    EXPECT_TRUE(engine.hasPlan());
    engine.prepare(96000.0, 1024);
    EXPECT_FALSE(engine.hasPlan());
    HeadphoneMonitorEngine unprepared;
    EXPECT_FALSE(unprepared.setPlan(plan));
}

} // namespace
