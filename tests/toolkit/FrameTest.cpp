// SPDX-License-Identifier: GPL-3.0-or-later
// The frame: drawing order and drawing only what changed, ownership of its views,
// where mouse, wheel and key events go, the editor link, and its picture as PNG.
#include "ToolkitFakes.h"

#include "toolkit/CAnimKnob.h"
#include "toolkit/ScriptedPointer.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

using namespace VSTGUI;

namespace {

// A view that fills its rectangle with one colour and records what reaches it.
struct Patch : CView {
    Patch(const CRect& r, CColor c, int* destroyed = nullptr)
        : CView(r), colour(c), destroyed(destroyed) {}
    ~Patch() override {
        if (destroyed) ++*destroyed;
    }
    void draw(CDrawContext* context) override {
        ++draws;
        context->setFillColor(colour);
        // Deliberately larger than the view: the frame's repaint area must still hold.
        CRect all = size;
        all.offset(-2, -2);
        all.right += 4;
        all.bottom += 4;
        context->setClipRect(all);
        context->fillRect(all);
        setDirty(false);
    }
    CMouseEventResult onMouseDown(CPoint& where, long buttons) override {
        events.push_back("down " + std::to_string(where.h) + "," + std::to_string(buttons));
        return downAnswer;
    }
    CMouseEventResult onMouseMoved(CPoint& where, long) override {
        events.push_back("moved " + std::to_string(where.h));
        return kMouseEventHandled;
    }
    CMouseEventResult onMouseUp(CPoint& where, long) override {
        events.push_back("up " + std::to_string(where.h));
        return kMouseEventHandled;
    }
    bool onWheel(const CPoint&, float distance, long) override {
        events.push_back("wheel " + std::to_string(int(distance)));
        return wheelAnswer;
    }
    long onKeyDown(VstKeyCode& key) override {
        events.push_back("key " + std::to_string(key.virt));
        return keyAnswer;
    }
    void mouse(CDrawContext* context, CPoint& where, long buttons) override {
        events.push_back("modal " + std::to_string(where.h) + "," + std::to_string(buttons));
        modalButtons = context->getMouseButtons();
    }

    CColor colour;
    int* destroyed;
    int draws = 0;
    std::vector<std::string> events;
    CMouseEventResult downAnswer = kMouseEventHandled;
    bool wheelAnswer = true;
    long keyAnswer = 1;
    long modalButtons = 0;
};

const CColor kRed{255, 0, 0, 255};
const CColor kGreen{0, 255, 0, 255};
const CColor kBlue{0, 0, 255, 255};
const CColor kGrey{90, 90, 90, 255};

struct Snapshot {
    std::vector<CColor> pixels;
    explicit Snapshot(const CFrame& frame) {
        for (int y = 0; y < frame.getSize().height(); ++y)
            for (int x = 0; x < frame.getSize().width(); ++x)
                pixels.push_back(pixelAt(frame, x, y));
    }
    bool operator==(const Snapshot& o) const { return pixels == o.pixels; }
};

} // namespace

TEST(Frame, DrawsBackgroundThenViewsInTheOrderAdded) {
    CFrame frame(CRect(0, 0, 60, 40), nullptr, nullptr);
    frame.setBackgroundColor(kGrey);
    auto* lower = new Patch(CRect(10, 10, 30, 30), kRed);
    auto* upper = new Patch(CRect(20, 20, 40, 35), kGreen);
    frame.addView(lower);
    frame.addView(upper);
    frame.idle();
    EXPECT_EQ(pixelAt(frame, 5, 5), kGrey);
    EXPECT_EQ(pixelAt(frame, 15, 15), kRed);
    EXPECT_EQ(pixelAt(frame, 25, 25), kGreen); // the later view lies on top
    EXPECT_EQ(pixelAt(frame, 35, 33), kGreen);

    // Redrawing the lower view alone keeps the upper one on top of it, and the lower
    // view's oversized fill is held to the area being repainted: just outside it, the
    // spill of the first drawing stays as it was.
    EXPECT_EQ(pixelAt(frame, 9, 9), kRed);
    lower->colour = kBlue;
    lower->invalid();
    frame.idle();
    EXPECT_EQ(pixelAt(frame, 15, 15), kBlue);
    EXPECT_EQ(pixelAt(frame, 25, 25), kGreen);
    EXPECT_EQ(pixelAt(frame, 9, 9), kRed);
    EXPECT_EQ(upper->draws, 2);
}

