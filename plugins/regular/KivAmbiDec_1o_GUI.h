// RegularDecoder's effect class: first-order B-format with height (W, X, Y, Z) to up to
// eight loudspeakers in regular layouts. Programs are stored as 64-bit values.
#pragma once

#include "plugins/KivDecoderShell.h"

class KivAmbiDec_1o_GUI : public KivDecoderShell<double> {
public:
    static constexpr VstInt32 kInputs = 4;
    static constexpr VstInt32 kOutputs = 8;
    static constexpr VstInt32 kUniqueID = 0x5A424438; // "ZBD8"
    static constexpr const char* kProductString = "Regular Shape 1st Order Decoder";

    explicit KivAmbiDec_1o_GUI(audioMasterCallback audioMaster);
};
