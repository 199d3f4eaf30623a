// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/CHorizontalSwitch.h"

#include "toolkit/CBitmap.h"

namespace VSTGUI {

CHorizontalSwitch::CHorizontalSwitch(const CRect& size, CControlListener* listener, long tag,
                                     long subPixmaps, CCoord heightOfOneImage, long iMaxPositions,
                                     CBitmap* background, const CPoint& offset)
    : CControl(size, listener, tag, background), offset(offset), iMaxPositions(iMaxPositions) {
    this->subPixmaps = subPixmaps;
    this->heightOfOneImage = heightOfOneImage;
}

void CHorizontalSwitch::autoComputeHeightOfOneImage() {
    if (background && subPixmaps > 0)
        heightOfOneImage = background->getHeight() / CCoord(subPixmaps);
}

long CHorizontalSwitch::pictureIndexFor(float forValue) const {
    const float exact = float(iMaxPositions - 1) * forValue + 0.5f;
    // A value outside [0, 1] (or not a number) still shows a picture of the strip.
    if (!(exact >= 1)) return 0;
    const long pictures = subPixmaps > 0 ? subPixmaps : iMaxPositions;
    const long last = pictures > 0 ? pictures - 1 : 0;
    return exact >= float(last) ? last : long(exact);
}

void CHorizontalSwitch::draw(CDrawContext* context) {
    const float shown = value;
    if (background) {
        const CPoint where(offset.h, offset.v + CCoord(pictureIndexFor(shown)) * heightOfOneImage);
        if (transparent)
            background->drawTransparent(context, size, where);
        else
            background->draw(context, size, where);
    }
    markDrawn(shown);
}

CMouseEventResult CHorizontalSwitch::onMouseDown(CPoint& where, long buttons) {
    if (!(buttons & kLButton)) return kMouseEventNotHandled;
    const long positions = iMaxPositions > 0 ? iMaxPositions : 1;
    // The strip's width sets the positions; without a picture (a resource that was not
    // found) the control's own width does, rather than a division by zero.
    const CCoord width =
        background && background->getWidth() > 0 ? background->getWidth() : size.width();
    coef = double(width) / double(positions);
    beginEdit();
    if (checkDefaultValue(buttons)) {
        endEdit();
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    }
    onMouseMoved(where, buttons);
    return kMouseEventHandled;
}

CMouseEventResult CHorizontalSwitch::onMouseMoved(CPoint& where, long buttons) {
    if (!(buttons & kLButton)) return kMouseEventHandled;
    const float before = value;
    if (iMaxPositions > 1 && coef > 0) {
        const long position = long(double(where.h - size.left) / coef);
        value = float(position) / float(iMaxPositions - 1);
    } else {
        value = vmin; // a single position
    }
    bounceValue();
    // Every change is reported, also one back to the value drawn last.
    if (value != before && listener) listener->valueChanged(this);
    if (isDirty()) invalid();
    return kMouseEventHandled;
}

CMouseEventResult CHorizontalSwitch::onMouseUp(CPoint&, long) {
    endEdit();
    return kMouseEventHandled;
}

} // namespace VSTGUI
