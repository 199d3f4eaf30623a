// SPDX-License-Identifier: GPL-3.0-or-later
// The editor window of one bundle (compiled once per bundle: KIV_TEST_REGULAR picks
// RegularDecoder), built on the real effect class and driven in memory: what every view
// shows after open, how host changes and user edits travel, close and reopen, snapshots.
#include "editor/DisplayConversions.h"
#include "editor/KivAmbiEditorJex.h"
#include "editor/KivAnimKnob.h"
#include "editor/KivSpeakerDiagram.h"
#include "host/VstOpcodes.h"
#include "plugins/KivAmbiDecEdit.h"
#include "product/DecList.h"
#include "product/SpeakerLayout.h"
#include "toolkit/CButtonState.h"
#include "toolkit/CFrame.h"
#include "toolkit/CHorizontalSwitch.h"
#include "toolkit/CParamDisplay.h"

#include <gtest/gtest.h>

#include <cairo.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#ifdef KIV_TEST_REGULAR
#include "plugins/regular/KivAmbiDec_1o_GUI.h"
using Editor = VSTGUI::KivAmbiEditorJex;
using Instance = KivAmbiDecEdit<KivAmbiDec_1o_GUI, Editor>;
constexpr long kBackground = 131;
constexpr const char* kBundleName = "RegularDecoder";
const std::array<const char*, 7> kProgram0Texts = {"1.33", "1.15", "380Hz",  "Quad (square)",
                                                   "Off",  "Off",  "Mavo EQ"};
#else
#include "plugins/irregular/KivAmbiDec.h"
using Editor = ::KivAmbiEditorJex;
using Instance = KivAmbiDecEdit<KivAmbiDec, Editor>;
constexpr long kBackground = 130;
constexpr const char* kBundleName = "IrregularDecoder";
const std::array<const char*, 7> kProgram0Texts = {
    "1.00", "1.00", "380Hz", "ITU 5.0 Full Range v1", "Off", "Off", "No-Use LF"};
#endif

using namespace VSTGUI;

namespace {

struct Call {
    VstInt32 opcode;
    VstInt32 index;
    float opt;
};
std::vector<Call> hostCalls;

VstIntPtr recordingHost(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float opt) {
    hostCalls.push_back({opcode, index, opt});
    return opcode == audioMasterVersion ? 2400 : 0;
}

// The rectangles of the fourteen views, by tag: control, then display.
struct Place {
    int controlX, controlY, displayX, displayY;
};
constexpr Place kPlaces[7] = {{69, 35, 19, 35},     {43, 115, 93, 115},   {69, 196, 18, 196},
                              {275, 238, 275, 216}, {507, 118, 457, 115}, {482, 38, 535, 35},
                              {482, 202, 482, 180}};

class EditorWindow : public ::testing::Test {
protected:
    void SetUp() override {
        hostCalls.clear();
        instance = std::make_unique<Instance>(&recordingHost);
        effect = instance->getAeffect();
        editor = static_cast<Editor*>(instance->getEditor());
    }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr) {
        return effect->dispatcher(effect, opcode, index, value, ptr, 0.0f);
    }
    std::string shown(int tag) { return editor->getDisplay(tag)->getDisplayText(); }
    // The open window with the decoder of a slot, kept in the build tree to be looked at.
    void writeDiagram(int slot) {
        const std::string path = std::string(KIV_SNAPSHOT_DIR) + "/" + kBundleName + "-layout" +
                                 std::to_string(slot) + ".png";
        EXPECT_TRUE(editor->getCFrame()->writePng(path.c_str()));
    }
    std::string hostDisplay(int tag) {
        char text[256] = {};
        dispatch(effGetParamDisplay, tag, 0, text);
        return text;
    }
    // Every control and display shows what the effect holds.
    void expectViewsFollowEffect() {
        char decoder[256] = {};
        instance->getParameterDisplay(3, decoder);
        for (int tag = 0; tag < 7; ++tag) {
            const float v = instance->getParameter(tag);
            EXPECT_EQ(editor->getControl(tag)->getValue(), v) << "control " << tag;
            EXPECT_EQ(editor->getDisplay(tag)->getValue(), v) << "display " << tag;
        }
        char text[kDisplayTextSize];
        FloatToGainStringJex(instance->getParameter(0), text);
        EXPECT_EQ(shown(0), text);
        FloatToHzStringJex(instance->getParameter(2), text);
        EXPECT_EQ(shown(2), text);
        FloatToDistStringJex(instance->getParameter(4), text);
        EXPECT_EQ(shown(4), text);
        EXPECT_EQ(shown(3), decoder);
    }

