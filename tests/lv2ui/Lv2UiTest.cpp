// SPDX-License-Identifier: GPL-3.0-or-later
// Each bundle's LV2 UI reached only as an LV2 host reaches it: <Name>_ui.so opened with
// dlopen, lv2ui_descriptor(0) instantiated inside an X11 window of our own (ui:parent) on
// a private Xvfb server, with ui:touch, driven by port_event, the idle interface and real
// pointer events (XTest). What it writes and touches is recorded; its pixels are compared
// with the VST bundle's in-memory snapshot for the same values.
#include "XvfbServer.h"

#include "host/VstOpcodes.h"
#include "product/ProductDescription.h"
#include "tools/vsthost/VstHost.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <lv2/ui/ui.h>

// After the test framework: Xlib's macros would clash with its names.
#include "WindowPixels.h"
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <cairo.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

using kiv::vsthost::PluginInstance;
using kiv::vsthost::PluginLibrary;

namespace {

struct Bundle {
    const char* name;
    const char* vstBundle;
    const ProductDescription* product;
    uint32_t firstControlPort; // audio inputs + audio outputs
};

void PrintTo(const Bundle& bundle, std::ostream* out) {
    *out << bundle.name;
}

const Bundle kBundles[] = {
    {"RegularDecoder", KIV_REGULAR_BUNDLE, &kRegularDecoderProduct, 12},
    {"IrregularDecoder", KIV_IRREGULAR_BUNDLE, &kIrregularDecoderProduct, 8},
};

constexpr int kWidth = 560;
constexpr int kHeight = 260;

// What the UI asked of the host, in order: port writes and touches.
struct HostEvent {
    enum Kind { Write, TouchOn, TouchOff } kind;
    uint32_t port;
    float value; // Write
    uint32_t format;
    uint32_t size;
};

struct Recorder {
    std::vector<HostEvent> events;
};

void recordWrite(LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t format,
                 const void* buffer) {
    float value = 0.0f;
    if (size == sizeof value) std::memcpy(&value, buffer, sizeof value);
    static_cast<Recorder*>(controller)
        ->events.push_back({HostEvent::Write, port, value, format, size});
}

void recordTouch(LV2UI_Feature_Handle handle, uint32_t port, bool grabbed) {
    static_cast<Recorder*>(handle)->events.push_back(
        {grabbed ? HostEvent::TouchOn : HostEvent::TouchOff, port, 0.0f, 0, 0});
}

class Lv2UiInHostWindow : public ::testing::TestWithParam<Bundle> {
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

        const std::string path =
            std::string(KIV_LV2_DIR) + "/" + GetParam().name + ".lv2/" + GetParam().name + "_ui.so";
        library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
        auto entry = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(library, "lv2ui_descriptor"));
        ASSERT_NE(entry, nullptr);
        descriptor = entry(0);
        ASSERT_NE(descriptor, nullptr);
        idleInterface = static_cast<const LV2UI_Idle_Interface*>(
            descriptor->extension_data(LV2_UI__idleInterface));
        ASSERT_NE(idleInterface, nullptr);

