// SPDX-License-Identifier: GPL-3.0-or-later
// The audio path: band weighting, near-field compensation, matrix, clearing.
//
// The filters of the channels are independent recursions whose speed is bound by
// the latency of their own loop, not by arithmetic. So for the three- and
// four-channel decoders of the plug-ins the first two stages run fused, one
// sample at a time with the channels side by side in the lanes of a vector: the
// band filter and the near-field filter of every channel then overlap in the
// processor. Every lane does exactly the arithmetic of its filter class,
// operation for operation, so the output is bit-identical to running the filters
// one channel after the other. Other channel counts take the filter classes.
#include <cmath>

#include "engine/KivAmbisonicDecoder.h"

#if defined(__SSE2__)
#include <immintrin.h>
#define KIV_SIMD 1
#else
#define KIV_SIMD 0
#endif

namespace {

constexpr float kDistanceOff = 8.0f;

enum class NearField { Off, PoleOnly, Full };

// ---- the filter classes, one channel after the other ----

void bandStagePlain(SpatialEQMode mode, float* const* in, float* const* tmp, KivAmbisonicDecoder& e,
                    int channels, int n) {
    const float lp = e.lpGain, hp = e.hpGain;
    switch (mode) {
    case SpatialEQMode::SingleBand:
        for (int i = 0; i < n; ++i) tmp[0][i] = (2.0f - lp) * in[0][i];
        for (int j = 1; j < channels; ++j)
            for (int i = 0; i < n; ++i) tmp[j][i] = in[j][i] * lp;
        break;
    case SpatialEQMode::Crossover:
        e.crossover[0]->ProcessAudio(in[0], tmp[0], 2.0f - lp, 2.0f - hp, n);
        for (int j = 1; j < channels; ++j) e.crossover[j]->ProcessAudio(in[j], tmp[j], lp, hp, n);
        break;
    case SpatialEQMode::Shelf:
        for (int j = 0; j < channels; ++j) e.shelf[j]->process(in[j], tmp[j], n);
        break;
    }
}

void nearFieldStagePlain(NearField nf, float* const* tmp, KivAmbisonicDecoder& e, int channels,
                         int n) {
    for (int k = 0; k < channels - 1; ++k) {
        float* t = tmp[k + 1]; // W is never filtered
        if (nf == NearField::Full)
            e.nfFilter[k]->process(n, t, t, 1);
        else if (nf == NearField::PoleOnly)
            e.nfFilter[k]->process1(n, t, t, 1);
    }
}

#if KIV_SIMD

// Lane j holds input channel j; the near-field filter of channel j is nfFilter[j - 1].
// Lanes without a channel (W's near-field lane, the fourth lane of a three-channel
// decoder) compute on zeros and are never stored.
struct Lanes {
    // band filter: crossover (a, z, low gain, high gain) or shelf (a, b, gain, z)
    __m128 a, b, gain, z, gLow, gHigh;
    // near-field filter: targets, state, and the three smoothers (state, pole, weight)
    __m128 g, d, c, state;
    __m128 gz, gzA, gzB, dz, dzA, dzB, cz, czA, czB;
};

inline __m128 lanes(const float* v) {
    return _mm_loadu_ps(v);
}

template <SpatialEQMode Mode, NearField Nf> inline __m128 step(Lanes& s, __m128 x) {
    const __m128 eps30 = _mm_set1_ps(1e-30f);
    __m128 w;
    if (Mode == SpatialEQMode::SingleBand) {
        w = _mm_mul_ps(x, s.gLow);
    } else if (Mode == SpatialEQMode::Crossover) {
        const __m128 d = _mm_sub_ps(x, _mm_mul_ps(s.a, s.z));
        const __m128 ap = _mm_add_ps(_mm_mul_ps(d, s.a), s.z);
        s.z = _mm_add_ps(d, eps30);
        const __m128 half = _mm_set1_ps(0.5f);
        w = _mm_add_ps(_mm_mul_ps(_mm_mul_ps(_mm_add_ps(x, ap), half), s.gLow),
                       _mm_mul_ps(_mm_mul_ps(_mm_sub_ps(x, ap), half), s.gHigh));
    } else {
        const __m128 v = _mm_sub_ps(x, _mm_mul_ps(s.a, s.z));
        w = _mm_mul_ps(_mm_add_ps(_mm_mul_ps(s.b, v), s.z), s.gain);
        s.z = _mm_add_ps(v, _mm_set1_ps(1e-20f));
    }
    if (Nf != NearField::Off) {
        const __m128 gs = _mm_add_ps(_mm_mul_ps(s.gz, s.gzA), _mm_mul_ps(s.gzB, s.g));
        s.gz = _mm_add_ps(gs, eps30);
        __m128 ds = _mm_setzero_ps();
        if (Nf == NearField::Full) {
            ds = _mm_add_ps(_mm_mul_ps(s.dz, s.dzA), _mm_mul_ps(s.dzB, s.d));
            s.dz = _mm_add_ps(ds, eps30);
        }
        const __m128 cs = _mm_add_ps(_mm_mul_ps(s.cz, s.czA), _mm_mul_ps(s.czB, s.c));
        s.cz = _mm_add_ps(cs, eps30);
        const __m128 u = _mm_mul_ps(w, gs);
        const __m128 xp = _mm_add_ps(_mm_sub_ps(u, _mm_mul_ps(cs, s.state)), eps30);
        const __m128 y = Nf == NearField::Full ? _mm_add_ps(xp, _mm_mul_ps(ds, s.state)) : xp;
        s.state = _mm_add_ps(s.state, xp);
        w = _mm_move_ss(y, w); // W keeps its band-weighted value
    }
    return w;
}

void loadLanes(Lanes& s, SpatialEQMode mode, NearField nf, KivAmbisonicDecoder& e, int channels) {
    alignas(16) float v[15][4] = {};
    const float lp = e.lpGain, hp = e.hpGain;
    for (int j = 0; j < channels; ++j) {
        if (mode == SpatialEQMode::SingleBand) {
            v[4][j] = j == 0 ? 2.0f - lp : lp;
        } else if (mode == SpatialEQMode::Crossover) {
            v[0][j] = e.crossover[j]->a;
            v[3][j] = e.crossover[j]->z;
            v[4][j] = j == 0 ? 2.0f - lp : lp;
            v[5][j] = j == 0 ? 2.0f - hp : hp;
        } else {
            v[0][j] = e.shelf[j]->a;
            v[1][j] = e.shelf[j]->b;
            v[2][j] = e.shelf[j]->gain;
            v[3][j] = e.shelf[j]->z;
        }
        if (nf != NearField::Off && j >= 1) {
            const NF_filt1& f = *e.nfFilter[j - 1];
            const float row[9] = {f.g, f.d1, f.c1, f.z1, f.gz.z, f.gz.a, f.gz.b, f.d1z.z, f.c1z.z};
            for (int r = 0; r < 9; ++r) v[6 + r][j] = row[r];
        }
    }
    s.a = lanes(v[0]);
    s.b = lanes(v[1]);
    s.gain = lanes(v[2]);
    s.z = lanes(v[3]);
    s.gLow = lanes(v[4]);
    s.gHigh = lanes(v[5]);
    s.g = lanes(v[6]);
    s.d = lanes(v[7]);
    s.c = lanes(v[8]);
    s.state = lanes(v[9]);
    s.gz = lanes(v[10]);
    s.gzA = lanes(v[11]);
    s.gzB = lanes(v[12]);
    s.dz = lanes(v[13]);
    s.cz = lanes(v[14]);
    // The pole and weight of the other two smoothers, lane by lane.
    alignas(16) float poles[4][4] = {};
    for (int j = 1; j < channels && nf != NearField::Off; ++j) {
        const NF_filt1& f = *e.nfFilter[j - 1];
        poles[0][j] = f.d1z.a;
        poles[1][j] = f.d1z.b;
        poles[2][j] = f.c1z.a;
        poles[3][j] = f.c1z.b;
    }
    s.dzA = lanes(poles[0]);
    s.dzB = lanes(poles[1]);
    s.czA = lanes(poles[2]);
    s.czB = lanes(poles[3]);
}

void storeLanes(const Lanes& s, SpatialEQMode mode, NearField nf, KivAmbisonicDecoder& e,
                int channels) {
    alignas(16) float z[4], state[4], gz[4], dz[4], cz[4];
    _mm_store_ps(z, s.z);
    _mm_store_ps(state, s.state);
    _mm_store_ps(gz, s.gz);
    _mm_store_ps(dz, s.dz);
    _mm_store_ps(cz, s.cz);
    for (int j = 0; j < channels; ++j) {
        if (mode == SpatialEQMode::Crossover) e.crossover[j]->z = z[j];
        if (mode == SpatialEQMode::Shelf) e.shelf[j]->z = z[j];
        if (nf != NearField::Off && j >= 1) {
            NF_filt1& f = *e.nfFilter[j - 1];
            f.z1 = state[j];
            f.gz.z = gz[j];
            if (nf == NearField::Full) f.d1z.z = dz[j];
            f.c1z.z = cz[j];
        }
    }
}

template <SpatialEQMode Mode, NearField Nf>
void fusedLoop(Lanes& s, float* const* in, float* const* tmp, int channels, int n) {
    const bool four = channels == 4;
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        __m128 r0 = _mm_loadu_ps(in[0] + i);
        __m128 r1 = _mm_loadu_ps(in[1] + i);
        __m128 r2 = _mm_loadu_ps(in[2] + i);
        __m128 r3 = four ? _mm_loadu_ps(in[3] + i) : _mm_setzero_ps();
        _MM_TRANSPOSE4_PS(r0, r1, r2, r3); // r0 is now sample i of every channel
        r0 = step<Mode, Nf>(s, r0);
        r1 = step<Mode, Nf>(s, r1);
        r2 = step<Mode, Nf>(s, r2);
        r3 = step<Mode, Nf>(s, r3);
        _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
        _mm_storeu_ps(tmp[0] + i, r0);
        _mm_storeu_ps(tmp[1] + i, r1);
        _mm_storeu_ps(tmp[2] + i, r2);
        if (four) _mm_storeu_ps(tmp[3] + i, r3);
    }
    for (; i < n; ++i) {
        alignas(16) float x[4] = {in[0][i], in[1][i], in[2][i], four ? in[3][i] : 0.0f};
        _mm_store_ps(x, step<Mode, Nf>(s, _mm_load_ps(x)));
        for (int j = 0; j < channels; ++j) tmp[j][i] = x[j];
    }
}