    std::unique_ptr<Instance> instance;
    AEffect* effect = nullptr;
    Editor* editor = nullptr;
};

TEST_F(EditorWindow, ClosedEditorHasTheBackgroundsSizeAndIgnoresChanges) {
    ERect* rect = nullptr;
    ASSERT_EQ(dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 260);
    EXPECT_EQ(rect->right, 560);
    EXPECT_EQ(Editor::kBackgroundPicture, kBackground);
    EXPECT_EQ(effect->flags & effFlagsHasEditor, effFlagsHasEditor);

    effect->setParameter(effect, 0, 0.5f); // no frame: nothing to move, nothing to fail
    EXPECT_EQ(editor->getCFrame(), nullptr);
    EXPECT_EQ(editor->getControl(0), nullptr);
    EXPECT_EQ(dispatch(effEditIdle), 0);
}

TEST_F(EditorWindow, OpenShowsProgramZero) {
    ASSERT_EQ(dispatch(effEditOpen), 1); // no parent window: drawn in memory
    ASSERT_NE(editor->getCFrame(), nullptr);
    EXPECT_EQ(editor->getCFrame()->getNbViews(), 15);
    for (int tag = 0; tag < 7; ++tag) {
        EXPECT_EQ(shown(tag), kProgram0Texts[tag]) << "display " << tag;
        EXPECT_EQ(editor->getControl(tag)->getTag(), tag);
        EXPECT_EQ(editor->getDisplay(tag)->getTag(), tag);
    }
    expectViewsFollowEffect();
    // Knobs first, then the two switches, then the displays in their own order.
    const int controlOrder[7] = {0, 1, 2, 4, 5, 6, 3};
    const int displayOrder[7] = {0, 1, 2, 5, 4, 6, 3};
    for (int k = 0; k < 7; ++k) {
        EXPECT_EQ(editor->getCFrame()->getView(k), editor->getControl(controlOrder[k]));
        EXPECT_EQ(editor->getCFrame()->getView(7 + k), editor->getDisplay(displayOrder[k]));
    }
    EXPECT_EQ(dispatch(effEditClose), 0);
    EXPECT_EQ(editor->getCFrame(), nullptr);
}

TEST_F(EditorWindow, HostChangesMoveTheViewsAtTheNextIdle) {
    ASSERT_EQ(dispatch(effEditOpen), 1);
    CFrame* frame = editor->getCFrame();
    dispatch(effEditIdle);
    const long drawsAtRest = frame->getDrawCount();
    dispatch(effEditIdle);
    EXPECT_EQ(frame->getDrawCount(), drawsAtRest) << "an unchanged window draws nothing";

    // Every program moves all fourteen views to its values.
    for (VstIntPtr program = 6; program >= 0; --program) {
        dispatch(effSetProgram, 0, program);
        expectViewsFollowEffect();
        const long before = frame->getDrawCount();
        dispatch(effEditIdle);
        if (program != 6) {
            EXPECT_GT(frame->getDrawCount(), before) << "program " << program;
        }
    }
    for (int tag = 0; tag < 7; ++tag) EXPECT_EQ(shown(tag), kProgram0Texts[tag]);

    // Automation: the views show the engine's value, after its quantising.
    effect->setParameter(effect, 3, 0.55f);
    EXPECT_FLOAT_EQ(editor->getControl(3)->getValue(), 3.0f / 6.0f);
    effect->setParameter(effect, 4, 1.0f);
    EXPECT_EQ(shown(4), "Off");
    effect->setParameter(effect, 4, 0.999f);
    EXPECT_EQ(shown(4), "7.99m");
    expectViewsFollowEffect();
    const long beforeAutomation = frame->getDrawCount();
    dispatch(effEditIdle);
    EXPECT_GT(frame->getDrawCount(), beforeAutomation);
}

