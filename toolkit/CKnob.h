// SPDX-License-Identifier: GPL-3.0-or-later
// A rotary knob. Angles are in radians, counter-clockwise from the direction pointing
// right with y pointing up; the value runs from the start angle over the range angle
// (negative: clockwise). By default the minimum lies at 225 degrees (lower left), the
// maximum at 315 degrees (lower right), and the 90-degree arc at the bottom is a dead
// zone. The plain knob draws its background and a handle line; CAnimKnob draws a film
// strip instead.
//
// Mouse: circular mode follows the pointer's angle and holds at an end once the pointer
// runs past it; linear mode maps movement right or up onto the value, 200 pixels for the
// whole range (300 with Shift). The frame's knob mode chooses (2 linear, else circular);
// Alt swaps the two. Left button plus Control sets the default value. Wheel and arrow
// keys step by the wheel increment (a tenth of it with Shift). User-interface thread.
#pragma once

#include "toolkit/CColor.h"
#include "toolkit/CControl.h"

namespace VSTGUI {

class CKnob : public CControl {
public:
    CKnob(const CRect& size, CControlListener* listener, long tag, CBitmap* background,
          CBitmap* handle, const CPoint& offset = CPoint());
    ~CKnob() override;

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, long buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, long buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, long buttons) override;
    bool onWheel(const CPoint& where, float distance, long buttons) override;
    long onKeyDown(VstKeyCode& keyCode) override;
    // Tracks the mouse until the left button is released, polling the pointer through
    // the context and letting the editor idle meanwhile.
    void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;

    // The value for a point relative to the knob's top-left corner.
    virtual float valueFromPoint(CPoint& point) const;
    // The point of the handle for a value, relative to the knob's top-left corner.
    virtual void valueToPoint(float forValue, CPoint& point) const;

    void setViewSize(const CRect& rect) override;
    void setStartAngle(float angle);
    float getStartAngle() const { return startAngle; }
    void setRangeAngle(float angle);
    float getRangeAngle() const { return rangeAngle; }
    // Half of the dead zone between the two ends.
    float getHalfAngle() const { return halfAngle; }
    float getRadius() const { return radius; }
    // How much Shift slows down linear dragging.
    void setZoomFactor(float factor) { zoomFactor = factor; }
    float getZoomFactor() const { return zoomFactor; }
    void setInsetValue(CCoord value) { inset = value; }
    void setColorHandle(const CColor& color) { colorHandle = color; }
    void setColorShadowHandle(const CColor& color) { colorShadowHandle = color; }
    // The picture drawn at the handle's point instead of the line (kept referenced).
    void setHandleBitmap(CBitmap* bitmap);

protected:
    // The value of a pointer angle in [0, 2 pi).
    float valueFromAngle(float alpha) const;
    // Linear when the knob mode and Alt say so and the left button is down.
    bool linearModeFor(long buttons) const;
    // Range and coefficient of linear dragging for a button state.
    void setLinearRange(long buttons);
    // A drag starts at a press: the mode for the buttons, the linear range and the drag's
    // origin. Answers the value under the pointer in circular mode (the current value in
    // linear mode).
    float startDrag(const CPoint& where, long buttons);
    // A linear drag reaching a point: Shift pressed or released on the way rescales the
    // drag from where the value is; the value is kept within its range.
    void dragLinearlyTo(const CPoint& where, long buttons);
    // One wheel notch or arrow key (fine with Shift), inside an edit of its own when the
    // value changes.
    void stepBy(float distance, bool fine);
    void drawHandle(CDrawContext* context, float shown);

    CPoint offset;
    CBitmap* handle = nullptr;
    CColor colorHandle = kWhiteCColor;
    CColor colorShadowHandle = kGreyCColor;
    CCoord inset = 3;
    float startAngle = 0.f;
    float rangeAngle = 0.f;
    float halfAngle = 0.f;
    float radius = 0.f;
    float zoomFactor = 1.5f;

    // The drag under way.
    CPoint firstPoint;
    CPoint lastPoint{-1, -1};
    float startValue = 0.f;
    float entryValue = 0.f;
    float range = 200.f;
    float coef = 0.f;
    long oldButton = 0;
    bool modeLinear = false;
};

} // namespace VSTGUI
