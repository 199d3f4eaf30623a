// SPDX-License-Identifier: GPL-3.0-or-later
#include "plugins/regular/KivAmbiDec_1o_GUI.h"

#include "product/RegularDecList.h"

// The bundle's decoder list, for hosts and tools that read it from the binary.
extern "C" __attribute__((visibility("default"))) const DecShape DecList[kDecListSize] = {
    kRegularDecList[0], kRegularDecList[1], kRegularDecList[2], kRegularDecList[3],
    kRegularDecList[4], kRegularDecList[5], kRegularDecList[6],
};

KivAmbiDec_1o_GUI::KivAmbiDec_1o_GUI(audioMasterCallback audioMaster)
    : KivDecoderShell<double>(audioMaster, kRegularDecoderProduct) {}
