// SPDX-License-Identifier: GPL-3.0-or-later
// The gains of a decoder as they arrive at the listening spot of a rig whose speakers stand
// at different distances: each speaker's feed delayed by its distance over the speed of
// sound and attenuated as 1/r, relative to the farthest speaker. With the plug-in's
// distance compensation on, the two cancel; with it off, the figures show what the
// unequal paths do. Far field only: the speakers' near field is not modelled.
#pragma once

#include "tools/ambidec/DecoderAnalysis.h"

#include <vector>

namespace kiv::ambidec {

// distancesMetres: one per speaker of analysis.layout, each above zero. Recomputes rV and rE.
void arriveAtListeningSpot(DecoderAnalysis& analysis, const std::vector<double>& distancesMetres);

} // namespace kiv::ambidec
