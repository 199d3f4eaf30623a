// SPDX-License-Identifier: GPL-3.0-or-later
#include "rig/LayoutHull.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

extern "C" {
#include <libqhull_r/libqhull_r.h>
}

#include "rig/RigError.h"

namespace {

constexpr double kPi = 3.141592653589793;
// A hull face whose plane passes closer to the listener than this (unit sphere) leaves a gap:
// its corners span more than about 78 degrees from its middle.
constexpr double kOpenFaceDistance = 0.2;
// A ring gap wider than this is not panned across: imaginary speakers fill it, each part at
// most kFillDegrees wide.
constexpr double kWidestRingGapDegrees = 160.0;
constexpr double kFillDegrees = 90.0;
// Qhull merges faces that are coplanar within this (unit sphere): rigs written with rounded
// angles still get their square faces.
const char* const kQhullOptions = "qhull C-0.002";

Vec3 normalised(const Eigen::Vector3d& v) {
    const Eigen::Vector3d n = v.normalized();
    return {n.x(), n.y(), n.z()};
}

Eigen::Vector3d eig(const Vec3& v) {
    return {v[0], v[1], v[2]};
}

struct HullFace {
    std::vector<int> corners;
    Eigen::Vector3d normal;
    double distance; // of the plane from the centre
};

// The faces of the convex hull of the points, from Qhull. Empty when Qhull cannot make a
// three-dimensional hull (the points lie in one plane).
std::vector<HullFace> qhullFaces(const std::vector<Vec3>& points) {
    std::vector<coordT> coords;
    for (const Vec3& p : points) coords.insert(coords.end(), p.begin(), p.end());
    // On the heap: Qhull's state is large for a worker thread's stack.
    const std::unique_ptr<qhT> state(new qhT);
    qhT* qh = state.get();
    FILE* quiet = std::fopen("/dev/null", "w");
    qh_zero(qh, quiet);
    std::vector<HullFace> faces;
    const int exitCode = qh_new_qhull(qh, 3, static_cast<int>(points.size()), coords.data(), False,
                                      const_cast<char*>(kQhullOptions), nullptr, quiet);
    if (exitCode == 0) {
        facetT* facet;
        vertexT *vertex, **vertexp;
        FORALLfacets {
            HullFace f;
            FOREACHvertex_(facet->vertices) f.corners.push_back(qh_pointid(qh, vertex->point));
            f.normal = {facet->normal[0], facet->normal[1], facet->normal[2]};
            f.distance = -facet->offset;
            faces.push_back(f);
        }
    }
    qh_freeqhull(qh, !qh_ALL);
    int curLong = 0, totLong = 0;
    qh_memfreeshort(qh, &curLong, &totLong);
    if (quiet != nullptr) std::fclose(quiet);
    return faces;
}

} // namespace

LayoutHull::LayoutHull(const std::vector<Vec3>& speakers, const std::vector<bool>& imaginary,
                       bool horizontal)
    : directions_(speakers), imaginary_(imaginary), givenCount_(static_cast<int>(speakers.size())),
      horizontal_(horizontal) {
    if (horizontal)
        buildRing();
    else
        buildSphere();
}

void LayoutHull::buildSphere() {
    std::vector<HullFace> faces;
    for (int round = 0;; ++round) {
        faces = qhullFaces(directions_);
        if (round == 6) break;
        if (faces.empty()) {
            // All speakers in one plane (a raised ring): one imaginary speaker on each side.
            Eigen::Vector3d mean = Eigen::Vector3d::Zero();
            for (const Vec3& d : directions_) mean += eig(d);
            mean /= static_cast<double>(directions_.size());
            Eigen::Matrix3d scatter = Eigen::Matrix3d::Zero();
            for (const Vec3& d : directions_)
                scatter += (eig(d) - mean) * (eig(d) - mean).transpose();
            Eigen::SelfAdjointEigenSolver<Eigen::Matrix3d> solver(scatter);
            const Eigen::Vector3d normal = solver.eigenvectors().col(0);
            directions_.push_back(normalised(normal));
            directions_.push_back(normalised(-normal));
            imaginary_.push_back(true);
            imaginary_.push_back(true);
            continue;
        }
        // Open faces get an imaginary speaker in the direction they face.
        bool opened = false;
        for (const HullFace& f : faces)
            if (f.distance < kOpenFaceDistance) {
                const Vec3 d = normalised(f.normal);
                bool near = false;
                for (const Vec3& e : directions_)
                    if (angleDegrees(e, d) < 5.0) near = true;
                if (near) continue;
                directions_.push_back(d);
                imaginary_.push_back(true);
                opened = true;
            }
        if (!opened) break;
    }
    if (faces.empty()) throw RigError("the speakers span no hull");
    neighbours_.assign(directions_.size(), {});
    for (const HullFace& f : faces) {
        // Corners in order round the face's middle.
        Eigen::Vector3d centre = Eigen::Vector3d::Zero();
        for (int c : f.corners) centre += eig(directions_[c]);
        centre /= static_cast<double>(f.corners.size());
        const Eigen::Vector3d n = f.normal.normalized();
        Eigen::Vector3d a = (eig(directions_[f.corners[0]]) - centre);
        a = (a - n * n.dot(a)).normalized();
        const Eigen::Vector3d b = n.cross(a);
        std::vector<int> corners = f.corners;
        std::sort(corners.begin(), corners.end(), [&](int p, int q) {
            const Eigen::Vector3d dp = eig(directions_[p]) - centre,
                                  dq = eig(directions_[q]) - centre;
            return std::atan2(dp.dot(b), dp.dot(a)) < std::atan2(dq.dot(b), dq.dot(a));
        });
        addFace(corners);
    }
}

