// SPDX-License-Identifier: GPL-3.0-or-later
// The layout decoder's engine on plans built by hand: matrices on plane waves, distance
// compensation on an impulse, bass management, near-field compensation against NF_filt1,
// the click-free plan swap, real-time safety, non-finite input and long blocks.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "engine/KivAmbisonicDecoder.h"
#include "engine/LayoutDecoderEngine.h"
#include "engine/NF_filt.h"
#include "tests/validation/AllocationHook.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr int kOutputs = 32;

// Signals for the four inputs and the 32 outputs, run through an engine in blocks.
struct Signals {
    std::vector<std::vector<float>> in, out;
    explicit Signals(int frames)
        : in(4, std::vector<float>(frames)), out(kOutputs, std::vector<float>(frames)) {}
    int frames() const { return static_cast<int>(in[0].size()); }

    // A plane wave (FuMa) from azimuth, elevation in radians carrying signal s.
    void planeWave(double az, double el, const std::vector<float>& s) {
        for (int i = 0; i < frames(); ++i) {
            in[0][i] = static_cast<float>(s[i] * std::sqrt(0.5));
            in[1][i] = static_cast<float>(s[i] * std::cos(az) * std::cos(el));
            in[2][i] = static_cast<float>(s[i] * std::sin(az) * std::cos(el));
            in[3][i] = static_cast<float>(s[i] * std::sin(el));
        }
    }
    void process(LayoutDecoderEngine& e, int block, int from = 0, int to = -1) {
        if (to < 0) to = frames();
        for (int done = from; done < to; done += block) {
            const int n = std::min(block, to - done);
            float* ip[4];
            float* op[kOutputs];
            for (int j = 0; j < 4; ++j) ip[j] = in[j].data() + done;
            for (int o = 0; o < kOutputs; ++o) op[o] = out[o].data() + done;
            e.processReplacing(ip, op, n);
        }
    }
};

std::vector<float> sine(int frames, double hz, double fs) {
    std::vector<float> s(frames);
    for (int i = 0; i < frames; ++i) s[i] = static_cast<float>(std::sin(2.0 * kPi * hz * i / fs));
    return s;
}

// Amplitude of the component at hz over frames [from, to) (a whole number of periods).
double amplitude(const std::vector<float>& x, double hz, double fs, int from, int to) {
    double c = 0.0, s = 0.0;
    for (int i = from; i < to; ++i) {
        c += x[i] * std::cos(2.0 * kPi * hz * i / fs);
        s += x[i] * std::sin(2.0 * kPi * hz * i / fs);
    }
    return 2.0 * std::hypot(c, s) / (to - from);
}

// Patterns at 1 in single-band mode: the plan's matrices as they are.
void asWritten(LayoutDecoderEngine& e) {
    e.setLPGain(0.5f);
    e.setHPGain(0.5f);
    e.setSEQ(0.0f);
    e.setDistComp(1.0f);
    e.setNFC(1.0f);
}

// Four speakers with distinct LF and HF matrices.
DecoderPlan quadPlan(bool twoBand) {
    DecoderPlan p;
    p.numSpeakers = 4;
    p.twoBand = twoBand;
    p.crossoverHz = 400.0;
    for (int s = 0; s < 4; ++s) {
        const double az = kPi / 4 + s * kPi / 2;
        const double lf[4] = {0.35, 0.5 * std::cos(az), 0.5 * std::sin(az), 0.1 * s};
        const double hf[4] = {0.42, 0.3 * std::cos(az), 0.3 * std::sin(az), -0.05 * s};
        for (int j = 0; j < 4; ++j) {
            p.lf[s][j] = lf[j];
            p.hf[s][j] = hf[j];
        }
        p.distanceMetres[s] = 2.0;
    }
    return p;
}

double rowGain(const double (&row)[4], double az, double el) {
    return std::fabs(row[0] * std::sqrt(0.5) + row[1] * std::cos(az) * std::cos(el) +
                     row[2] * std::sin(az) * std::cos(el) + row[3] * std::sin(el));
}

} // namespace

