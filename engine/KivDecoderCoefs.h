// SPDX-License-Identifier: GPL-3.0-or-later
// One decoder's matrix: the gain of every ambisonic input channel in every
// loudspeaker feed, with the decoder's display name. Written once while the
// engine is built, read afterwards by the audio thread and the displays.
#pragma once

#include <string>

// Layout kinds; the kind decides the number of input channels.
enum DecType : int {
    First2D = 0,  // W, X, Y
    First3D = 1,  // W, X, Y, Z
    Second2D = 2, // W, X, Y, U, V
    Second3D = 3, // W, X, Y, Z, R, S, T, U, V
};

class KivDecoderCoefs {
public:
    KivDecoderCoefs(); // 4 channels, 8 speakers
    KivDecoderCoefs(int numIn, int numOut);
    KivDecoderCoefs(DecType type, int numOut);
    ~KivDecoderCoefs();

    KivDecoderCoefs(const KivDecoderCoefs&) = delete;
    KivDecoderCoefs& operator=(const KivDecoderCoefs&) = delete;

    // Replaces the matrix by a cleared one of the new shape; the name stays.
    void setInOutChannels(int numIn, int numOut);

    // Column s (speaker s) by value; channels beyond the set's count are the caller's to avoid,
    // except that the 4-value form ignores z on a 3-channel set.
    void setCoef(int s, double w, double x, double y, double z);
    void setCoef(int s, double w, double x, double y, double u, double v);
    void setCoef(int s, double c0, double c1, double c2, double c3, double c4, double c5,
                 double c6);
    void setCoef(int s, double c0, double c1, double c2, double c3, double c4, double c5, double c6,
                 double c7, double c8);
    // Column s for a speaker in direction (azimuth, elevation) in radians, with gain g.
    void setCoef(int s, double g, double azimuthRadians, double elevationRadians);

    std::string name;
    double** coefs = nullptr; // coefs[channel][speaker]
    int numIn = 0;
    int numOut = 0;
    DecType decType = First3D;

private:
    void allocate(int channels, int speakers);
    void release();
};

// Input channel count of a layout kind (4 for an unknown kind).
int channelsOfDecType(DecType type);
