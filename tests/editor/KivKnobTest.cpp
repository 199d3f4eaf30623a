// SPDX-License-Identifier: GPL-3.0-or-later
// The editor's knobs: the point-to-value mapping with its centre and dead-zone cases,
// the class-wide last angle of each class, the circular drag that holds at the end
// (event path) against the modal one that jumps across the dead zone, modal linear
// dragging, and the film-strip picture of a value.
#include "ToolkitFakes.h"

#include "editor/KivAnimKnob.h"
#include "editor/KivContAnimKnob.h"
#include "toolkit/ScriptedPointer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace VSTGUI;

namespace {

constexpr int kLeft = 37, kTop = 3; // where the editor puts its first knob

// A point at the given angle (degrees, counter-clockwise from right) and distance from
// the centre of the knob, in frame pixels.
CPoint onCircle(double degrees, double distance = 30) {
    const double a = degrees * M_PI / 180;
    return CPoint(kLeft + 32 + int(std::lround(distance * std::cos(a))),
                  kTop + 32 - int(std::lround(distance * std::sin(a))));
}

template <class Knob> struct KnobRig {
    FakeEditor editor;
    RecordingListener listener;
    ScriptedPointer pointer;
    CFrame frame{CRect(0, 0, 200, 100), nullptr, &editor};
    Knob* knob;

    explicit KnobRig(float start = 0.2f, CBitmap* strip = nullptr) {
        Knob::lastAlpha = 0.f;
        knob = new Knob(CRect(kLeft, kTop, kLeft + 64, kTop + 64), &listener, 0, 281, 64, strip,
                        CPoint(0, 0));
        knob->setValue(start);
        knob->setTransparency(false);
        frame.addView(knob);
        frame.setPointerSource(&pointer);
        frame.idle();
    }
    // The modal routine, pressed at the first point, dragged through the others with the
    // left button (plus extra bits), then released.
    void track(const std::vector<CPoint>& path, long extra = 0) {
        for (std::size_t i = 1; i < path.size(); ++i) pointer.add(path[i], kLButton | extra);
        pointer.add(path.back(), kLButton | extra); // the last position gets applied too
        pointer.add(path.back(), 0);
        CDrawContext* context = frame.createDrawContext();
        CPoint where = path.front();
        knob->mouse(context, where, kLButton | extra);
        context->forget();
    }
};

} // namespace

TEST(KivAnimKnob, ValueFromPoint) {
    KnobRig<KivAnimKnob> rig;
    auto at = [&](int x, int y) {
        CPoint p(x, y);
        return rig.knob->valueFromPoint(p);
    };
    EXPECT_NEAR(at(32, 32), 0.8333333f, 1e-6); // the centre, right after start-up
    const struct {
        int x, y;
        float value;
        float tolerance;
    } cases[] = {
        {0, 64, 0.f, 1e-6f},          // lower left, 225 degrees
        {64, 64, 0.99999988f, 1e-7f}, // lower right, 315 degrees
        {20, 63, 0.f, 0.f},           // left half of the dead zone
        {44, 63, 1.f, 0.f},           // right half
        {32, 64, 0.f, 0.f},           // straight down counts as the left half
        {0, 32, 0.16666667f, 1e-6f},  {32, 0, 0.5f, 1e-6f},
        {64, 32, 0.8333333f, 1e-6f},  {0, 0, 0.33333334f, 1e-6f},
        {64, 0, 0.6666667f, 1e-6f},   {-100, 200, 0.f, 0.f}, // far outside, in the dead zone
    };
    for (const auto& c : cases) {
        const float v = at(c.x, c.y);
        EXPECT_NEAR(v, c.value, c.tolerance) << c.x << "," << c.y;
        EXPECT_GE(v, 0.f);
        EXPECT_LE(v, 1.f);
    }
}