TEST(Frame, IdleWithNothingChangedDrawsNothing) {
    RecordingListener listener;
    CFrame frame(CRect(0, 0, 200, 100), nullptr, nullptr);
    CBitmap* background = new CBitmap(131);
    frame.setBackground(background);
    background->forget();
    CBitmap* strip = makeNumberedStrip(64, 64, 5);
    auto* knob = new CAnimKnob(CRect(0, 0, 64, 64), &listener, 0, 5, 64, strip);
    auto* other = new CAnimKnob(CRect(100, 0, 164, 64), &listener, 1, 5, 64, strip);
    auto* patch = new Patch(CRect(70, 70, 90, 90), kRed);
    strip->forget();
    frame.addView(knob);
    frame.addView(other);
    frame.addView(patch);

    frame.idle();
    const long first = frame.getDrawCount();
    EXPECT_EQ(first, 4); // background and three views
    const Snapshot before(frame);
    for (int i = 0; i < 5; ++i) frame.idle();
    EXPECT_EQ(frame.getDrawCount(), first);
    EXPECT_TRUE(Snapshot(frame) == before);

    // One value changes: its knob and the background under it, nothing else.
    knob->setValue(1.f);
    frame.idle();
    EXPECT_EQ(frame.getDrawCount(), first + 2);
    EXPECT_EQ(patch->draws, 1);
    EXPECT_EQ(frameIndexOf(pixelAt(frame, 32, 32)), 4);
    frame.idle();
    EXPECT_EQ(frame.getDrawCount(), first + 2);

    // Setting the same value again changes nothing either.
    knob->setValue(1.f);
    frame.idle();
    EXPECT_EQ(frame.getDrawCount(), first + 2);

    // A hidden view leaves the frame's background behind and is not drawn any more.
    patch->setVisible(false);
    frame.idle();
    EXPECT_EQ(patch->draws, 1);
    frame.idle();
    const long settled = frame.getDrawCount();
    frame.idle();
    EXPECT_EQ(frame.getDrawCount(), settled);
}

TEST(Frame, OwnsItsViewsAndBackgroundAndReleasesThem) {
    int destroyed = 0;
    CBitmap* background = new CBitmap(20, 20);
    auto* kept = new Patch(CRect(0, 0, 5, 5), kRed, &destroyed);
    {
        CFrame frame(CRect(0, 0, 20, 20), nullptr, nullptr);
        frame.setBackground(background);
        EXPECT_EQ(background->getNbReference(), 2);
        frame.addView(new Patch(CRect(0, 0, 5, 5), kRed, &destroyed));
        frame.addView(new Patch(CRect(5, 5, 9, 9), kRed, &destroyed));
        frame.addView(kept);
        kept->remember(); // someone else holds on to one of them
        EXPECT_FALSE(frame.addView(kept));
        EXPECT_EQ(kept->getFrame(), &frame);
        EXPECT_EQ(frame.getNbViews(), 3);

        auto* removed = new Patch(CRect(0, 0, 5, 5), kRed, &destroyed);
        frame.addView(removed);
        EXPECT_TRUE(frame.removeView(removed));
        EXPECT_EQ(destroyed, 1);
        EXPECT_FALSE(frame.removeView(removed));
    }
    EXPECT_EQ(destroyed, 3);
    EXPECT_EQ(background->getNbReference(), 1);
    EXPECT_EQ(kept->getNbReference(), 1);
    EXPECT_EQ(kept->getFrame(), nullptr);
    kept->forget();
    background->forget();
    EXPECT_EQ(destroyed, 4);
}