template <SpatialEQMode Mode>
void fusedNf(Lanes& s, NearField nf, float* const* in, float* const* tmp, int channels, int n) {
    switch (nf) {
    case NearField::Off:
        fusedLoop<Mode, NearField::Off>(s, in, tmp, channels, n);
        break;
    case NearField::PoleOnly:
        fusedLoop<Mode, NearField::PoleOnly>(s, in, tmp, channels, n);
        break;
    case NearField::Full:
        fusedLoop<Mode, NearField::Full>(s, in, tmp, channels, n);
        break;
    }
}

void fusedStages(SpatialEQMode mode, NearField nf, float* const* in, float* const* tmp,
                 KivAmbisonicDecoder& e, int channels, int n) {
    Lanes s;
    loadLanes(s, mode, nf, e, channels);
    switch (mode) {
    case SpatialEQMode::SingleBand:
        fusedNf<SpatialEQMode::SingleBand>(s, nf, in, tmp, channels, n);
        break;
    case SpatialEQMode::Crossover:
        fusedNf<SpatialEQMode::Crossover>(s, nf, in, tmp, channels, n);
        break;
    case SpatialEQMode::Shelf:
        fusedNf<SpatialEQMode::Shelf>(s, nf, in, tmp, channels, n);
        break;
    }
    storeLanes(s, mode, nf, e, channels);
}