TEST(LayoutEngine, MatricesOnPlaneWaves) {
    const double fs = 48000.0;
    const struct {
        bool twoBand;
        double hz;
        bool expectHf;
        double tolerance; // of the split's leakage at that frequency
    } cases[] = {
        {false, 60.0, false, 1e-4},
        {false, 6000.0, false, 1e-4}, // one band: lf everywhere
        {true, 30.0, false, 0.01},
        {true, 12000.0, true, 0.01},
    };
    const double dirs[][2] = {{0.3, 0.0}, {2.0, 0.4}, {-1.2, -0.3}};
    for (const auto& c : cases)
        for (const auto& d : dirs) {
            const DecoderPlan p = quadPlan(c.twoBand);
            LayoutDecoderEngine e(kOutputs, 256);
            e.setFS(static_cast<float>(fs));
            asWritten(e);
            e.setPlan(p);
            Signals r(9600);
            r.planeWave(d[0], d[1], sine(9600, c.hz, fs));
            r.process(e, 256);
            for (int s = 0; s < 4; ++s) {
                const double want = rowGain(c.expectHf ? p.hf[s] : p.lf[s], d[0], d[1]);
                EXPECT_NEAR(amplitude(r.out[s], c.hz, fs, 4800, 9600), want, c.tolerance)
                    << "two bands " << c.twoBand << " at " << c.hz << " Hz, speaker " << s;
            }
            for (int o = 4; o < kOutputs; ++o)
                for (float v : r.out[o]) ASSERT_EQ(v, 0.0f) << "output " << o;
        }
}

// Identical LF and HF matrices: the two bands add up to an all-pass, flat at every frequency.
TEST(LayoutEngine, IdenticalBandsSumFlat) {
    DecoderPlan p = quadPlan(true);
    for (int s = 0; s < 4; ++s)
        for (int j = 0; j < 4; ++j) p.hf[s][j] = p.lf[s][j];
    for (double hz : {50.0, 200.0, 400.0, 800.0, 3000.0}) {
        LayoutDecoderEngine e(kOutputs, 512);
        e.setFS(48000.0f);
        asWritten(e);
        e.setPlan(p);
        Signals r(19200);
        r.planeWave(0.7, 0.2, sine(19200, hz, 48000.0));
        r.process(e, 512);
        for (int s = 0; s < 4; ++s)
            EXPECT_NEAR(amplitude(r.out[s], hz, 48000.0, 9600, 19200), rowGain(p.lf[s], 0.7, 0.2),
                        2e-4)
                << hz << " Hz, speaker " << s;
    }
}

// A square whose rear pair stands 1.2 m closer: the rear feeds are delayed by 1.2 m / 343
// m/s in whole frames and scaled by 0.8 / 2.0.
TEST(LayoutEngine, DistanceCompensationOnAnImpulse) {
    for (float fs : {44100.0f, 48000.0f, 96000.0f}) {
        DecoderPlan p;
        p.numSpeakers = 4;
        p.delayCompensation = true;
        p.levelCompensation = true;
        const double dist[4] = {2.0, 2.0, 0.8, 0.8};
        for (int s = 0; s < 4; ++s) {
            p.lf[s][0] = 1.0 + 0.25 * s;
            p.distanceMetres[s] = dist[s];
        }
        LayoutDecoderEngine e(kOutputs, 64);
        e.setFS(fs);
        asWritten(e);
        e.setPlan(p);
        const int rear = static_cast<int>(std::lround(1.2 / 343.0 * fs));
        EXPECT_EQ(e.compensationDelayFrames(2), rear);
        EXPECT_EQ(e.compensationDelayFrames(0), 0);
        EXPECT_FLOAT_EQ(e.compensationGain(3), 0.4f);
        Signals r(1024);
        r.in[0][5] = 1.0f;
        r.process(e, 64);
        for (int s = 0; s < 4; ++s) {
            const int at = 5 + (s >= 2 ? rear : 0);
            const float gain = static_cast<float>((1.0 + 0.25 * s) * (s >= 2 ? 0.4 : 1.0));
            for (int i = 0; i < 1024; ++i)
                ASSERT_FLOAT_EQ(r.out[s][i], i == at ? gain : 0.0f)
                    << fs << " Hz, speaker " << s << ", frame " << i;
        }
    }
}

