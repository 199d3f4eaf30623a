// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "ReferenceChain.h"
#include "engine/KivAmbisonicDecoder.h"

namespace {

const DecShape kRegular[7] = {QuadSquare,       HexagonWithCF, HexagonWithoutCF, OctagonWithCF,
                              OctagonWithoutCF, Cube8,         Octahedron};
const DecShape kIrregular[7] = {ItuFullRangeV1,   ItuFullRangeV2,   ItuLFOptimisedV1,
                                ItuLFOptimisedV2, ItuHFOptimisedV1, ItuFullRangeV3,
                                ItuFullRangeV4};

struct Plugin {
    const DecShape* list;
    int inputs, outputs;
};
const Plugin kRegularPlugin{kRegular, 4, 8};
const Plugin kIrregularPlugin{kIrregular, 3, 5};

// 48 kHz, 380 Hz, patterns 1.3 and 1.5, states cleared.
std::unique_ptr<KivAmbisonicDecoder> worked(const Plugin& p, float seq, int block = 256) {
    auto e = std::make_unique<KivAmbisonicDecoder>(7, p.list, p.inputs, p.outputs, block);
    e->setFS(48000);
    e->setLPGain(0.65f);
    e->setHPGain(0.75f);
    e->setFCut(0.28695652f);
    e->setSEQ(seq);
    e->resume();
    return e;
}

struct Audio {
    std::vector<std::vector<float>> in, out;
    std::vector<float*> inPtr, outPtr;
    Audio(int inputs, int outputs, int n) : in(inputs, std::vector<float>(n)) {
        out.assign(outputs, std::vector<float>(n, 123.0f)); // garbage to be replaced
        for (auto& c : in) inPtr.push_back(c.data());
        for (auto& c : out) outPtr.push_back(c.data());
    }
    void noise(unsigned seed, float scale = 1.0f) {
        std::mt19937 rng(seed);
        std::uniform_real_distribution<float> d(-scale, scale);
        for (auto& c : in)
            for (float& s : c) s = d(rng);
    }
};

void expectSequence(const float* got, std::initializer_list<float> want, float tol = 2e-7f) {
    int i = 0;
    for (float w : want) {
        EXPECT_NEAR(got[i], w, tol) << "sample " << i;
        ++i;
    }
}

} // namespace

TEST(Chain, CrossoverWorkedNumbers) {
    auto e = worked(kRegularPlugin, 0.5f);
    EXPECT_NEAR(e->crossover[0]->a, -0.9514560f, 2e-7);
    Audio a(4, 8, 8);
    a.in[0][0] = 1;
    a.in[1][0] = 1;
    e->processReplacing(a.inPtr.data(), a.outPtr.data(), 8);
    expectSequence(e->inTemp[0], {0.5048544f, 0.0094732f, 0.0090133f, 0.0085757f, 0.0081595f});
    expectSequence(e->inTemp[1], {1.4951456f, -0.0094732f, -0.0090133f, -0.0085757f});

    auto dc = worked(kRegularPlugin, 0.5f, 4096);
    Audio ones(4, 8, 4096);
    for (auto& c : ones.in) std::fill(c.begin(), c.end(), 1.0f);
    dc->processReplacing(ones.inPtr.data(), ones.outPtr.data(), 4096);
    EXPECT_NEAR(dc->inTemp[0][4095], 0.7f, 1e-5);
    EXPECT_NEAR(dc->inTemp[1][4095], 1.3f, 1e-5);
}

TEST(Chain, ShelfAndSingleBandWorkedNumbers) {
    // W's shelf gets 2 - 1.3f = 0.70000005, not 0.7; the coefficients are sensitive to it
    // (a + 1 and b + 1 are small), so the published figures hold to about 4e-6 here.
    auto e = worked(kIrregularPlugin, 1.0f);
    EXPECT_NEAR(e->shelf[0]->b, -0.9428156f, 2e-7);
    EXPECT_NEAR(e->shelf[0]->a, -0.9588175f, 2e-7);
    EXPECT_NEAR(e->shelf[0]->gain, 0.5041193f, 4e-6);
    Audio a(3, 5, 8);
    a.in[0][0] = 1;
    e->processReplacing(a.inPtr.data(), a.outPtr.data(), 8);
    expectSequence(e->inTemp[0], {-0.4752916f, 0.0484015f, 0.0464082f, 0.0444970f}, 4e-6f);

    auto single = worked(kIrregularPlugin, 0.0f);
    Audio b(3, 5, 16);
    b.noise(3);
    single->processReplacing(b.inPtr.data(), b.outPtr.data(), 16);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(single->inTemp[0][i], (2.0f - 1.3f) * b.in[0][i]);
        EXPECT_EQ(single->inTemp[1][i], b.in[1][i] * 1.3f);
        EXPECT_EQ(single->inTemp[2][i], b.in[2][i] * 1.3f);
    }
}

