// SPDX-License-Identifier: GPL-3.0-or-later
// The converter's LV2 port indices, shared by the plug-in and its Turtle generator: the
// four audio inputs, the four audio outputs, then the direction control.
#pragma once

#include <cstdint>

#include "product/ConverterProduct.h"

inline constexpr std::uint32_t kLv2FirstInputPort = 0;
inline constexpr std::uint32_t kLv2FirstOutputPort = kLv2FirstInputPort + kConverterChannels;
inline constexpr std::uint32_t kLv2DirectionPort = kLv2FirstOutputPort + kConverterChannels;
inline constexpr std::uint32_t kLv2PortCount = kLv2DirectionPort + 1;
