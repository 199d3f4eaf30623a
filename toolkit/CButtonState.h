// SPDX-License-Identifier: GPL-3.0-or-later
// The toolkit's button-state bits, as the controls receive them with every mouse
// event, and what a view answers to a mouse event.
#pragma once

namespace VSTGUI {

enum CButton : long {
    kLButton = 1 << 1,
    kMButton = 1 << 2,
    kRButton = 1 << 3,
    kShift = 1 << 4,
    kControl = 1 << 5,
    kAlt = 1 << 6,
    kApple = 1 << 7, // the Super key on Linux
};

// Shift, Control, Alt and Apple.
constexpr long kModifierButtons = kShift | kControl | kAlt | kApple;

enum CMouseEventResult {
    kMouseEventNotHandled = 0,
    kMouseEventHandled,
    // The view has no event handler: the frame calls its modal mouse() instead.
    kMouseEventNotImplemented,
    // Handled in full by the press: no moved or up events follow for this view.
    kMouseDownEventHandledButDontNeedMovedOrUpEvents,
};

} // namespace VSTGUI
