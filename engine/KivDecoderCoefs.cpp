// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/KivDecoderCoefs.h"

#include <cmath>

int channelsOfDecType(DecType type) {
    switch (type) {
    case First2D:
        return 3;
    case First3D:
        return 4;
    case Second2D:
        return 5;
    case Second3D:
        return 9;
    }
    return 4;
}

KivDecoderCoefs::KivDecoderCoefs() {
    allocate(4, 8);
}

KivDecoderCoefs::KivDecoderCoefs(int numIn, int numOut) {
    allocate(numIn, numOut);
}

KivDecoderCoefs::KivDecoderCoefs(DecType type, int numOut) : decType(type) {
    allocate(channelsOfDecType(type), numOut);
}

KivDecoderCoefs::~KivDecoderCoefs() {
    release();
}

void KivDecoderCoefs::setInOutChannels(int channels, int speakers) {
    release();
    allocate(channels, speakers);
}

void KivDecoderCoefs::allocate(int channels, int speakers) {
    numIn = channels;
    numOut = speakers;
    coefs = new double*[channels];
    for (int c = 0; c < channels; ++c) coefs[c] = nullptr;
    try {
        for (int c = 0; c < channels; ++c) coefs[c] = new double[speakers](); // cleared
    } catch (...) {
        release(); // a constructor that throws runs no destructor
        throw;
    }
}

void KivDecoderCoefs::release() {
    if (coefs != nullptr) {
        for (int c = 0; c < numIn; ++c) delete[] coefs[c];
        delete[] coefs;
    }
    coefs = nullptr;
}

void KivDecoderCoefs::setCoef(int s, double w, double x, double y, double z) {
    coefs[0][s] = w;
    coefs[1][s] = x;
    coefs[2][s] = y;
    if (numIn >= 4) coefs[3][s] = z;
}

void KivDecoderCoefs::setCoef(int s, double w, double x, double y, double u, double v) {
    const double values[] = {w, x, y, u, v};
    for (int c = 0; c < 5; ++c) coefs[c][s] = values[c];
}

void KivDecoderCoefs::setCoef(int s, double c0, double c1, double c2, double c3, double c4,
                              double c5, double c6) {
    const double values[] = {c0, c1, c2, c3, c4, c5, c6};
    for (int c = 0; c < 7; ++c) coefs[c][s] = values[c];
}

void KivDecoderCoefs::setCoef(int s, double c0, double c1, double c2, double c3, double c4,
                              double c5, double c6, double c7, double c8) {
    const double values[] = {c0, c1, c2, c3, c4, c5, c6, c7, c8};
    for (int c = 0; c < 9; ++c) coefs[c][s] = values[c];
}

void KivDecoderCoefs::setCoef(int s, double g, double a, double e) {
    const double sa = std::sin(a), ca = std::cos(a);
    const double se = std::sin(e), ce = std::cos(e);
    double c2a = 0.0, s2a = 0.0, s2e = 0.0;
    if (numIn > 4) {
        c2a = std::cos(a + a);
        s2a = std::sin(a + a);
        s2e = std::sin(e + e);
    }
    coefs[0][s] = 0.7071067811865476 * g; // nearest double to sqrt(1/2)
    switch (numIn) {
    case 3:
        coefs[1][s] = ca * 0.5 * g;
        coefs[2][s] = 0.5 * sa * g;
        break;
    case 4:
        coefs[1][s] = ca * 0.5 * ce * g;
        coefs[2][s] = sa * 0.5 * ce * g;
        coefs[3][s] = 0.5 * se; // height is not scaled by g
        break;
    case 5:
        coefs[1][s] = ca * 0.25 * g;
        coefs[2][s] = sa * 0.25 * g;
        coefs[3][s] = c2a * 0.25 * g;
        coefs[4][s] = s2a * 0.25 * g;
        break;
    case 9:
        coefs[1][s] = ca * 0.25 * ce * g;
        coefs[2][s] = sa * 0.25 * ce * g;
        coefs[3][s] = se * 0.25;
        coefs[4][s] = (1.5 * se * se - 0.5) * 0.25 * g;
        coefs[5][s] = ca * 0.25 * s2e * g;
        coefs[6][s] = sa * 0.25 * s2e * g;
        coefs[7][s] = c2a * 0.25 * ce * ce * g;
        coefs[8][s] = s2a * 0.25 * ce * ce * g;
        break;
    default: // other channel counts (7 in the catalogue) get only W
        break;
    }
}