TEST(Chain, NearFieldWorkedNumbers) {
    const float twoMetres = (2.0f - 0.5f) / 7.5f, oneMetre = (1.0f - 0.5f) / 7.5f;
    struct {
        float nfc;
        std::initializer_list<float> impulse;
        float dc;
    } cases[] = {{1.0f, {0.9982219f, -0.0035498f, -0.0035372f, -0.0035246f}, 0.0f},
                 {oneMetre, {1.0017780f, 0.0035498f, 0.0035372f}, 2.0f}};
    for (auto& c : cases) {
        // Single band with pattern 1 leaves X as it is, so the near-field filter shows alone.
        auto e = worked(kRegularPlugin, 0.0f, 8);
        e->setLPGain(0.5f);
        e->setDistComp(twoMetres);
        e->setNFC(c.nfc);
        e->resume();
        Audio a(4, 8, 8);
        a.in[1][0] = 1;
        e->processReplacing(a.inPtr.data(), a.outPtr.data(), 8);
        expectSequence(e->inTemp[1], c.impulse, 1e-6f);
        EXPECT_EQ(e->inTemp[0][0], 0.0f); // W is never filtered

        auto d = worked(kRegularPlugin, 0.0f, 48000);
        d->setLPGain(0.5f);
        d->setDistComp(twoMetres);
        d->setNFC(c.nfc);
        d->resume();
        Audio ones(4, 8, 48000);
        std::fill(ones.in[1].begin(), ones.in[1].end(), 1.0f);
        d->processReplacing(ones.inPtr.data(), ones.outPtr.data(), 48000);
        EXPECT_NEAR(d->inTemp[1][47999], c.dc, 2e-3);
    }
}

TEST(Chain, ModeFollowsTheSelectorAtEveryBlock) {
    const struct {
        float seq;
        SpatialEQMode mode;
    } cases[] = {{0.2499f, SpatialEQMode::SingleBand},
                 {0.25f, SpatialEQMode::Crossover},
                 {0.7499f, SpatialEQMode::Crossover},
                 {0.75f, SpatialEQMode::Shelf},
                 {1.0f, SpatialEQMode::Shelf}};
    for (auto c : cases) {
        auto e = worked(kIrregularPlugin, c.seq, 4);
        Audio a(3, 5, 4);
        a.in[0][0] = 1;
        e->processReplacing(a.inPtr.data(), a.outPtr.data(), 4);
        const float first = e->inTemp[0][0];
        switch (c.mode) {
        case SpatialEQMode::SingleBand:
            EXPECT_EQ(first, 2.0f - 1.3f) << c.seq;
            break;
        case SpatialEQMode::Crossover:
            EXPECT_NEAR(first, 0.5048544f, 2e-7) << c.seq;
            break;
        case SpatialEQMode::Shelf:
            EXPECT_NEAR(first, -0.4752916f, 4e-6) << c.seq;
            break;
        }
    }
}

TEST(Chain, UnitPatternsGiveThePlainMatrixProduct) {
    for (float seq : {0.0f, 0.5f}) {
        auto e = worked(kRegularPlugin, seq, 64);
        e->setLPGain(0.5f);
        e->setHPGain(0.5f);
        e->chooseDec(5); // cube
        Audio a(4, 8, 64);
        a.noise(11);
        e->processReplacing(a.inPtr.data(), a.outPtr.data(), 64);
        const KivDecoderCoefs& set = *e->decoders[5];
        for (int s = 0; s < 8; ++s)
            for (int i = 0; i < 64; ++i) {
                float want = 0;
                for (int j = 0; j < 4; ++j)
                    want += static_cast<float>(set.coefs[j][s]) * a.in[j][i];
                ASSERT_NEAR(a.out[s][i], want, seq == 0.0f ? 0.0f : 1e-6f) << s << "/" << i;
            }
    }
    // Shelf mode with unit patterns is the all-pass: b equals a, gain 1.
    auto shelf = worked(kRegularPlugin, 1.0f);
    shelf->setLPGain(0.5f);
    shelf->setHPGain(0.5f);
    for (int j = 0; j < 4; ++j) {
        EXPECT_EQ(shelf->shelf[j]->b, shelf->shelf[j]->a);
        EXPECT_EQ(shelf->shelf[j]->gain, 1.0f);
    }
}

