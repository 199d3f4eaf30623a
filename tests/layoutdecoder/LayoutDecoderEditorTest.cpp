// SPDX-License-Identifier: GPL-3.0-or-later
// LayoutDecoder's editor as hosts show it: the VST bundle loaded through the test host, its
// window inside an X11 window of ours on a private Xvfb server, idled every 30 ms, clicked
// with XTest; and beside it the LV2 UI (LayoutDecoder_ui.so) wired to the LV2 plug-in as a
// host wires them (control port writes and patch messages to the plug-in, its notify port
// back to the UI). For a factory program, a layout restored from state and a user layout
// chosen with the editor's chooser: the view the VST effect publishes has the layout's
// speakers with the delays and levels its distances call for, both windows have a marker of
// the right kind at each speaker's place, and the LV2 UI shows the same name and table.
#include "XvfbServer.h"

#include "host/VstOpcodes.h"
#include "product/LayoutDecoderLv2Ports.h"
#include "product/LayoutDecoderProduct.h"
#include "product/LayoutView.h"
#include "rig/FactoryLayouts.h"
#include "rig/SpeakerListReader.h"
#include "tools/vsthost/VstHost.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

// After the test framework: Xlib's macros would clash with its names.
#include "Lv2UiPair.h"
#include "WindowPixels.h"
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using kiv::vsthost::PluginInstance;
using kiv::vsthost::PluginLibrary;

namespace {

constexpr float kRate = 48000.0f;
const double kPi = std::acos(-1.0);

// A square whose rear pair stands 1.2 m closer, with a raised and a lowered speaker.
const char kRoomList[] = "name Small room\n"
                         "FL 45 0 3.0\nFR -45 0 3.0\nBL 135 0 1.8\nBR -135 0 1.8\n"
                         "TOP 0 60 2.4\nLOW 180 -30 2.0\n";
const char kHallList[] = "name Lecture hall\n"
                         "subwoofer\n"
                         "A 30 0 6\nB -30 0 6\nC 90 20 4\nD -90 20 4\nE 180 0 5\n";

struct Case {
    const char* name;
    enum Source { Program, Chunk, UserChoice } source;
    int program;          // Program: the factory layout
    const char* listText; // Chunk, UserChoice: the speaker list
};

// Colours as drawn: each channel within 2 (cairo rounds its fills either way).
bool sameColour(std::uint32_t a, std::uint32_t b) {
    for (int shift : {0, 8, 16})
        if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > 2) return false;
    return true;
}

void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}

// LayoutDecoder's LV2 ports, as its UI's host wires them.
Lv2UiPorts layoutPorts() {
    Lv2UiPorts ports{
        kLdLv2FirstInput, 4, kLdLv2FirstOutput, 32, kLdLv2FirstControl, {}, kLdLv2ControlIn,
        kLdLv2NotifyOut,  -1};
    for (float v : ldDefaultValues())
        ports.defaults.push_back(ldPhysical(int(ports.defaults.size()), v));
    return ports;
}

const Case kCases[] = {
    {"FactoryDome", Case::Program, 6, nullptr},
    {"FactoryFiveOne", Case::Program, 1, nullptr},
    {"ChunkWithUnequalDistances", Case::Chunk, 0, kRoomList},
    {"UserLayoutFromChooser", Case::UserChoice, 0, kHallList},
};

