// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/CKnob.h"

#include "toolkit/CBitmap.h"
#include "toolkit/CDrawContext.h"
#include "toolkit/CFrame.h"
#include "toolkit/VirtualKey.h"

#include <cmath>

namespace VSTGUI {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr float kTwoPi = float(2 * kPi); // 6.2831855
constexpr float kLinearRangePixels = 200.f;
// The knob mode of the editor interface that means linear dragging.
constexpr long kLinearMode = 2;

// a wrapped into the circle once, compared against 2 pi in double precision.
float wrapped(float a) {
    if (a < 0) return a + kTwoPi;
    if (double(a) > 2 * kPi) return a - kTwoPi;
    return a;
}

} // namespace

CKnob::CKnob(const CRect& size, CControlListener* listener, long tag, CBitmap* background,
             CBitmap* handleBitmap, const CPoint& offset)
    : CControl(size, listener, tag, background), offset(offset) {
    setHandleBitmap(handleBitmap);
    radius = float(size.right - size.left) / 2.f;
    setStartAngle(float(5 * kPi / 4));
    setRangeAngle(-float(3 * kPi / 2));
}

CKnob::~CKnob() {
    if (handle) handle->forget();
}

void CKnob::setViewSize(const CRect& rect) {
    CControl::setViewSize(rect);
    radius = float(rect.right - rect.left) / 2.f;
}

void CKnob::setStartAngle(float angle) {
    startAngle = angle;
    invalid();
}

void CKnob::setRangeAngle(float angle) {
    rangeAngle = angle;
    halfAngle = (kTwoPi - std::fabs(rangeAngle)) / 2.f;
    invalid();
}

void CKnob::setHandleBitmap(CBitmap* bitmap) {
    if (bitmap) bitmap->remember();
    if (handle) handle->forget();
    handle = bitmap;
    invalid();
}

// ---- Mapping ----

float CKnob::valueFromAngle(float alpha) const {
    const float slope = (vmax - vmin) / rangeAngle;
    float a = alpha - startAngle;
    if (rangeAngle < 0) {
        a -= rangeAngle;
        const float w = wrapped(a);
        if (w > halfAngle - rangeAngle) return vmax;
        if (w > -rangeAngle) return vmin;
        if (a > halfAngle - rangeAngle)
            a -= kTwoPi;
        else if (a < -halfAngle)
            a += kTwoPi;
        return a * slope + vmax;
    }
    const float w = wrapped(a);
    if (w > rangeAngle + halfAngle) return vmin;
    if (w > rangeAngle) return vmax;
    if (a > rangeAngle + halfAngle)
        a -= kTwoPi;
    else if (a < -halfAngle)
        a += kTwoPi;
    return a * slope + vmin;
}

float CKnob::valueFromPoint(CPoint& point) const {
    const float x = float(point.h) - radius;
    const float y = radius - float(point.v);
    // atan2(0, 0) is 0 here: the centre counts as pointing right.
    float alpha = float(std::atan2(double(y), double(x)));
    if (alpha < 0) alpha += kTwoPi;
    return valueFromAngle(alpha);
}

void CKnob::valueToPoint(float forValue, CPoint& point) const {
    const float span = vmax - vmin;
    const float fraction = span != 0 ? (forValue - vmin) / span : 0.f;
    const double alpha = double(startAngle) + double(fraction) * double(rangeAngle);
    const double length = double(radius) - double(inset);
    point.h = CCoord(std::lround(radius + std::cos(alpha) * length));
    point.v = CCoord(std::lround(radius - std::sin(alpha) * length));
}

// ---- Drawing ----

void CKnob::draw(CDrawContext* context) {
    const float shown = value;
    if (background) {
        if (transparent)
            background->drawTransparent(context, size, offset);
        else
            background->draw(context, size, offset);
    }
    drawHandle(context, shown);
    markDrawn(shown);
}

void CKnob::drawHandle(CDrawContext* context, float shown) {
    CPoint tip;
    valueToPoint(shown, tip);
    tip.offset(size.left, size.top);
    if (handle) {
        const CCoord w = handle->getWidth();
        const CCoord h = handle->getHeight();
        handle->drawTransparent(
            context, CRect(tip.h - w / 2, tip.v - h / 2, tip.h - w / 2 + w, tip.v - h / 2 + h));
        return;
    }
    const CPoint centre(size.left + CCoord(radius), size.top + CCoord(radius));
    context->setFrameColor(colorShadowHandle);
    context->moveTo(CPoint(centre.h + 1, centre.v + 1));
    context->lineTo(CPoint(tip.h + 1, tip.v + 1));
    context->setFrameColor(colorHandle);
    context->moveTo(centre);
    context->lineTo(tip);
}

// ---- Mouse, wheel and keys ----

