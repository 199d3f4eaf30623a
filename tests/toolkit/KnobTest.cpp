// SPDX-License-Identifier: GPL-3.0-or-later
// The toolkit's knob as a user drives it through the frame: linear and circular drags,
// Alt and the knob mode, Shift during a drag, the default-value click, wheel and keys;
// and the film-strip picture shown for a value.
#include "ToolkitFakes.h"

#include "toolkit/CAnimKnob.h"
#include "toolkit/ScriptedPointer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace VSTGUI;

namespace {

// A 64-pixel knob at (100, 50) in a frame, drawn once so that its old value is its value.
struct KnobRig {
    FakeEditor editor;
    RecordingListener listener;
    CFrame frame{CRect(0, 0, 300, 200), nullptr, &editor};
    CAnimKnob* knob;

    explicit KnobRig(float start = 0.2f, CBitmap* strip = nullptr) {
        knob = new CAnimKnob(CRect(100, 50, 164, 114), &listener, 3, 281, 64, strip);
        knob->setValue(start);
        frame.addView(knob);
        frame.idle();
    }
    // A point given relative to the knob's corner.
    void press(int x, int y, long buttons) { frame.onMouseDown(100 + x, 50 + y, buttons); }
    void move(int x, int y, long buttons) { frame.onMouseMoved(100 + x, 50 + y, buttons); }
    void release(int x, int y) { frame.onMouseUp(100 + x, 50 + y, 0); }
};

} // namespace

TEST(Knob, ThePlainKnobCountsTheCentreAsPointingRight) {
    KnobRig rig;
    CPoint top(32, 0), centre(32, 32);
    EXPECT_FLOAT_EQ(rig.knob->valueFromPoint(top), 0.5f);
    EXPECT_NEAR(rig.knob->valueFromPoint(centre), 0.8333333f, 1e-6);
}

TEST(Knob, LinearDragCoversTheRangeIn200PixelsAndShiftSlowsItWithoutAJump) {
    KnobRig rig(0.2f);
    rig.editor.knobMode = 2;
    rig.press(30, 60, kLButton); // the press itself changes nothing
    EXPECT_FLOAT_EQ(rig.knob->getValue(), 0.2f);
    EXPECT_TRUE(rig.listener.values.empty());
    rig.move(30, 10, kLButton); // 50 up
    EXPECT_NEAR(rig.knob->getValue(), 0.45f, 1e-6);
    rig.move(30, 10, kLButton | kShift); // Shift pressed, not moved: nothing yet
    EXPECT_NEAR(rig.knob->getValue(), 0.45f, 1e-6);
    rig.move(30, -20, kLButton | kShift); // 80 up: counted at the old rate up to here
    EXPECT_NEAR(rig.knob->getValue(), 0.6f, 1e-6);
    rig.move(30, -50, kLButton | kShift); // 30 more with Shift: 30/300
    EXPECT_NEAR(rig.knob->getValue(), 0.7f, 1e-6);
    rig.move(60, -50, kLButton | kShift); // right counts like up
    EXPECT_NEAR(rig.knob->getValue(), 0.8f, 1e-6);
    rig.move(60, -50, kLButton); // Shift released, not moved: nothing yet
    rig.move(70, -50, kLButton); // the rate changes from here on, without a jump
    EXPECT_NEAR(rig.knob->getValue(), 0.8333333f, 1e-6);
    rig.move(90, -50, kLButton); // 20 more without Shift: 20/200
    EXPECT_NEAR(rig.knob->getValue(), 0.9333333f, 1e-6);
    rig.move(70, -300, kLButton); // clamped
    EXPECT_FLOAT_EQ(rig.knob->getValue(), 1.f);
    rig.move(70, 400, kLButton);
    EXPECT_FLOAT_EQ(rig.knob->getValue(), 0.f);
    rig.release(70, 400);
    EXPECT_EQ(rig.editor.hostOpcodes, (std::vector<int>{43, 44}));
    EXPECT_EQ(rig.editor.editTags, (std::vector<long>{3, 3}));
    EXPECT_EQ(rig.listener.values.size(), 8u);
    EXPECT_FLOAT_EQ(rig.listener.values.back(), 0.f);
}

