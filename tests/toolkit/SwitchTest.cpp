// SPDX-License-Identifier: GPL-3.0-or-later
// The multi-position switch: the picture shown for a value, the position picked by a
// click or drag, the default-value click, and presses it does not take.
#include "ToolkitFakes.h"

#include "toolkit/CHorizontalSwitch.h"

#include <gtest/gtest.h>

#include <limits>

using namespace VSTGUI;

namespace {

// A switch at left edge 227 with a numbered strip of the given width, drawn once.
struct SwitchRig {
    FakeEditor editor;
    RecordingListener listener;
    CFrame frame{CRect(0, 0, 400, 100), nullptr, &editor};
    CHorizontalSwitch* control;
    static constexpr int kLeft = 227;

    SwitchRig(int positions, int stripWidth, float start = 0.f, bool withStrip = true) {
        CBitmap* strip = withStrip ? makeNumberedStrip(stripWidth, 24, positions) : nullptr;
        control = new CHorizontalSwitch(CRect(kLeft, 26, kLeft + stripWidth, 50), &listener, 6,
                                        positions, 24, positions, strip);
        if (strip) strip->forget();
        control->setValue(start);
        frame.addView(control);
        frame.idle();
    }
    float clickAt(int dx, long buttons = kLButton) {
        frame.onMouseDown(kLeft + dx, 30, buttons);
        frame.onMouseUp(kLeft + dx, 30, 0);
        return control->getValue();
    }
};

} // namespace

TEST(HorizontalSwitch, PictureForValue) {
    const struct {
        int positions;
        float value;
        int picture;
    } cases[] = {
        {3, 0.f, 0},     {3, 0.5f, 1},
        {3, 0.74f, 1},   {3, 0.76f, 2},
        {3, 1.f, 2},     {7, 0.f, 0},
        {7, 2 / 6.f, 2}, {7, 0.5f, 3},
        {7, 1.f, 6},     {7, 0.24f, 1},
        {7, 0.25f, 2},   {7, -0.5f, 0},
        {7, 1.5f, 6},    {7, std::numeric_limits<float>::quiet_NaN(), 0},
    };
    for (const auto& c : cases) {
        SwitchRig rig(c.positions, 96, c.value);
        EXPECT_EQ(rig.control->pictureIndexFor(c.value), c.picture)
            << c.positions << " " << c.value;
        EXPECT_EQ(frameIndexOf(pixelAt(rig.frame, SwitchRig::kLeft + 50, 40)), c.picture)
            << c.positions << " " << c.value;
        EXPECT_FALSE(rig.control->isDirty());
    }
}

TEST(HorizontalSwitch, ClickPicksThePositionUnderThePointer) {
    const struct {
        int positions;
        int width;
        int dx;
        float value;
    } cases[] = {
        {7, 96, 0, 0.f},      {7, 96, 95, 1.f},  {7, 96, 42, 3 / 6.f},
        {7, 96, 30, 2 / 6.f}, {7, 96, 13, 0.f},  {7, 96, 14, 1 / 6.f},
        {3, 48, 15, 0.f},     {3, 48, 16, 0.5f}, {3, 48, 47, 1.f},
    };
    for (const auto& c : cases) {
        SwitchRig rig(c.positions, c.width, 0.7f);
        EXPECT_FLOAT_EQ(rig.clickAt(c.dx), c.value) << c.positions << " at " << c.dx;
        EXPECT_DOUBLE_EQ(rig.control->getPixelsPerPosition(), double(c.width) / c.positions);
        EXPECT_EQ(rig.editor.hostOpcodes, (std::vector<int>{43, 44}));
        ASSERT_EQ(rig.listener.values.size(), 1u);
        EXPECT_FLOAT_EQ(rig.listener.values[0], c.value);
    }
}

TEST(HorizontalSwitch, DraggingBeyondTheEdgesClamps) {
    SwitchRig rig(7, 96, 0.5f);
    rig.frame.onMouseDown(SwitchRig::kLeft + 50, 30, kLButton);
    rig.frame.onMouseMoved(SwitchRig::kLeft - 10, 30, kLButton);
    EXPECT_FLOAT_EQ(rig.control->getValue(), 0.f);
    rig.frame.onMouseMoved(SwitchRig::kLeft + 300, 30, kLButton);
    EXPECT_FLOAT_EQ(rig.control->getValue(), 1.f);
    rig.frame.onMouseMoved(SwitchRig::kLeft + 50, 30, kLButton); // back to what is drawn
    EXPECT_FLOAT_EQ(rig.control->getValue(), 0.5f);
    rig.frame.onMouseMoved(SwitchRig::kLeft + 10, 30, 0); // button up: ignored
    rig.frame.onMouseUp(SwitchRig::kLeft + 10, 30, 0);
    EXPECT_FLOAT_EQ(rig.control->getValue(), 0.5f);
    // The press itself lands on position 3, the value it had: nothing to report.
    EXPECT_EQ(rig.listener.values, (std::vector<float>{0.f, 1.f, 0.5f}));
    EXPECT_EQ(rig.editor.hostOpcodes, (std::vector<int>{43, 44}));
}

TEST(HorizontalSwitch, ControlClickSelectsTheDefault) {
    for (int positions : {3, 7}) {
        for (float start : {0.f, 0.5f}) {
            SwitchRig rig(positions, positions == 3 ? 48 : 96, start);
            EXPECT_FLOAT_EQ(rig.clickAt(2, kLButton | kControl), 0.5f);
            EXPECT_EQ(rig.editor.hostOpcodes, (std::vector<int>{43, 43, 44, 44}));
            EXPECT_EQ(rig.listener.values.size(), start == 0.5f ? 0u : 1u);
            rig.frame.idle();
            EXPECT_EQ(frameIndexOf(pixelAt(rig.frame, SwitchRig::kLeft + 20, 40)),
                      positions == 3 ? 1 : 3);
        }
    }
}

TEST(HorizontalSwitch, OnlyTheLeftButtonCountsAndTheWheelDoesNothing) {
    SwitchRig rig(7, 96, 0.5f);
    EXPECT_FLOAT_EQ(rig.clickAt(5, kRButton), 0.5f);
    EXPECT_FLOAT_EQ(rig.clickAt(5, kMButton), 0.5f);
    EXPECT_FALSE(rig.frame.onWheel(SwitchRig::kLeft + 5, 30, 1, 0));
    EXPECT_FLOAT_EQ(rig.control->getValue(), 0.5f);
    EXPECT_TRUE(rig.editor.hostOpcodes.empty());
    EXPECT_TRUE(rig.listener.values.empty());
}

TEST(HorizontalSwitch, WithoutAPictureTheControlsWidthSetsThePositions) {
    SwitchRig rig(7, 96, 0.f, false);
    EXPECT_FLOAT_EQ(rig.clickAt(42), 3 / 6.f);
    EXPECT_DOUBLE_EQ(rig.control->getPixelsPerPosition(), 96 / 7.0);
    // One position only: always the first, never a division by zero.
    CHorizontalSwitch single(CRect(0, 0, 20, 20), nullptr, 0, 1, 24, 1, nullptr);
    CPoint where(15, 5);
    single.setValue(0.4f);
    single.onMouseDown(where, kLButton);
    EXPECT_FLOAT_EQ(single.getValue(), 0.f);
    EXPECT_EQ(single.pictureIndexFor(0.9f), 0);
}
