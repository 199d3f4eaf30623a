// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/KivSOS.h"

void KivSOS::processaudio(const float* in, float* out, int n) {
    for (int i = 0; i < n; ++i) {
        push(in[i]);
        const float y = output();
        out[i] = y;
        y2 = y1;
        y1 = y;
    }
}

void KivSOS::processaudio(float* io, int n) {
    processaudio(io, io, n);
}

void KivSOS::processaudio(float* io, int n, bool) {
    for (int i = 0; i < n; ++i) {
        const float y = output();
        push(io[i]);
        io[i] = y;
        y2 = y1;
        y1 = y;
    }
}