// The engine's processReplacing against the plain chain on the same state, over every
// decoder, mode, near-field setting and awkward block length: bit for bit.
TEST(Chain, BitIdenticalToThePlainChain) {
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    const int lengths[] = {1, 3, 4, 7, 64, 129, 256};
    for (const Plugin* p : {&kRegularPlugin, &kIrregularPlugin}) {
        for (int slot = 0; slot < 7; ++slot) {
            for (float seq : {0.1f, 0.5f, 0.9f}) {
                for (int nf = 0; nf < 3; ++nf) {
                    KivAmbisonicDecoder fast(7, p->list, p->inputs, p->outputs, 256);
                    KivAmbisonicDecoder plain(7, p->list, p->inputs, p->outputs, 256);
                    const float lp = unit(rng), hp = unit(rng), fc = unit(rng);
                    for (KivAmbisonicDecoder* e : {&fast, &plain}) {
                        e->setFS(44100);
                        e->setLPGain(lp);
                        e->setHPGain(hp);
                        e->setFCut(fc);
                        e->chooseDec(slot);
                        e->setSEQ(seq);
                        e->setDistComp(nf == 0 ? 1.0f : 0.2f);
                        e->setNFC(nf == 2 ? 0.05f : 1.0f);
                        e->resume();
                    }
                    Audio a(p->inputs, p->outputs, 256), b(p->inputs, p->outputs, 256);
                    for (int n : lengths) {
                        a.noise(n + slot);
                        b.noise(n + slot);
                        if (n == 64) { // a parameter change mid-stream: smoothers glide
                            fast.setDistComp(0.4f);
                            plain.setDistComp(0.4f);
                        }
                        fast.processReplacing(a.inPtr.data(), a.outPtr.data(), n);
                        referenceProcess(plain, b.inPtr.data(), b.outPtr.data(), n);
                        for (int s = 0; s < p->outputs; ++s)
                            ASSERT_EQ(std::memcmp(a.out[s].data(), b.out[s].data(), n * 4), 0)
                                << "slot " << slot << " seq " << seq << " nf " << nf << " n " << n
                                << " output " << s;
                    }
                }
            }
        }
    }
}

// Silence in gives exact silence out once the tails lie below -300 dB; until then, and
// for every sound that follows, the output is the plain chain's to the bit.
TEST(Chain, SilenceSettlesToExactZeroAndLeavesWhatFollowsAsItWas) {
    for (const Plugin* p : {&kRegularPlugin, &kIrregularPlugin}) {
        for (float seq : {0.1f, 0.5f, 0.9f}) {
            for (int nf = 0; nf < 3; ++nf) {
                KivAmbisonicDecoder fast(7, p->list, p->inputs, p->outputs, 256);
                KivAmbisonicDecoder plain(7, p->list, p->inputs, p->outputs, 256);
                for (KivAmbisonicDecoder* e : {&fast, &plain}) {
                    e->setFS(48000);
                    e->setFCut(0.0f); // 50 Hz: the longest tails
                    e->setSEQ(seq);
                    e->setDistComp(nf == 0 ? 1.0f : 0.2f);
                    e->setNFC(nf == 2 ? 0.05f : 1.0f);
                    e->resume();
                }
                int settled = 0, tail = 0;
                for (int block = 0; block < 400; ++block) {
                    Audio a(p->inputs, p->outputs, 256), b(p->inputs, p->outputs, 256);
                    const bool sound = block == 0 || block == 399;
                    if (sound) {
                        a.noise(block);
                        b.noise(block);
                    }
                    fast.processReplacing(a.inPtr.data(), a.outPtr.data(), 256);
                    referenceProcess(plain, b.inPtr.data(), b.outPtr.data(), 256);
                    bool zero = true;
                    float plainPeak = 0.0f;
                    for (int s = 0; s < p->outputs; ++s)
                        for (int i = 0; i < 256; ++i) {
                            zero = zero && a.out[s][i] == 0.0f;
                            plainPeak = std::max(plainPeak, std::fabs(b.out[s][i]));
                        }
                    if (!sound && zero && plainPeak != 0.0f) {
                        EXPECT_LT(plainPeak, 1e-15f) << "block " << block;
                        ++settled;
                        continue;
                    }
                    if (!sound) ++tail;
                    for (int s = 0; s < p->outputs; ++s)
                        ASSERT_EQ(std::memcmp(a.out[s].data(), b.out[s].data(), 256 * 4), 0)
                            << "seq " << seq << " nf " << nf << " block " << block;
                }
                if (seq >= 0.25f || nf != 0) { // a recursion runs, so there is a tail
                    EXPECT_GT(settled, 200) << "seq " << seq << " nf " << nf;
                    EXPECT_GT(tail, 0) << "seq " << seq << " nf " << nf;
                }
            }
        }
    }
}

