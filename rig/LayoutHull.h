// SPDX-License-Identifier: GPL-3.0-or-later
// Vector-base amplitude panning over a rig: in 3D over the convex hull of the speakers'
// directions (Qhull), in 2D between neighbours round a horizontal ring. Where the hull is
// open (below a dome, above and below a ring, a wide gap in a ring) imaginary speakers are
// added. A face of the hull with more than three corners (the square faces of a cube) is not
// split along one diagonal: the gains are averaged over every fan triangulation of the face,
// so the panning has the symmetry of the rig. Built off the audio thread; const use from any
// thread.
#pragma once

#include <vector>

#include "rig/PlaneWave.h"

class LayoutHull {
public:
    // speakers: unit vectors; imaginary[i] marks the ones given as imaginary. With horizontal
    // set, only azimuths count. Throws RigError when no hull can be made.
    LayoutHull(const std::vector<Vec3>& speakers, const std::vector<bool>& imaginary,
               bool horizontal);

    int size() const { return static_cast<int>(directions_.size()); }
    const Vec3& direction(int i) const { return directions_[i]; }
    // Given as imaginary, or added where the hull was open.
    bool imaginary(int i) const { return imaginary_[i]; }
    bool added(int i) const { return i >= givenCount_; }
    // The speakers sharing a hull edge (or ring neighbours) with speaker i.
    const std::vector<int>& neighbours(int i) const { return neighbours_[i]; }

    // Gains of every speaker (given ones first, then added ones) for a source in direction u,
    // with unit energy.
    std::vector<double> gains(const Vec3& u) const;

private:
    struct Triangle {
        double inverse[3][3]; // rows: the inverse of the matrix of the corners as columns
    };
    struct Face {
        std::vector<int> corners;                // round the face
        std::vector<std::vector<Triangle>> fans; // one fan triangulation per corner
        std::vector<std::vector<std::array<int, 3>>> fanCorners;
    };
    std::vector<Vec3> directions_;
    std::vector<bool> imaginary_;
    std::vector<std::vector<int>> neighbours_;
    std::vector<Face> faces_;
    int givenCount_ = 0;
    bool horizontal_ = false;

    void buildSphere();
    void buildRing();
    void addFace(const std::vector<int>& corners);
};
