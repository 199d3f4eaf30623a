// SPDX-License-Identifier: GPL-3.0-or-later
// A frame inside a real X11 window: a private Xvfb server, a parent window standing in
// for the host's, real pointer events sent with XTest, and the frame idled the way hosts
// do it (every 30 ms). The knob's value, its listener and the window's pixels must follow.
#include "ToolkitFakes.h"
#include "XvfbServer.h"

#include "toolkit/CAnimKnob.h"
#include "toolkit/X11Window.h"

#include <gtest/gtest.h>

// After the test framework: Xlib's macros (None, Bool) would clash with its names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include "WindowPixels.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

using namespace VSTGUI;

namespace {

int testHandler(Display*, XErrorEvent*) {
    return 0;
}

class X11Frame : public ::testing::Test {
protected:
    void SetUp() override {
        if (!onPath("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
        server = std::make_unique<XvfbServer>();
        ASSERT_FALSE(server->name().empty()) << "Xvfb did not start";
        displayVariable = std::make_unique<ScopedDisplayVariable>(server->name());
        trap = std::make_unique<kiv::test::XErrorTrap>();
        host = XOpenDisplay(server->name().c_str());
        ASSERT_NE(host, nullptr);
        int event = 0, error = 0, major = 0, minor = 0;
        ASSERT_TRUE(XTestQueryExtension(host, &event, &error, &major, &minor));
        // The host's window, at the screen's corner so that its pixels are root pixels.
        parent = XCreateSimpleWindow(host, DefaultRootWindow(host), 0, 0, 400, 300, 0, 0, 0x303030);
        XMapWindow(host, parent);
        XSync(host, False);
    }
    void TearDown() override {
        if (host) {
            XDestroyWindow(host, parent);
            XCloseDisplay(host);
        }
        trap.reset();
        displayVariable.reset();
        server.reset();
    }

    // Idles the frame every 30 ms until the condition holds or 5 seconds have passed.
    bool idleUntil(CFrame& frame, const std::function<bool()>& condition) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < deadline) {
            frame.idle();
            if (condition()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
        return false;
    }
    // One pixel of the frame's window (200 x 100), as 0xRRGGBB.
    unsigned long pixel(Window window, int x, int y) {
        const std::vector<std::uint32_t> one =
            windowPixels(host, window, {200, 100}, x, y, x + 1, y + 1);
        return one.empty() ? ~0ul : one[0];
    }
    static unsigned long rgb(const CColor& c) {
        return (unsigned long)c.red << 16 | (unsigned long)c.green << 8 | c.blue;
    }
    void pointerTo(int x, int y) {
        XTestFakeMotionEvent(host, DefaultScreen(host), x, y, 0);
        XFlush(host);
    }
    void button(unsigned int which, bool down) {
        XTestFakeButtonEvent(host, which, down, 0);
        XFlush(host);
    }
    int childCount() {
        Window root = 0, up = 0, *children = nullptr;
        unsigned int count = 0;
        XQueryTree(host, parent, &root, &up, &children, &count);
        if (children) XFree(children);
        return int(count);
    }

    std::unique_ptr<XvfbServer> server;
    std::unique_ptr<ScopedDisplayVariable> displayVariable;
    std::unique_ptr<kiv::test::XErrorTrap> trap;
    Display* host = nullptr;
    Window parent = 0;
};

} // namespace

TEST_F(X11Frame, KnobFollowsRealPointerEventsAndTheWindowShowsIt) {
    FakeEditor editor;
    RecordingListener listener;
    XSetErrorHandler(testHandler);
    auto frame =
        std::make_unique<CFrame>(CRect(0, 0, 200, 100), reinterpret_cast<void*>(parent), &editor);
    EXPECT_EQ(XSetErrorHandler(testHandler), testHandler) << "the error handler was replaced";
    ASSERT_TRUE(frame->isWindowed());
    const Window child = frame->getWindowId();

    // One plain child of the host's window at (0, 0), with the editor's fixed size.
    EXPECT_EQ(childCount(), 1);
    XWindowAttributes attributes{};
    XGetWindowAttributes(host, child, &attributes);
    EXPECT_EQ(attributes.x, 0);
    EXPECT_EQ(attributes.y, 0);
    EXPECT_EQ(attributes.width, 200);
    EXPECT_EQ(attributes.height, 100);
    XSizeHints hints{};
    long supplied = 0;
    ASSERT_TRUE(XGetWMNormalHints(host, child, &hints, &supplied));
    EXPECT_TRUE(hints.flags & PMinSize);
    EXPECT_TRUE(hints.flags & PMaxSize);
    EXPECT_EQ(hints.min_width, 200);
    EXPECT_EQ(hints.max_height, 100);

    CBitmap* strip = makeNumberedStrip(64, 64, 281);
    auto* knob = new CAnimKnob(CRect(20, 10, 84, 74), &listener, 4, 281, 64, strip);
    strip->forget();
    knob->setValue(0.2f);
    frame->addView(knob);

    // The window shows the knob's picture (frame 56 for 0.2) once idled.
    ASSERT_TRUE(idleUntil(*frame, [&] { return pixel(child, 52, 42) == rgb(stripColour(56)); }));
    const long drawn = frame->getDrawCount();
    // The frame's own picture, which snapshots are made of, shows the same.
    EXPECT_EQ(frameIndexOf(pixelAt(*frame, 52, 42)), 56);

    // Press at the top of the knob: circular mode takes the value there, 0.5.
    pointerTo(52, 10);
    button(1, true);
    ASSERT_TRUE(idleUntil(*frame, [&] { return !listener.values.empty(); }));
    EXPECT_NEAR(knob->getValue(), 0.5f, 1e-6);
    // Drag to the right edge: pointing right, 0.8333.
    pointerTo(84, 42);
    ASSERT_TRUE(idleUntil(*frame, [&] { return knob->getValue() > 0.8f; }));
    EXPECT_NEAR(knob->getValue(), 0.8333333f, 1e-6);
    button(1, false);
    ASSERT_TRUE(idleUntil(*frame, [&] { return editor.hostOpcodes.size() == 2; }));
    EXPECT_EQ(editor.hostOpcodes, (std::vector<int>{43, 44}));
    EXPECT_NEAR(listener.values.back(), 0.8333333f, 1e-6);
    EXPECT_GT(frame->getDrawCount(), drawn);
    EXPECT_TRUE(idleUntil(*frame, [&] { return pixel(child, 52, 42) == rgb(stripColour(233)); }));

    // The wheel (button 4) steps the value up by 0.1.
    listener.values.clear();
    button(4, true);
    button(4, false);
    ASSERT_TRUE(idleUntil(*frame, [&] { return !listener.values.empty(); }));
    EXPECT_NEAR(knob->getValue(), 0.9333333f, 1e-6);

    // Nothing changes: idling draws nothing.
    for (int i = 0; i < 10; ++i) {
        frame->idle();
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    const long settled = frame->getDrawCount();
    for (int i = 0; i < 5; ++i) frame->idle();
    EXPECT_EQ(frame->getDrawCount(), settled);

    // Closing destroys the window before the frame is gone.
    frame.reset();
    XSync(host, False);
    EXPECT_EQ(childCount(), 0);
    EXPECT_EQ(XSetErrorHandler(&kiv::test::recordXError), testHandler);
}

TEST_F(X11Frame, AParentThatDoesNotExistLeavesAFrameInMemoryAndTheHostAlive) {
    XSetErrorHandler(testHandler);
    CFrame frame(CRect(0, 0, 50, 50), reinterpret_cast<void*>(0x3fffff0ul), nullptr);
    EXPECT_FALSE(frame.isWindowed());
    EXPECT_EQ(XSetErrorHandler(&kiv::test::recordXError), testHandler);
    frame.idle();
}

TEST(X11Window, XlibButtonAndModifierStatesBecomeTheToolkitsBits) {
    const struct {
        unsigned int state;
        long buttons;
    } cases[] = {
        {0, 0},
        {Button1Mask, 0x02},
        {Button2Mask, 0x04},
        {Button3Mask, 0x08},
        {ShiftMask, 0x10},
        {ControlMask, 0x20},
        {Mod1Mask, 0x40},
        {Mod4Mask, 0x80},
        {Button1Mask | ControlMask, 0x22},
        {LockMask | Mod2Mask | Button4Mask, 0}, // caps and num lock, wheel: no bits
    };
    for (const auto& c : cases)
        EXPECT_EQ(X11Window::buttonsFromState(c.state), c.buttons) << std::hex << c.state;
}
