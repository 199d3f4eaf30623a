// SPDX-License-Identifier: GPL-3.0-or-later
#include "rig/DecoderDesign.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>

#include "rig/LayoutHull.h"
#include "rig/PlaneWave.h"
#include "rig/RigError.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr int kSphereSamples = 5000;
constexpr int kRingSamples = 720;
// Mode matching only where the harmonics' Gram matrix (normalised so that a regular rig
// gives the identity) has no eigenvalue below this part of its largest: a dome or a
// layer with a few speakers above it would otherwise get huge gains of opposite sign.
constexpr double kModeMatchingConditioning = 0.25;
// A direction counts as covered when less than half of its panned energy lands on imaginary
// speakers.
constexpr double kCoveredShare = 0.5;

using Matrix = Eigen::MatrixXd;

// A decoder in direction form: speaker s's gain for a unit plane wave from u is
// c(s, 0) + c(s, 1..3) . u. Columns 1..3 are x, y, z.
using Rows = Eigen::Matrix<double, Eigen::Dynamic, 4>;

double degrees(double radians) {
    return radians * 180.0 / kPi;
}

struct Judged {
    double worstDegrees = 0.0;
    double meanRe = 0.0;
    double meanEnergy = 0.0;
};

// Gains in direction form to the plan's FuMa matrix: FuMa W of a unit wave is 1/sqrt 2.
void toPlan(const Rows& rows, double (*out)[DecoderPlan::kInputs]) {
    for (int s = 0; s < rows.rows(); ++s) {
        out[s][0] = rows(s, 0) * std::sqrt(2.0);
        for (int k = 1; k < 4; ++k) out[s][k] = rows(s, k);
    }
}

Judged judge(const Rows& rows, const std::vector<Vec3>& speakers,
             const std::vector<Vec3>& covered) {
    double m[DecoderPlan::kMaxSpeakers][DecoderPlan::kInputs] = {};
    toPlan(rows, m);
    Judged j;
    for (const Vec3& u : covered) {
        const PlaneWaveResponse r = planeWaveResponse(m, speakers, u);
        j.worstDegrees = std::max(j.worstDegrees, angleDegrees(r.rE, u));
        j.meanRe += lengthOf(r.rE);
        j.meanEnergy += r.energy;
    }
    j.meanRe /= static_cast<double>(covered.size());
    j.meanEnergy /= static_cast<double>(covered.size());
    return j;
}

// The speakers' harmonics, one column each: (1, sqrt 3 u) in 3D, (1, sqrt 2 u) on a ring,
// so that a regular rig of N speakers has Y Y^T = N I.
Matrix harmonics(const std::vector<Vec3>& speakers, bool horizontal) {
    const int k = horizontal ? 3 : 4;
    const double scale = std::sqrt(horizontal ? 2.0 : 3.0);
    Matrix y(k, static_cast<int>(speakers.size()));
    for (size_t s = 0; s < speakers.size(); ++s) {
        y(0, s) = 1.0;
        for (int d = 1; d < k; ++d) y(d, s) = scale * speakers[s][d - 1];
    }
    return y;
}

// Decoder d (speakers x harmonics, for the harmonics above) to direction form, with the
// directional part weighted by w.
Rows directionForm(const Matrix& d, bool horizontal, double w) {
    const double scale = std::sqrt(horizontal ? 2.0 : 3.0);
    Rows rows = Rows::Zero(d.rows(), 4);
    for (int s = 0; s < d.rows(); ++s) {
        rows(s, 0) = d(s, 0);
        for (int k = 1; k < d.cols(); ++k) rows(s, k) = d(s, k) * scale * w;
    }
    return rows;
}

std::string describeUncovered(const std::vector<Vec3>& uncovered, bool horizontal) {
    if (uncovered.empty()) return "";
    std::string out;
    const auto append = [&](const std::string& part) { out += (out.empty() ? "" : "; ") + part; };
    if (horizontal) {
        // Arcs of consecutive uncovered azimuths (the samples are in azimuth order).
        std::vector<double> az;
        for (const Vec3& u : uncovered) az.push_back(degrees(std::atan2(u[1], u[0])));
        std::sort(az.begin(), az.end());
        const double step = 360.0 / kRingSamples * 1.5;
        std::vector<std::pair<double, double>> arcs;
        for (double a : az) {
            if (!arcs.empty() && a - arcs.back().second <= step)
                arcs.back().second = a;
            else
                arcs.push_back({a, a});
        }
        if (arcs.size() > 1 && arcs.front().first + 360.0 - arcs.back().second <= step) {
            arcs.front().first = arcs.back().first;
            arcs.pop_back();
        }
        for (const auto& a : arcs)
            append("azimuth " + std::to_string(static_cast<int>(std::lround(a.first))) + " to " +
                   std::to_string(static_cast<int>(std::lround(a.second))) + " degrees");
        return out;
    }
    double lowTop = -90.0, highBottom = 90.0;
    bool below = false, above = false;
    for (const Vec3& u : uncovered) {
        const double e = degrees(std::asin(std::clamp(u[2], -1.0, 1.0)));
        if (e < 0.0) {
            below = true;
            lowTop = std::max(lowTop, e);
        } else {
            above = true;
            highBottom = std::min(highBottom, e);
        }
    }
    if (below)
        append("below " + std::to_string(static_cast<int>(std::lround(lowTop))) +
               " degrees elevation");
    if (above)
        append("above " + std::to_string(static_cast<int>(std::lround(highBottom))) +
               " degrees elevation");
    return out;
}

} // namespace

