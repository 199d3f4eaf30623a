// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReferenceChain.h"

void referenceProcess(KivAmbisonicDecoder& e, float** in, float** out, int n) {
    if (n <= 0) return;
    const KivDecoderCoefs& set = *e.decoders[e.dec];
    const int N = set.numIn, M = set.numOut;
    float** t = e.inTemp;

    if (e.seq >= 0.75f) {
        for (int j = 0; j < N; ++j) {
            mavoshelf& s = *e.shelf[j];
            for (int i = 0; i < n; ++i) {
                const float v = in[j][i] - s.a * s.z;
                t[j][i] = (s.b * v + s.z) * s.gain;
                s.z = v + 1e-20f;
            }
        }
    } else if (e.seq >= 0.25f) {
        e.crossover[0]->ProcessAudio(in[0], t[0], 2 - e.lpGain, 2 - e.hpGain, n);
        for (int j = 1; j < N; ++j)
            e.crossover[j]->ProcessAudio(in[j], t[j], e.lpGain, e.hpGain, n);
    } else {
        for (int i = 0; i < n; ++i) t[0][i] = (2 - e.lpGain) * in[0][i];
        for (int j = 1; j < N; ++j)
            for (int i = 0; i < n; ++i) t[j][i] = in[j][i] * e.lpGain;
    }

    if (e.distComp < 8) {
        for (int k = 0; k < N - 1; ++k) {
            if (e.nfc < 8)
                e.nfFilter[k]->process(n, t[k + 1], t[k + 1], 1);
            else
                e.nfFilter[k]->process1(n, t[k + 1], t[k + 1], 1);
        }
    }

    for (int i = 0; i < n; ++i) {
        for (int s = 0; s < M; ++s) {
            out[s][i] = 0;
            for (int j = 0; j < N; ++j) out[s][i] += static_cast<float>(set.coefs[j][s]) * t[j][i];
        }
    }
    for (int s = M; s < e.numOutputs; ++s)
        for (int i = 0; i < n; ++i) out[s][i] = 0;
}
