// SPDX-License-Identifier: GPL-3.0-or-later
// The audio path of a plan.
//
// Every recursion adds its denormal guard off the loop through its state, so that the loop
// is one multiply and one add.
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
#include <utility>

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

// Frame by frame, speakers in lanes, 8 or 16 to a vector: W's columns go straight to the
// feed, the directional ones through the speaker's first-order near-field section. The
// section is NF_filt1's, with its gain g folded into the directional coefficients and its
// state update and output each written as one product and one sum (v = g dir,
// y = v + (d - c) z, z = v + (1 - c) z), so that the recursion through z is a multiply and
// an add: the vectors of all speakers then overlap.
typedef float V8 __attribute__((vector_size(32)));
typedef float V16 __attribute__((vector_size(64)));
template <typename V> constexpr int kWidth = sizeof(V) / sizeof(float);

template <typename V, int K, int C>
inline __attribute__((always_inline)) void nearFieldFrame(const float* work, int stride, int i,
                                                          const V (&cf)[K][C], const V (&e)[C],
                                                          const V (&k)[C], V (&z)[C], V (&out)[C]) {
    float t[K];
    for (int j = 0; j < K; ++j) t[j] = work[j * stride + i];
    for (int c = 0; c < C; ++c) {
        V omni = cf[0][c] * t[0];
        V dir = cf[1][c] * t[1] + cf[2][c] * t[2] + cf[3][c] * t[3];
        if (K == 8) {
            omni = omni + cf[4 % K][c] * t[4 % K];
            dir = dir + cf[5 % K][c] * t[5 % K] + cf[6 % K][c] * t[6 % K] + cf[7 % K][c] * t[7 % K];
        }
        const V v = dir + 1e-30f; // the near-field gain is in the coefficients
        const V y = v + e[c] * z[c];
        z[c] = v + k[c] * z[c];
        out[c] = omni + y;
    }
}

// W frames of W speakers become W runs of frames, one per speaker: log2 W stages, each
// swapping the off-diagonal blocks of size B within blocks of 2B.
template <typename V, int B, std::size_t... L>
inline __attribute__((always_inline)) void mixLow(const V& a, const V& b, V& out,
                                                  std::index_sequence<L...>) {
    constexpr int W = kWidth<V>;
    out = __builtin_shufflevector(a, b,
                                  ((L & B) ? static_cast<int>(L) - B + W : static_cast<int>(L))...);
}
template <typename V, int B, std::size_t... L>
inline __attribute__((always_inline)) void mixHigh(const V& a, const V& b, V& out,
                                                   std::index_sequence<L...>) {
    constexpr int W = kWidth<V>;
    out = __builtin_shufflevector(a, b,
                                  ((L & B) ? static_cast<int>(L) + W : static_cast<int>(L) + B)...);
}
template <typename V, int B> inline __attribute__((always_inline)) void transposeStage(V* r) {
    constexpr int W = kWidth<V>;
    for (int i = 0; i < W; ++i)
        if ((i & B) == 0) {
            V lo, hi;
            mixLow<V, B>(r[i], r[i + B], lo, std::make_index_sequence<W>());
            mixHigh<V, B>(r[i], r[i + B], hi, std::make_index_sequence<W>());
            r[i] = lo;
            r[i + B] = hi;
        }
}
template <typename V> inline __attribute__((always_inline)) void transpose(V* r) {
    transposeStage<V, 1>(r);
    transposeStage<V, 2>(r);
    transposeStage<V, 4>(r);
    if constexpr (kWidth<V> == 16) transposeStage<V, 8>(r);
}