TEST(LayoutEngine, SubwooferAndMainsSumFlatForW) {
    DecoderPlan p;
    p.numSpeakers = 2;
    p.lf[0][0] = 1.0;
    p.lf[1][1] = 1.0; // the second speaker hears X only
    p.subwoofer = true;
    p.subCrossoverHz = 80.0;
    const double fs = 48000.0;
    for (double hz : {20.0, 40.0, 80.0, 160.0, 320.0, 1000.0}) {
        LayoutDecoderEngine e(kOutputs, 512);
        e.setFS(static_cast<float>(fs));
        asWritten(e);
        e.setPlan(p);
        Signals r(48000);
        const std::vector<float> s = sine(48000, hz, fs);
        r.in[0] = s;
        r.process(e, 512);
        std::vector<float> sum(48000);
        for (int i = 0; i < 48000; ++i) sum[i] = r.out[0][i] + r.out[2][i];
        EXPECT_NEAR(amplitude(sum, hz, fs, 24000, 48000), 1.0, 0.01) << hz << " Hz";
        const double sub = amplitude(r.out[2], hz, fs, 24000, 48000);
        if (hz >= 1000.0) {
            EXPECT_LT(sub, 1e-3) << "the sub carries W's low band only";
        } else if (hz <= 20.0) {
            EXPECT_NEAR(sub, 1.0, 0.01);
        } else if (hz == 80.0) {
            EXPECT_NEAR(sub, 0.5, 0.01); // -6 dB at the crossover
        }
    }
    // X, Y and Z never reach the sub.
    LayoutDecoderEngine e(kOutputs, 512);
    e.setFS(48000.0f);
    asWritten(e);
    e.setPlan(p);
    Signals r(4800);
    r.in[1] = sine(4800, 40.0, 48000.0);
    r.in[2] = r.in[1];
    r.in[3] = r.in[1];
    r.process(e, 512);
    for (float v : r.out[2]) ASSERT_LT(std::fabs(v), 1e-20f); // the denormal guard at most
    // The mains are high-passed: |HP4(f / fc = 1/2)| = (1/16) / (1 + 1/16).
    EXPECT_NEAR(amplitude(r.out[1], 40.0, 48000.0, 2400, 4800), 0.0625 / 1.0625, 0.003);
    for (int o = 3; o < kOutputs; ++o)
        for (float v : r.out[o]) ASSERT_EQ(v, 0.0f);
}

// Near-field compensation per speaker matches NF_filt1 run directly on each speaker's
// directional part, with and without an encoded distance; at one common distance it
// matches compensation once on the inputs.
TEST(LayoutEngine, NearFieldPerSpeakerAgainstNFFilt) {
    const float fs = 48000.0f;
    const double dist[3] = {1.5, 2.0, 3.0};
    DecoderPlan p;
    p.numSpeakers = 3;
    p.nearField = DecoderPlan::NearField::Output;
    for (int s = 0; s < 3; ++s) {
        p.lf[s][0] = 0.5;
        p.lf[s][1] = 0.4 + 0.1 * s;
        p.lf[s][2] = -0.3;
        p.lf[s][3] = 0.2;
        p.distanceMetres[s] = dist[s];
    }
    Signals noise(4096);
    unsigned seed = 3;
    for (auto& ch : noise.in)
        for (float& v : ch) {
            seed = seed * 1664525u + 1013904223u;
            v = static_cast<float>(seed >> 8) / 8388608.0f - 1.0f;
        }
    for (float encoded : {8.0f, 1.0f}) {
        LayoutDecoderEngine e(kOutputs, 128);
        e.setFS(fs);
        asWritten(e);
        e.setNFC((encoded - 0.5f) / 7.5f);
        e.setPlan(p);
        Signals r = noise;
        r.process(e, 128);
        for (int s = 0; s < 3; ++s) {
            NF_filt1 f;
            f.init(encoded < 8.0f ? 342.0f / (encoded * fs) : 0.0f,
                   342.0f / (static_cast<float>(dist[s]) * fs), 1.0f);
            f.gz.init(f.g);
            f.d1z.init(f.d1);
            f.c1z.init(f.c1);
            std::vector<float> dir(4096);
            for (int i = 0; i < 4096; ++i)
                dir[i] =
                    static_cast<float>(p.lf[s][1] * noise.in[1][i] + p.lf[s][2] * noise.in[2][i] +
                                       p.lf[s][3] * noise.in[3][i]);
            f.process(4096, dir.data(), dir.data(), 1);
            double worst = 0.0;
            for (int i = 0; i < 4096; ++i)
                worst = std::max(worst, std::fabs(r.out[s][i] - (0.5 * noise.in[0][i] + dir[i])));
            EXPECT_LT(worst, 2e-5) << "speaker " << s << ", encoded " << encoded;
        }
    }
    // One distance for all: per speaker equals once on the inputs.
    DecoderPlan same = p, input = p;
    for (int s = 0; s < 3; ++s) same.distanceMetres[s] = input.distanceMetres[s] = 2.0;
    input.nearField = DecoderPlan::NearField::Input;
    input.nearFieldDistanceMetres = 2.0;
    LayoutDecoderEngine a(kOutputs, 128), b(kOutputs, 128);
    for (auto* e : {&a, &b}) asWritten(*e);
    a.setPlan(same);
    b.setPlan(input);
    Signals ra = noise, rb = noise;
    ra.process(a, 128);
    rb.process(b, 128);
    for (int s = 0; s < 3; ++s)
        for (int i = 0; i < 4096; ++i) ASSERT_NEAR(ra.out[s][i], rb.out[s][i], 2e-5);
}

