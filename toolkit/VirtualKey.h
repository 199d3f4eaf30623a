// SPDX-License-Identifier: GPL-3.0-or-later
// The virtual key numbers and modifier bits of a host key code (VstKeyCode) that the
// toolkit's controls understand.
#pragma once

namespace VSTGUI {

enum VirtualKey : unsigned char {
    kVirtualKeyLeft = 11,
    kVirtualKeyUp = 12,
    kVirtualKeyRight = 13,
    kVirtualKeyDown = 14,
};

// Bit of VstKeyCode::modifier.
constexpr unsigned char kKeyModifierShift = 1 << 0;

} // namespace VSTGUI