TEST(KivAnimKnob, CentreKeepsTheLastAngleOfAnyKnobOfTheSameClassOnly) {
    KnobRig<KivAnimKnob> rig;
    KivAnimKnob other(CRect(0, 0, 64, 64), nullptr, 1, 281, 64, nullptr);
    KivContAnimKnob cont(CRect(0, 0, 64, 64), nullptr, 2, 281, 64, nullptr);
    KivContAnimKnob::lastAlpha = 0.f;
    CPoint top(32, 0), left(0, 32), centre(32, 32);

    rig.knob->valueFromPoint(top);
    EXPECT_FLOAT_EQ(KivAnimKnob::lastAlpha, float(M_PI / 2));
    EXPECT_NEAR(other.valueFromPoint(centre), 0.5f, 1e-6);      // shared within the class
    EXPECT_NEAR(cont.valueFromPoint(centre), 0.8333333f, 1e-6); // not across classes
    cont.valueFromPoint(left);
    EXPECT_NEAR(cont.valueFromPoint(centre), 0.16666667f, 1e-6);
    EXPECT_NEAR(rig.knob->valueFromPoint(centre), 0.5f, 1e-6);
    EXPECT_FLOAT_EQ(KivAnimKnob::lastAlpha, float(M_PI / 2)); // the centre leaves it alone

    // A press at the centre through the frame takes the angle of the pointer before.
    rig.knob->valueFromPoint(left);
    rig.frame.onMouseDown(kLeft + 32, kTop + 32, kLButton);
    EXPECT_NEAR(rig.knob->getValue(), 0.16666667f, 1e-6);
    rig.frame.onMouseUp(kLeft + 32, kTop + 32, 0);
}

// Clockwise from the top, past the maximum into the dead zone and on to 230 degrees.
const std::vector<double> kClockwisePastTheEnd = {90, 60, 30, 0, -30, -44, -50, -80, -95, -130};

TEST(KivAnimKnob, CircularDragSticksAtTheMaximum) {
    KnobRig<KivAnimKnob> rig(0.2f);
    std::vector<float> seen;
    rig.frame.onMouseDown(onCircle(90).h, onCircle(90).v, kLButton);
    seen.push_back(rig.knob->getValue());
    for (std::size_t i = 1; i < kClockwisePastTheEnd.size(); ++i) {
        const CPoint p = onCircle(kClockwisePastTheEnd[i]);
        rig.frame.onMouseMoved(p.h, p.v, kLButton);
        seen.push_back(rig.knob->getValue());
        rig.frame.idle();
    }
    rig.frame.onMouseUp(onCircle(-130).h, onCircle(-130).v, 0);
    EXPECT_NEAR(seen[0], 0.5f, 1e-6);
    for (std::size_t i = 1; i < seen.size(); ++i) EXPECT_GE(seen[i], seen[i - 1]) << i;
    EXPECT_FLOAT_EQ(seen[6], 1.f); // first point in the dead zone
    EXPECT_FLOAT_EQ(seen.back(), 1.f);
    EXPECT_FLOAT_EQ(rig.listener.values.back(), 1.f);
    EXPECT_EQ(rig.editor.hostOpcodes, (std::vector<int>{43, 44}));
}

TEST(KivContAnimKnob, ModalCircularDragJumpsToTheMinimumPastStraightDown) {
    KnobRig<KivContAnimKnob> rig(0.2f);
    std::vector<CPoint> path;
    for (double a : kClockwisePastTheEnd) path.push_back(onCircle(a));
    rig.track(path);
    const std::vector<float>& v = rig.listener.values;
    ASSERT_EQ(v.size(), 8u); // 0.5 ... 1 (three points in range), 1 once, 0 once
    EXPECT_NEAR(v[0], 0.5f, 1e-6);
    EXPECT_NEAR(v[1], 0.6111111f, 1e-3); // 60 degrees, on whole pixels
    EXPECT_FLOAT_EQ(v[6], 1.f);          // -50 degrees: right half of the dead zone
    EXPECT_FLOAT_EQ(v[7], 0.f);          // -95 degrees: past straight down
    EXPECT_FLOAT_EQ(rig.knob->getValue(), 0.f);
    EXPECT_EQ(rig.editor.hostOpcodes, (std::vector<int>{43, 44}));
    EXPECT_EQ(rig.editor.idleCalls, int(path.size()) + 1); // once per round
    EXPECT_EQ(rig.pointer.remaining(), 0u);
}

