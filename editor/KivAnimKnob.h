// SPDX-License-Identifier: GPL-3.0-or-later
// The editor's knob: the toolkit's film-strip knob, except that a point exactly at the
// knob's centre keeps the angle of the previous point (of any KivAnimKnob) instead of
// counting as pointing right. Everything else (drawing, mouse, wheel, keys, the default
// value) is CAnimKnob's. User-interface thread.
#pragma once

#include "toolkit/CAnimKnob.h"

namespace VSTGUI {

class KivAnimKnob : public CAnimKnob {
public:
    KivAnimKnob(const CRect& size, CControlListener* listener, long tag, long subPixmaps,
                CCoord heightOfOneImage, CBitmap* background, const CPoint& offset = CPoint());
    ~KivAnimKnob() override;

    float valueFromPoint(CPoint& point) const override;

    // The angle in radians of the last point off the centre, shared by every
    // KivAnimKnob of the process (initially 0).
    static float lastAlpha;
};

} // namespace VSTGUI