#endif // KIV_SIMD

// ---- stage 3: matrix ----

// Each output is 0 plus, channel by channel in order, coefficient * work sample, in float.
// Written per sample with the samples in the lanes, so that the compiler vectorises it;
// the avx clone doubles the lanes on processors that have it.
template <int N>
void matrixN(float* const* tmp, const float (*coef)[KivAmbisonicDecoder::kMaxInputs], float** out,
             int speakers, int n) {
    const float* t[N];
    for (int j = 0; j < N; ++j) t[j] = tmp[j];
    for (int s = 0; s < speakers; ++s) {
        float c[N];
        for (int j = 0; j < N; ++j) c[j] = coef[s][j];
        float* __restrict o = out[s];
        for (int i = 0; i < n; ++i) {
            float acc = 0.0f;
            for (int j = 0; j < N; ++j) acc += c[j] * t[j][i];
            o[i] = acc;
        }
    }
}

#if KIV_SIMD
__attribute__((target("avx"))) void matrix3Avx(float* const* tmp,
                                               const float (*coef)[KivAmbisonicDecoder::kMaxInputs],
                                               float** out, int speakers, int n) {
    matrixN<3>(tmp, coef, out, speakers, n);
}
__attribute__((target("avx"))) void matrix4Avx(float* const* tmp,
                                               const float (*coef)[KivAmbisonicDecoder::kMaxInputs],
                                               float** out, int speakers, int n) {
    matrixN<4>(tmp, coef, out, speakers, n);
}
const bool kHasAvx = __builtin_cpu_supports("avx");
#endif

void matrixAny(float* const* tmp, const float (*coef)[KivAmbisonicDecoder::kMaxInputs],
               int channels, float** out, int speakers, int n) {
    for (int s = 0; s < speakers; ++s) {
        float* o = out[s];
        for (int i = 0; i < n; ++i) o[i] = 0.0f;
        for (int j = 0; j < channels; ++j) {
            const float c = coef[s][j];
            const float* t = tmp[j];
            for (int i = 0; i < n; ++i) o[i] += c * t[i];
        }
    }
}