TEST_F(EditorWindow, AutomationFromAnotherThreadWaitsForTheWindowsIdle) {
    ASSERT_EQ(dispatch(effEditOpen), 1);
    const float before = editor->getControl(2)->getValue();
    // The automation thread only marks the parameter: the window may be closing meanwhile.
    std::thread automation([&] { effect->setParameter(effect, 2, 0.75f); });
    automation.join();
    EXPECT_EQ(instance->getParameter(2), 0.75f);
    EXPECT_EQ(editor->getControl(2)->getValue(), before);
    dispatch(effEditIdle);
    EXPECT_EQ(editor->getControl(2)->getValue(), 0.75f);
    EXPECT_EQ(shown(2), "912Hz");
    // Marked while closed: the next open builds from the current values anyway.
    dispatch(effEditClose);
    std::thread later([&] { effect->setParameter(effect, 2, 0.25f); });
    later.join();
    ASSERT_EQ(dispatch(effEditOpen), 1);
    EXPECT_EQ(editor->getControl(2)->getValue(), 0.25f);
}

TEST_F(EditorWindow, SwitchClicksTravelToTheEffectAndTheHost) {
    ASSERT_EQ(dispatch(effEditOpen), 1);
    CFrame* frame = editor->getCFrame();
    hostCalls.clear();
    // The layout switch spans x 227..323: 96 / 7 pixels per position, so x = 227 + 30 is
    // the third position, slot 2.
    frame->onMouseDown(257, 238, kLButton);
    frame->onMouseUp(257, 238, 0);
    EXPECT_FLOAT_EQ(instance->getParameter(3), 2.0f / 6.0f);
    EXPECT_EQ(editor->getControl(3)->getValue(), instance->getParameter(3));
    EXPECT_EQ(shown(3), hostDisplay(3));
    ASSERT_EQ(hostCalls.size(), 3u);
    EXPECT_EQ(hostCalls[0].opcode, audioMasterBeginEdit);
    EXPECT_EQ(hostCalls[0].index, 3);
    EXPECT_EQ(hostCalls[1].opcode, audioMasterAutomate);
    EXPECT_EQ(hostCalls[1].index, 3);
    EXPECT_FLOAT_EQ(hostCalls[1].opt, 2.0f / 6.0f);
    EXPECT_EQ(hostCalls[2].opcode, audioMasterEndEdit);

    // The spatial-EQ switch: three positions sending 0, 0.5 and 1.
    const char* modes[3] = {"No-Use LF", "Kiv EQ", "Mavo EQ"};
    for (int position = 0; position < 3; ++position) {
        const int x = 458 + 8 + 16 * position;
        frame->onMouseDown(x, 202, kLButton);
        frame->onMouseUp(x, 202, 0);
        EXPECT_FLOAT_EQ(instance->getParameter(6), 0.5f * position);
        EXPECT_EQ(shown(6), modes[position]);
    }

    // Control-click: the default, the middle position (slot 3), in an edit of its own.
    hostCalls.clear();
    frame->onMouseDown(230, 238, kLButton | kControl);
    frame->onMouseUp(230, 238, 0);
    EXPECT_FLOAT_EQ(instance->getParameter(3), 0.5f);
    std::vector<VstInt32> edits;
    for (const Call& call : hostCalls)
        if (call.opcode != audioMasterAutomate) edits.push_back(call.opcode);
    EXPECT_EQ(edits, (std::vector<VstInt32>{43, 43, 44, 44}));
}