TEST(Knob, ShiftHeldFromThePressGives300Pixels) {
    KnobRig rig(0.f);
    rig.editor.knobMode = 2;
    rig.press(0, 0, kLButton | kShift);
    rig.move(0, -150, kLButton | kShift);
    EXPECT_NEAR(rig.knob->getValue(), 0.5f, 1e-6);
}

TEST(Knob, AltSwapsCircularAndLinear) {
    // Pressed at the top, a circular knob jumps to 0.5; a linear one keeps its value.
    // 20 pixels to the right then give 0.3 linearly, or the angle of (52, 0).
    const struct {
        long knobMode;
        long buttons;
        bool linear;
    } cases[] = {
        {0, kLButton, false},       {0, kLButton | kAlt, true}, {1, kLButton, false},
        {1, kLButton | kAlt, true}, {2, kLButton, true},        {2, kLButton | kAlt, false},
    };
    const float circularAt52 = 1.f - float((std::atan2(32.0, 20.0) + M_PI / 4) / (1.5 * M_PI));
    for (const auto& c : cases) {
        KnobRig rig(0.2f);
        rig.editor.knobMode = c.knobMode;
        rig.press(32, 0, c.buttons);
        EXPECT_NEAR(rig.knob->getValue(), c.linear ? 0.2f : 0.5f, 1e-6) << c.knobMode;
        rig.move(52, 0, c.buttons);
        EXPECT_NEAR(rig.knob->getValue(), c.linear ? 0.3f : circularAt52, 1e-5) << c.knobMode;
        rig.release(52, 0);
    }
}

TEST(Knob, CircularDragHoldsAtTheEndPastTheDeadZone) {
    KnobRig rig(0.2f);
    rig.press(32, 0, kLButton);
    // Clockwise from the top: right, lower right, into the dead zone, on to its left half.
    rig.move(64, 32, kLButton);
    EXPECT_NEAR(rig.knob->getValue(), 0.8333333f, 1e-6);
    rig.move(64, 64, kLButton);
    EXPECT_NEAR(rig.knob->getValue(), 1.f, 1e-6);
    rig.move(40, 63, kLButton);
    EXPECT_FLOAT_EQ(rig.knob->getValue(), 1.f);
    rig.move(10, 60, kLButton);
    EXPECT_FLOAT_EQ(rig.knob->getValue(), 1.f);
    rig.move(0, 32, kLButton); // 0.1667 is more than half the range away from 1
    EXPECT_FLOAT_EQ(rig.knob->getValue(), 1.f);
    rig.move(64, 40, kLButton); // back near the top end: the value follows again
    EXPECT_NEAR(rig.knob->getValue(), 1 - (std::atan2(-8.0, 32.0) + M_PI / 4) / (1.5 * M_PI), 1e-6);
    rig.release(64, 40);
}

TEST(Knob, MovesWithoutTheLeftButtonAreIgnored) {
    KnobRig rig(0.2f);
    rig.press(32, 0, kRButton); // an edit starts, but nothing follows the pointer
    rig.move(64, 32, kRButton);
    EXPECT_FLOAT_EQ(rig.knob->getValue(), 0.2f);
    rig.release(64, 32);
    EXPECT_EQ(rig.editor.hostOpcodes, (std::vector<int>{43, 44}));
    EXPECT_TRUE(rig.listener.values.empty());
}

TEST(Knob, EveryChangeIsReportedEvenBackToTheValueLastDrawn) {
    KnobRig rig(0.2f);
    rig.editor.knobMode = 2;
    rig.press(30, 30, kLButton);
    rig.move(30, 10, kLButton); // 0.3, not drawn yet
    rig.move(30, 30, kLButton); // back to 0.2, the value on screen
    ASSERT_EQ(rig.listener.values.size(), 2u);
    EXPECT_NEAR(rig.listener.values[0], 0.3f, 1e-6);
    EXPECT_FLOAT_EQ(rig.listener.values[1], 0.2f);
}