// A plan swapped in mid-stream crossfades without a step, allocates and locks nothing on
// the audio thread, and ends on exactly what the new plan alone gives.
TEST(LayoutEngine, PlanSwapIsClickFreeAndEndsOnTheNewPlan) {
    ASSERT_TRUE(kiv::validation::AllocationHook::active());
    const float fs = 48000.0f;
    const double hz = 200.0;
    DecoderPlan a = quadPlan(true), b = quadPlan(false);
    for (int s = 0; s < 4; ++s) {
        b.lf[s][0] = -0.6; // the other way round
        b.distanceMetres[s] = 1.0 + 0.4 * s;
    }
    b.delayCompensation = b.levelCompensation = true;
    b.nearField = DecoderPlan::NearField::Output;
    const int frames = 48000, block = 256, swapAt = 40 * block;
    Signals r(frames);
    r.planeWave(0.5, 0.1, sine(frames, hz, fs));
    LayoutDecoderEngine e(kOutputs, block);
    e.setFS(fs);
    e.setPlan(a);
    kiv::validation::HookCounts counts;
    {
        kiv::validation::ArmedScope armed;
        r.process(e, block, 0, swapAt);
        counts = armed.counts();
    }
    e.submitPlan(b); // off the audio thread
    {
        kiv::validation::ArmedScope armed;
        r.process(e, block, swapAt, frames);
        EXPECT_EQ(armed.counts().total(), 0) << "allocations, frees or locks in process";
    }
    EXPECT_EQ(counts.total(), 0);
    EXPECT_FALSE(e.crossfading());
    e.reclaim();

    LayoutDecoderEngine fresh(kOutputs, block);
    fresh.setFS(fs);
    fresh.setPlan(b);
    Signals alone = r;
    alone.process(fresh, block, swapAt, frames);
    const int fadeEnd = swapAt + static_cast<int>(std::lround(1.2 / 343.0 * fs)) +
                        static_cast<int>(0.01f * fs) + static_cast<int>(std::lround(0.02 * fs));
    // Steady sine: the largest step either plan makes on its own bounds the fade's.
    for (int s = 0; s < 4; ++s) {
        double steady = 0.0, worst = 0.0;
        for (int i = 1; i < frames; ++i) {
            const double step = std::fabs(r.out[s][i] - r.out[s][i - 1]);
            if (i < swapAt || i > fadeEnd + 2400) steady = std::max(steady, step);
            worst = std::max(worst, step);
        }
        EXPECT_LT(worst, 1.5 * steady) << "speaker " << s;
        for (int i = fadeEnd + 256; i < frames; ++i)
            ASSERT_EQ(r.out[s][i], alone.out[s][i]) << "speaker " << s << ", frame " << i;
    }
}

