// SPDX-License-Identifier: GPL-3.0-or-later
// A first-order decoder given by a file, decoded exactly as written: its matrices turned into
// gains of our FuMa inputs with the file's normalisation, column order, order gains and band
// ratio folded in, and its compensation options. Any thread but the audio thread.
#pragma once

#include "engine/DecoderPlan.h"
#include "rig/Layout.h"

// Gain of a FuMa input in what a column of the given normalisation expects: FuMa W is SN3D
// W / sqrt 2; N3D first order is SN3D x sqrt 3, N3D W is SN3D W. acn is 0 to 3.
double fumaToColumnScale(Normalisation n, int acn);

// layout.decoder must be first order (order 1) and the layout validated.
DecoderPlan planOfPreset(const Layout& layout);