        // The host's window, at the screen's corner: window pixels are screen pixels.
        parent = XCreateSimpleWindow(x, DefaultRootWindow(x), 0, 0, kWidth, kHeight, 0, 0, 0);
        XMapWindow(x, parent);
        XSync(x, False);
        parentFeature.data = reinterpret_cast<void*>(parent);
    }
    void TearDown() override {
        if (handle) descriptor->cleanup(handle);
        if (library) dlclose(library);
        if (x) {
            if (parent) XDestroyWindow(x, parent);
            XCloseDisplay(x);
        }
        trap.reset();
        display.reset();
        server.reset();
    }

    std::string pluginUri() const { return std::string(kProductUriPrefix) + GetParam().name; }

    // Instantiates with the features given (plus a null terminator); the widget is kept.
    LV2UI_Handle instantiate(std::vector<const LV2_Feature*> features,
                             const std::string& uri = std::string()) {
        features.push_back(nullptr);
        widget = nullptr;
        return descriptor->instantiate(descriptor, uri.empty() ? pluginUri().c_str() : uri.c_str(),
                                       KIV_LV2_DIR, &recordWrite, &recorder, &widget,
                                       features.data());
    }
    void openInParent() {
        handle = instantiate({&parentFeature, &touchFeature});
        ASSERT_NE(handle, nullptr);
        idleFor(200);
    }

    void idleFor(int milliseconds) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (std::chrono::steady_clock::now() < end) {
            EXPECT_EQ(idleInterface->idle(handle), 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
        EXPECT_EQ(idleInterface->idle(handle), 0);
    }
    bool idleUntil(const std::function<bool()>& condition) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < deadline) {
            idleInterface->idle(handle);
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
    void sendPhysical(uint32_t port, float value, uint32_t format = 0) {
        descriptor->port_event(handle, port, sizeof value, format, &value);
    }
    // Port events for every parameter of a factory program, as physical values.
    void sendProgram(int program) {
        for (int k = 0; k < kNumParameters; ++k)
            sendPhysical(GetParam().firstControlPort + uint32_t(k),
                         physicalFromNormalised(kParameters[k],
                                                GetParam().product->programs[program].values[k]));
    }
    std::vector<Window> childrenOf(Window window) {
        Window root = 0, up = 0, *children = nullptr;
        unsigned int count = 0;
        XQueryTree(x, window, &root, &up, &children, &count);
        std::vector<Window> result(children, children + count);
        if (children) XFree(children);
        return result;
    }
    // The window's pixels in a rectangle, as 0xRRGGBB values.
    std::vector<std::uint32_t> pixels(int left, int top, int right, int bottom) {
        return windowPixels(x, parent, {kWidth, kHeight}, left, top, right, bottom);
    }
    std::vector<std::uint32_t> window() { return pixels(0, 0, kWidth, kHeight); }
    // The VST bundle's editor drawn in memory for a program, as 0xRRGGBB values.
    std::vector<std::uint32_t> vstSnapshot(int program) {
        std::vector<std::uint32_t> result;
        std::string why;
        auto vst = PluginLibrary::open(GetParam().vstBundle, why);
        if (!vst) return result;
        auto plugin = PluginInstance::create(*vst, why);
        if (!plugin) return result;
        plugin->dispatch(effSetProgram, 0, program);
        const std::string path = std::string(KIV_SCREENSHOT_DIR) + "/" + GetParam().name +
                                 "-vst-program" + std::to_string(program) + ".png";
        if (plugin->dispatch(effVendorSpecific, kKivSnapshot, 0, const_cast<char*>(path.c_str())) !=
            1)
            return result;
        cairo_surface_t* image = cairo_image_surface_create_from_png(path.c_str());
        if (cairo_surface_status(image) == CAIRO_STATUS_SUCCESS) {
            cairo_surface_flush(image);
            const unsigned char* data = cairo_image_surface_get_data(image);
            const int stride = cairo_image_surface_get_stride(image);
            for (int py = 0; py < cairo_image_surface_get_height(image); ++py)
                for (int px = 0; px < cairo_image_surface_get_width(image); ++px)
                    result.push_back(
                        reinterpret_cast<const std::uint32_t*>(data + py * stride)[px] & 0xFFFFFF);
        }
        cairo_surface_destroy(image);
        return result;
    }
    void writeScreenshot(const std::string& path) {
        const std::vector<std::uint32_t> all = window();
        ASSERT_EQ(all.size(), std::size_t(kWidth) * kHeight);
        cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight);
        auto* data = cairo_image_surface_get_data(image);
        const int stride = cairo_image_surface_get_stride(image);
        for (int py = 0; py < kHeight; ++py)
            for (int px = 0; px < kWidth; ++px)
                reinterpret_cast<std::uint32_t*>(data + py * stride)[px] =
                    all[std::size_t(py) * kWidth + std::size_t(px)];
        cairo_surface_mark_dirty(image);
        EXPECT_EQ(cairo_surface_write_to_png(image, path.c_str()), CAIRO_STATUS_SUCCESS);
        cairo_surface_destroy(image);
    }
    // The recorded events from `from` on, with their ports.
    std::vector<HostEvent> eventsSince(std::size_t from) const {
        return std::vector<HostEvent>(recorder.events.begin() + long(from), recorder.events.end());
    }
    // A mouse edit as a host must see it: touch on, at least one write, touch off, all on
    // one port, every write a physical value of that parameter (format 0, one float).
    void expectOneEdit(const std::vector<HostEvent>& events, int parameter) {
        const uint32_t port = GetParam().firstControlPort + uint32_t(parameter);
        ASSERT_GE(events.size(), 3u);
        EXPECT_EQ(events.front().kind, HostEvent::TouchOn);
        EXPECT_EQ(events.back().kind, HostEvent::TouchOff);
        for (std::size_t k = 0; k < events.size(); ++k) {
            EXPECT_EQ(events[k].port, port) << "event " << k;
            if (k == 0 || k + 1 == events.size()) continue;
            EXPECT_EQ(events[k].kind, HostEvent::Write) << "event " << k;
            EXPECT_EQ(events[k].format, 0u);
            EXPECT_EQ(events[k].size, sizeof(float));
            EXPECT_GE(events[k].value, kParameters[parameter].minimum);
            EXPECT_LE(events[k].value, kParameters[parameter].maximum);
        }
    }

    std::unique_ptr<XvfbServer> server;
    std::unique_ptr<ScopedDisplayVariable> display;
    std::unique_ptr<kiv::test::XErrorTrap> trap;
    Display* x = nullptr;
    Window parent = 0;
    void* library = nullptr;
    const LV2UI_Descriptor* descriptor = nullptr;
    const LV2UI_Idle_Interface* idleInterface = nullptr;
    LV2UI_Handle handle = nullptr;
    LV2UI_Widget widget = nullptr;
    Recorder recorder;
    LV2UI_Touch touch{&recorder, &recordTouch};
    LV2_Feature parentFeature{LV2_UI__parent, nullptr};
    LV2_Feature touchFeature{LV2_UI__touch, &touch};
};