TEST_F(EditorWindow, KnobDragChangesItsParameter) {
    ASSERT_EQ(dispatch(effEditOpen), 1);
    CFrame* frame = editor->getCFrame();
    hostCalls.clear();
    // Knob 2 (cut-off) centred at (69, 196): a circular drag from the lower left to the top.
    frame->onMouseDown(50, 215, kLButton);
    frame->onMouseMoved(69, 170, kLButton);
    frame->onMouseUp(69, 170, 0);
    EXPECT_NEAR(instance->getParameter(2), 0.5f, 0.01f);
    EXPECT_EQ(editor->getControl(2)->getValue(), instance->getParameter(2));
    EXPECT_EQ(shown(2), hostDisplay(2) + "Hz");
    ASSERT_GE(hostCalls.size(), 3u);
    EXPECT_EQ(hostCalls.front().opcode, audioMasterBeginEdit);
    EXPECT_EQ(hostCalls.back().opcode, audioMasterEndEdit);
    for (std::size_t k = 1; k + 1 < hostCalls.size(); ++k) {
        EXPECT_EQ(hostCalls[k].opcode, audioMasterAutomate);
        EXPECT_EQ(hostCalls[k].index, 2);
    }
}

TEST_F(EditorWindow, CloseAndReopenRebuildFromTheEffectAndResetTheKnobMode) {
    ASSERT_EQ(dispatch(effEditOpen), 1);
    CControl* first = editor->getControl(0);
    EXPECT_EQ(dispatch(effSetEditKnobMode, 0, 2), 1);
    EXPECT_EQ(editor->getKnobMode(), 2);
    dispatch(effEditClose);
    effect->setParameter(effect, 1, 0.25f); // while closed: only the effect hears it
    dispatch(effSetProgram, 0, 2);
    EXPECT_EQ(dispatch(effSetEditKnobMode, 0, 2), 1);
    ASSERT_EQ(dispatch(effEditOpen), 1);
    EXPECT_EQ(editor->getKnobMode(), 0);
    expectViewsFollowEffect();
    (void)first;
    // A second open without a close replaces the window instead of orphaning it.
    ASSERT_EQ(dispatch(effEditOpen), 1);
    EXPECT_EQ(editor->getCFrame()->getNbViews(), 15);
    expectViewsFollowEffect();
}

TEST_F(EditorWindow, OpeningAndClosingAHundredTimesLeavesNothingBehind) {
    for (int k = 0; k < 100; ++k) {
        ASSERT_EQ(dispatch(effEditOpen), 1);
        dispatch(effEditIdle);
        dispatch(effEditClose);
    }
    EXPECT_EQ(editor->getCFrame(), nullptr);
    // Closing the effect with the window open takes the window with it.
    ASSERT_EQ(dispatch(effEditOpen), 1);
}

