// SPDX-License-Identifier: GPL-3.0-or-later
// A first-order dual-band decoder designed from the speakers' positions alone.
//
// LF (velocity, rV): mode matching, the pseudo-inverse of the speakers' first-order
// harmonics, which gives rV = 1 in every direction; used where the rig allows it (the
// harmonics' Gram matrix is not near singular: rings, cubes, ITU 5.0), otherwise the HF
// design without its max-rE weights.
// HF (energy, rE): max-rE weighted (1/sqrt 3 in 3D, 1/sqrt 2 for a horizontal ring) and
// energy-normalised (mean energy 1 over the covered directions, LF matched to it). Candidates
// are made and the one whose rE points truest over the covered directions is kept:
//  - AllRAD: a max-rE virtual decoder to 5000 near-uniform directions (720 on a ring), each
//    panned to the speakers by VBAP over the hull (LayoutHull, which averages square faces
//    over their fan triangulations so the result is as symmetric as the rig); imaginary
//    speakers of the file drop or share out their signal to their neighbours as their gain
//    says; those added where the hull is open are tried both ways;
//  - energy-preserving decoding (the harmonics' singular vectors, U V^T), which is exactly
//    the catalogue's symmetric decoder on a regular rig and symmetric on any rig.
// Where two point within a degree of each other, the one with the larger mean |rE| wins; on
// a regular rig that is the energy-preserving one, which is exactly max-rE. Both candidates
// are as symmetric as the rig, which a single triangulation of its hull is not.
// Any thread but the audio thread.
#pragma once

#include <string>

#include "engine/DecoderPlan.h"
#include "rig/Layout.h"

struct DesignedDecoder {
    DecoderPlan plan;
    bool horizontal = false;      // a ring, decoded in 2D (no Z)
    bool modeMatchedLf = false;   // LF by the pseudo-inverse (rV = 1)
    bool allradHf = false;        // HF by AllRAD, else energy-preserving
    bool sharedImaginary = false; // AllRAD with added imaginary speakers' signal shared out
    std::string uncovered;        // which directions the rig leaves uncovered; empty: none
    std::string silenced;         // names of speakers standing where another does, left silent
    double worstRedirectionDegrees = 0.0; // largest rE direction error at HF, covered directions
};

// The layout must be validated. Throws RigError when no decoder can be made.
DesignedDecoder designDecoder(const Layout& layout);
