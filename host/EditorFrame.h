// SPDX-License-Identifier: GPL-3.0-or-later
// What the editor base classes need of the widget toolkit's top-level frame.
// The toolkit's CFrame implements it; AEffGUIEditor talks to the frame only
// through this interface. All calls come on the host's user-interface thread.
#pragma once

#include "host/VstRecords.h"

class EditorFrame {
public:
    virtual ~EditorFrame() = default;

    // Redraws the views that changed since the last idle; handles pending window events.
    virtual void idle() = 0;
    // Key from the host (effEditKeyDown / effEditKeyUp); positive when handled, -1 when not.
    virtual VstInt32 onKeyDown(VstKeyCode& key) = 0;
    virtual VstInt32 onKeyUp(VstKeyCode& key) = 0;
    // Wheel at a point (frame pixels), distance in notches, toolkit button-state bits.
    virtual bool onWheel(int x, int y, float distance, long buttons) = 0;
    // Mouse click at a point; buttons -1 means "query the current buttons".
    virtual void onMouseDown(int x, int y, long buttons) = 0;
    // Redraws a rectangle of the frame now, or the whole frame when rect is null.
    virtual void redrawRect(const ERect* rect) = 0;
    // The frame's size in pixels (top and left are 0).
    virtual ERect getViewSize() const = 0;
    // Current pointer position relative to the frame, and the current button-state bits.
    virtual void getMouseLocation(int& x, int& y) = 0;
    virtual long getMouseButtons() = 0;
    // Runs the window system's event loop for a while: handles pending events for
    // that many milliseconds (the editor's throttled idle waits this way).
    virtual void handleEventsFor(unsigned milliseconds) = 0;
};