TEST_P(Lv2UiInHostWindow, DescriptorNamesTheUiAndOffersTheIdleInterface) {
    EXPECT_STREQ(descriptor->URI, (pluginUri() + ":ui").c_str());
    auto entry = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(library, "lv2ui_descriptor"));
    EXPECT_EQ(entry(1), nullptr);
    EXPECT_EQ(descriptor->extension_data(LV2_UI__showInterface), nullptr);
    EXPECT_EQ(descriptor->extension_data("urn:nothing"), nullptr);
    // Only the entry point is visible.
    EXPECT_EQ(dlsym(library, "VSTPluginMain"), nullptr);
    EXPECT_EQ(dlsym(library, "DecList"), nullptr);
    // Another plug-in's URI is not ours.
    EXPECT_EQ(instantiate({&parentFeature}, (std::string(kProductUriPrefix) + "Nothing").c_str()),
              nullptr);
    EXPECT_TRUE(childrenOf(parent).empty());
}

TEST_P(Lv2UiInHostWindow, OpensInTheParentAndFollowsPortEvents) {
    openInParent();
    const std::vector<Window> children = childrenOf(parent);
    ASSERT_EQ(children.size(), 1u);
    EXPECT_EQ(reinterpret_cast<Window>(widget), children[0]);
    XWindowAttributes attributes{};
    XGetWindowAttributes(x, children[0], &attributes);
    EXPECT_EQ(attributes.width, kWidth);
    EXPECT_EQ(attributes.height, kHeight);
    EXPECT_EQ(attributes.map_state, IsViewable);

    // Program 0's values as the host sends them on instantiation: the VST editor's picture.
    sendProgram(0);
    idleFor(100);
    EXPECT_EQ(window(), vstSnapshot(0)) << "program 0";
    // Program 3's values move every view.
    const std::vector<std::uint32_t> program0 = window();
    sendProgram(3);
    EXPECT_EQ(window(), program0) << "nothing is drawn before the idle";
    idleFor(100);
    EXPECT_NE(window(), program0);
    EXPECT_EQ(window(), vstSnapshot(3)) << "program 3";
    EXPECT_TRUE(recorder.events.empty()) << "the host's values are not echoed back";

    // Audio ports, other formats, other sizes, ports past the last and NaN change nothing.
    const std::vector<std::uint32_t> settled = window();
    const uint32_t layoutPort = GetParam().firstControlPort + kLayout;
    sendPhysical(0, 1.0f);
    sendPhysical(GetParam().firstControlPort - 1, 0.0f);
    sendPhysical(layoutPort, 0.0f, 1);
    sendPhysical(GetParam().firstControlPort + kNumParameters, 0.0f);
    sendPhysical(layoutPort, std::nanf(""));
    const double wide = 0.0;
    descriptor->port_event(handle, layoutPort, sizeof wide, 0, &wide);
    idleFor(150);
    EXPECT_EQ(window(), settled);
    EXPECT_TRUE(recorder.events.empty());

    // Out-of-range values are clamped as the plug-in clamps them: layout 99 is the last.
    sendPhysical(layoutPort, 99.0f);
    sendPhysical(GetParam().firstControlPort + kCutOffF, 1e9f);
    idleFor(100);
    EXPECT_NE(window(), settled);
    writeScreenshot(std::string(KIV_SCREENSHOT_DIR) + "/" + GetParam().name + "-lv2ui.png");

    descriptor->cleanup(handle);
    handle = nullptr;
    EXPECT_TRUE(childrenOf(parent).empty()) << "cleanup removes the window";
}

