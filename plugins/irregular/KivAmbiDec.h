// IrregularDecoder's effect class: horizontal first-order B-format (W, X, Y) to the five
// loudspeakers of ITU 5.0, with seven optimised decoders. Programs are stored as 32-bit
// values.
#pragma once

#include "plugins/KivDecoderShell.h"

class KivAmbiDec : public KivDecoderShell<float> {
public:
    static constexpr VstInt32 kInputs = 3;
    static constexpr VstInt32 kOutputs = 5;
    static constexpr VstInt32 kUniqueID = 0x5A424435; // "ZBD5"
    static constexpr const char* kProductString = "Irregular Shape 1st Order Ambisonic Decoder";

    explicit KivAmbiDec(audioMasterCallback audioMaster);
};