class LayoutEditor : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        if (!onPath("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
        // A user layout directory of our own, with one file in it.
        char dir[] = "/tmp/kiv-layout-editor-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        configHome = dir;
        ::mkdir((configHome + "/kivtone").c_str(), 0700);
        ::mkdir((configHome + "/kivtone/layouts").c_str(), 0700);
        userFile = configHome + "/kivtone/layouts/Hall.txt";
        std::ofstream(userFile) << kHallList;
        const char* old = std::getenv("XDG_CONFIG_HOME");
        if (old) oldConfigHome = old;
        hadConfigHome = old != nullptr;
        setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);

        server = std::make_unique<XvfbServer>(XvfbServer::defaultLogPath(), "900x900x24");
        ASSERT_FALSE(server->name().empty()) << "Xvfb did not start";
        display = std::make_unique<ScopedDisplayVariable>(server->name());
        trap = std::make_unique<kiv::test::XErrorTrap>();
        x = XOpenDisplay(server->name().c_str());
        ASSERT_NE(x, nullptr);

        std::string why;
        library = PluginLibrary::open(KIV_LAYOUT_BUNDLE, why);
        ASSERT_TRUE(library) << why;
        plugin = PluginInstance::create(*library, why);
        ASSERT_TRUE(plugin) << why;
        plugin->start(kRate, 512);
        ERect rect{};
        ASSERT_TRUE(plugin->editorRect(rect));
        width = rect.right - rect.left;
        height = rect.bottom - rect.top;
        parent = XCreateSimpleWindow(x, DefaultRootWindow(x), 0, 0, width, height, 0, 0, 0);
        XMapWindow(x, parent);
        lv2Parent = XCreateSimpleWindow(x, DefaultRootWindow(x), 0, 450, width, height, 0, 0, 0);
        XMapWindow(x, lv2Parent);
        XSync(x, False);
        ASSERT_EQ(plugin->dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(parent)), 1);
        idleFor(150);
    }
    void TearDown() override {
        lv2.reset();
        if (plugin) {
            plugin->dispatch(effEditClose);
            plugin.reset();
        }
        library.reset();
        if (x) {
            XDestroyWindow(x, parent);
            XDestroyWindow(x, lv2Parent);
            XCloseDisplay(x);
        }
        trap.reset();
        display.reset();
        server.reset();
        if (!userFile.empty()) {
            std::remove(userFile.c_str());
            ::rmdir((configHome + "/kivtone/layouts").c_str());
            ::rmdir((configHome + "/kivtone").c_str());
            ::rmdir(configHome.c_str());
        }
        if (hadConfigHome)
            setenv("XDG_CONFIG_HOME", oldConfigHome.c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
    }

    void idleFor(int milliseconds) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (std::chrono::steady_clock::now() < end) {
            plugin->dispatch(effEditIdle);
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
        plugin->dispatch(effEditIdle);
    }
    void click(int px, int py) { // screen pixels
        XTestFakeMotionEvent(x, DefaultScreen(x), px, py, 0);
        XTestFakeButtonEvent(x, 1, True, 0);
        XTestFakeButtonEvent(x, 1, False, 0);
        XFlush(x);
        idleFor(200);
    }
    LayoutView view() {
        LayoutView v;
        EXPECT_EQ(plugin->dispatch(effVendorSpecific, kKivLayoutView, 0, &v), 1);
        return v;
    }
    std::uint32_t pixel(Window w, int px, int py) {
        const std::vector<std::uint32_t> p =
            windowPixels(x, w, {width, height}, px, py, px + 1, py + 1);
        return p.empty() ? 0 : p[0];
    }
    // The marker of each speaker: filled amber, or hollow below ear height, where it stands
    // seen from above (height pulls it from the rim towards the middle). The diagram's disc is
    // centred at (400, 210), the ear-height ring at 128 pixels.
    void expectMarkers(Window w, const std::vector<const Speaker*>& speakers) {
        for (const Speaker* s : speakers) {
            const double r = 128.0 * (90.0 - std::fabs(s->elevationDegrees)) / 90.0;
            const double a = s->azimuthDegrees * kPi / 180.0;
            const int px = int(std::lround(400.0 - r * std::sin(a)));
            const int py = int(std::lround(210.0 - r * std::cos(a))) + 6; // below the number
            const std::uint32_t shown = pixel(w, px, py);
            EXPECT_TRUE(sameColour(shown, s->elevationDegrees < -0.5 ? 0x1A1C24u : 0xFAA838u))
                << s->name << ": " << std::hex << shown << std::dec << " at " << px << ", " << py;
        }
    }

    std::string configHome, userFile, oldConfigHome;
    bool hadConfigHome = false;
    std::unique_ptr<XvfbServer> server;
    std::unique_ptr<ScopedDisplayVariable> display;
    std::unique_ptr<kiv::test::XErrorTrap> trap;
    Display* x = nullptr;
    Window parent = 0, lv2Parent = 0;
    std::unique_ptr<Lv2UiPair> lv2;
    int width = 0, height = 0;
    std::unique_ptr<PluginLibrary> library;
    std::unique_ptr<PluginInstance> plugin;
};