TEST_P(Lv2UiInHostWindow, MouseEditsAreTouchedWritesOfPhysicalValues) {
    openInParent();
    sendProgram(0);
    idleFor(100);

    // A circular drag on the cut-off knob (centre 69, 196) from lower left to the top.
    std::size_t from = recorder.events.size();
    pointerTo(48, 217);
    button(true);
    pointerTo(60, 180);
    pointerTo(69, 168);
    button(false);
    ASSERT_TRUE(idleUntil([&] {
        return !recorder.events.empty() && recorder.events.back().kind == HostEvent::TouchOff;
    }));
    std::vector<HostEvent> drag = eventsSince(from);
    expectOneEdit(drag, kCutOffF);
    ASSERT_GE(drag.size(), 3u);
    // The knob's middle, in hertz.
    EXPECT_NEAR(drag[drag.size() - 2].value, 625.0f, 60.0f);

    // The 7-position layout switch (x 227..323): the third position, layout 2.
    from = recorder.events.size();
    pointerTo(257, 238);
    button(true);
    button(false);
    ASSERT_TRUE(idleUntil([&] {
        return recorder.events.size() > from && recorder.events.back().kind == HostEvent::TouchOff;
    }));
    const std::vector<HostEvent> click = eventsSince(from);
    expectOneEdit(click, kLayout);
    ASSERT_EQ(click.size(), 3u);
    EXPECT_EQ(click[1].value, 2.0f);

    // The host echoes the value: no new write, nothing moves.
    from = recorder.events.size();
    idleFor(60);
    const std::vector<std::uint32_t> settled = window();
    sendPhysical(GetParam().firstControlPort + kLayout, 2.0f);
    idleFor(150);
    EXPECT_EQ(window(), settled) << "an idle with no change draws nothing";
    EXPECT_EQ(recorder.events.size(), from);
}

TEST_P(Lv2UiInHostWindow, WithoutParentOrTouchItOpensAWindowOfItsOwn) {
    handle = instantiate({});
    ASSERT_NE(handle, nullptr);
    ASSERT_NE(widget, nullptr);
    idleFor(100);
    // The widget is the child of a top-level window of the UI's own, at the screen's corner.
    Window root = 0, up = 0, *children = nullptr;
    unsigned int count = 0;
    ASSERT_TRUE(XQueryTree(x, reinterpret_cast<Window>(widget), &root, &up, &children, &count));
    if (children) XFree(children);
    EXPECT_NE(up, root);
    std::vector<Window> topLevels = childrenOf(DefaultRootWindow(x));
    EXPECT_NE(std::find(topLevels.begin(), topLevels.end(), up), topLevels.end());
    XWindowAttributes attributes{};
    XGetWindowAttributes(x, reinterpret_cast<Window>(widget), &attributes);
    EXPECT_EQ(attributes.width, kWidth);
    EXPECT_EQ(attributes.height, kHeight);

    // Hide the host's window so that the UI's own is the one under the pointer.
    XUnmapWindow(x, parent);
    XRaiseWindow(x, up);
    XSync(x, False);
    idleFor(100);
    // Without ui:touch a switch click is still one write.
    pointerTo(257, 238);
    button(true);
    button(false);
    ASSERT_TRUE(idleUntil([&] { return !recorder.events.empty(); }));
    idleFor(60);
    ASSERT_EQ(recorder.events.size(), 1u);
    EXPECT_EQ(recorder.events[0].kind, HostEvent::Write);
    EXPECT_EQ(recorder.events[0].port, GetParam().firstControlPort + kLayout);
    EXPECT_EQ(recorder.events[0].value, 2.0f);

    descriptor->cleanup(handle);
    handle = nullptr;
    topLevels = childrenOf(DefaultRootWindow(x));
    EXPECT_EQ(std::find(topLevels.begin(), topLevels.end(), up), topLevels.end())
        << "cleanup removes the UI's own window";
}

INSTANTIATE_TEST_SUITE_P(Bundles, Lv2UiInHostWindow, ::testing::ValuesIn(kBundles),
                         [](const ::testing::TestParamInfo<Bundle>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