TEST(Chain, OutputsTheDecoderDoesNotDriveAreSilent) {
    auto e = worked(kRegularPlugin, 1.0f, 64);
    e->chooseDec(0); // square: 4 speakers
    Audio a(4, 8, 64);
    a.noise(1);
    for (int block = 0; block < 3; ++block) {
        for (auto& c : a.out) std::fill(c.begin(), c.end(), 9.0f);
        e->processReplacing(a.inPtr.data(), a.outPtr.data(), 64);
        for (int s = 4; s < 8; ++s)
            for (float v : a.out[s]) ASSERT_EQ(v, 0.0f);
        for (int s = 0; s < 4; ++s) EXPECT_NE(a.out[s][10], 9.0f);
    }
    auto itu = worked(kIrregularPlugin, 0.5f, 64);
    itu->chooseDec(0); // Full Range v1: no centre
    Audio b(3, 5, 64);
    b.noise(2);
    itu->processReplacing(b.inPtr.data(), b.outPtr.data(), 64);
    for (float v : b.out[4]) ASSERT_EQ(v, 0.0f);
}

TEST(Chain, ThreeChannelDecoderIgnoresZ) {
    auto e = worked(kRegularPlugin, 0.5f, 32);
    auto f = worked(kRegularPlugin, 0.5f, 32);
    for (auto* x : {e.get(), f.get()}) {
        x->chooseDec(1); // hexagon, W X Y
        x->setDistComp(0.2f);
        x->resume();
    }
    Audio a(4, 8, 32), b(4, 8, 32);
    a.noise(4);
    b.noise(4);
    std::fill(a.in[3].begin(), a.in[3].end(), std::numeric_limits<float>::quiet_NaN());
    std::fill(b.in[3].begin(), b.in[3].end(), 0.0f);
    e->processReplacing(a.inPtr.data(), a.outPtr.data(), 32);
    f->processReplacing(b.inPtr.data(), b.outPtr.data(), 32);
    for (int s = 0; s < 8; ++s)
        EXPECT_EQ(std::memcmp(a.out[s].data(), b.out[s].data(), 32 * 4), 0) << s;
    EXPECT_EQ(e->crossover[3]->z, 0.0f); // Z's filters stay frozen
    EXPECT_EQ(e->nfFilter[2]->z1, 0.0f);

    e->chooseDec(5); // the cube filters X, Y and Z
    std::fill(a.in[3].begin(), a.in[3].end(), 0.5f);
    e->processReplacing(a.inPtr.data(), a.outPtr.data(), 32);
    EXPECT_NE(e->nfFilter[2]->z1, 0.0f);
}

TEST(Chain, DistanceOffLeavesTheNearFieldStageOut) {
    auto e = worked(kRegularPlugin, 0.0f, 16);
    e->setLPGain(0.5f);
    e->setNFC(0.1f); // an encoded distance, but compensation off
    Audio a(4, 8, 16);
    a.noise(8);
    e->processReplacing(a.inPtr.data(), a.outPtr.data(), 16);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(e->inTemp[1][i], a.in[1][i]);
    EXPECT_EQ(e->nfFilter[0]->z1, 0.0f);
}

TEST(Chain, OutputsMayBeTheInputBuffers) {
    for (const Plugin* p : {&kRegularPlugin, &kIrregularPlugin}) {
        for (int slot : {2, 5}) {
            auto e = worked(*p, 1.0f, 128);
            auto f = worked(*p, 1.0f, 128);
            e->chooseDec(slot);
            f->chooseDec(slot);
            Audio separate(p->inputs, p->outputs, 128);
            separate.noise(21);
            // Shared: outputs 0 .. inputs-1 are the input channels themselves.
            std::vector<std::vector<float>> shared = separate.in;
            shared.resize(p->outputs, std::vector<float>(128, 5.0f));
            std::vector<float*> sharedPtr;
            for (auto& c : shared) sharedPtr.push_back(c.data());
            e->processReplacing(separate.inPtr.data(), separate.outPtr.data(), 128);
            f->processReplacing(sharedPtr.data(), sharedPtr.data(), 128);
            for (int s = 0; s < p->outputs; ++s)
                EXPECT_EQ(std::memcmp(separate.out[s].data(), shared[s].data(), 128 * 4), 0);
        }
    }
}