TEST(Frame, PressGoesToTheTopmostEnabledViewWhichKeepsTheGestureUntilRelease) {
    CFrame frame(CRect(0, 0, 100, 50), nullptr, nullptr);
    auto* lower = new Patch(CRect(0, 0, 60, 50), kRed);
    auto* upper = new Patch(CRect(40, 0, 100, 50), kGreen);
    frame.addView(lower);
    frame.addView(upper);

    frame.onMouseDown(50, 10, kLButton);
    frame.onMouseMoved(10, 10, kLButton); // outside the view: still its gesture
    frame.onMouseDown(20, 10, kRButton);  // a second button belongs to the same gesture
    frame.onMouseUp(12, 10, 0);
    frame.onMouseMoved(55, 10, 0); // no gesture: nobody hears of it
    EXPECT_EQ(upper->events, (std::vector<std::string>{"down 50,2", "moved 10", "up 12"}));
    EXPECT_TRUE(lower->events.empty());
    EXPECT_EQ(frame.getMouseDownView(), nullptr);

    upper->setMouseEnabled(false);
    frame.onMouseDown(50, 10, kLButton);
    frame.onMouseUp(50, 10, 0);
    upper->setMouseEnabled(true);
    upper->setVisible(false);
    frame.onMouseDown(51, 10, kLButton);
    frame.onMouseUp(51, 10, 0);
    EXPECT_EQ(lower->events,
              (std::vector<std::string>{"down 50,2", "up 50", "down 51,2", "up 51"}));

    // A press that is not handled, or handled in full, starts no gesture.
    lower->events.clear();
    lower->downAnswer = kMouseEventNotHandled;
    frame.onMouseDown(5, 5, kRButton);
    frame.onMouseMoved(6, 5, kRButton);
    lower->downAnswer = kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    frame.onMouseDown(7, 5, kLButton);
    frame.onMouseUp(7, 5, 0);
    EXPECT_EQ(lower->events, (std::vector<std::string>{"down 5,8", "down 7,2"}));
    // Nothing under the pointer at all.
    frame.onMouseDown(99, 49, kLButton);
}

TEST(Frame, ViewsWithoutEventHandlersTrackTheMouseModally) {
    ScriptedPointer pointer;
    CFrame frame(CRect(0, 0, 50, 50), nullptr, nullptr);
    frame.setPointerSource(&pointer);
    auto* view = new Patch(CRect(0, 0, 50, 50), kRed);
    view->downAnswer = kMouseEventNotImplemented;
    frame.addView(view);
    pointer.set(CPoint(3, 4), kLButton | kShift);
    frame.onMouseDown(3, 4, -1); // -1: the frame asks for the buttons
    EXPECT_EQ(view->events, (std::vector<std::string>{"down 3,18", "modal 3,18"}));
    EXPECT_EQ(view->modalButtons, kLButton | kShift);
    EXPECT_EQ(frame.getMouseDownView(), nullptr);
    int x = 0, y = 0;
    frame.getMouseLocation(x, y);
    EXPECT_EQ(x, 3);
    EXPECT_EQ(y, 4);
}

TEST(Frame, WheelGoesUnderThePointerThenToFocusKeysToFocusThenUnderThePointer) {
    CFrame frame(CRect(0, 0, 100, 50), nullptr, nullptr);
    auto* left = new Patch(CRect(0, 0, 50, 50), kRed);
    auto* right = new Patch(CRect(50, 0, 100, 50), kGreen);
    frame.addView(left);
    frame.addView(right);
    VstKeyCode key{0, 12, 0};

    EXPECT_EQ(frame.onKeyDown(key), 1); // no focus: the view under the last event (0, 0)
    EXPECT_EQ(left->events.back(), "key 12");
    frame.setFocusView(right);
    EXPECT_TRUE(frame.onWheel(10, 10, 1.f, 0));
    EXPECT_EQ(left->events.back(), "wheel 1");
    EXPECT_TRUE(right->events.empty());
    left->wheelAnswer = false;
    EXPECT_TRUE(frame.onWheel(10, 10, -1.f, 0));
    EXPECT_EQ(right->events.back(), "wheel -1");

    // Keys: focus first, then the view under the pointer (here: where the wheel was).
    EXPECT_EQ(frame.onKeyDown(key), 1);
    EXPECT_EQ(right->events.back(), "key 12");
    right->keyAnswer = -1;
    EXPECT_EQ(frame.onKeyDown(key), 1);
    EXPECT_EQ(left->events.back(), "key 12");
    left->keyAnswer = -1;
    EXPECT_EQ(frame.onKeyDown(key), -1);
    EXPECT_EQ(frame.onKeyUp(key), -1);

    // A removed view is no longer the focus.
    frame.removeView(right);
    EXPECT_EQ(frame.getFocusView(), nullptr);
}