TEST(Knob, ControlClickSetsTheDefaultInANestedEdit) {
    for (float start : {0.2f, 0.5f}) {
        KnobRig rig(start);
        rig.press(10, 10, kLButton | kControl);
        EXPECT_FLOAT_EQ(rig.knob->getValue(), 0.5f);
        EXPECT_EQ(rig.editor.hostOpcodes, (std::vector<int>{43, 43, 44, 44}));
        EXPECT_EQ(rig.listener.values.size(), start == 0.5f ? 0u : 1u);
        // No drag follows the click.
        rig.move(10, 60, kLButton | kControl);
        EXPECT_FLOAT_EQ(rig.knob->getValue(), 0.5f);
        EXPECT_EQ(rig.frame.getMouseDownView(), nullptr);
        EXPECT_EQ(rig.frame.getFocusView(), rig.knob);
    }
    // Control with another button, or with more modifiers, is an ordinary press.
    KnobRig rig(0.2f);
    rig.press(32, 0, kLButton | kControl | kShift);
    EXPECT_FLOAT_EQ(rig.knob->getValue(), 0.5f); // circular: the top is 0.5 too
    rig.move(64, 32, kLButton | kControl | kShift);
    EXPECT_NEAR(rig.knob->getValue(), 0.8333333f, 1e-6);
}

TEST(Knob, WheelAndKeysStepAndClamp) {
    enum Kind { kWheel, kKey };
    const struct {
        Kind kind;
        float start;
        float distance;   // wheel
        long buttons;     // wheel
        unsigned char vk; // key
        unsigned char modifier;
        float expected;
        bool told;
    } cases[] = {
        {kWheel, 0.95f, 1, 0, 0, 0, 1.f, true},        {kWheel, 1.f, 1, 0, 0, 0, 1.f, false},
        {kWheel, 0.5f, -1, kShift, 0, 0, 0.49f, true}, {kWheel, 0.05f, -1, 0, 0, 0, 0.f, true},
        {kWheel, 0.5f, 3, 0, 0, 0, 0.8f, true},        {kKey, 0.3f, 0, 0, 12, 0, 0.4f, true}, // up
        {kKey, 0.3f, 0, 0, 13, 1, 0.31f, true}, // right with Shift
        {kKey, 0.3f, 0, 0, 11, 0, 0.2f, true},  // left
        {kKey, 0.05f, 0, 0, 14, 0, 0.f, true},  // down, clamped
        {kKey, 0.f, 0, 0, 14, 0, 0.f, false},          {kKey, 0.98f, 0, 0, 12, 0, 1.f, true},
    };
    for (const auto& c : cases) {
        KnobRig rig(c.start);
        if (c.kind == kWheel) {
            EXPECT_TRUE(rig.frame.onWheel(120, 70, c.distance, c.buttons));
        } else {
            rig.frame.onWheel(120, 70, 0, 0); // the pointer goes over the knob
            VstKeyCode key{0, c.vk, c.modifier};
            EXPECT_EQ(rig.frame.onKeyDown(key), 1);
        }
        EXPECT_NEAR(rig.knob->getValue(), c.expected, 1e-6) << c.start << " " << int(c.vk);
        EXPECT_EQ(rig.listener.values.size(), c.told ? 1u : 0u) << c.start << " " << int(c.vk);
        const std::vector<int> brackets = c.told ? std::vector<int>{43, 44} : std::vector<int>{};
        EXPECT_EQ(rig.editor.hostOpcodes, brackets);
    }
}

TEST(Knob, OtherKeysAndADisabledKnobsWheelAreNotHandled) {
    KnobRig rig(0.5f);
    rig.frame.setFocusView(rig.knob);
    VstKeyCode key{'a', 0, 0};
    EXPECT_EQ(rig.frame.onKeyDown(key), -1);
    VstKeyCode up{0, 12, 0};
    EXPECT_EQ(rig.frame.onKeyUp(up), -1);
    rig.knob->setMouseEnabled(false);
    EXPECT_FALSE(rig.knob->onWheel(CPoint(120, 70), 1, 0));
    EXPECT_FALSE(rig.frame.onWheel(120, 70, 1, 0));
    EXPECT_FLOAT_EQ(rig.knob->getValue(), 0.5f);
}