TEST(Chain, EmptyBlockChangesNothing) {
    auto e = worked(kRegularPlugin, 0.5f, 16);
    Audio a(4, 8, 16);
    a.noise(1);
    e->processReplacing(a.inPtr.data(), a.outPtr.data(), 16);
    const float z = e->crossover[1]->z;
    const std::vector<float> before = a.out[0];
    e->processReplacing(a.inPtr.data(), a.outPtr.data(), 0);
    EXPECT_EQ(e->crossover[1]->z, z);
    EXPECT_EQ(a.out[0], before);
}

// A block longer than the announced size runs in pieces: the same as calling with them.
TEST(Chain, LongBlocksRunInPieces) {
    for (float seq : {0.0f, 0.5f, 1.0f}) {
        auto whole = worked(kRegularPlugin, seq, 100);
        auto pieces = worked(kRegularPlugin, seq, 100);
        for (auto* e : {whole.get(), pieces.get()}) {
            e->chooseDec(5);
            e->setDistComp(0.3f);
            e->resume();
        }
        Audio a(4, 8, 350), b(4, 8, 350);
        a.noise(9);
        b.noise(9);
        whole->processReplacing(a.inPtr.data(), a.outPtr.data(), 350);
        for (int start : {0, 100, 200, 300}) {
            const int n = std::min(100, 350 - start);
            std::vector<float*> in, out;
            for (auto& c : b.in) in.push_back(c.data() + start);
            for (auto& c : b.out) out.push_back(c.data() + start);
            pieces->processReplacing(in.data(), out.data(), n);
        }
        for (int s = 0; s < 8; ++s)
            EXPECT_EQ(std::memcmp(a.out[s].data(), b.out[s].data(), 350 * 4), 0) << seq;
    }
}

// A host may announce any block size; the work buffers stay bounded and a block longer
// than they are decodes exactly as in shorter pieces.
TEST(Chain, AnAbsurdBlockSizeKeepsTheBuffersBounded) {
    auto huge = worked(kIrregularPlugin, 0.5f, 1000);
    auto small = worked(kIrregularPlugin, 0.5f, 1000);
    huge->setBlockSize(std::numeric_limits<int>::max());
    huge->resume();
    EXPECT_EQ(huge->blockSize, std::numeric_limits<int>::max());
    for (int j = 0; j < 3; ++j)
        EXPECT_EQ(huge->crossover[j]->capacity, KivAmbisonicDecoder::kMaxWorkFrames);
    const int n = KivAmbisonicDecoder::kMaxWorkFrames + 4465;
    Audio a(3, 5, n), b(3, 5, n);
    a.noise(4);
    b.noise(4);
    huge->processReplacing(a.inPtr.data(), a.outPtr.data(), n);
    small->processReplacing(b.inPtr.data(), b.outPtr.data(), n);
    for (int s = 0; s < 5; ++s)
        EXPECT_EQ(std::memcmp(a.out[s].data(), b.out[s].data(), std::size_t(n) * 4), 0) << s;
}

TEST(Chain, NonFiniteInputDoesNotPoisonTheFilters) {
    const float bad[] = {std::numeric_limits<float>::quiet_NaN(),
                         std::numeric_limits<float>::infinity(),
                         -std::numeric_limits<float>::infinity()};
    for (float poison : bad) {
        for (float seq : {0.0f, 0.5f, 1.0f}) {
            auto e = worked(kRegularPlugin, seq, 64);
            e->chooseDec(5);
            e->setDistComp(0.2f);
            e->setNFC(0.1f);
            e->resume();
            Audio a(4, 8, 64);
            a.noise(3);
            a.in[1][10] = poison;
            a.in[0][20] = poison;
            e->processReplacing(a.inPtr.data(), a.outPtr.data(), 64);
            a.noise(4); // finite again
            e->processReplacing(a.inPtr.data(), a.outPtr.data(), 64);
            for (int s = 0; s < 8; ++s)
                for (float v : a.out[s]) ASSERT_TRUE(std::isfinite(v)) << poison << " " << seq;
        }
    }
}

TEST(Chain, WithoutABlockSizeTheOutputIsSilent) {
    KivAmbisonicDecoder e(7, kIrregular, 3, 5, 0);
    Audio a(3, 5, 32);
    a.noise(1);
    e.processReplacing(a.inPtr.data(), a.outPtr.data(), 32);
    for (auto& c : a.out)
        for (float v : c) ASSERT_EQ(v, 0.0f);
}