TEST(KivContAnimKnob, ModalLinearDragWithShiftPressedMidway) {
    KnobRig<KivContAnimKnob> rig(0.2f);
    rig.editor.knobMode = 2;
    const CPoint start(kLeft + 10, kTop + 50);
    for (int up : {20, 50}) rig.pointer.add(CPoint(start.h, start.v - up), kLButton);
    for (int up : {50, 80, 110}) rig.pointer.add(CPoint(start.h, start.v - up), kLButton | kShift);
    rig.pointer.add(CPoint(start.h, start.v - 400), kLButton | kShift);
    rig.pointer.add(CPoint(start.h, start.v - 400), kLButton | kShift);
    rig.pointer.add(CPoint(start.h, start.v - 400), 0);
    CDrawContext* context = rig.frame.createDrawContext();
    CPoint where = start;
    rig.knob->mouse(context, where, kLButton);
    context->forget();
    const std::vector<float>& v = rig.listener.values;
    ASSERT_EQ(v.size(), 5u);
    // Each round reads the buttons before it applies the position read the round
    // before, so Shift counts from 50 up, where it was first seen, without a jump.
    EXPECT_NEAR(v[0], 0.3f, 1e-6);  // 20 up
    EXPECT_NEAR(v[1], 0.45f, 1e-6); // 50 up
    EXPECT_NEAR(v[2], 0.55f, 1e-6); // 80 up: 30 more at 1/300
    EXPECT_NEAR(v[3], 0.65f, 1e-6); // 110 up
    EXPECT_FLOAT_EQ(v[4], 1.f);     // clamped
    EXPECT_EQ(rig.editor.hostOpcodes, (std::vector<int>{43, 44}));
}

TEST(KivContAnimKnob, ModalAltGivesLinearInCircularMode) {
    KnobRig<KivContAnimKnob> rig(0.2f);
    rig.track({CPoint(kLeft + 32, kTop), CPoint(kLeft + 52, kTop)}, kAlt);
    EXPECT_NEAR(rig.knob->getValue(), 0.3f, 1e-6); // 20 right, linear
    // Alt was offered to the listener first, which did not take it.
    EXPECT_EQ(rig.listener.modifierClicks, (std::vector<long>{kLButton | kAlt}));
}

TEST(KivContAnimKnob, ModalModifierClickDefaultClickAndRefusals) {
    {
        KnobRig<KivContAnimKnob> rig(0.2f);
        rig.listener.modifierAnswer = 1; // the listener takes Shift-clicks
        rig.track({CPoint(kLeft + 32, kTop), CPoint(kLeft + 60, kTop + 30)}, kShift);
        EXPECT_FLOAT_EQ(rig.knob->getValue(), 0.2f);
        EXPECT_TRUE(rig.editor.hostOpcodes.empty());
        EXPECT_EQ(rig.listener.modifierClicks.size(), 1u);
    }
    {
        KnobRig<KivContAnimKnob> rig(0.2f);
        CDrawContext* context = rig.frame.createDrawContext();
        CPoint where(kLeft + 5, kTop + 5);
        rig.knob->mouse(context, where, kLButton | kControl);
        EXPECT_FLOAT_EQ(rig.knob->getValue(), 0.5f);
        EXPECT_EQ(rig.editor.hostOpcodes, (std::vector<int>{43, 44})); // no tracking edit
        EXPECT_EQ(rig.listener.modifierClicks.size(), 1u);
        EXPECT_EQ(rig.editor.idleCalls, 0);

        rig.pointer.set(where, kRButton); // -1: the buttons are asked for; no left button
        rig.knob->mouse(context, where, -1);
        rig.knob->setMouseEnabled(false);
        rig.knob->mouse(context, where, kLButton);
        EXPECT_EQ(rig.editor.hostOpcodes.size(), 2u);
        context->forget();
    }
}

TEST(KivContAnimKnob, FrameEventsUseTheToolkitHandlersWhichHoldAtTheEnd) {
    KnobRig<KivContAnimKnob> rig(0.2f);
    for (std::size_t i = 0; i < kClockwisePastTheEnd.size(); ++i) {
        const CPoint p = onCircle(kClockwisePastTheEnd[i]);
        if (i == 0)
            rig.frame.onMouseDown(p.h, p.v, kLButton);
        else
            rig.frame.onMouseMoved(p.h, p.v, kLButton);
    }
    EXPECT_FLOAT_EQ(rig.knob->getValue(), 1.f);
}
