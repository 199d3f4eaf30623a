// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/KivAmbiEditorJex.h"

#include "editor/DisplayConversions.h"
#include "editor/KivAnimKnob.h"
#include "editor/KivSpeakerDiagram.h"
#include "host/AudioEffect.h"
#include "product/DecList.h"
#include "toolkit/CBitmap.h"
#include "toolkit/CFontDesc.h"
#include "toolkit/CFrame.h"
#include "toolkit/CHorizontalSwitch.h"
#include "toolkit/CParamDisplay.h"

using namespace VSTGUI;

#ifdef KIV_EDITOR_IN_VSTGUI
namespace VSTGUI {
#endif

namespace {

// Where each parameter's control and display sit (left, top, right, bottom).
struct Placement {
    CRect control;
    CRect display;
};

constexpr Placement kLayout[KivAmbiEditorJex::kNumParams] = {
    {CRect(37, 3, 101, 67), CRect(4, 25, 34, 45)},          // 0 low-frequency pattern
    {CRect(11, 83, 75, 147), CRect(78, 105, 108, 125)},     // 1 high-frequency pattern
    {CRect(37, 164, 101, 228), CRect(1, 186, 36, 206)},     // 2 cut-off
    {CRect(227, 226, 323, 250), CRect(215, 206, 335, 226)}, // 3 layout
    {CRect(475, 86, 539, 150), CRect(442, 105, 472, 125)},  // 4 speaker distance
    {CRect(450, 6, 514, 70), CRect(520, 25, 550, 45)},      // 5 encoded distance
    {CRect(458, 190, 506, 214), CRect(452, 170, 512, 190)}, // 6 spatial EQ
};

constexpr long kKnobFrames = 281;
constexpr CCoord kKnobFrameHeight = 64;
constexpr CCoord kSwitchFrameHeight = 24;

constexpr CColor kPanelGrey = {200, 200, 200, 255};
constexpr CColor kNameBox = {0, 48, 96, 64};

bool validTag(long tag) {
    return tag >= 0 && tag < KivAmbiEditorJex::kNumParams;
}

} // namespace

KivAmbiEditorJex::KivAmbiEditorJex(AudioEffect* effect) : AEffGUIEditor(effect) {
    background = new CBitmap(kBackgroundPicture);
    rect = ERect{0, 0, static_cast<VstInt16>(background->getHeight()),
                 static_cast<VstInt16>(background->getWidth())};
}

KivAmbiEditorJex::~KivAmbiEditorJex() {
    // A host may destroy the effect with the window still open: the frame and its X11
    // window go with it rather than being orphaned.
    deleteFrame();
    background->forget();
}

bool KivAmbiEditorJex::open(void* parentWindow) {
    // A second open without a close in between would orphan the first window.
    if (cframe) close();
    AEffGUIEditor::open(parentWindow);
    windowThread.store(std::this_thread::get_id());
    pendingParameters.store(0); // the views are built from the current values below

    knobStrip = new CBitmap(kKnobStrip);
    threeWayStrip = new CBitmap(kThreeWayStrip);
    sevenWayStrip = new CBitmap(kSevenWayStrip);

    const CRect size(0, 0, background->getWidth(), background->getHeight());
    cframe = new CFrame(size, parentWindow, this);
    frame = cframe;
    cframe->setBackground(background);

    auto addControl = [&](CControl* control) {
        control->setValue(effect->getParameter(static_cast<VstInt32>(control->getTag())));
        control->setTransparency(false);
        cframe->addView(control);
    };
    auto makeKnob = [&](long tag) {
        auto* knob = new KivAnimKnob(kLayout[tag].control, this, tag, kKnobFrames, kKnobFrameHeight,
                                     knobStrip, CPoint(0, 0));
        addControl(knob);
        return knob;
    };
    knob0 = makeKnob(0);
    knob1 = makeKnob(1);
    knob2 = makeKnob(2);
    knob4 = makeKnob(4);
    knob5 = makeKnob(5);
    switch6 = new CHorizontalSwitch(kLayout[6].control, this, 6, 3, kSwitchFrameHeight, 3,
                                    threeWayStrip, CPoint(0, 0));
    addControl(switch6);
    switch3 = new CHorizontalSwitch(kLayout[3].control, this, 3, 7, kSwitchFrameHeight, 7,
                                    sevenWayStrip, CPoint(0, 0));
    addControl(switch3);

    for (int tag : {0, 1, 2, 5, 4, 6, 3}) {
        auto* shown = new CParamDisplay(kLayout[tag].display, nullptr, 0);
        if (tag == 3) {
            // The longest decoder name keeps a few pixels of margin on both sides.
            shown->setFont(kNormalFontSmaller);
            shown->setFontColor(kWhiteCColor);
            shown->setBackColor(kNameBox);
        } else {
            shown->setFont(tag == 6 ? kNormalFontSmall : kNormalFontSmaller);
            shown->setFontColor(kBlackCColor);
            shown->setBackColor(kPanelGrey);
            shown->setFrameColor(kPanelGrey);
        }
        shown->setValue(effect->getParameter(tag));
        switch (tag) {
        case 0:
        case 1:
            shown->setStringConvert(FloatToGainStringJex);
            break;
        case 2:
            shown->setStringConvert(FloatToHzStringJex);
            break;
        case 3:
            shown->setStringConvert(FloatToDecStringJex, effect);
            break;
        case 4:
        case 5:
            shown->setStringConvert(FloatToDistStringJex);
            break;
        default:
            shown->setStringConvert(FloatToSEQStringJex);
            break;
        }
        shown->setTag(tag);
        shown->setTransparency(tag != 3);
        cframe->addView(shown);
        display[tag] = shown;
    }

    // The bundle's decoder list is the one its .so (or test) defines.
    diagram = new KivSpeakerDiagram(KivSpeakerDiagram::area(), DecList);
    showLayout();
    cframe->addView(diagram);

    // Every open starts in circular mode, whatever the host chose before.
    setKnobMode(0);

    // The controls hold their own references to the strips.
    knobStrip->forget();
    threeWayStrip->forget();
    sevenWayStrip->forget();
    knobStrip = threeWayStrip = sevenWayStrip = nullptr;
    return true;
}

void KivAmbiEditorJex::deleteFrame() {
    if (!cframe) return;
    CFrame* closing = cframe;
    cframe = nullptr;
    frame = nullptr;
    diagram = nullptr;
    delete closing;
}

void KivAmbiEditorJex::close() {
    deleteFrame();
    AEffGUIEditor::close();
}

void KivAmbiEditorJex::idle() {
    showPendingParameters();
    AEffGUIEditor::idle();
}

void KivAmbiEditorJex::showPendingParameters() {
    if (!cframe) return;
    const std::uint32_t pending = pendingParameters.exchange(0);
    for (int index = 0; index < kNumParams; ++index)
        if (pending & (1u << index)) showParameter(index);
}

void KivAmbiEditorJex::showParameter(int index) {
    if (CControl* control = getControl(index)) control->setValue(effect->getParameter(index));
    if (CParamDisplay* shown = getDisplay(index)) shown->setValue(effect->getParameter(index));
    if (index == kLayoutTag) showLayout();
}

void KivAmbiEditorJex::showLayout() {
    if (diagram) diagram->setLayoutValue(effect->getParameter(kLayoutTag));
}

CControl* KivAmbiEditorJex::getControl(int tag) const {
    if (!cframe) return nullptr;
    switch (tag) {
    case 0:
        return knob0;
    case 1:
        return knob1;
    case 2:
        return knob2;
    case 3:
        return switch3;
    case 4:
        return knob4;
    case 5:
        return knob5;
    case 6:
        return switch6;
    default:
        return nullptr;
    }
}

CParamDisplay* KivAmbiEditorJex::getDisplay(int tag) const {
    return cframe && validTag(tag) ? display[tag] : nullptr;
}

void KivAmbiEditorJex::setParameter(VstInt32 index, float value) {
    (void)value; // the controls show the engine's state, after its own quantising
    if (!validTag(index)) return;
    // Another thread may not touch the views: the window's thread may be deleting them.
    if (std::this_thread::get_id() != windowThread.load()) {
        pendingParameters.fetch_or(1u << index);
        return;
    }
    if (cframe) showParameter(index);
}

void KivAmbiEditorJex::valueChanged(CControl* control) {
    const long tag = control->getTag();
    if (!validTag(tag)) return;
    effect->setParameterAutomated(static_cast<VstInt32>(tag), control->getValue());
    control->setDirty();
}

bool KivAmbiEditorJex::writeSnapshot(const char* pngPath) {
    if (!pngPath) return false;
    if (cframe) return cframe->writePng(pngPath);
    const long mode = getKnobMode();
    open(nullptr);
    const bool written = cframe->writePng(pngPath);
    close();
    setKnobMode(static_cast<VstInt32>(mode));
    return written;
}

#ifdef KIV_EDITOR_IN_VSTGUI
} // namespace VSTGUI
#endif
