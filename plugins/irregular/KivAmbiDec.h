// SPDX-License-Identifier: GPL-3.0-or-later
// IrregularDecoder's effect class: horizontal first-order B-format (W, X, Y) to the five
// loudspeakers of ITU 5.0, with seven optimised decoders (kIrregularDecoderProduct).
// Programs are stored as 32-bit values.
#pragma once

#include "plugins/KivDecoderShell.h"

class KivAmbiDec : public KivDecoderShell<float> {
public:
    explicit KivAmbiDec(audioMasterCallback audioMaster);
};
