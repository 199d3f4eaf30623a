// SPDX-License-Identifier: GPL-3.0-or-later
// A plane wave through a first-order decoder matrix: the FuMa signals of a wave from a
// direction, each speaker's gain, and Gerzon's velocity and energy vectors (rV, rE) of the
// result. How designs are judged and how the tests measure plans. Any thread.
#pragma once

#include <array>
#include <vector>

using Vec3 = std::array<double, 3>;

Vec3 unitVector(double azimuthDegrees, double elevationDegrees);

// FuMa W, X, Y, Z of a unit plane wave from direction u: W = 1/sqrt 2.
std::array<double, 4> fumaOfDirection(const Vec3& u);

struct PlaneWaveResponse {
    double pressure = 0.0; // sum of gains
    double energy = 0.0;   // sum of squared gains
    Vec3 rV{};             // sum g u_s / sum g
    Vec3 rE{};             // sum g^2 u_s / sum g^2
};

// matrix[s][c]: gain of FuMa input c in speaker s; speakers[s]: speaker s's unit vector.
PlaneWaveResponse planeWaveResponse(const double (*matrix)[4], const std::vector<Vec3>& speakers,
                                    const Vec3& direction);

double lengthOf(const Vec3& v);
// Angle between a vector and a direction, degrees (180 for a zero vector).
double angleDegrees(const Vec3& v, const Vec3& direction);

// Near-uniform directions: `count` points of a Fibonacci lattice on the sphere, or, with
// horizontal set, `count` equally spaced azimuths on the horizon.
std::vector<Vec3> sampleDirections(int count, bool horizontal);