TEST(Frame, EditsAndIdleReachTheEditorInterface) {
    FakeEditor editor;
    editor.knobMode = 2;
    RecordingListener listener;
    CFrame frame(CRect(0, 0, 64, 64), nullptr, &editor);
    auto* control = new CAnimKnob(CRect(0, 0, 64, 64), &listener, 5, 1, 64, nullptr);
    frame.addView(control);
    EXPECT_EQ(frame.getKnobMode(), 2);
    control->beginEdit();
    EXPECT_EQ(frame.getFocusView(), control);
    control->doIdleStuff();
    control->endEdit();
    EXPECT_EQ(editor.hostOpcodes, (std::vector<int>{43, 44}));
    EXPECT_EQ(editor.editTags, (std::vector<long>{5, 5}));
    EXPECT_EQ(editor.idleCalls, 1);
    EXPECT_EQ(listener.beginEdits, 1);
    EXPECT_EQ(listener.endEdits, 1);

    CFrame alone(CRect(0, 0, 10, 10), nullptr, nullptr);
    EXPECT_EQ(alone.getKnobMode(), 0);
    alone.beginEdit(1); // no editor: nothing to tell
    alone.doIdleStuff();
}

TEST(Frame, RedrawRectRepaintsNowAndReportsItsSize) {
    CFrame frame(CRect(10, 20, 90, 60), nullptr, nullptr); // only the size counts
    const ERect r = frame.getViewSize();
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.bottom, 40);
    EXPECT_EQ(r.right, 80);
    auto* patch = new Patch(CRect(0, 0, 20, 20), kRed);
    frame.addView(patch);
    frame.idle();
    patch->colour = kBlue;
    const ERect reversed{15, 15, 0, 0}; // top, left, bottom, right: normalised
    frame.redrawRect(&reversed);
    EXPECT_EQ(pixelAt(frame, 5, 5), kBlue);
    frame.redrawRect(nullptr);
    EXPECT_EQ(patch->draws, 3);
    const ERect outside{100, 100, 120, 120};
    frame.redrawRect(&outside);
    EXPECT_EQ(patch->draws, 3);
}

TEST(Frame, WritesItsPictureAsPng) {
    CFrame frame(CRect(0, 0, 30, 20), nullptr, nullptr);
    frame.setBackgroundColor(kGrey);
    frame.addView(new Patch(CRect(10, 5, 20, 15), kRed));
    const std::string path = ::testing::TempDir() + "/kiv-frame.png";
    ASSERT_TRUE(frame.writePng(path.c_str())); // draws what is pending first
    cairo_surface_t* png = cairo_image_surface_create_from_png(path.c_str());
    ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(png), 30);
    EXPECT_EQ(cairo_image_surface_get_height(png), 20);
    const unsigned char* data = cairo_image_surface_get_data(png);
    const int stride = cairo_image_surface_get_stride(png);
    const unsigned char* inside = data + 10 * stride + 15 * 4; // BGRA in memory
    EXPECT_EQ(inside[2], 255);
    EXPECT_EQ(inside[1], 0);
    const unsigned char* outside = data + 2 * stride + 2 * 4;
    EXPECT_EQ(outside[2], 90);
    cairo_surface_destroy(png);
    std::remove(path.c_str());
    EXPECT_FALSE(frame.writePng("/nonexistent-directory/x.png"));
    EXPECT_FALSE(frame.writePng(nullptr));
}

TEST(Frame, WithoutADisplayAWindowedFrameGoesOnInMemory) {
    const char* saved = std::getenv("DISPLAY");
    const std::string display = saved ? saved : "";
    setenv("DISPLAY", ":31999", 1); // no server there
    {
        CFrame frame(CRect(0, 0, 20, 20), reinterpret_cast<void*>(0x123), nullptr);
        EXPECT_FALSE(frame.isWindowed());
        frame.addView(new Patch(CRect(0, 0, 5, 5), kRed));
        frame.idle();
        frame.handleEventsFor(1);
        EXPECT_EQ(pixelAt(frame, 2, 2), kRed);
    }
    if (saved)
        setenv("DISPLAY", display.c_str(), 1);
    else
        unsetenv("DISPLAY");
}