DesignedDecoder designDecoder(const Layout& layout) {
    const std::vector<const Speaker*> outputs = layout.realSpeakers();
    DesignedDecoder result;
    // A speaker where an earlier one stands (a preset's subwoofer beside its centre) is left
    // out of the design and stays silent.
    std::vector<const Speaker*> real;
    std::vector<int> outputOf;
    for (size_t i = 0; i < outputs.size(); ++i) {
        const Vec3 u = unitVector(outputs[i]->azimuthDegrees, outputs[i]->elevationDegrees);
        bool twin = false;
        for (const Speaker* r : real)
            twin =
                twin || angleDegrees(unitVector(r->azimuthDegrees, r->elevationDegrees), u) < 0.5;
        if (twin) {
            result.silenced += (result.silenced.empty() ? "" : ", ") + outputs[i]->name;
            continue;
        }
        real.push_back(outputs[i]);
        outputOf.push_back(static_cast<int>(i));
    }
    const int n = static_cast<int>(real.size());
    if (n < Layout::kMinSpeakers) throw RigError("fewer than 2 speakers at different places");
    bool horizontal = true;
    for (const Speaker* s : real) horizontal = horizontal && std::fabs(s->elevationDegrees) < 0.5;
    result.horizontal = horizontal;

    std::vector<Vec3> speakers;
    for (const Speaker* s : real)
        speakers.push_back(unitVector(s->azimuthDegrees, horizontal ? 0.0 : s->elevationDegrees));
    // The hull: real speakers first, then the file's imaginary ones (their gains kept apart).
    std::vector<Vec3> all = speakers;
    std::vector<bool> imaginary(n, false);
    std::vector<double> imaginaryGain;
    for (const Speaker& s : layout.speakers)
        if (s.imaginary && !(horizontal && std::fabs(s.elevationDegrees) >= 0.5)) {
            all.push_back(unitVector(s.azimuthDegrees, horizontal ? 0.0 : s.elevationDegrees));
            imaginary.push_back(true);
            imaginaryGain.push_back(s.gain);
        }
    const LayoutHull hull(all, imaginary, horizontal);

    // Pan every sample direction; fold imaginary speakers into their real neighbours.
    const std::vector<Vec3> samples =
        sampleDirections(horizontal ? kRingSamples : kSphereSamples, horizontal);
    // Added imaginary speakers either drop their signal or share it out: both are tried.
    Matrix panned = Matrix::Zero(n, static_cast<int>(samples.size()));
    Matrix pannedShared = panned;
    std::vector<Vec3> covered, uncovered;
    for (size_t j = 0; j < samples.size(); ++j) {
        const std::vector<double> g = hull.gains(samples[j]);
        double realEnergy = 0.0, imaginaryEnergy = 0.0;
        for (int i = 0; i < hull.size(); ++i) {
            if (i < n) {
                panned(i, j) += g[i];
                pannedShared(i, j) += g[i];
                realEnergy += g[i] * g[i];
                continue;
            }
            imaginaryEnergy += g[i] * g[i];
            const double share = hull.added(i) ? 0.0 : imaginaryGain[i - n];
            std::vector<int> to;
            for (int k : hull.neighbours(i))
                if (k < n) to.push_back(k);
            for (int k : to) {
                const double part = g[i] / std::sqrt(static_cast<double>(to.size()));
                panned(k, j) += part * share;
                pannedShared(k, j) += part * (hull.added(i) ? 1.0 : share);
            }
        }
        if (imaginaryEnergy < kCoveredShare * (realEnergy + imaginaryEnergy)) {
            covered.push_back(samples[j]);
        } else {
            uncovered.push_back(samples[j]);
        }
    }
    if (covered.empty()) throw RigError("the speakers cover no direction");
    result.uncovered = describeUncovered(uncovered, horizontal);

    const double maxRe = horizontal ? 1.0 / std::sqrt(2.0) : 1.0 / std::sqrt(3.0);
    const double order1 = horizontal ? 2.0 : 3.0; // (2n + 1) in 3D, 2 on a ring, at n = 1

    // AllRAD: virtual speaker j's gain for a wave from u is 1 + order1 w t_j . u.
    const auto allrad = [&](double w, const Matrix& panned) {
        Rows rows = Rows::Zero(n, 4);
        for (size_t j = 0; j < samples.size(); ++j)
            for (int s = 0; s < n; ++s) {
                const double g = panned(s, static_cast<int>(j));
                if (g == 0.0) continue;
                rows(s, 0) += g;
                for (int k = 0; k < 3; ++k) rows(s, k + 1) += g * order1 * w * samples[j][k];
            }
        return Rows(rows / static_cast<double>(samples.size()));
    };
    const Matrix y = harmonics(speakers, horizontal);
    const auto epad = [&](double w) {
        Eigen::JacobiSVD<Matrix> svd(y, Eigen::ComputeThinU | Eigen::ComputeThinV);
        const Matrix d = svd.matrixV() * svd.matrixU().transpose(); // speakers x harmonics
        return directionForm(d, horizontal, w);
    };

    // The candidates, judged on covered directions: the one whose rE points truest wins;
    // within a degree, the one with the larger mean |rE|.
    const auto better = [](const Judged& a, const Judged& b) {
        return a.worstDegrees < b.worstDegrees - 1.0 ||
               (a.worstDegrees <= b.worstDegrees + 1.0 && a.meanRe > b.meanRe);
    };
    Rows hf = allrad(maxRe, panned);
    Judged judged = judge(hf, speakers, covered);
    result.allradHf = true;
    if (hull.size() > n) {
        const Rows shared = allrad(maxRe, pannedShared);
        const Judged js = judge(shared, speakers, covered);
        if (better(js, judged)) {
            hf = shared;
            judged = js;
            result.sharedImaginary = true;
        }
    }
    if (n >= y.rows()) {
        const Rows e = epad(maxRe);
        const Judged je = judge(e, speakers, covered);
        if (better(je, judged)) {
            hf = e;
            judged = je;
            result.allradHf = false;
            result.sharedImaginary = false;
        }
    }
    result.worstRedirectionDegrees = judged.worstDegrees;

    // LF: the pseudo-inverse where the Gram matrix allows; else the HF design unweighted.
    Rows lf;
    {
        const Matrix gram = y * y.transpose() / static_cast<double>(n);
        Eigen::SelfAdjointEigenSolver<Matrix> solver(gram);
        const double lo = solver.eigenvalues().minCoeff(), hi = solver.eigenvalues().maxCoeff();
        if (hi > 0.0 && lo / hi >= kModeMatchingConditioning) {
            const Matrix pinv =
                y.transpose() * (y * y.transpose()).inverse(); // speakers x harmonics
            // y holds scaled harmonics; undo the scale so pinv . (1, u) reproduces (1, u).
            lf = directionForm(pinv, horizontal, 1.0);
            result.modeMatchedLf = true;
        } else {
            lf = !result.allradHf ? epad(1.0)
                                  : allrad(1.0, result.sharedImaginary ? pannedShared : panned);
        }
    }

    // Energy-normalise: the mean energy over covered directions is 1 in both bands.
    hf /= std::sqrt(judged.meanEnergy);
    lf /= std::sqrt(judge(lf, speakers, covered).meanEnergy);

    DecoderPlan& plan = result.plan;
    plan.numSpeakers = static_cast<int>(outputs.size());
    plan.twoBand = true;
    plan.crossoverHz = 400.0;
    double lfRows[DecoderPlan::kMaxSpeakers][DecoderPlan::kInputs] = {};
    double hfRows[DecoderPlan::kMaxSpeakers][DecoderPlan::kInputs] = {};
    toPlan(lf, lfRows);
    toPlan(hf, hfRows);
    for (int s = 0; s < n; ++s)
        for (int c = 0; c < DecoderPlan::kInputs; ++c) {
            plan.lf[outputOf[s]][c] = lfRows[s][c] * real[s]->gain;
            plan.hf[outputOf[s]][c] = hfRows[s][c] * real[s]->gain;
        }
    for (size_t s = 0; s < outputs.size(); ++s) plan.distanceMetres[s] = outputs[s]->distanceMetres;
    for (int s = 0; s < plan.numSpeakers; ++s)
        for (int c = 0; c < DecoderPlan::kInputs; ++c)
            if (!std::isfinite(plan.lf[s][c]) || !std::isfinite(plan.hf[s][c]))
                throw RigError("no decoder can be designed for these speaker positions");
    plan.delayCompensation = plan.levelCompensation = layout.distancesDiffer();
    plan.nearField = DecoderPlan::NearField::None;
    plan.subwoofer = layout.subwoofer;
    return result;
}