TEST_P(LayoutEditor, ShowsTheLayoutInForceWithItsCompensation) {
    const Case& c = GetParam();
    Layout want;
    std::map<std::string, std::string> lv2State;
    if (c.source == Case::Chunk)
        lv2State = {{kLdLv2StateTextUri, c.listText}, {kLdLv2StateNameUri, "room.txt"}};
    lv2 = std::make_unique<Lv2UiPair>(KIV_LAYOUT_LV2, "LayoutDecoder", kLayoutDecoderUri.text,
                                      kRate, layoutPorts(), lv2Parent, lv2State);
    ASSERT_TRUE(lv2->ok());
    EXPECT_EQ(lv2->stateRestored(), !lv2State.empty());
    if (c.source == Case::Program) {
        want = factoryLayouts()[c.program];
        plugin->dispatch(effSetProgram, 0, c.program);
        const std::vector<float> values = ldFactoryProgramValues(c.program);
        for (int k = 0; k < kLayoutDecoderParameters; ++k)
            lv2->setControl(k, ldPhysical(k, values[k]));
    } else if (c.source == Case::Chunk) {
        want = parseSpeakerList(c.listText, "room.txt");
        LdState state{ldDefaultValues(), "room.txt", c.listText};
        state.values[kLdLayout] = normalisedOfLayoutChoice(stateLayoutChoice());
        std::vector<char> chunk = encodeLdState(state);
        ASSERT_EQ(plugin->dispatch(effSetChunk, 1, VstIntPtr(chunk.size()), chunk.data()), 1);
    } else {
        want = parseSpeakerList(c.listText, "Hall.txt");
        // The user's layout comes after the factory layouts: one step right of the last.
        ASSERT_EQ(plugin->effect()->numPrograms, factoryLayoutCount() + 1);
        EXPECT_EQ(plugin->programNameIndexed(factoryLayoutCount()), "Hall");
        plugin->dispatch(effSetProgram, 0, factoryLayoutCount() - 1);
        idleFor(100);
        click(540, 384); // the chooser's right arrow
        EXPECT_EQ(plugin->dispatch(effGetProgram), factoryLayoutCount());
        lv2->cycle();
        // The LV2 UI starts at the first program: its left arrow wraps round to the last.
        XTestFakeMotionEvent(x, DefaultScreen(x), 340, 450 + 384, 0);
        XTestFakeButtonEvent(x, 1, True, 0);
        XTestFakeButtonEvent(x, 1, False, 0);
        XFlush(x);
    }
    idleFor(200);
    lv2->cycle();
    idleFor(100);
    lv2->cycle();

    const LayoutView v = view();
    const std::vector<const Speaker*> speakers = want.realSpeakers();
    ASSERT_EQ(v.count, static_cast<int>(speakers.size()));
    EXPECT_EQ(std::string(v.name), want.name);
    EXPECT_EQ(v.subwooferOutput, want.subwoofer ? v.count + 1 : 0);
    // The outputs the host sees follow the layout.
    VstPinProperties pin{};
    ASSERT_TRUE(plugin->outputProperties(v.count - 1, pin));
    EXPECT_EQ(std::string(pin.label), std::to_string(v.count) + " " + speakers.back()->name);

    double farthest = 0;
    for (const Speaker* s : speakers) farthest = std::max(farthest, s->distanceMetres);
    for (int k = 0; k < v.count; ++k) {
        const Speaker& s = *speakers[k];
        SCOPED_TRACE(s.name);
        EXPECT_EQ(std::string(v.rows[k].name), s.name);
        // Each speaker waits for the farthest, in whole frames, and is turned down as much
        // as it stands closer.
        const double frames = std::round((farthest - s.distanceMetres) / 343.0 * kRate);
        EXPECT_NEAR(v.rows[k].delayMs, frames * 1000.0 / kRate, 1e-3);
        EXPECT_NEAR(v.rows[k].levelDb, 20.0 * std::log10(s.distanceMetres / farthest), 1e-3);
    }
    expectMarkers(parent, speakers);
    {
        SCOPED_TRACE("LV2 UI");
        expectMarkers(lv2Parent, speakers);
        // The same name, and the same table up to the last speaker (the LV2 plug-in keeps
        // its subwoofer control when a file comes: only the VST one follows the file).
        const int tableBottom = 44 + 16 * (v.count + 1);
        EXPECT_EQ(windowPixels(x, lv2Parent, {width, height}, 250, 34, 550, 54),
                  windowPixels(x, parent, {width, height}, 250, 34, 550, 54));
        EXPECT_EQ(windowPixels(x, lv2Parent, {width, height}, 556, 44, 880, tableBottom),
                  windowPixels(x, parent, {width, height}, 556, 44, 880, tableBottom));
    }
    if (c.source == Case::Chunk)
        plugin->dispatch(effVendorSpecific, kKivSnapshot, 0,
                         const_cast<char*>(KIV_SCREENSHOT_DIR "/LayoutDecoder-window.png"));
    if (c.source != Case::Program) {
        // Unequal distances: somebody waits.
        float longest = 0;
        for (int k = 0; k < v.count; ++k) longest = std::max(longest, v.rows[k].delayMs);
        EXPECT_GT(longest, 1.0f);
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, LayoutEditor, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
