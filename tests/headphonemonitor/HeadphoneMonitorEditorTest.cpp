// SPDX-License-Identifier: GPL-3.0-or-later
// HeadphoneMonitor's editor as hosts show it: the VST bundle loaded through the test host,
// its window inside an X11 window of ours on a private Xvfb server, idled every 30 ms and
// clicked with XTest; beside it the LV2 UI (HeadphoneMonitor_ui.so) wired to the LV2 plug-in
// as a host wires them (control port writes and patch messages to the plug-in, its notify
// port back to the UI). For each edit made in both windows (a listed layout or a user's set
// chosen with the choosers, a user's layout file, a set that is refused, the bypass switch
// and the level knob): what the plug-ins play and their views follow it, the view the LV2
// plug-in sends is the VST effect's, and both windows draw the same speakers at their places
// and the same lines.
#include "XvfbServer.h"

#include "host/VstOpcodes.h"
#include "hrtf/HrtfSet.h"
#include "product/HeadphoneMonitorLv2Ports.h"
#include "product/HeadphoneView.h"
#include "tools/vsthost/VstHost.h"

#include <gtest/gtest.h>

#include <lv2/patch/patch.h>

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
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using kiv::vsthost::PluginInstance;
using kiv::vsthost::PluginLibrary;
namespace fs = std::filesystem;

