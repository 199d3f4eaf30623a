// SPDX-License-Identifier: GPL-3.0-or-later
// A knob drawn from a vertical film strip: the background bitmap holds every position,
// one picture of heightOfOneImage pixels below the other. Value v shows picture
// floor(v * (count - 1)), so a strip of 281 pictures gives 281 positions from 0 to 1;
// a negative value shows the first. With a strip, the number of pictures is the strip's
// height divided by the picture height; the count passed in counts only without one.
// Transparency on blends the strip over what lies behind it; off copies it.
#pragma once

#include "toolkit/CKnob.h"
#include "toolkit/IMultiBitmapControl.h"

namespace VSTGUI {

class CAnimKnob : public CKnob, public IMultiBitmapControl {
public:
    CAnimKnob(const CRect& size, CControlListener* listener, long tag, long subPixmaps,
              CCoord heightOfOneImage, CBitmap* background, const CPoint& offset = CPoint());

    void draw(CDrawContext* context) override;
    void autoComputeHeightOfOneImage() override;
    // The top of the picture shown for a value, in strip pixels (offset not included).
    CCoord stripOffsetFor(float forValue) const;
};

} // namespace VSTGUI
