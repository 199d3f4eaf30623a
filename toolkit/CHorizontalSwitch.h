// SPDX-License-Identifier: GPL-3.0-or-later
// A switch with a number of positions side by side, drawn from a vertical strip of
// pictures (the background bitmap), one per position. Value v shows picture
// floor((positions - 1) * v + 0.5); a press or drag with the left button at x picks
// position floor((x - left) / (strip width / positions)), value position/(positions - 1),
// clamped to [0, 1]. Left button plus Control sets the default value. The wheel does
// nothing. User-interface thread.
#pragma once

#include "toolkit/CControl.h"
#include "toolkit/IMultiBitmapControl.h"

namespace VSTGUI {

class CHorizontalSwitch : public CControl, public IMultiBitmapControl {
public:
    CHorizontalSwitch(const CRect& size, CControlListener* listener, long tag, long subPixmaps,
                      CCoord heightOfOneImage, long iMaxPositions, CBitmap* background,
                      const CPoint& offset = CPoint());

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, long buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, long buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, long buttons) override;
    void autoComputeHeightOfOneImage() override;

    long getNumPositions() const { return iMaxPositions; }
    // The picture shown for a value (0 is the first).
    long pictureIndexFor(float forValue) const;
    // Width of one position in pixels, as the last press measured it.
    double getPixelsPerPosition() const { return coef; }

protected:
    CPoint offset;
    long iMaxPositions;
    double coef = 0;
};

} // namespace VSTGUI