namespace {

constexpr float kRate = 48000.0f;
constexpr int kBlock = 512;
const double kPi = std::acos(-1.0);
const char kHallList[] = "name Lecture hall\nA 30 0 6\nB -30 0 6\nC 100 40 4\nD -100 -20 4\n";

// HeadphoneMonitor's LV2 ports, as its UI's host wires them.
Lv2UiPorts monitorPorts() {
    Lv2UiPorts ports{kHmLv2FirstInput,   32, kHmLv2Left,      2,
                     kHmLv2FirstControl, {}, kHmLv2ControlIn, kHmLv2NotifyOut,
                     int(kHmLv2Latency)};
    for (float v : hmDefaultValues())
        ports.defaults.push_back(hmPhysical(int(ports.defaults.size()), v));
    return ports;
}

// Views equal in all that is shown (the generations count differently).
bool sameShown(HeadphoneView a, HeadphoneView b) {
    a.generation = b.generation = 0;
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The areas of the window (editor/HeadphoneMonitorEditor.cpp).
struct Area {
    int left, top, right, bottom;
};
const Area kDiagram{20, 58, 340, 378};
const Area kLines[] = {{20, 36, 340, 56},
                       {360, 60, 626, 84},
                       {360, 118, 626, 142},
                       {360, 148, 626, 166},
                       {14, 392, 626, 412}};

enum class Edit { NextListedLayout, UserLayoutFile, PreviousSet, RefusedSet, BypassAndLevel };
struct Case {
    const char* name;
    Edit edit;
};

class HeadphoneEditor : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        if (!onPath("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
        // The user's directory: one layout file, a copy of the default set and a bad set.
        char dir[] = "/tmp/kiv-headphone-editor-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        configHome = dir;
        fs::create_directories(configHome / "kivtone/layouts");
        fs::create_directories(configHome / "kivtone/hrtf");
        std::ofstream(configHome / "kivtone/layouts/Hall.txt") << kHallList;
        fs::copy_file(HrtfSet::defaultPath(), configHome / "kivtone/hrtf/kemar-copy.sofa");
        std::ofstream(configHome / "kivtone/hrtf/broken.sofa") << "not a SOFA file\n";
        const char* old = std::getenv("XDG_CONFIG_HOME");
        hadConfigHome = old != nullptr;
        if (old) oldConfigHome = old;
        setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);

        server = std::make_unique<XvfbServer>(XvfbServer::defaultLogPath(), "700x900x24");
        ASSERT_FALSE(server->name().empty()) << "Xvfb did not start";
        display = std::make_unique<ScopedDisplayVariable>(server->name());
        trap = std::make_unique<kiv::test::XErrorTrap>();
        x = XOpenDisplay(server->name().c_str());
        ASSERT_NE(x, nullptr);

        std::string why;
        library = PluginLibrary::open(KIV_HEADPHONE_BUNDLE, why);
        ASSERT_TRUE(library) << why;
        plugin = PluginInstance::create(*library, why);
        ASSERT_TRUE(plugin) << why;
        ASSERT_NE(plugin->effect()->flags & effFlagsHasEditor, 0);
        plugin->start(kRate, kBlock);
        ERect rect{};
        ASSERT_TRUE(plugin->editorRect(rect));
        width = rect.right - rect.left;
        height = rect.bottom - rect.top;
        for (Window* w : {&parent, &lv2Parent}) {
            *w = XCreateSimpleWindow(x, DefaultRootWindow(x), 0, w == &parent ? 0 : kLv2Top, width,
                                     height, 0, 0, 0);
            XMapWindow(x, *w);
        }
        XSync(x, False);
        ASSERT_EQ(plugin->dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(parent)), 1);
        lv2 = std::make_unique<Lv2UiPair>(KIV_HEADPHONE_LV2, "HeadphoneMonitor",
                                          kHeadphoneMonitorUri.text, kRate, monitorPorts(),
                                          lv2Parent);
        ASSERT_TRUE(lv2->ok());
        // The views the plug-in sends on its notify port.
        lv2->onNotify = [this](const LV2_Atom& atom) {
            const LV2_Atom* property = nullptr;
            const LV2_Atom* value = nullptr;
            if (atom.type != lv2TestUrid(LV2_ATOM__Object)) return;
            lv2_atom_object_get(reinterpret_cast<const LV2_Atom_Object*>(&atom),
                                lv2TestUrid(LV2_PATCH__property), &property,
                                lv2TestUrid(LV2_PATCH__value), &value, 0);
            if (!property || !value ||
                reinterpret_cast<const LV2_Atom_URID*>(property)->body !=
                    lv2TestUrid(kHmLv2ViewUri))
                return;
            ASSERT_EQ(value->type, lv2TestUrid(LV2_ATOM__Chunk));
            ASSERT_EQ(value->size, sizeof sentView);
            std::memcpy(&sentView, LV2_ATOM_BODY_CONST(value), sizeof sentView);
            ++viewsSent;
        };
        settle();
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
        if (!configHome.empty()) fs::remove_all(configHome);
        if (hadConfigHome)
            setenv("XDG_CONFIG_HOME", oldConfigHome.c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
    }

    // Blocks through the VST effect (its worker serves layout changes while blocks run), the
    // LV2 pair's rounds and both editors' idles.
    void settle() {
        for (int round = 0; round < 8; ++round) {
            play(nullptr);
            plugin->dispatch(effEditIdle);
            lv2->cycle();
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
        plugin->dispatch(effEditIdle);
    }
    // A block of the VST effect: silence, or an impulse on every feed at its start; the ears.
    std::vector<float> play(std::vector<float>* ears, int blocks = 1) {
        std::vector<float> in(kBlock, 0.0f), left(kBlock), right(kBlock), all;
        std::vector<float*> ins(32, in.data());
        float* outs[2] = {left.data(), right.data()};
        for (int b = 0; b < blocks; ++b) {
            in[0] = ears && b == 0 ? 1.0f : 0.0f;
            plugin->processReplacing(ins.data(), outs, kBlock);
            all.insert(all.end(), left.begin(), left.end());
            all.insert(all.end(), right.begin(), right.end());
        }
        if (ears) *ears = all;
        return all;
    }
    // What an impulse on every feed gives, once every tail and crossfade has passed.
    std::vector<float> response() {
        play(nullptr, 64);
        std::vector<float> ears;
        play(&ears, 16);
        return ears;
    }
    void click(Window w, int px, int py, int button = 1) {
        int sx = 0, sy = 0;
        Window child = 0;
        XTranslateCoordinates(x, w, DefaultRootWindow(x), px, py, &sx, &sy, &child);
        XTestFakeMotionEvent(x, DefaultScreen(x), sx, sy, 0);
        XTestFakeButtonEvent(x, button, True, 0);
        XTestFakeButtonEvent(x, button, False, 0);
        XFlush(x);
        settle();
    }
    HeadphoneView vstView() {
        HeadphoneView v;
        EXPECT_EQ(plugin->dispatch(effVendorSpecific, kKivHeadphoneView, 0, &v), 1);
        return v;
    }
    std::vector<std::uint32_t> pixels(Window w, const Area& a) {
        return windowPixels(x, w, {width, height}, a.left, a.top, a.right, a.bottom);
    }
    // Each heard feed's marker, filled amber (hollow below ear height), where it stands seen
    // from above: the diagram's rings are centred at (180, 218), the ear-height one at 138.
    void expectMarkers(Window w, const HeadphoneView& v) {
        int heard = 0;
        for (int k = 0; k < v.count; ++k) {
            const HeadphoneView::Row& row = v.rows[k];
            if (row.input == 0) continue;
            ++heard;
            const double r = 138.0 * (90.0 - std::fabs(row.elevationDegrees)) / 90.0;
            const double a = row.azimuthDegrees * kPi / 180.0;
            // Inside the marker, left of its number.
            const int px = int(std::lround(180.0 - r * std::sin(a))) - 5;
            const int py = int(std::lround(218.0 - r * std::cos(a)));
            const std::vector<std::uint32_t> p =
                windowPixels(x, w, {width, height}, px, py, px + 1, py + 1);
            ASSERT_EQ(p.size(), 1u);
            const std::uint32_t want = row.elevationDegrees < -0.5f ? 0x1A1C24u : 0xFAA838u;
            for (int shift : {0, 8, 16})
                EXPECT_NEAR(int((p[0] >> shift) & 0xFF), int((want >> shift) & 0xFF), 2)
                    << row.name << " at " << px << ", " << py;
        }
        EXPECT_GT(heard, 0);
    }

    static constexpr int kLv2Top = 450;
    fs::path configHome;
    std::string oldConfigHome;
    bool hadConfigHome = false;
    std::unique_ptr<XvfbServer> server;
    std::unique_ptr<ScopedDisplayVariable> display;
    std::unique_ptr<kiv::test::XErrorTrap> trap;
    Display* x = nullptr;
    Window parent = 0, lv2Parent = 0;
    int width = 0, height = 0;
    std::unique_ptr<PluginLibrary> library;
    std::unique_ptr<PluginInstance> plugin;
    std::unique_ptr<Lv2UiPair> lv2;
    HeadphoneView sentView{}; // the last view the LV2 plug-in sent
    int viewsSent = 0;
};

TEST_P(HeadphoneEditor, BothFacesFollowTheEditAndShowIt) {
    // Each editor is one child window of its host's window, at the editor's size.
    for (Window w : {parent, lv2Parent}) {
        Window root = 0, up = 0, *children = nullptr;
        unsigned count = 0;
        ASSERT_TRUE(XQueryTree(x, w, &root, &up, &children, &count));
        ASSERT_EQ(count, 1u);
        XWindowAttributes a{};
        XGetWindowAttributes(x, children[0], &a);
        XFree(children);
        EXPECT_EQ(a.width, width);
        EXPECT_EQ(a.height, height);
    }
    const HeadphoneView before = vstView();
    EXPECT_STREQ(before.setName, "default");
    EXPECT_EQ(before.layoutChoice, 0);
    const std::vector<float> heardBefore = response();

    switch (GetParam().edit) {
    case Edit::NextListedLayout:
        click(parent, 615, 72); // the layout chooser's right arrow
        click(lv2Parent, 615, 72);
        break;
    case Edit::UserLayoutFile: {
        // The VST effect by the vendor request; in the LV2 UI the chooser's left arrow wraps
        // round from the first listed layout to the user's file.
        const std::string path = (configHome / "kivtone/layouts/Hall.txt").string();
        EXPECT_EQ(
            plugin->dispatch(effVendorSpecific, kKivLoadLayout, 0, const_cast<char*>(path.c_str())),
            1);
        click(lv2Parent, 370, 72);
        break;
    }
    case Edit::PreviousSet: // from the default set round to the last of the user's
        click(parent, 370, 130);
        click(lv2Parent, 370, 130);
        break;
    case Edit::RefusedSet: // the first of the user's sets is not SOFA
        click(parent, 615, 130);
        click(lv2Parent, 615, 130);
        break;
    case Edit::BypassAndLevel:
        click(parent, 555, 238); // the switch's second position
        click(lv2Parent, 555, 238);
        for (Window w : {parent, lv2Parent})
            for (int notch = 0; notch < 4; ++notch) click(w, 420, 238, 5); // the wheel, down
        break;
    }
    settle();

    const HeadphoneView v = vstView();
    EXPECT_TRUE(sameShown(v, sentView)) << "the LV2 plug-in's view: " << sentView.layoutName << ", "
                                        << sentView.setName << ", " << sentView.message;
    // At open, and after an edit of what is shown.
    EXPECT_GE(viewsSent, GetParam().edit == Edit::BypassAndLevel ? 1 : 2);
    const std::vector<float> heardAfter = response();
    switch (GetParam().edit) {
    case Edit::NextListedLayout: {
        EXPECT_EQ(v.layoutChoice, 1);
        EXPECT_STREQ(v.layoutName, monitorLayouts()[1].name.c_str());
        EXPECT_FLOAT_EQ(plugin->getParameter(kHmLayout), hmNormalisedOfLayoutChoice(1));
        EXPECT_EQ(lv2->control(kHmLayout), 1.0f);
        EXPECT_NE(heardAfter, heardBefore);
        break;
    }
    case Edit::UserLayoutFile:
        EXPECT_EQ(v.layoutChoice, monitorLayoutCount());
        EXPECT_STREQ(v.layoutName, "Lecture hall");
        EXPECT_STREQ(v.layoutFile, "Hall.txt");
        ASSERT_EQ(v.count, 4);
        EXPECT_FLOAT_EQ(v.rows[2].azimuthDegrees, 100.0f);
        EXPECT_FLOAT_EQ(v.rows[3].elevationDegrees, -20.0f);
        EXPECT_EQ(lv2->control(kHmLayout), float(monitorLayoutCount()));
        EXPECT_NE(heardAfter, heardBefore);
        break;
    case Edit::PreviousSet:
        EXPECT_STREQ(v.setName, "kemar-copy");
        EXPECT_STREQ(v.setFile, "kemar-copy.sofa");
        EXPECT_EQ(v.defaultSet, 0);
        EXPECT_FLOAT_EQ(v.setFileRateHz, 44100.0f);
        EXPECT_FLOAT_EQ(v.runningRateHz, kRate);
        EXPECT_EQ(heardAfter, heardBefore); // the same responses under another name
        break;
    case Edit::RefusedSet:
        EXPECT_STREQ(v.setName, "default");
        EXPECT_NE(std::string(v.message).find("broken.sofa"), std::string::npos) << v.message;
        EXPECT_EQ(heardAfter, heardBefore);
        break;
    case Edit::BypassAndLevel: {
        EXPECT_EQ(plugin->getParameter(kHmBypass), 1.0f);
        EXPECT_EQ(lv2->control(kHmBypass), 1.0f);
        const float level = hmPhysical(kHmLevel, plugin->getParameter(kHmLevel));
        EXPECT_LT(level, -1.0f); // the knob went down
        EXPECT_NEAR(lv2->control(kHmLevel), level, 0.5f);
        // Feeds 1 and 2 straight through: each ear has the one impulse, unscaled.
        for (int ear = 0; ear < 2; ++ear) {
            double sum = 0, peak = 0;
            for (std::size_t b = 0; b < heardAfter.size(); b += 2 * kBlock)
                for (int i = 0; i < kBlock; ++i) {
                    const double s = std::fabs(heardAfter[b + ear * kBlock + i]);
                    sum += s;
                    peak = std::max(peak, s);
                }
            EXPECT_NEAR(peak, 1.0, 1e-6) << "ear " << ear;
            EXPECT_NEAR(sum, 1.0, 1e-5) << "ear " << ear;
        }
        break;
    }
    }
    if (GetParam().edit != Edit::BypassAndLevel) {
        EXPECT_FALSE(sameShown(v, before));
    }

    // Both windows draw the same speakers at their places, and the same lines.
    expectMarkers(parent, v);
    expectMarkers(lv2Parent, v);
    EXPECT_EQ(pixels(parent, kDiagram), pixels(lv2Parent, kDiagram));
    for (const Area& line : kLines) EXPECT_EQ(pixels(parent, line), pixels(lv2Parent, line));
    if (GetParam().edit == Edit::PreviousSet)
        plugin->dispatch(effVendorSpecific, kKivSnapshot, 0,
                         const_cast<char*>(KIV_SCREENSHOT_DIR "/HeadphoneMonitor-window.png"));
}

const Case kCases[] = {
    {"NextListedLayout", Edit::NextListedLayout}, {"UserLayoutFile", Edit::UserLayoutFile},
    {"PreviousSet", Edit::PreviousSet},           {"RefusedSet", Edit::RefusedSet},
    {"BypassAndLevel", Edit::BypassAndLevel},
};

INSTANTIATE_TEST_SUITE_P(Edits, HeadphoneEditor, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
