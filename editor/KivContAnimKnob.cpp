// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/KivContAnimKnob.h"

#include "editor/PointerAngle.h"
#include "toolkit/CDrawContext.h"

using namespace VSTGUI;

float KivContAnimKnob::lastAlpha = 0.f;

KivContAnimKnob::KivContAnimKnob(const CRect& size, CControlListener* listener, long tag,
                                 long subPixmaps, CCoord heightOfOneImage, CBitmap* background,
                                 const CPoint& offset)
    : CAnimKnob(size, listener, tag, subPixmaps, heightOfOneImage, background, offset) {}

KivContAnimKnob::~KivContAnimKnob() = default;

float KivContAnimKnob::valueFromPoint(CPoint& point) const {
    return valueFromAngle(kiv::pointerAngle(point, radius, lastAlpha));
}

void KivContAnimKnob::mouse(CDrawContext* context, CPoint& where, long buttons) {
    if (!mouseEnabled || !context) return;
    if (buttons == -1) buttons = context->getMouseButtons();
    if (!(buttons & kLButton)) return;
    if (listener && (buttons & kModifierButtons) &&
        listener->controlModifierClicked(this, buttons) != 0)
        return;
    if (checkDefaultValue(buttons)) return;

    // The value under the pointer is not needed: in circular mode the call brings lastAlpha
    // up to date with the press.
    startDrag(where, buttons);

    beginEdit();
    lastPoint = CPoint(-1, -1);
    CPoint point = where;
    do {
        buttons = context->getMouseButtons();
        if (point != lastPoint) {
            const float before = value;
            if (modeLinear) {
                dragLinearlyTo(point, buttons);
            } else {
                // No holding at the ends: the value jumps across the dead zone.
                CPoint relative = point;
                relative.offset(-size.left, -size.top);
                value = valueFromPoint(relative);
            }
            // Every change is reported, also one back to the value drawn last.
            if (value != before && listener) listener->valueChanged(this);
            lastPoint = point;
        }
        context->getMouseLocation(point);
        doIdleStuff();
    } while (buttons & kLButton);
    endEdit();
}
