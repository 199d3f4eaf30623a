// SPDX-License-Identifier: GPL-3.0-or-later
// The speaker layouts are part of the product description (product/SpeakerLayout.h).
#pragma once

#include "product/SpeakerLayout.h"

namespace kiv::ambidec {
using ::SpeakerDirection;
using ::SpeakerLayout;
using ::speakerLayoutOf;
} // namespace kiv::ambidec
