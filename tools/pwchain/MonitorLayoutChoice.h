// SPDX-License-Identifier: GPL-3.0-or-later
// Which of HeadphoneMonitor's layouts a decoder choice drives: the value of the monitor's
// layout control that puts each of the decoder's feeds at its own speaker's direction.
#pragma once

#include "tools/pwchain/DecoderChoice.h"

namespace kiv::pwchain {

// The monitor's layout choice (its LV2 control's whole-number value); throws
// std::runtime_error when the monitor offers no such layout.
int monitorLayoutChoice(const DecoderChoice& choice);

} // namespace kiv::pwchain
