// SPDX-License-Identifier: GPL-3.0-or-later
// One factory or user program: the seven normalised parameter values (indexed by
// parameter number) and its name. Value is the bundle's storage type (double for
// RegularDecoder, float for IrregularDecoder); values enter and leave as 32-bit floats.
#pragma once

template <typename Value> struct DecProgram {
    static constexpr int kNameBytes = 24; // 23 characters and the terminator

    Value values[7] = {};
    char name[kNameBytes] = {};
};