// dst[s] receives speaker s's n frames (lanes rows; the padding lanes' rows are scratch).
// Each vector of V holds W speakers; W frames at a time are turned into runs.
template <typename V, int K, int C>
inline __attribute__((always_inline)) void
nearFieldFrames(const float* work, int stride, const float* coef, const float* nf, float* state,
                int lanes, float* const* dst, int n) {
    constexpr int W = kWidth<V>;
    V cf[K][C], g[C], e[C], k[C], z[C];
    for (int c = 0; c < C; ++c) {
        for (int j = 0; j < K; ++j) std::memcpy(&cf[j][c], coef + j * lanes + W * c, sizeof(V));
        float dc[W], oc[W];
        for (int l = 0; l < W; ++l) {
            dc[l] = nf[lanes + W * c + l] - nf[2 * lanes + W * c + l];
            oc[l] = 1.0f - nf[2 * lanes + W * c + l];
        }
        std::memcpy(&g[c], nf + W * c, sizeof(V));
        std::memcpy(&e[c], dc, sizeof(V));
        std::memcpy(&k[c], oc, sizeof(V));
        std::memcpy(&z[c], state + W * c, sizeof(V));
        for (int j = 1; j < K; ++j)
            if (j % 4 != 0) cf[j][c] = cf[j][c] * g[c]; // the directional columns
    }
    int i = 0;
    for (; i + W <= n; i += W) {
        V o[W][C];
        for (int r = 0; r < W; ++r) nearFieldFrame<V, K, C>(work, stride, i + r, cf, e, k, z, o[r]);
        for (int c = 0; c < C; ++c) {
            V run[W];
            for (int r = 0; r < W; ++r) run[r] = o[r][c];
            transpose(run);
            for (int l = 0; l < W; ++l) std::memcpy(dst[W * c + l] + i, &run[l], sizeof(V));
        }
    }
    for (; i < n; ++i) {
        V o[C];
        nearFieldFrame<V, K, C>(work, stride, i, cf, e, k, z, o);
        for (int c = 0; c < C; ++c)
            for (int l = 0; l < W; ++l) dst[W * c + l][i] = o[c][l];
    }
    for (int c = 0; c < C; ++c) std::memcpy(state + W * c, &z[c], sizeof(V));
}

template <typename V, int K>
inline __attribute__((always_inline)) void
nearFieldFramesOf(const float* work, int stride, const float* coef, const float* nf, float* state,
                  int lanes, float* const* frames, int n) {
    switch (lanes / kWidth<V>) {
    case 1:
        return nearFieldFrames<V, K, 1>(work, stride, coef, nf, state, lanes, frames, n);
    case 2:
        return nearFieldFrames<V, K, 2>(work, stride, coef, nf, state, lanes, frames, n);
    case 3:
        return nearFieldFrames<V, K, 3>(work, stride, coef, nf, state, lanes, frames, n);
    default:
        return nearFieldFrames<V, K, 4>(work, stride, coef, nf, state, lanes, frames, n);
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
                          float* state, int lanes, float* const* frames, int n) {
    if (k == 8)
        nearFieldFramesOf<V8, 8>(work, stride, coef, nf, state, lanes, frames, n);
    else
        nearFieldFramesOf<V8, 4>(work, stride, coef, nf, state, lanes, frames, n);
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
                                                       float* state, int lanes,
                                                       float* const* frames, int n) {
    if (k == 8)
        nearFieldFramesOf<V8, 8>(work, stride, coef, nf, state, lanes, frames, n);
    else
        nearFieldFramesOf<V8, 4>(work, stride, coef, nf, state, lanes, frames, n);
}
// Sixteen speakers to a vector where the processor has the registers for it.
__attribute__((target("avx512f"))) void nearFieldFramesAvx512(int k, const float* work, int stride,
                                                              const float* coef, const float* nf,
                                                              float* state, int lanes,
                                                              float* const* frames, int n) {
    if (k == 8)
        nearFieldFramesOf<V16, 8>(work, stride, coef, nf, state, lanes, frames, n);
    else
        nearFieldFramesOf<V16, 4>(work, stride, coef, nf, state, lanes, frames, n);
}
const bool kHasAvx = __builtin_cpu_supports("avx");
const bool kHasAvx512 = __builtin_cpu_supports("avx512f");
#else
constexpr bool kHasAvx = false;
constexpr bool kHasAvx512 = false;
#define matrixRowAvx matrixRowPlain
#define nearFieldFramesAvx nearFieldFramesPlain
#define nearFieldFramesAvx512 nearFieldFramesPlain
#endif

} // namespace

