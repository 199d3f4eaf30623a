// SPDX-License-Identifier: GPL-3.0-or-later
// Each plug-in's editor inside a real X11 window, reached only as a host reaches it: the
// bundle loaded through the test host, a top-level window of our own on a private Xvfb
// server handed over with effEditOpen, effEditIdle every 30 ms, and real pointer and key
// events sent with XTest. A screenshot of each window is left in the build tree.
#include "XvfbServer.h"

#include "host/VstOpcodes.h"
#include "tools/vsthost/VstHost.h"

#include <gtest/gtest.h>

// After the test framework: Xlib's macros would clash with its names.
#include "WindowPixels.h"
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <cairo.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using kiv::vsthost::HostCall;
using kiv::vsthost::PluginInstance;
using kiv::vsthost::PluginLibrary;

namespace {

struct Bundle {
    const char* path;
    const char* screenshot;
};

// "RegularDecoder" for .../RegularDecoder.vst.
std::string bundleName(const Bundle& bundle) {
    const std::string path = bundle.path;
    const std::size_t slash = path.rfind('/') + 1;
    return path.substr(slash, path.rfind(".vst") - slash);
}

void PrintTo(const Bundle& bundle, std::ostream* out) {
    *out << bundleName(bundle);
}

class EditorInHostWindow : public ::testing::TestWithParam<Bundle> {
protected:
    void SetUp() override {
        if (!onPath("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
        server = std::make_unique<XvfbServer>();
        ASSERT_FALSE(server->name().empty()) << "Xvfb did not start";
        display = std::make_unique<ScopedDisplayVariable>(server->name());
        trap = std::make_unique<kiv::test::XErrorTrap>();
        x = XOpenDisplay(server->name().c_str());
        ASSERT_NE(x, nullptr);
        int event = 0, error = 0, major = 0, minor = 0;
        ASSERT_TRUE(XTestQueryExtension(x, &event, &error, &major, &minor));

        std::string why;
        library = PluginLibrary::open(GetParam().path, why);
        ASSERT_TRUE(library) << why;
        plugin = PluginInstance::create(*library, why);
        ASSERT_TRUE(plugin) << why;
        plugin->start(48000.0f, 512);

        ERect rect{};
        ASSERT_TRUE(plugin->editorRect(rect));
        width = rect.right - rect.left;
        height = rect.bottom - rect.top;
        // The host's window, at the screen's corner: window pixels are screen pixels.
        parent = XCreateSimpleWindow(x, DefaultRootWindow(x), 0, 0, width, height, 0, 0, 0);
        XMapWindow(x, parent);
        XSync(x, False);
        ASSERT_EQ(plugin->dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(parent)), 1);
        idleFor(200);
    }
    void TearDown() override {
        if (plugin) {
            plugin->dispatch(effEditClose);
            plugin.reset();
        }
        library.reset();
        if (x) {
            XDestroyWindow(x, parent);
            XCloseDisplay(x);
        }
        trap.reset();
        display.reset();
        server.reset();
    }

    void idleFor(int milliseconds) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (std::chrono::steady_clock::now() < end) {
            plugin->dispatch(effEditIdle);
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
        plugin->dispatch(effEditIdle);
    }
    bool idleUntil(const std::function<bool()>& condition) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < deadline) {
            plugin->dispatch(effEditIdle);
            if (condition()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
        return false;
    }
    void pointerTo(int px, int py) {
        XTestFakeMotionEvent(x, DefaultScreen(x), px, py, 0);
        XFlush(x);
        idleFor(60);
    }
    void button(bool down) {
        XTestFakeButtonEvent(x, 1, down, 0);
        XFlush(x);
        idleFor(60);
    }
    void controlKey(bool down) {
        XTestFakeKeyEvent(x, XKeysymToKeycode(x, XK_Control_L), down, 0);
        XFlush(x);
    }
    std::vector<VstInt32> opcodes() {
        std::vector<VstInt32> result;
        for (const HostCall& call : plugin->hostCalls())
            if (call.opcode != audioMasterIdle) result.push_back(call.opcode);
        return result;
    }
    // The window's pixels in a rectangle, as 0xRRGGBB values.
    std::vector<std::uint32_t> pixels(int left, int top, int right, int bottom) {
        return windowPixels(x, parent, {width, height}, left, top, right, bottom);
    }
    void writeScreenshot(const std::string& path) {
        const std::vector<std::uint32_t> all = pixels(0, 0, width, height);
        ASSERT_EQ(all.size(), std::size_t(width) * height);
        cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
        auto* data = cairo_image_surface_get_data(image);
        const int stride = cairo_image_surface_get_stride(image);
        for (int py = 0; py < height; ++py)
            for (int px = 0; px < width; ++px)
                reinterpret_cast<std::uint32_t*>(data + py * stride)[px] =
                    std::uint32_t(all[std::size_t(py) * width + px]);
        cairo_surface_mark_dirty(image);
        EXPECT_EQ(cairo_surface_write_to_png(image, path.c_str()), CAIRO_STATUS_SUCCESS);
        cairo_surface_destroy(image);
    }

    std::unique_ptr<XvfbServer> server;
    std::unique_ptr<ScopedDisplayVariable> display;
    std::unique_ptr<kiv::test::XErrorTrap> trap;
    Display* x = nullptr;
    Window parent = 0;
    int width = 0;
    int height = 0;
    std::unique_ptr<PluginLibrary> library;
    std::unique_ptr<PluginInstance> plugin;
};

TEST_P(EditorInHostWindow, DragsClicksAndControlClicksReachTheHost) {
    // The editor is the first child of the host's window, at its full size.
    Window root = 0, up = 0, *children = nullptr;
    unsigned int count = 0;
    XQueryTree(x, parent, &root, &up, &children, &count);
    ASSERT_EQ(count, 1u);
    XWindowAttributes attributes{};
    XGetWindowAttributes(x, children[0], &attributes);
    XFree(children);
    EXPECT_EQ(attributes.width, width);
    EXPECT_EQ(attributes.height, height);
    EXPECT_EQ(attributes.map_state, IsViewable);

    // A circular drag on the cut-off knob (centre 69, 196) from lower left to the top.
    const float cutoffBefore = plugin->getParameter(2);
    plugin->clearHostCalls();
    pointerTo(48, 217);
    button(true);
    pointerTo(60, 180);
    pointerTo(69, 168);
    button(false);
    ASSERT_TRUE(idleUntil([&] { return !opcodes().empty() && opcodes().back() == 44; }));
    const float cutoff = plugin->getParameter(2);
    EXPECT_NE(cutoff, cutoffBefore);
    EXPECT_NEAR(cutoff, 0.5f, 0.05f);
    const std::vector<HostCall> calls = plugin->hostCalls();
    std::vector<HostCall> edits;
    for (const HostCall& call : calls)
        if (call.opcode != audioMasterIdle) edits.push_back(call);
    ASSERT_GE(edits.size(), 3u);
    EXPECT_EQ(edits.front().opcode, audioMasterBeginEdit);
    EXPECT_EQ(edits.front().index, 2);
    EXPECT_EQ(edits.back().opcode, audioMasterEndEdit);
    for (std::size_t k = 1; k + 1 < edits.size(); ++k) {
        EXPECT_EQ(edits[k].opcode, audioMasterAutomate);
        EXPECT_EQ(edits[k].index, 2);
    }
    EXPECT_EQ(edits[edits.size() - 2].opt, cutoff) << "the last automation is the value kept";

    // The 7-position switch (x 227..323): the third position, and display 3 redraws.
    const std::vector<std::uint32_t> nameBefore = pixels(215, 206, 335, 226);
    pointerTo(257, 238);
    button(true);
    button(false);
    ASSERT_TRUE(idleUntil([&] { return plugin->getParameter(3) == 2.0f / 6.0f; }));
    idleFor(100);
    EXPECT_NE(pixels(215, 206, 335, 226), nameBefore) << "display 3 shows the new name";

    // Control-click on the low-frequency pattern knob: its default value, 0.5.
    plugin->setParameter(0, 0.8f);
    idleFor(100);
    plugin->clearHostCalls();
    pointerTo(69, 35);
    controlKey(true);
    button(true);
    button(false);
    controlKey(false);
    ASSERT_TRUE(idleUntil([&] { return plugin->getParameter(0) == 0.5f; }));
    EXPECT_EQ(opcodes(), (std::vector<VstInt32>{43, 43, 0, 44, 44}));

    writeScreenshot(GetParam().screenshot);
}

TEST_P(EditorInHostWindow, HostChangesRedrawAndCloseRemovesTheWindow) {
    const std::vector<std::uint32_t> before = pixels(0, 0, width, height);
    plugin->dispatch(effSetProgram, 0, 3);
    idleFor(150);
    EXPECT_NE(pixels(0, 0, width, height), before);
    // Idle with nothing changing leaves the window as it is.
    const std::vector<std::uint32_t> settled = pixels(0, 0, width, height);
    idleFor(150);
    EXPECT_EQ(pixels(0, 0, width, height), settled);

    plugin->dispatch(effEditClose);
    Window root = 0, up = 0, *children = nullptr;
    unsigned int count = 0;
    XQueryTree(x, parent, &root, &up, &children, &count);
    if (children) XFree(children);
    EXPECT_EQ(count, 0u);
    // Idle after close, and a new open in the same window, are both fine.
    plugin->dispatch(effEditIdle);
    ASSERT_EQ(plugin->dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(parent)), 1);
    idleFor(100);
}

INSTANTIATE_TEST_SUITE_P(
    Bundles, EditorInHostWindow,
    ::testing::Values(Bundle{KIV_REGULAR_BUNDLE, KIV_SCREENSHOT_DIR "/RegularDecoder-window.png"},
                      Bundle{KIV_IRREGULAR_BUNDLE,
                             KIV_SCREENSHOT_DIR "/IrregularDecoder-window.png"}),
    [](const ::testing::TestParamInfo<Bundle>& info) { return bundleName(info.param); });

} // namespace