// A plan submitted before processing starts is in force from the first block; plans
// submitted in quick succession, with nobody collecting the old ones, still all get through.
TEST(LayoutEngine, SubmittedPlansTakeEffect) {
    const DecoderPlan a = quadPlan(true);
    DecoderPlan b = quadPlan(false), c = quadPlan(false);
    for (int s = 0; s < 4; ++s) {
        b.lf[s][0] = -0.5;
        c.lf[s][1] = 0.9;
    }
    Signals r(4096);
    r.planeWave(0.4, 0.0, sine(4096, 500.0, 44100.0));
    LayoutDecoderEngine submitted(kOutputs, 256), set(kOutputs, 256);
    submitted.submitPlan(a);
    set.setPlan(a);
    Signals rs = r;
    r.process(submitted, 256);
    rs.process(set, 256);
    for (int o = 0; o < kOutputs; ++o)
        for (int i = 0; i < 4096; ++i) ASSERT_EQ(r.out[o][i], rs.out[o][i]);

    LayoutDecoderEngine e(kOutputs, 256), alone(kOutputs, 256);
    e.setPlan(a);
    alone.setPlan(c);
    Signals long1(44100);
    long1.planeWave(0.4, 0.0, sine(44100, 500.0, 44100.0));
    Signals long2 = long1;
    for (int round = 0; round < 6; ++round) { // a, b, c, b, c, b, c: the last is c
        long1.process(e, 256, 1024 * round, 1024 * (round + 1));
        e.submitPlan(round % 2 == 0 ? b : c);
    }
    long1.process(e, 256, 6144, 44100);
    long2.process(alone, 256);
    EXPECT_FALSE(e.crossfading());
    for (int s = 0; s < 4; ++s)
        for (int i = 40000; i < 44100; ++i) ASSERT_NEAR(long1.out[s][i], long2.out[s][i], 1e-5);
}

// NaN or infinity on the inputs leaves no filter poisoned: in every mode, with every stage
// on, the outputs are finite again once the delay lines have run through.
TEST(LayoutEngine, NonFiniteInputRecovers) {
    DecoderPlan p = quadPlan(true);
    p.delayCompensation = p.levelCompensation = true;
    p.distanceMetres[0] = 3.0;
    p.subwoofer = true;
    p.nearField = DecoderPlan::NearField::Output;
    const float bad[] = {std::numeric_limits<float>::quiet_NaN(),
                         std::numeric_limits<float>::infinity(),
                         -std::numeric_limits<float>::infinity()};
    for (float seq : {0.0f, 0.5f, 1.0f})
        for (bool inputNf : {false, true})
            for (float v : bad) {
                DecoderPlan q = p;
                if (inputNf) {
                    q.nearField = DecoderPlan::NearField::Input;
                    q.nearFieldDistanceMetres = 1.0;
                }
                LayoutDecoderEngine e(kOutputs, 128);
                e.setSEQ(seq);
                e.setNFC(0.2f);
                e.setPlan(q);
                Signals r(8192);
                r.planeWave(1.0, 0.0, sine(8192, 300.0, 44100.0));
                for (int j = 0; j < 4; ++j) r.in[j][100] = v;
                r.process(e, 128);
                for (int o = 0; o < kOutputs; ++o)
                    for (int i = 2048; i < 8192; ++i)
                        ASSERT_TRUE(std::isfinite(r.out[o][i]))
                            << "seq " << seq << ", output " << o << ", frame " << i;
                EXPECT_GT(amplitude(r.out[0], 300.0, 44100.0, 4096, 8192), 0.01);
            }
}

// A block longer than announced is processed in pieces, sample for sample as in blocks.
TEST(LayoutEngine, LongBlocksRunInPieces) {
    DecoderPlan p = quadPlan(true);
    p.delayCompensation = true;
    p.distanceMetres[1] = 1.0;
    p.nearField = DecoderPlan::NearField::Output;
    for (int announced : {1, 64, 500}) {
        LayoutDecoderEngine a(kOutputs, announced), b(kOutputs, announced);
        a.setPlan(p);
        b.setPlan(p);
        Signals ra(3000);
        ra.planeWave(0.2, 0.3, sine(3000, 1000.0, 44100.0));
        Signals rb = ra;
        ra.process(a, 3000);
        rb.process(b, announced);
        for (int o = 0; o < kOutputs; ++o)
            for (int i = 0; i < 3000; ++i) ASSERT_EQ(ra.out[o][i], rb.out[o][i]) << announced;
    }
}

