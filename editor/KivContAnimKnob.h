// SPDX-License-Identifier: GPL-3.0-or-later
// A knob with the mapping of KivAnimKnob (its own lastAlpha, not shared with
// KivAnimKnob) and a modal tracking routine of its own: in circular mode the value
// follows the pointer's angle directly, so crossing the dead zone at the bottom moves
// it straight from one end to the other. The frame's event path is CAnimKnob's; mouse()
// is the modal entry, which polls the pointer through the drawing context until the
// left button is released. User-interface thread.
#pragma once

#include "toolkit/CAnimKnob.h"

class KivContAnimKnob : public VSTGUI::CAnimKnob {
public:
    KivContAnimKnob(const VSTGUI::CRect& size, VSTGUI::CControlListener* listener, long tag,
                    long subPixmaps, VSTGUI::CCoord heightOfOneImage, VSTGUI::CBitmap* background,
                    const VSTGUI::CPoint& offset = VSTGUI::CPoint());
    ~KivContAnimKnob() override;

    float valueFromPoint(VSTGUI::CPoint& point) const override;
    // where is in frame pixels; buttons -1 asks the context for the current buttons.
    void mouse(VSTGUI::CDrawContext* context, VSTGUI::CPoint& where, long buttons = -1) override;

    // The angle in radians of the last point off the centre, shared by every
    // KivContAnimKnob of the process (initially 0).
    static float lastAlpha;
};