TEST(Knob, ModalTrackingFollowsAScriptedPointerAndHoldsAtTheEnd) {
    KnobRig rig(0.2f);
    ScriptedPointer pointer;
    rig.frame.setPointerSource(&pointer);
    // Right, lower right, right half of the dead zone, left half of it, released. Each
    // round applies the position read in the round before.
    for (CPoint p :
         {CPoint(164, 82), CPoint(164, 114), CPoint(140, 113), CPoint(105, 112), CPoint(105, 112)})
        pointer.add(p, kLButton);
    pointer.add(CPoint(105, 112), 0);
    CDrawContext* context = rig.frame.createDrawContext();
    CPoint where(132, 50); // the top
    rig.knob->mouse(context, where, kLButton);
    context->forget();
    EXPECT_FLOAT_EQ(rig.knob->getValue(), 1.f);
    EXPECT_EQ(rig.editor.hostOpcodes, (std::vector<int>{43, 44}));
    EXPECT_EQ(rig.editor.idleCalls, 6); // once per round
    EXPECT_EQ(pointer.remaining(), 0u);
    ASSERT_EQ(rig.listener.values.size(), 4u);
    EXPECT_FLOAT_EQ(rig.listener.values[0], 0.5f);
    EXPECT_NEAR(rig.listener.values[1], 0.8333333f, 1e-6);
    EXPECT_FLOAT_EQ(rig.listener.values[3], 1.f);
}

TEST(Knob, ModalTrackingOffersModifierClicksToTheListener) {
    KnobRig rig(0.2f);
    ScriptedPointer pointer;
    rig.frame.setPointerSource(&pointer);
    rig.listener.modifierAnswer = 1;
    CDrawContext* context = rig.frame.createDrawContext();
    CPoint where(132, 50);
    rig.knob->mouse(context, where, kLButton | kApple);
    EXPECT_EQ(rig.listener.modifierClicks, (std::vector<long>{kLButton | kApple}));
    EXPECT_TRUE(rig.editor.hostOpcodes.empty());
    rig.knob->setMouseEnabled(false);
    rig.knob->mouse(context, where, kLButton);
    EXPECT_TRUE(rig.editor.hostOpcodes.empty());
    context->forget();
}

TEST(AnimKnob, ShowsThePictureOfItsValue) {
    CBitmap* strip = makeNumberedStrip(64, 64, 281);
    KnobRig rig(0.f, strip);
    EXPECT_EQ(rig.knob->getNumSubPixmaps(), 281);
    const struct {
        float value;
        int frame;
    } cases[] = {
        {0.f, 0},     {0.5f, 140},
        {1.f, 280},   {0.999f, 279},
        {0.25f, 70},  {0.0036f, 1},
        {0.0035f, 0}, {-0.2f, 0},
        {1.7f, 280},  {std::numeric_limits<float>::quiet_NaN(), 0},
    };
    for (const auto& c : cases) {
        rig.knob->setValue(c.value);
        rig.frame.idle();
        // The whole picture is that frame's: top, centre and bottom rows.
        EXPECT_EQ(frameIndexOf(pixelAt(rig.frame, 100, 50)), c.frame) << c.value;
        EXPECT_EQ(frameIndexOf(pixelAt(rig.frame, 132, 82)), c.frame) << c.value;
        EXPECT_EQ(frameIndexOf(pixelAt(rig.frame, 163, 113)), c.frame) << c.value;
        EXPECT_FALSE(rig.knob->isDirty()) << c.value;
    }
    strip->forget();
}

TEST(AnimKnob, FrameCountComesFromTheStripWhenThereIsOne) {
    CBitmap* strip = makeNumberedStrip(64, 64, 5);
    CAnimKnob withStrip(CRect(0, 0, 64, 64), nullptr, 0, 99, 64, strip);
    EXPECT_EQ(withStrip.getNumSubPixmaps(), 5);
    CAnimKnob without(CRect(0, 0, 64, 64), nullptr, 0, 99, 64, nullptr);
    EXPECT_EQ(without.getNumSubPixmaps(), 99);
    withStrip.setNumSubPixmaps(10);
    withStrip.autoComputeHeightOfOneImage();
    EXPECT_EQ(withStrip.getHeightOfOneImage(), 32);
    EXPECT_EQ(strip->getNbReference(), 2);
    strip->forget();
}