// The seed's parameters keep their meaning: in single-band mode W is weighted 2 - p and
// X, Y, Z by p; outputs are written in place over the inputs' buffers correctly.
TEST(LayoutEngine, PatternWeightsAndInPlace) {
    DecoderPlan p;
    p.numSpeakers = 4;
    for (int s = 0; s < 4; ++s) p.lf[s][s] = 1.0; // speaker s plays input s
    LayoutDecoderEngine e(4, 64);
    asWritten(e);
    e.setLPGain(0.65f); // p = 1.3
    e.setPlan(p);
    std::vector<std::vector<float>> io(4, std::vector<float>(64, 1.0f));
    float* ptr[4] = {io[0].data(), io[1].data(), io[2].data(), io[3].data()};
    e.processReplacing(ptr, ptr, 64);
    for (int i = 0; i < 64; ++i) {
        EXPECT_FLOAT_EQ(io[0][i], 0.7f);
        for (int j = 1; j < 4; ++j) EXPECT_FLOAT_EQ(io[j][i], 1.3f);
    }
    EXPECT_EQ(e.getLPGain(), 0.65f);
    EXPECT_STREQ(e.getSEQDisplay(), "No-Use LF");
}

// The seed's parameters mean the same in both engines: a plan holding a catalogue decoder's
// matrix decodes as KivAmbisonicDecoder does with that decoder, in every spatial-EQ mode,
// with and without near-field compensation, patterns away from 1.
TEST(LayoutEngine, SameAsTheSeedEngineForACatalogueDecoder) {
    const DecShape list[7] = {QuadSquare,       HexagonWithCF, HexagonWithoutCF, OctagonWithCF,
                              OctagonWithoutCF, Cube8,         Octahedron};
    const struct {
        float seq, distComp, nfc;
    } cases[] = {{0.0f, 1.0f, 1.0f},
                 {0.5f, 1.0f, 1.0f},
                 {1.0f, 1.0f, 1.0f},
                 {1.0f, 0.2f, 1.0f},
                 {0.5f, 0.2f, 0.0666667f}};
    for (const auto& c : cases) {
        KivAmbisonicDecoder seed(7, list, 4, 8, 256);
        seed.setFS(48000.0f);
        seed.chooseDec(5); // the cube
        LayoutDecoderEngine e(8, 256);
        e.setFS(48000.0f);
        seed.setLPGain(0.6f);
        e.setLPGain(0.6f);
        seed.setHPGain(0.8f);
        e.setHPGain(0.8f);
        seed.setFCut(0.3f);
        e.setFCut(0.3f);
        seed.setSEQ(c.seq);
        e.setSEQ(c.seq);
        seed.setDistComp(c.distComp);
        e.setDistComp(c.distComp);
        seed.setNFC(c.nfc);
        e.setNFC(c.nfc);
        seed.resume();
        DecoderPlan p;
        p.numSpeakers = 8;
        for (int s = 0; s < 8; ++s)
            for (int j = 0; j < 4; ++j) p.lf[s][j] = seed.decoders[5]->coefs[j][s];
        e.setPlan(p);
        Signals a(4096);
        unsigned r = 11;
        for (auto& ch : a.in)
            for (float& v : ch) {
                r = r * 1664525u + 1013904223u;
                v = static_cast<float>(r >> 8) / 8388608.0f - 1.0f;
            }
        Signals b = a;
        a.process(e, 256);
        for (int done = 0; done < 4096; done += 256) {
            float* ip[4];
            float* op[8];
            for (int j = 0; j < 4; ++j) ip[j] = b.in[j].data() + done;
            for (int o = 0; o < 8; ++o) op[o] = b.out[o].data() + done;
            seed.processReplacing(ip, op, 256);
        }
        for (int o = 0; o < 8; ++o)
            for (int i = 0; i < 4096; ++i)
                ASSERT_NEAR(a.out[o][i], b.out[o][i], 1e-4)
                    << "seq " << c.seq << ", distance " << c.distComp << ", output " << o;
    }
}
