// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/CAnimKnob.h"

#include "toolkit/CBitmap.h"

namespace VSTGUI {

CAnimKnob::CAnimKnob(const CRect& size, CControlListener* listener, long tag, long subPixmaps,
                     CCoord heightOfOneImage, CBitmap* background, const CPoint& offset)
    : CKnob(size, listener, tag, background, nullptr, offset) {
    this->heightOfOneImage = heightOfOneImage;
    this->subPixmaps = subPixmaps;
    if (background && heightOfOneImage > 0)
        this->subPixmaps = background->getHeight() / heightOfOneImage;
}

void CAnimKnob::autoComputeHeightOfOneImage() {
    if (background && subPixmaps > 0)
        heightOfOneImage = background->getHeight() / CCoord(subPixmaps);
}

CCoord CAnimKnob::stripOffsetFor(float forValue) const {
    if (heightOfOneImage <= 0 || subPixmaps < 2) return 0;
    const long last = long(heightOfOneImage) * (subPixmaps - 1);
    // Single precision and truncation, then down to the top of that picture. A value
    // beyond the maximum (or not a number) must not read outside the strip.
    const float exact = forValue * float(heightOfOneImage) * float(subPixmaps - 1);
    if (!(exact >= 0)) return 0;
    const long y = exact >= float(last) ? last : long(exact);
    return CCoord(y - y % heightOfOneImage);
}

void CAnimKnob::draw(CDrawContext* context) {
    const float shown = value;
    if (background) {
        const CPoint where(offset.h, offset.v + stripOffsetFor(shown));
        if (transparent)
            background->drawTransparent(context, size, where);
        else
            background->draw(context, size, where);
    }
    markDrawn(shown);
}

} // namespace VSTGUI
