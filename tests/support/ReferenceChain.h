// SPDX-License-Identifier: GPL-3.0-or-later
// The processing chain written the plain way: each stage one channel after the
// other through the filter classes, and a sample-outer matrix stage. It works on
// an engine's own state, so a second engine set up identically must give
// bit-identical output through its processReplacing.
#pragma once

#include "engine/KivAmbisonicDecoder.h"

void referenceProcess(KivAmbisonicDecoder& engine, float** in, float** out, int n);
