// SPDX-License-Identifier: GPL-3.0-or-later
#include "RigMeasure.h"

#include <algorithm>
#include <cmath>

std::vector<Vec3> speakerDirections(const Layout& layout) {
    std::vector<Vec3> d;
    for (const Speaker* s : layout.realSpeakers())
        d.push_back(unitVector(s->azimuthDegrees, s->elevationDegrees));
    return d;
}

double worstReErrorDegrees(const double (*matrix)[4], const std::vector<Vec3>& speakers,
                           const std::vector<Vec3>& directions) {
    double worst = 0.0;
    for (const Vec3& u : directions)
        worst = std::max(worst, angleDegrees(planeWaveResponse(matrix, speakers, u).rE, u));
    return worst;
}

std::vector<Vec3> spannedDirections(const Layout& layout) {
    double lo = 90.0, hi = -90.0;
    for (const Speaker* s : layout.realSpeakers()) {
        lo = std::min(lo, s->elevationDegrees);
        hi = std::max(hi, s->elevationDegrees);
    }
    if (hi - lo < 0.5) return sampleDirections(360, true);
    std::vector<Vec3> out;
    for (const Vec3& u : sampleDirections(3000, false)) {
        const double e = std::asin(u[2]) * 180.0 / 3.141592653589793;
        if (e >= lo) out.push_back(u);
    }
    return out;
}