void LayoutHull::buildRing() {
    // Fill wide gaps with imaginary speakers, then pair neighbours round the ring.
    const auto azimuthOf = [](const Vec3& d) { return std::atan2(d[1], d[0]) * 180.0 / kPi; };
    std::vector<int> order(directions_.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
    const auto sortRing = [&]() {
        order.resize(directions_.size());
        for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
        std::sort(order.begin(), order.end(), [&](int p, int q) {
            return azimuthOf(directions_[p]) < azimuthOf(directions_[q]);
        });
    };
    for (Vec3& d : directions_) d = unitVector(azimuthOf(d), 0.0);
    sortRing();
    const size_t given = order.size();
    for (size_t k = 0; k < given; ++k) {
        const double from = azimuthOf(directions_[order[k]]);
        double to = azimuthOf(directions_[order[(k + 1) % given]]);
        if (to <= from) to += 360.0;
        const double gap = to - from;
        if (gap <= kWidestRingGapDegrees) continue;
        const int parts = static_cast<int>(std::ceil(gap / kFillDegrees));
        for (int p = 1; p < parts; ++p) {
            directions_.push_back(unitVector(from + gap * p / parts, 0.0));
            imaginary_.push_back(true);
        }
    }
    sortRing();
    neighbours_.assign(directions_.size(), {});
    for (size_t k = 0; k < order.size(); ++k) addFace({order[k], order[(k + 1) % order.size()]});
}

void LayoutHull::addFace(const std::vector<int>& corners) {
    Face face;
    face.corners = corners;
    const size_t m = corners.size();
    for (size_t k = 0; k < m; ++k) {
        const int p = corners[k], q = corners[(k + 1) % m];
        if (std::find(neighbours_[p].begin(), neighbours_[p].end(), q) == neighbours_[p].end()) {
            neighbours_[p].push_back(q);
            neighbours_[q].push_back(p);
        }
    }
    if (horizontal_) {
        // A ring pair: a 2 x 2 inverse in the first two rows, the third row unused.
        Triangle t{};
        const Vec3 &a = directions_[corners[0]], &b = directions_[corners[1]];
        const double det = a[0] * b[1] - a[1] * b[0];
        if (std::fabs(det) < 1e-9) return; // a pair at one azimuth pans nothing
        t.inverse[0][0] = b[1] / det, t.inverse[0][1] = -b[0] / det;
        t.inverse[1][0] = -a[1] / det, t.inverse[1][1] = a[0] / det;
        face.fans.push_back({t});
        face.fanCorners.push_back({{corners[0], corners[1], -1}});
        faces_.push_back(face);
        return;
    }
    // Every fan: from corner k to the pairs of neighbours that follow it round the face.
    for (size_t k = 0; k < m; ++k) {
        std::vector<Triangle> fan;
        std::vector<std::array<int, 3>> fanCorners;
        for (size_t j = 1; j + 1 < m; ++j) {
            const std::array<int, 3> c = {corners[k], corners[(k + j) % m],
                                          corners[(k + j + 1) % m]};
            Eigen::Matrix3d l;
            for (int i = 0; i < 3; ++i) l.col(i) = eig(directions_[c[i]]);
            if (std::fabs(l.determinant()) < 1e-9) continue; // flat: its neighbours cover it
            const Eigen::Matrix3d inv = l.inverse();
            Triangle t{};
            for (int r = 0; r < 3; ++r)
                for (int col = 0; col < 3; ++col) t.inverse[r][col] = inv(r, col);
            fan.push_back(t);
            fanCorners.push_back(c);
        }
        if (fan.empty()) continue;
        face.fans.push_back(fan);
        face.fanCorners.push_back(fanCorners);
        if (m == 3) break; // one triangle, one fan
    }
    if (!face.fans.empty()) faces_.push_back(face);
}

std::vector<double> LayoutHull::gains(const Vec3& u) const {
    std::vector<double> g(directions_.size(), 0.0);
    const int dims = horizontal_ ? 2 : 3;
    const Vec3 v = horizontal_ ? Vec3{u[0], u[1], 0.0} : u;
    constexpr double kInside = -1e-9;
    const auto solve = [&](const Triangle& t, double out[3]) {
        for (int r = 0; r < dims; ++r) {
            out[r] = 0.0;
            for (int c = 0; c < dims; ++c) out[r] += t.inverse[r][c] * v[c];
        }
        bool inside = true;
        for (int r = 0; r < dims; ++r) inside = inside && out[r] >= kInside;
        return inside;
    };
    for (const Face& face : faces_) {
        // Is u within this face? Look in its first fan.
        double w[3] = {};
        bool found = false;
        for (const Triangle& t : face.fans[0])
            if (solve(t, w)) found = true;
        if (!found) continue;
        for (size_t f = 0; f < face.fans.size(); ++f)
            for (size_t k = 0; k < face.fans[f].size(); ++k) {
                if (!solve(face.fans[f][k], w)) continue;
                double norm = 0.0;
                for (int r = 0; r < dims; ++r) norm += std::max(w[r], 0.0) * std::max(w[r], 0.0);
                norm = std::sqrt(norm);
                if (norm == 0.0) break;
                for (int r = 0; r < dims; ++r)
                    g[face.fanCorners[f][k][r]] += std::max(w[r], 0.0) / norm / face.fans.size();
                break; // one triangle of each fan
            }
        double energy = 0.0;
        for (double x : g) energy += x * x;
        const double scale = energy > 0.0 ? 1.0 / std::sqrt(energy) : 0.0;
        for (double& x : g) x *= scale;
        return g;
    }
    return g; // on no face: only for a direction exactly on the tolerance edge
}