PlanDecoder::PlanDecoder(const DecoderPlan& plan, float sampleRateHz, int capacity,
                         const DecoderSettings& settings)
    : plan_(plan), fs_(sampleRateHz > 0.0f && finite(sampleRateHz) ? sampleRateHz : 44100.0f),
      capacity_(capacity > 0 ? capacity : 1) {
    speakers_ = std::clamp(plan_.numSpeakers, 0, DecoderPlan::kMaxSpeakers);
    const int width = kHasAvx512 ? 16 : 8; // speakers to a vector
    lanes_ = std::max(1, (speakers_ + width - 1) / width) * width;
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
    if (plan_.nearField == DecoderPlan::NearField::Output && longest > 0)
        runs_.assign(static_cast<size_t>(speakers_) * static_cast<size_t>(capacity_), 0.0f);

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

// One frame of the four inputs; lo (and hi with the band split) receive the work lanes.
template <int Mode, bool NearField, bool Bass, bool Split>
inline __attribute__((always_inline)) void inputStep(InputLanes& s, const V4& x, V4& lo, V4& hi,
                                                     float& sub) {
    const V4 half = splat(0.5f), eps30 = splat(1e-30f), eps20 = splat(1e-20f);
    V4 w;
    if (Mode == 0) {
        w = x * s.low;
    } else if (Mode == 1) { // AllPass's crossover
        const V4 d = (x + eps30) - s.a * s.z;
        const V4 ap = d * s.a + s.z;
        s.z = d;
        w = (x + ap) * half * s.low + (x - ap) * half * s.high;
    } else { // mavoshelf
        const V4 v = (x + eps20) - s.a * s.z;
        w = (s.b * v + s.z) * s.gain;
        s.z = v;
    }
    if (NearField) {
        const V4 keepW = {1.0f, 0.0f, 0.0f, 0.0f}, keepDir = {0.0f, 1.0f, 1.0f, 1.0f};
        const V4 u = w * s.ng;
        const V4 xp = (u + eps30) - s.nc * s.nz;
        const V4 y = xp + s.nd * s.nz;
        s.nz = s.nz + xp;
        w = w * keepW + y * keepDir;
    }
    if (Bass) {
        const V4 low = s.lp.run(s.lp.run(w, s.bass[2]), s.bass[3]);
        w = s.hp.run(s.hp.run(w, s.bass[0]), s.bass[1]);
        sub = low[0];
    }
    if (Split) {
        // Two one-pole low-passes make the low band; twice the first minus the input is the
        // matching first-order all-pass, and the high band is what the low band leaves of
        // it: in phase with the low band at every frequency (-HP squared).
        const V4 l1 = (s.k * (w + s.sx) + eps30) - s.a1 * s.sy;
        s.sx = w;
        s.sy = l1;
        lo = (s.k * (l1 + s.tx) + eps30) - s.a1 * s.ty;
        s.tx = l1;
        s.ty = lo;
        hi = (l1 + l1 - w) - lo;
    } else {
        lo = w;
    }
}

// Four frames of four channels turned into four channels of four frames, and back.
inline __attribute__((always_inline)) void transpose4(V4 (&r)[4]) {
    const V4 t0 = __builtin_shufflevector(r[0], r[1], 0, 4, 1, 5);
    const V4 t1 = __builtin_shufflevector(r[0], r[1], 2, 6, 3, 7);
    const V4 t2 = __builtin_shufflevector(r[2], r[3], 0, 4, 1, 5);
    const V4 t3 = __builtin_shufflevector(r[2], r[3], 2, 6, 3, 7);
    r[0] = __builtin_shufflevector(t0, t2, 0, 1, 4, 5);
    r[1] = __builtin_shufflevector(t0, t2, 2, 3, 6, 7);
    r[2] = __builtin_shufflevector(t1, t3, 0, 1, 4, 5);
    r[3] = __builtin_shufflevector(t1, t3, 2, 3, 6, 7);
}

template <int Mode, bool NearField, bool Bass, bool Split>
void inputLoop(InputLanes& state, const float* const* in, float* work, int stride, float* sub,
               int n) {
    // A local copy: the stores to work and sub cannot alias it, so it stays in registers.
    InputLanes s = state;
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        V4 x[4], lo[4], hi[4] = {};
        for (int j = 0; j < 4; ++j) x[j] = load4(in[j] + i);
        transpose4(x);
        for (int f = 0; f < 4; ++f)
            inputStep<Mode, NearField, Bass, Split>(s, x[f], lo[f], hi[f], sub[i + f]);
        transpose4(lo);
        for (int j = 0; j < 4; ++j) store4(work + j * stride + i, lo[j]);
        if (Split) {
            transpose4(hi);
            for (int j = 0; j < 4; ++j) store4(work + (4 + j) * stride + i, hi[j]);
        }
    }
    for (; i < n; ++i) {
        const V4 x = {in[0][i], in[1][i], in[2][i], in[3][i]};
        V4 lo, hi = {};
        inputStep<Mode, NearField, Bass, Split>(s, x, lo, hi, sub[i]);
        for (int j = 0; j < 4; ++j) work[j * stride + i] = lo[j];
        if (Split)
            for (int j = 0; j < 4; ++j) work[(4 + j) * stride + i] = hi[j];
    }
    state = s;
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

// Where a delayed speaker's n new frames go: straight into its delay line when they fit
// there without wrapping, else into the scratch row given (and delayWrite copies them).
float* PlanDecoder::delayTarget(int speaker, float* scratch, int n) {
    if (writePos_ + n > ringSize_) return scratch;
    return ring_.data() + static_cast<size_t>(speaker) * static_cast<size_t>(ringSize_) + writePos_;
}

// Completes the delay of speaker s: its n new frames (at src, the delayTarget) into the
// delay line if they are not there yet, and the frames from delay earlier out to dst.
void PlanDecoder::delayOut(int speaker, const float* src, float* dst, int n) {
    float* ring = ring_.data() + static_cast<size_t>(speaker) * static_cast<size_t>(ringSize_);
    const int mask = ringSize_ - 1;
    int pos = writePos_;
    if (src != ring + writePos_)
        for (int done = 0; done < n;) { // at most two runs
            const int run = std::min(n - done, ringSize_ - pos);
            std::memcpy(ring + pos, src + done, sizeof(float) * static_cast<size_t>(run));
            done += run;
            pos = (pos + run) & mask;
        }
    pos = (writePos_ - delay_[speaker]) & mask;
    for (int done = 0; done < n;) {
        const int run = std::min(n - done, ringSize_ - pos);
        std::memcpy(dst + done, ring + pos, sizeof(float) * static_cast<size_t>(run));
        done += run;
        pos = (pos + run) & mask;
    }
}

void PlanDecoder::speakerStageDirect(float* const* out, int n) {
    for (int s = 0; s < speakers_; ++s) {
        float* dst = delay_[s] == 0 ? out[s] : delayTarget(s, feed_.data(), n);
        if (kHasAvx)
            matrixRowAvx(columns_, work_.data(), capacity_, coef_.data() + s, lanes_, dst, n);
        else
            matrixRowPlain(columns_, work_.data(), capacity_, coef_.data() + s, lanes_, dst, n);
        if (delay_[s] != 0) delayOut(s, dst, out[s], n);
    }
}

void PlanDecoder::speakerStageNearField(float* const* out, int n) {
    // Undelayed speakers straight to their outputs, delayed ones into their delay lines (or
    // rows of runs_); the padding lanes into feed_, which nothing reads.
    float* dst[DecoderPlan::kMaxSpeakers];
    for (int s = 0; s < lanes_; ++s)
        dst[s] =
            s >= speakers_ ? feed_.data()
            : delay_[s] == 0
                ? out[s]
                : delayTarget(
                      s, runs_.data() + static_cast<size_t>(s) * static_cast<size_t>(capacity_), n);
    if (kHasAvx512)
        nearFieldFramesAvx512(columns_, work_.data(), capacity_, coef_.data(), nf_.data(),
                              nfZ_.data(), lanes_, dst, n);
    else if (kHasAvx)
        nearFieldFramesAvx(columns_, work_.data(), capacity_, coef_.data(), nf_.data(), nfZ_.data(),
                           lanes_, dst, n);
    else
        nearFieldFramesPlain(columns_, work_.data(), capacity_, coef_.data(), nf_.data(),
                             nfZ_.data(), lanes_, dst, n);
    for (int s = 0; s < speakers_; ++s)
        if (delay_[s] != 0) delayOut(s, dst[s], out[s], n);
}

namespace {

// Every frame of every input exactly zero.
bool silent(const float* const* in, int n) {
    unsigned bits = 0;
    for (int j = 0; j < DecoderPlan::kInputs; ++j) {
        const float* x = in[j];
        for (int i = 0; i < n; ++i) {
            unsigned u;
            std::memcpy(&u, x + i, sizeof u);
            bits |= u << 1; // -0 is silence too
        }
    }
    return bits == 0;
}

// What the denormal guards leave in the outputs after the signal has gone: far below any
// converter's least bit, and set to exact zeros.
constexpr float kGuardFloor = 1e-15f;

void clearGuardResidue(float* v, int n) {
    for (int i = 0; i < n; ++i) v[i] = std::fabs(v[i]) < kGuardFloor ? 0.0f : v[i];
}

} // namespace

void PlanDecoder::process(const float* const* in, float* const* out, int numOutputs, int n) {
    if (n <= 0) return;
    if (n > capacity_) n = capacity_; // the owner cuts longer blocks into pieces
    // Read before any output is written: outputs may be the inputs' buffers.
    const bool silence = silent(in, n);
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
    // Silence in gives exact silence out, once what is left of the signal has died away.
    if (silence)
        for (int s = 0; s < next; ++s) clearGuardResidue(out[s], n);
    // A non-finite input sample would otherwise leave a recursion non-finite for good; a
    // finite state is never touched.
    flushNonFinite();
}
