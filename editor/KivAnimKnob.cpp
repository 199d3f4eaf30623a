// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/KivAnimKnob.h"

#include "editor/PointerAngle.h"

namespace VSTGUI {

float KivAnimKnob::lastAlpha = 0.f;

KivAnimKnob::KivAnimKnob(const CRect& size, CControlListener* listener, long tag, long subPixmaps,
                         CCoord heightOfOneImage, CBitmap* background, const CPoint& offset)
    : CAnimKnob(size, listener, tag, subPixmaps, heightOfOneImage, background, offset) {}

KivAnimKnob::~KivAnimKnob() = default;

float KivAnimKnob::valueFromPoint(CPoint& point) const {
    return valueFromAngle(kiv::pointerAngle(point, radius, lastAlpha));
}

} // namespace VSTGUI
