// SPDX-License-Identifier: GPL-3.0-or-later
// Where the frame's pointer is and which buttons are held: what a control that tracks
// the mouse on its own keeps asking. A windowed frame asks its X11 window; a frame
// without a window asks the source it was given (tests script one with ScriptedPointer).
#pragma once

#include "toolkit/CPoint.h"

namespace VSTGUI {

class PointerSource {
public:
    virtual ~PointerSource() = default;
    // The pointer in frame pixels.
    virtual CPoint getLocation() = 0;
    // The CButton bits held now (buttons and modifier keys).
    virtual long getButtons() = 0;
};

} // namespace VSTGUI