TEST_F(EditorWindow, SnapshotDrawsTheWindowWithoutDisturbingIt) {
    // Program 0, drawn in memory: kept in the build tree to be looked at.
    const std::string path = std::string(KIV_SNAPSHOT_DIR) + "/" + kBundleName + "-editor.png";
    unlink(path.c_str());
    EXPECT_EQ(dispatch(effSetEditKnobMode, 0, 2), 1);
    ASSERT_EQ(effect->dispatcher(effect, effVendorSpecific, kKivSnapshot, 0,
                                 const_cast<char*>(path.c_str()), 0.0f),
              1);
    EXPECT_EQ(editor->getCFrame(), nullptr) << "a closed editor stays closed";
    EXPECT_EQ(editor->getKnobMode(), 2) << "the snapshot leaves the host's knob mode";
    cairo_surface_t* image = cairo_image_surface_create_from_png(path.c_str());
    ASSERT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(image), 560);
    EXPECT_EQ(cairo_image_surface_get_height(image), 260);
    // Display 3 draws its own dark box: its frame line is black.
    cairo_surface_flush(image);
    const unsigned char* data = cairo_image_surface_get_data(image);
    const int stride = cairo_image_surface_get_stride(image);
    const auto* pixel = reinterpret_cast<const std::uint32_t*>(data + 206 * stride) + 275;
    EXPECT_EQ(*pixel & 0xFFFFFFu, 0u);
    cairo_surface_destroy(image);

    // A file that cannot be written is a failure, and the editor stays closed.
    EXPECT_EQ(effect->dispatcher(effect, effVendorSpecific, kKivSnapshot, 0,
                                 const_cast<char*>("/nonexistent/dir/editor.png"), 0.0f),
              0);
    EXPECT_EQ(editor->getCFrame(), nullptr);
    // Other vendor requests and a null path are not ours.
    EXPECT_EQ(effect->dispatcher(effect, effVendorSpecific, kKivSnapshot, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(
        effect->dispatcher(effect, effVendorSpecific, 1, 0, const_cast<char*>(path.c_str()), 0.0f),
        0);
}

// The artwork's amber, as the markers show it (ring and fill), antialiased edges aside.
bool amber(const CColor& c) {
    return c.red > 200 && c.green > 130 && c.green < 200 && c.blue < 110;
}

int amberPixelsWithin(CFrame* frame, double x, double y, double radius) {
    int count = 0;
    for (int py = int(y - radius) - 1; py <= int(y + radius) + 1; ++py)
        for (int px = int(x - radius) - 1; px <= int(x + radius) + 1; ++px) {
            CColor c;
            if (std::hypot(px + 0.5 - x, py + 0.5 - y) <= radius && frame->getPixel(px, py, c) &&
                amber(c))
                ++count;
        }
    return count;
}

TEST_F(EditorWindow, SpeakerDiagramNumbersTheSpeakersOfEveryLayoutInOutputOrder) {
    ASSERT_EQ(dispatch(effEditOpen), 1);
    CFrame* frame = editor->getCFrame();
    KivSpeakerDiagram* diagram = editor->getSpeakerDiagram();
    ASSERT_NE(diagram, nullptr);
    EXPECT_FALSE(diagram->getMouseEnabled());
    // Every speaker position of every layout either bundle offers.
    std::vector<SpeakerDirection> everywhere;
    for (int shape = 0; shape < kNumDecShapes; ++shape)
        if (const auto layout = speakerLayoutOf(shape))
            everywhere.insert(everywhere.end(), layout->speakers.begin(), layout->speakers.end());
    ASSERT_GE(everywhere.size(), 40u);

    for (int slot = 0; slot < kDecListSize; ++slot) {
        effect->setParameter(effect, 3, float(slot) / 6.0f);
        dispatch(effEditIdle);
        EXPECT_FALSE(diagram->isDirty());
        ASSERT_EQ(diagram->getDecoder(), DecList[slot]);
        const auto layout = speakerLayoutOf(DecList[slot]);
        ASSERT_TRUE(layout) << "slot " << slot;
        const std::vector<SpeakerDirection>& speakers = layout->speakers;
        ASSERT_EQ(diagram->getSpeakers().size(), speakers.size());
        writeDiagram(slot);
        std::vector<std::vector<bool>> numbers;
        for (std::size_t k = 0; k < speakers.size(); ++k) {
            double x = 0, y = 0;
            KivSpeakerDiagram::markerCentre(speakers[k], x, y);
            const std::string what =
                "slot " + std::to_string(slot) + ", output " + std::to_string(k + 1);
            // The marker's ring is amber whatever the speaker's height.
            EXPECT_GE(amberPixelsWithin(frame, x, y, 8.0) - amberPixelsWithin(frame, x, y, 5.5), 20)
                << what;
            // Filled at and above ear height (the disc is amber but for the number), hollow
            // below (only the number is).
            const int disc = amberPixelsWithin(frame, x, y, 5.0);
            if (KivSpeakerDiagram::isLowered(speakers[k])) {
                EXPECT_LE(disc, 25) << what;
            } else {
                EXPECT_GE(disc, 45) << what;
            }
            // The number: ink of another colour than the marker inside its box.
            std::vector<bool> ink;
            int inked = 0;
            for (int py = int(std::lround(y)) - 4; py <= int(std::lround(y)) + 4; ++py)
                for (int px = int(std::lround(x)) - 3; px <= int(std::lround(x)) + 3; ++px) {
                    CColor c;
                    frame->getPixel(px, py, c);
                    const bool differs = amber(c) == !KivSpeakerDiagram::isLowered(speakers[k]);
                    ink.push_back(!differs);
                    inked += differs ? 0 : 1;
                }
            EXPECT_GE(inked, 4) << what << ": its number is drawn";
            numbers.push_back(ink);
        }
        // Outputs 1 and 2 carry different numbers (both filled in every layout).
        if (!KivSpeakerDiagram::isLowered(speakers[0]) &&
            !KivSpeakerDiagram::isLowered(speakers[1])) {
            EXPECT_NE(numbers[0], numbers[1]) << "slot " << slot;
        }
        // Nothing where this layout has no speaker.
        for (const SpeakerDirection& other : everywhere) {
            double ox = 0, oy = 0;
            KivSpeakerDiagram::markerCentre(other, ox, oy);
            bool near = false;
            for (const SpeakerDirection& own : speakers) {
                double x = 0, y = 0;
                KivSpeakerDiagram::markerCentre(own, x, y);
                near =
                    near || std::hypot(x - ox, y - oy) < 2 * KivSpeakerDiagram::kMarkerRadius + 2;
            }
            if (!near) {
                EXPECT_EQ(amberPixelsWithin(frame, ox, oy, 5.0), 0)
                    << "slot " << slot << ": a marker at " << other.azimuthDeg << "/"
                    << other.elevationDeg;
            }
        }
    }

    // Only a new decoder makes the diagram dirty.
    effect->setParameter(effect, 3, 0.0f);
    dispatch(effEditIdle);
    const long draws = frame->getDrawCount();
    effect->setParameter(effect, 3, 0.01f); // the same slot
    effect->setParameter(effect, 2, 0.3f);
    EXPECT_FALSE(diagram->isDirty());
    effect->setParameter(effect, 3, 1.0f);
    EXPECT_TRUE(diagram->isDirty());
    dispatch(effEditIdle);
    EXPECT_GT(frame->getDrawCount(), draws);
}

TEST_F(EditorWindow, EveryDecoderNameLeavesAMarginInTheLayoutBox) {
    ASSERT_EQ(dispatch(effEditOpen), 1);
    CFrame* frame = editor->getCFrame();
    const CRect box = editor->getDisplay(3)->getViewSize();
    for (int slot = 0; slot < kDecListSize; ++slot) {
        effect->setParameter(effect, 3, float(slot) / 6.0f);
        dispatch(effEditIdle);
        // The white text's columns: any pixel clearly lighter than the dark box.
        int first = box.right, last = box.left - 1;
        for (int px = box.left; px < box.right; ++px)
            for (int py = box.top + 1; py < box.bottom - 1; ++py) {
                CColor c;
                frame->getPixel(px, py, c);
                if (std::min({c.red, c.green, c.blue}) > 110) {
                    first = std::min(first, px);
                    last = std::max(last, px);
                }
            }
        ASSERT_LE(first, last) << shown(3) << ": no text drawn";
        EXPECT_GE(first - box.left, 4) << shown(3);
        EXPECT_GE(box.right - 1 - last, 4) << shown(3);
    }
}

TEST(DisplayConversions, TextsOfTheEditor) {
    struct Case {
        void (*convert)(float, char*);
        float value;
        const char* text;
    } cases[] = {
        {FloatToGainStringJex, 0.665f, "1.33"},      {FloatToGainStringJex, 0.5f, "1.00"},
        {FloatToGainStringJex, 0.0f, "0.00"},        {FloatToGainStringJex, 1.0f, "2.00"},
        {FloatToHzStringJex, 0.28695652f, "380Hz"},  {FloatToHzStringJex, 0.0f, "50Hz"},
        {FloatToHzStringJex, 1.0f, "1200Hz"},        {FloatToDistStringJex, 1.0f, "Off"},
        {FloatToDistStringJex, 0.999f, "7.99m"},     {FloatToDistStringJex, 0.0f, "0.50m"},
        {FloatToDistStringJex, 0.2f, "2.00m"},       {FloatToSEQStringJex, 0.0f, "No-Use LF"},
        {FloatToSEQStringJex, 0.2499f, "No-Use LF"}, {FloatToSEQStringJex, 0.25f, "Kiv EQ"},
        {FloatToSEQStringJex, 0.7499f, "Kiv EQ"},    {FloatToSEQStringJex, 0.75f, "Mavo EQ"},
    };
    for (const Case& c : cases) {
        char text[kDisplayTextSize] = {};
        c.convert(c.value, text);
        EXPECT_STREQ(text, c.text) << c.value;
    }
    char text[kDisplayTextSize] = "unchanged";
    FloatToDecStringJex(0.3f, text, nullptr);
    EXPECT_STREQ(text, "");
}

} // namespace
