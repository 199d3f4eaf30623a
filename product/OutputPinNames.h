// SPDX-License-Identifier: GPL-3.0-or-later
// The label of each output pin for the decoder in use: the speaker that the decoder
// drives on that output, or "Unused".
#pragma once

#include "engine/DecShape.h"

constexpr int kLabelledOutputPins = 8;

// Null when shape is not one of the plug-ins' decoders or pin is outside 0 to 7.
const char* outputPinLabel(DecShape shape, int pin);
