// SPDX-License-Identifier: GPL-3.0-or-later
#include "plugins/irregular/KivAmbiDec.h"

#include "product/IrregularDecList.h"

// The bundle's decoder list, for hosts and tools that read it from the binary.
extern "C" __attribute__((visibility("default"))) const DecShape DecList[kDecListSize] = {
    kIrregularDecList[0], kIrregularDecList[1], kIrregularDecList[2], kIrregularDecList[3],
    kIrregularDecList[4], kIrregularDecList[5], kIrregularDecList[6],
};

KivAmbiDec::KivAmbiDec(audioMasterCallback audioMaster)
    : KivDecoderShell<float>(audioMaster, kIrregularDecoderProduct) {}
