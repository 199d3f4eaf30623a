// SPDX-License-Identifier: GPL-3.0-or-later
// RegularDecoder's effect class: first-order B-format with height (W, X, Y, Z) to up to
// eight loudspeakers in regular layouts (kRegularDecoderProduct). Programs are stored as
// 64-bit values.
#pragma once

#include "plugins/KivDecoderShell.h"

class KivAmbiDec_1o_GUI : public KivDecoderShell<double> {
public:
    explicit KivAmbiDec_1o_GUI(audioMasterCallback audioMaster);
};
