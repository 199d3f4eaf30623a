// SPDX-License-Identifier: GPL-3.0-or-later
// The audio path of a plan.
//
// The input stage runs the four inputs side by side in the lanes of a vector, one frame at
// a time: every stage there is a recursion bound by the latency of its own loop, and with
// the channels in lanes (and the stages following each other within the frame) the
// processor overlaps all of them. The speaker stage is a matrix, written per speaker with
// the frames in the lanes; with near-field compensation per speaker it runs frame by frame
// with the speakers in the lanes instead, for the same reason as the input stage.
#include "engine/PlanDecoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/AllPass.h"
#include "engine/KivAmbisonicDecoder.h"
#include "engine/NF_filt.h"
#include "engine/mavoshelf.h"

namespace {

constexpr float kDistanceOff = 8.0f;                  // the seed's "off" / "none" distance
constexpr float kNearFieldSpeedOfSound = 342.0f;      // NF_filt's prototype
constexpr float kShelfPatternMargin = 9.5367432e-07f; // as the seed's shelf design
constexpr float kGlidePerSample = 0.998f;             // DeZipper's pole
constexpr double kPi = 3.141592653589793;

typedef float V4 __attribute__((vector_size(16)));

inline V4 load4(const float* p) {
    V4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline void store4(float* p, V4 v) {
    std::memcpy(p, &v, sizeof v);
}
inline V4 splat(float f) {
    return V4{f, f, f, f};
}

// Direct form I, the older feedback term first so that the newest one ends the chain.
struct Biquad4 {
    V4 b0, b1, b2, a1, a2;
    inline V4 run(V4 x, float (*st)[4]) const {
        V4 x1 = load4(st[0]), x2 = load4(st[1]), y1 = load4(st[2]), y2 = load4(st[3]);
        const V4 y = b0 * x + b1 * x1 + b2 * x2 - a2 * y2 - a1 * y1;
        store4(st[1], x1);
        store4(st[0], x);
        store4(st[3], y1);
        store4(st[2], y + splat(1e-30f));
        return y;
    }
};

// Butterworth second-order sections by the bilinear transform; two in a row are one side
// of a Linkwitz-Riley crossover of the fourth order.
void butterworth(double cutoffHz, double fs, bool highPass, float* b, float* a) {
    const double k = std::tan(kPi * std::min(cutoffHz, 0.45 * fs) / fs);
    const double q = std::sqrt(0.5);
    const double norm = 1.0 / (1.0 + k / q + k * k);
    const double b0 = highPass ? norm : k * k * norm;
    b[0] = static_cast<float>(b0);
    b[1] = static_cast<float>(highPass ? -2.0 * b0 : 2.0 * b0);
    b[2] = static_cast<float>(b0);
    a[0] = static_cast<float>(2.0 * (k * k - 1.0) * norm);
    a[1] = static_cast<float>((1.0 - k / q + k * k) * norm);
}

bool finite(float v) {
    return std::isfinite(v);
}

void flush(float* v, int count) {
    for (int i = 0; i < count; ++i)
        if (!std::isfinite(v[i])) v[i] = 0.0f;
}

// ---- speaker stage kernels ----

// dst = sum over columns of coef * work, per frame; coefficient column j at coef[j * lanes].
template <int K>
inline __attribute__((always_inline)) void
matrixRow(const float* work, int stride, const float* coef, int lanes, float* dst, int n) {
    float c[K];
    const float* t[K];
    for (int j = 0; j < K; ++j) {
        c[j] = coef[j * lanes];
        t[j] = work + j * stride;
    }
    float* __restrict o = dst;
    for (int i = 0; i < n; ++i) {
        float acc = 0.0f;
        for (int j = 0; j < K; ++j) acc += c[j] * t[j][i];
        o[i] = acc;
    }
}

// One frame, speakers in lanes: W's columns go straight to the feed, the directional ones
// through the speaker's first-order near-field section (NF_filt1's arithmetic). The
// restrict parameters are what lets the compiler vectorise across speakers.
template <int K>
inline __attribute__((always_inline)) void
nearFieldFrame(const float* __restrict coef, const float* __restrict g, const float* __restrict d,
               const float* __restrict c, float* __restrict z, float* __restrict f, const float* t,
               int lanes) {
    const float t0 = t[0], t1 = t[1], t2 = t[2], t3 = t[3];
    const float t4 = t[4 % K], t5 = t[5 % K], t6 = t[6 % K], t7 = t[7 % K];
    for (int s = 0; s < lanes; ++s) {
        float omni = coef[s] * t0;
        float dir = coef[lanes + s] * t1 + coef[2 * lanes + s] * t2 + coef[3 * lanes + s] * t3;
        if (K == 8) {
            omni = omni + coef[4 * lanes + s] * t4;
            dir = dir + coef[5 * lanes + s] * t5 + coef[6 * lanes + s] * t6 +
                  coef[7 * lanes + s] * t7;
        }
        const float u = dir * g[s];
        const float zs = z[s];
        const float x = u - c[s] * zs + 1e-30f;
        const float y = x + d[s] * zs;
        z[s] = zs + x;
        f[s] = omni + y;
    }
}

template <int K>
inline __attribute__((always_inline)) void
nearFieldFrames(const float* work, int stride, const float* coef, const float* nf, float* state,
                int lanes, float* frames, int n) {
    for (int i = 0; i < n; ++i) {
        float t[K];
        for (int j = 0; j < K; ++j) t[j] = work[j * stride + i];
        nearFieldFrame<K>(coef, nf, nf + lanes, nf + 2 * lanes, state,
                          frames + static_cast<long>(i) * lanes, t, lanes);
    }
}

void matrixRowPlain(int k, const float* work, int stride, const float* coef, int lanes, float* dst,
                    int n) {
    if (k == 8)
        matrixRow<8>(work, stride, coef, lanes, dst, n);
    else
        matrixRow<4>(work, stride, coef, lanes, dst, n);
}
void nearFieldFramesPlain(int k, const float* work, int stride, const float* coef, const float* nf,
                          float* state, int lanes, float* frames, int n) {
    if (k == 8)
        nearFieldFrames<8>(work, stride, coef, nf, state, lanes, frames, n);
    else
        nearFieldFrames<4>(work, stride, coef, nf, state, lanes, frames, n);
}

#if defined(__x86_64__) || defined(__i386__)
// The same kernels with twice the lanes on processors that have them.
__attribute__((target("avx"))) void matrixRowAvx(int k, const float* work, int stride,
                                                 const float* coef, int lanes, float* dst, int n) {
    if (k == 8)
        matrixRow<8>(work, stride, coef, lanes, dst, n);
    else
        matrixRow<4>(work, stride, coef, lanes, dst, n);
}
__attribute__((target("avx"))) void nearFieldFramesAvx(int k, const float* work, int stride,
                                                       const float* coef, const float* nf,
                                                       float* state, int lanes, float* frames,
                                                       int n) {
    if (k == 8)
        nearFieldFrames<8>(work, stride, coef, nf, state, lanes, frames, n);
    else
        nearFieldFrames<4>(work, stride, coef, nf, state, lanes, frames, n);
}
const bool kHasAvx = __builtin_cpu_supports("avx");
#else
constexpr bool kHasAvx = false;
#define matrixRowAvx matrixRowPlain
#define nearFieldFramesAvx nearFieldFramesPlain
#endif

} // namespace

PlanDecoder::PlanDecoder(const DecoderPlan& plan, float sampleRateHz, int capacity,
                         const DecoderSettings& settings)
    : plan_(plan), fs_(sampleRateHz > 0.0f && finite(sampleRateHz) ? sampleRateHz : 44100.0f),
      capacity_(capacity > 0 ? capacity : 1) {
    speakers_ = std::clamp(plan_.numSpeakers, 0, DecoderPlan::kMaxSpeakers);
    lanes_ = (speakers_ + 7) / 8 * 8;
    if (lanes_ == 0) lanes_ = 8;
    columns_ = plan_.twoBand ? 8 : 4;
    subwoofer_ = plan_.subwoofer;

    int longest = 0;
    for (int s = 0; s < speakers_; ++s) {
        gain_[s] = compensationGain(plan_, s);
        delay_[s] = compensationDelayFrames(plan_, s, fs_);
        longest = std::max(longest, delay_[s]);
    }
    longestDelay_ = longest;
    if (longest > 0) {
        ringSize_ = 1;
        while (ringSize_ < longest + capacity_) ringSize_ *= 2;
        ring_.assign(static_cast<size_t>(speakers_) * static_cast<size_t>(ringSize_), 0.0f);
    }

    coef_.assign(static_cast<size_t>(8 * lanes_), 0.0f);
    for (int s = 0; s < speakers_; ++s)
        for (int j = 0; j < DecoderPlan::kInputs; ++j) {
            coef_[static_cast<size_t>(j * lanes_ + s)] =
                static_cast<float>(plan_.lf[s][j] * gain_[s]);
            if (plan_.twoBand)
                coef_[static_cast<size_t>((4 + j) * lanes_ + s)] =
                    static_cast<float>(plan_.hf[s][j] * gain_[s]);
        }

    work_.assign(static_cast<size_t>(columns_) * static_cast<size_t>(capacity_), 0.0f);
    sub_.assign(static_cast<size_t>(capacity_), 0.0f);
    feed_.assign(static_cast<size_t>(capacity_), 0.0f);
    nfTarget_.assign(static_cast<size_t>(3 * lanes_), 0.0f);
    nf_.assign(static_cast<size_t>(3 * lanes_), 0.0f);
    nfZ_.assign(static_cast<size_t>(lanes_), 0.0f);
    if (plan_.nearField == DecoderPlan::NearField::Output)
        frames_.assign(static_cast<size_t>(capacity_) * static_cast<size_t>(lanes_), 0.0f);

    // The plan's band split and the bass management are fixed for the plan's lifetime.
    const double xover = plan_.crossoverHz > 0.0 && std::isfinite(plan_.crossoverHz)
                             ? std::min(plan_.crossoverHz, 0.45 * fs_)
                             : 400.0;
    const double k = std::tan(kPi * xover / fs_);
    splitK_ = static_cast<float>(k / (1.0 + k));
    splitA_ = static_cast<float>((k - 1.0) / (k + 1.0));
    const double subHz = plan_.subCrossoverHz > 0.0 && std::isfinite(plan_.subCrossoverHz)
                             ? plan_.subCrossoverHz
                             : 80.0;
    butterworth(subHz, fs_, true, hpB_, hpA_);
    butterworth(subHz, fs_, false, lpB_, lpA_);

    settings_ = settings;
    designPattern(settings_);
    nearFieldTargets(settings_);
    std::memcpy(inNf_, inNfTarget_, sizeof inNf_);
    nf_ = nfTarget_;
}

namespace {
// The farthest speaker with a valid distance, 0 when none has one.
double farthestMetres(const DecoderPlan& plan) {
    double farthest = 0.0;
    const int speakers = std::clamp(plan.numSpeakers, 0, DecoderPlan::kMaxSpeakers);
    for (int s = 0; s < speakers; ++s) {
        const double d = plan.distanceMetres[s];
        if (d > 0.0 && std::isfinite(d)) farthest = std::max(farthest, d);
    }
    return farthest;
}
bool validDistance(const DecoderPlan& plan, int s) {
    if (s < 0 || s >= plan.numSpeakers || s >= DecoderPlan::kMaxSpeakers) return false;
    const double d = plan.distanceMetres[s];
    return d > 0.0 && std::isfinite(d);
}
} // namespace

int PlanDecoder::compensationDelayFrames(const DecoderPlan& plan, int speaker, float sampleRateHz) {
    if (!plan.delayCompensation || !validDistance(plan, speaker)) return 0;
    const double lead = farthestMetres(plan) - plan.distanceMetres[speaker];
    // At most a second: no room is larger, and the delay lines stay of a sane size.
    const double frames = std::min(lead / kSpeedOfSoundMetresPerSecond, 1.0) * sampleRateHz;
    return static_cast<int>(std::lround(frames));
}

float PlanDecoder::compensationGain(const DecoderPlan& plan, int speaker) {
    if (!plan.levelCompensation || !validDistance(plan, speaker)) return 1.0f;
    return static_cast<float>(plan.distanceMetres[speaker] / farthestMetres(plan));
}

// ---- settings ----

void PlanDecoder::apply(const DecoderSettings& in, int n) {
    // A non-finite value keeps the previous one: no setting may poison a filter.
    DecoderSettings s = in;
    if (!finite(s.lpGain)) s.lpGain = settings_.lpGain;
    if (!finite(s.hpGain)) s.hpGain = settings_.hpGain;
    if (!finite(s.fCut)) s.fCut = settings_.fCut;
    if (!finite(s.distComp)) s.distComp = settings_.distComp;
    if (!finite(s.nfc)) s.nfc = settings_.nfc;
    const bool pattern = s.lpGain != settings_.lpGain || s.hpGain != settings_.hpGain ||
                         s.fCut != settings_.fCut || !(s.seq == settings_.seq);
    const bool nearField = s.distComp != settings_.distComp || s.nfc != settings_.nfc;
    settings_ = s;
    if (pattern) designPattern(s);
    if (nearField) nearFieldTargets(s);
    glideNearField(n);
}

// The seed's three spatial-EQ modes: W weighted 2 - p and X, Y, Z by p, in one band, in
// the two bands of the first-order all-pass crossover, or by the first-order shelf.
void PlanDecoder::designPattern(const DecoderSettings& s) {
    switch (spatialEQModeOf(s.seq)) {
    case SpatialEQMode::SingleBand:
        pattern_ = Pattern::SingleBand;
        break;
    case SpatialEQMode::Crossover:
        pattern_ = Pattern::Crossover;
        break;
    case SpatialEQMode::Shelf:
        pattern_ = Pattern::Shelf;
        break;
    }
    const float lp = s.lpGain, hp = s.hpGain;
    for (int j = 0; j < 4; ++j) {
        patLow_[j] = j == 0 ? 2.0f - lp : lp;
        patHigh_[j] = j == 0 ? 2.0f - hp : hp;
    }
    if (pattern_ == Pattern::Crossover) {
        const float a = allPassCoefficient(s.fCut, fs_);
        for (float& v : patA_) v = a;
    } else if (pattern_ == Pattern::Shelf) {
        // Held just inside the range, where the shelf design is finite (as the seed does).
        const float l = std::clamp(lp, kShelfPatternMargin, 2.0f - kShelfPatternMargin);
        const float h = std::clamp(hp, kShelfPatternMargin, 2.0f - kShelfPatternMargin);
        mavoshelf omni, directional;
        omni.init(fs_, s.fCut, 2.0f - l, 2.0f - h);
        directional.init(fs_, s.fCut, l, h);
        for (int j = 0; j < 4; ++j) {
            const mavoshelf& m = j == 0 ? omni : directional;
            patA_[j] = m.a;
            patB_[j] = m.b;
            patGain_[j] = m.gain;
        }
    }
}

// (s + 342 / encoded) / (s + 342 / speaker) on the directional signals, by NF_filt1's
// design. A plan without near-field compensation of its own takes the seed's loudspeaker
// distance parameter on its inputs, as the seed engine does.
void PlanDecoder::nearFieldTargets(const DecoderSettings& s) {
    const float w1 =
        s.nfc < kDistanceOff && s.nfc > 0.0f ? kNearFieldSpeedOfSound / (s.nfc * fs_) : 0.0f;
    auto design = [&](double metres, float& g, float& d, float& c) {
        NF_filt1 f;
        f.init(w1, kNearFieldSpeedOfSound / (static_cast<float>(metres) * fs_), 1.0f);
        g = f.g;
        d = f.d1;
        c = f.c1;
    };
    const bool wasInput = inputNearField_;
    inputNearField_ = false;
    speakerNearField_ = false;
    double inputMetres = 0.0;
    switch (plan_.nearField) {
    case DecoderPlan::NearField::None:
        inputNearField_ = s.distComp < kDistanceOff && s.distComp > 0.0f;
        inputMetres = s.distComp;
        break;
    case DecoderPlan::NearField::Input:
        inputMetres = plan_.nearFieldDistanceMetres;
        inputNearField_ = inputMetres > 0.0 && std::isfinite(inputMetres);
        break;
    case DecoderPlan::NearField::Output:
        speakerNearField_ = true;
        for (int sp = 0; sp < speakers_; ++sp) {
            const double r = plan_.distanceMetres[sp];
            float& g = nfTarget_[static_cast<size_t>(sp)];
            float& d = nfTarget_[static_cast<size_t>(lanes_ + sp)];
            float& c = nfTarget_[static_cast<size_t>(2 * lanes_ + sp)];
            if (r > 0.0 && std::isfinite(r)) {
                design(r, g, d, c);
            } else { // an unknown distance: passed through
                g = 1.0f;
                d = 0.0f;
                c = 0.0f;
            }
        }
        break;
    }
    if (inputNearField_) {
        for (int j = 1; j < 4; ++j)
            design(inputMetres, inNfTarget_[0][j], inNfTarget_[1][j], inNfTarget_[2][j]);
        if (!wasInput) { // switched on: from the new design, from rest
            std::memcpy(inNf_, inNfTarget_, sizeof inNf_);
            std::fill(std::begin(inNfZ_), std::end(inNfZ_), 0.0f);
        }
    }
}

void PlanDecoder::glideNearField(int n) {
    if (n <= 0) return;
    const float k = 1.0f - std::pow(kGlidePerSample, static_cast<float>(n));
    auto glide = [k](float& cur, float target) {
        cur = cur + (target - cur) * k;
        if (std::fabs(target - cur) < 1e-9f) cur = target;
    };
    if (inputNearField_)
        for (int r = 0; r < 3; ++r)
            for (int j = 0; j < 4; ++j) glide(inNf_[r][j], inNfTarget_[r][j]);
    if (speakerNearField_)
        for (size_t i = 0; i < nf_.size(); ++i) glide(nf_[i], nfTarget_[i]);
}

void PlanDecoder::reset() {
    std::fill(std::begin(patZ_), std::end(patZ_), 0.0f);
    std::fill(std::begin(inNfZ_), std::end(inNfZ_), 0.0f);
    std::memset(bassState_, 0, sizeof bassState_);
    std::memset(splitState_, 0, sizeof splitState_);
    std::fill(nfZ_.begin(), nfZ_.end(), 0.0f);
    std::fill(ring_.begin(), ring_.end(), 0.0f);
    writePos_ = 0;
}

void PlanDecoder::flushNonFinite() {
    flush(patZ_, 4);
    flush(inNfZ_, 4);
    flush(&bassState_[0][0][0], 64);
    flush(&splitState_[0][0], 16);
    flush(nfZ_.data(), lanes_);
}

// ---- input stage ----

namespace {

struct InputLanes {
    V4 a, b, gain, low, high, z; // pattern
    V4 ng, nd, nc, nz;           // near-field on X, Y, Z
    Biquad4 hp, lp;              // bass management
    float (*bass)[4][4];         // hp1, hp2, lp1, lp2
    V4 k, a1, sx, sy, tx, ty;    // band split
};

template <int Mode, bool NearField, bool Bass, bool Split>
void inputLoop(InputLanes& s, const float* const* in, float* work, int stride, float* sub, int n) {
    const V4 half = splat(0.5f), eps30 = splat(1e-30f), eps20 = splat(1e-20f);
    const V4 keepW = {1.0f, 0.0f, 0.0f, 0.0f}, keepDir = {0.0f, 1.0f, 1.0f, 1.0f};
    const float* i0 = in[0];
    const float* i1 = in[1];
    const float* i2 = in[2];
    const float* i3 = in[3];
    for (int i = 0; i < n; ++i) {
        const V4 x = {i0[i], i1[i], i2[i], i3[i]};
        V4 w;
        if (Mode == 0) {
            w = x * s.low;
        } else if (Mode == 1) { // AllPass's crossover
            const V4 d = x - s.a * s.z;
            const V4 ap = d * s.a + s.z;
            s.z = d + eps30;
            w = (x + ap) * half * s.low + (x - ap) * half * s.high;
        } else { // mavoshelf
            const V4 v = x - s.a * s.z;
            w = (s.b * v + s.z) * s.gain;
            s.z = v + eps20;
        }
        if (NearField) {
            const V4 u = w * s.ng;
            const V4 xp = u - s.nc * s.nz + eps30;
            const V4 y = xp + s.nd * s.nz;
            s.nz = s.nz + xp;
            w = w * keepW + y * keepDir;
        }
        if (Bass) {
            const V4 lo = s.lp.run(s.lp.run(w, s.bass[2]), s.bass[3]);
            w = s.hp.run(s.hp.run(w, s.bass[0]), s.bass[1]);
            sub[i] = lo[0];
        }
        if (Split) {
            // Two one-pole low-passes make the low band; twice the first minus the input
            // is the matching first-order all-pass, and the high band is what the low band
            // leaves of it: in phase with the low band at every frequency (-HP squared).
            const V4 l1 = s.k * (w + s.sx) - s.a1 * s.sy;
            s.sx = w;
            s.sy = l1 + eps30;
            const V4 lo = s.k * (l1 + s.tx) - s.a1 * s.ty;
            s.tx = l1;
            s.ty = lo + eps30;
            const V4 hi = (l1 + l1 - w) - lo;
            for (int j = 0; j < 4; ++j) {
                work[j * stride + i] = lo[j];
                work[(4 + j) * stride + i] = hi[j];
            }
        } else {
            for (int j = 0; j < 4; ++j) work[j * stride + i] = w[j];
        }
    }
}

using InputLoop = void (*)(InputLanes&, const float* const*, float*, int, float*, int);

template <int Mode, bool NearField, bool Bass> InputLoop pickSplit(bool split) {
    return split ? inputLoop<Mode, NearField, Bass, true> : inputLoop<Mode, NearField, Bass, false>;
}
template <int Mode, bool NearField> InputLoop pickBass(bool bass, bool split) {
    return bass ? pickSplit<Mode, NearField, true>(split)
                : pickSplit<Mode, NearField, false>(split);
}
template <int Mode> InputLoop pickNearField(bool nf, bool bass, bool split) {
    return nf ? pickBass<Mode, true>(bass, split) : pickBass<Mode, false>(bass, split);
}
InputLoop pickInputLoop(int mode, bool nf, bool bass, bool split) {
    switch (mode) {
    case 0:
        return pickNearField<0>(nf, bass, split);
    case 1:
        return pickNearField<1>(nf, bass, split);
    default:
        return pickNearField<2>(nf, bass, split);
    }
}

} // namespace

void PlanDecoder::inputStage(const float* const* in, int n) {
    InputLanes s;
    s.a = load4(patA_);
    s.b = load4(patB_);
    s.gain = load4(patGain_);
    s.low = load4(patLow_);
    s.high = load4(patHigh_);
    s.z = load4(patZ_);
    s.ng = load4(inNf_[0]);
    s.nd = load4(inNf_[1]);
    s.nc = load4(inNf_[2]);
    s.nz = load4(inNfZ_);
    s.hp = {splat(hpB_[0]), splat(hpB_[1]), splat(hpB_[2]), splat(hpA_[0]), splat(hpA_[1])};
    s.lp = {splat(lpB_[0]), splat(lpB_[1]), splat(lpB_[2]), splat(lpA_[0]), splat(lpA_[1])};
    s.bass = bassState_;
    s.k = splat(splitK_);
    s.a1 = splat(splitA_);
    s.sx = load4(splitState_[0]);
    s.sy = load4(splitState_[1]);
    s.tx = load4(splitState_[2]);
    s.ty = load4(splitState_[3]);
    const int mode = pattern_ == Pattern::SingleBand ? 0 : pattern_ == Pattern::Crossover ? 1 : 2;
    pickInputLoop(mode, inputNearField_, subwoofer_, plan_.twoBand)(s, in, work_.data(), capacity_,
                                                                    sub_.data(), n);
    store4(patZ_, s.z);
    store4(inNfZ_, s.nz);
    store4(splitState_[0], s.sx);
    store4(splitState_[1], s.sy);
    store4(splitState_[2], s.tx);
    store4(splitState_[3], s.ty);
}

// ---- speaker stage ----

// Writes n frames of speaker s, read from src with the given stride, delayed by the
// speaker's compensation, to dst.
void PlanDecoder::delayInto(int speaker, const float* src, int stride, float* dst, int n) {
    const int delay = delay_[speaker];
    if (delay == 0) {
        if (stride == 1) {
            if (src != dst) std::memcpy(dst, src, sizeof(float) * static_cast<size_t>(n));
        } else {
            for (int i = 0; i < n; ++i) dst[i] = src[static_cast<long>(i) * stride];
        }
        return;
    }
    float* ring = ring_.data() + static_cast<size_t>(speaker) * static_cast<size_t>(ringSize_);
    const int mask = ringSize_ - 1;
    // Write at writePos_, in at most two runs.
    int pos = writePos_;
    for (int done = 0; done < n;) {
        const int run = std::min(n - done, ringSize_ - pos);
        float* __restrict r = ring + pos;
        const float* s = src + static_cast<long>(done) * stride;
        if (stride == 1)
            std::memcpy(r, s, sizeof(float) * static_cast<size_t>(run));
        else
            for (int i = 0; i < run; ++i) r[i] = s[static_cast<long>(i) * stride];
        done += run;
        pos = (pos + run) & mask;
    }
    // Read from delay frames earlier.
    pos = (writePos_ - delay) & mask;
    for (int done = 0; done < n;) {
        const int run = std::min(n - done, ringSize_ - pos);
        std::memcpy(dst + done, ring + pos, sizeof(float) * static_cast<size_t>(run));
        done += run;
        pos = (pos + run) & mask;
    }
}

void PlanDecoder::speakerStageDirect(float* const* out, int n) {
    for (int s = 0; s < speakers_; ++s) {
        float* dst = delay_[s] == 0 ? out[s] : feed_.data();
        if (kHasAvx)
            matrixRowAvx(columns_, work_.data(), capacity_, coef_.data() + s, lanes_, dst, n);
        else
            matrixRowPlain(columns_, work_.data(), capacity_, coef_.data() + s, lanes_, dst, n);
        if (delay_[s] != 0) delayInto(s, dst, 1, out[s], n);
    }
}

void PlanDecoder::speakerStageNearField(float* const* out, int n) {
    if (kHasAvx)
        nearFieldFramesAvx(columns_, work_.data(), capacity_, coef_.data(), nf_.data(), nfZ_.data(),
                           lanes_, frames_.data(), n);
    else
        nearFieldFramesPlain(columns_, work_.data(), capacity_, coef_.data(), nf_.data(),
                             nfZ_.data(), lanes_, frames_.data(), n);
    for (int s = 0; s < speakers_; ++s) delayInto(s, frames_.data() + s, lanes_, out[s], n);
}

void PlanDecoder::process(const float* const* in, float* const* out, int numOutputs, int n) {
    if (n <= 0) return;
    if (n > capacity_) n = capacity_; // the owner cuts longer blocks into pieces
    inputStage(in, n);
    // The stage writes every speaker the plan has; outputs beyond numOutputs go to feed_.
    float* dst[DecoderPlan::kMaxSpeakers];
    for (int s = 0; s < speakers_; ++s) dst[s] = s < numOutputs ? out[s] : feed_.data();
    if (speakerNearField_)
        speakerStageNearField(dst, n);
    else
        speakerStageDirect(dst, n);
    if (ringSize_ > 0) writePos_ = (writePos_ + n) & (ringSize_ - 1);
    int next = speakers_;
    if (subwoofer_ && next < numOutputs) {
        std::memcpy(out[next], sub_.data(), sizeof(float) * static_cast<size_t>(n));
        ++next;
    }
    for (int s = next; s < numOutputs; ++s)
        std::memset(out[s], 0, sizeof(float) * static_cast<size_t>(n));
    // A non-finite input sample would otherwise leave a recursion non-finite for good; a
    // finite state is never touched.
    flushNonFinite();
}
