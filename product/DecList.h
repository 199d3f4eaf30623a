// SPDX-License-Identifier: GPL-3.0-or-later
// The seven catalogue decoders a bundle offers, in engine-slot order. Each bundle's .so
// defines and exports it.
#pragma once

#include "engine/DecShape.h"

constexpr int kDecListSize = 7;

extern "C" const DecShape DecList[kDecListSize];