bool CKnob::linearModeFor(long buttons) const {
    if (!(buttons & kLButton)) return false;
    const bool alt = (buttons & kAlt) != 0;
    const long mode = frame ? frame->getKnobMode() : 0;
    return mode == kLinearMode ? !alt : alt;
}

void CKnob::setLinearRange(long buttons) {
    range = kLinearRangePixels;
    if (buttons & kShift) range *= zoomFactor;
    coef = (vmax - vmin) / range;
}

CMouseEventResult CKnob::onMouseDown(CPoint& where, long buttons) {
    beginEdit();
    if (checkDefaultValue(buttons)) {
        endEdit();
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    }
    lastPoint = CPoint(-1, -1);
    startValue = oldValue;
    const float pointed = startDrag(where, buttons);
    if (modeLinear)
        lastPoint = where;
    else
        startValue = pointed;
    onMouseMoved(where, buttons);
    return kMouseEventHandled;
}

float CKnob::startDrag(const CPoint& where, long buttons) {
    firstPoint = where;
    entryValue = value;
    range = kLinearRangePixels;
    coef = (vmax - vmin) / range;
    oldButton = buttons;
    modeLinear = linearModeFor(buttons);
    if (modeLinear) {
        setLinearRange(buttons);
        return value;
    }
    CPoint relative = where;
    relative.offset(-size.left, -size.top);
    return valueFromPoint(relative);
}

CMouseEventResult CKnob::onMouseMoved(CPoint& where, long buttons) {
    if (!(buttons & kLButton) || where == lastPoint) return kMouseEventHandled;
    lastPoint = where;
    const float before = value;
    if (modeLinear) {
        dragLinearlyTo(where, buttons);
    } else {
        CPoint relative = where;
        relative.offset(-size.left, -size.top);
        const float v = valueFromPoint(relative);
        const float halfRange = (vmax - vmin) / 2.f;
        // Past an end the value holds there until the pointer comes back within half
        // the range of it.
        if (startValue - v > halfRange)
            value = vmax;
        else if (v - startValue > halfRange)
            value = vmin;
        else {
            value = v;
            startValue = v;
        }
    }
    // Every change is reported, also one that brings the value back to what was drawn
    // last (several moves can come between two redraws).
    if (value != before && listener) listener->valueChanged(this);
    if (isDirty()) invalid();
    return kMouseEventHandled;
}

CMouseEventResult CKnob::onMouseUp(CPoint&, long) {
    endEdit();
    return kMouseEventHandled;
}

bool CKnob::onWheel(const CPoint&, float distance, long buttons) {
    if (!mouseEnabled) return false;
    stepBy(distance, (buttons & kShift) != 0);
    return true;
}

void CKnob::stepBy(float distance, bool fine) {
    const float before = value;
    if (fine)
        value += 0.1f * distance * wheelInc;
    else
        value += distance * wheelInc;
    bounceValue();
    if (value != before) {
        beginEdit();
        if (listener) listener->valueChanged(this);
        endEdit();
    }
}

void CKnob::dragLinearlyTo(const CPoint& where, long buttons) {
    const CCoord diff = (where.h - firstPoint.h) + (firstPoint.v - where.v);
    if (buttons != oldButton) {
        // Shift pressed or released: the value goes on from where it is.
        const float previousCoef = coef;
        setLinearRange(buttons);
        entryValue += float(diff) * (previousCoef - coef);
        oldButton = buttons;
    }
    value = entryValue + float(diff) * coef;
    bounceValue();
}

long CKnob::onKeyDown(VstKeyCode& keyCode) {
    float distance = 0.f;
    switch (keyCode.virt) {
    case kVirtualKeyUp:
    case kVirtualKeyRight:
        distance = 1.f;
        break;
    case kVirtualKeyDown:
    case kVirtualKeyLeft:
        distance = -1.f;
        break;
    default:
        return -1;
    }
    stepBy(distance, (keyCode.modifier & kKeyModifierShift) != 0);
    return 1;
}

void CKnob::mouse(CDrawContext* context, CPoint& where, long buttons) {
    if (!mouseEnabled || !context) return;
    if (buttons == -1) buttons = context->getMouseButtons();
    if (!(buttons & kLButton)) return;
    if (listener && (buttons & kModifierButtons) &&
        listener->controlModifierClicked(this, buttons) != 0)
        return;
    if (onMouseDown(where, buttons) != kMouseEventHandled)
        return; // the default-value click is complete in itself
    CPoint point = where;
    do {
        buttons = context->getMouseButtons();
        if (buttons & kLButton) onMouseMoved(point, buttons);
        context->getMouseLocation(point);
        doIdleStuff();
    } while (buttons & kLButton);
    onMouseUp(point, buttons);
}

} // namespace VSTGUI