void matrixStage(float* const* tmp, const KivDecoderCoefs& set, int channels, float** out,
                 int speakers, int n) {
    float coef[KivAmbisonicDecoder::kMaxOutputs][KivAmbisonicDecoder::kMaxInputs];
    for (int s = 0; s < speakers; ++s)
        for (int j = 0; j < channels; ++j) coef[s][j] = static_cast<float>(set.coefs[j][s]);
#if KIV_SIMD
    if (kHasAvx && channels == 3) return matrix3Avx(tmp, coef, out, speakers, n);
    if (kHasAvx && channels == 4) return matrix4Avx(tmp, coef, out, speakers, n);
#endif
    switch (channels) {
    case 3:
        matrixN<3>(tmp, coef, out, speakers, n);
        return;
    case 4:
        matrixN<4>(tmp, coef, out, speakers, n);
        return;
    default:
        matrixAny(tmp, coef, channels, out, speakers, n);
        return;
    }
}

// ---- digital silence ----

// The denormal guards keep every recursion ticking over near 1e-30 (the shelf's near
// 1e-18), so silence in would otherwise come out as a faint hiss of tiny, partly subnormal
// numbers. Below this level (-300 dB) an output is nothing but that, or the very end of a
// tail that has long died away.
constexpr float kSilenceFloor = 1e-15f;

bool allZero(float* const* in, int channels, int n) {
    for (int j = 0; j < channels; ++j)
        for (int i = 0; i < n; ++i)
            if (in[j][i] != 0.0f) return false;
    return true;
}

// Digital silence in gives digital silence out once the tails are below the floor. Only
// the outputs are cleared: the filter states run on as before, so the next sound is
// decoded exactly as it would have been.
void settleToSilence(float** out, int speakers, int n) {
    for (int s = 0; s < speakers; ++s)
        for (int i = 0; i < n; ++i)
            if (!(std::fabs(out[s][i]) < kSilenceFloor)) return;
    for (int s = 0; s < speakers; ++s)
        for (int i = 0; i < n; ++i) out[s][i] = 0.0f;
}

} // namespace

void KivAmbisonicDecoder::processReplacing(float** in, float** out, int n) {
    if (n <= 0) return;
    if (inTemp == nullptr || capacity <= 0) {
        // No work buffers yet: the owner has not announced a block size. Silence.
        for (int s = 0; s < numOutputs; ++s)
            for (int i = 0; i < n; ++i) out[s][i] = 0.0f;
        return;
    }
    if (n <= capacity) {
        processBlock(in, out, n);
        return;
    }
    // A block longer than the work buffers runs as consecutive pieces that fit.
    float* inPiece[kMaxInputs];
    float* outPiece[kMaxOutputs];
    for (int done = 0; done < n; done += capacity) {
        const int piece = n - done < capacity ? n - done : capacity;
        for (int j = 0; j < numInputs; ++j) inPiece[j] = in[j] + done;
        for (int s = 0; s < numOutputs; ++s) outPiece[s] = out[s] + done;
        processBlock(inPiece, outPiece, piece);
    }
}

void KivAmbisonicDecoder::processBlock(float** in, float** out, int n) {
    // The active set, the mode and the near-field switch are taken once per block.
    const int slot = dec;
    const KivDecoderCoefs& set = *decoders[slot];
    const int channels = set.numIn < numInputs ? set.numIn : numInputs;
    const int speakers = set.numOut < numOutputs ? set.numOut : numOutputs;
    const SpatialEQMode mode = spatialEQModeOf(seq);
    const NearField nf = !(distComp < kDistanceOff) ? NearField::Off
                         : nfc < kDistanceOff       ? NearField::Full
                                                    : NearField::PoleOnly;
    // Read before any output is written: the outputs may be the inputs' own buffers.
    const bool silentInput = allZero(in, channels, n);

#if KIV_SIMD
    if (channels == 3 || channels == 4) {
        fusedStages(mode, nf, in, inTemp, *this, channels, n);
    } else
#endif
    {
        bandStagePlain(mode, in, inTemp, *this, channels, n);
        nearFieldStagePlain(nf, inTemp, *this, channels, n);
    }

    matrixStage(inTemp, set, channels, out, speakers, n);
    for (int s = speakers; s < numOutputs; ++s)
        for (int i = 0; i < n; ++i) out[s][i] = 0.0f;
    if (silentInput) settleToSilence(out, speakers, n);

    // A non-finite input sample would otherwise leave a recursive state non-finite for
    // good; a finite state is never touched, so finite input is unaffected.
    for (int j = 0; j < channels; ++j) {
        crossover[j]->flushNonFinite();
        shelf[j]->flushNonFinite();
        if (j >= 1) nfFilter[j - 1]->flushNonFinite();
    }
}
