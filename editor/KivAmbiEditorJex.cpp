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

} // namespace

KivAmbiEditorJex::KivAmbiEditorJex(AudioEffect* effect)
    : KivParameterEditor(effect, kBackgroundPicture, kNumParams, (1u << kNumParams) - 1) {}

bool KivAmbiEditorJex::open(void* parentWindow) {
    openFrame(parentWindow);
    auto* knobStrip = new CBitmap(kKnobStrip);
    auto* threeWayStrip = new CBitmap(kThreeWayStrip);
    auto* sevenWayStrip = new CBitmap(kSevenWayStrip);

    for (long tag : {0, 1, 2, 4, 5})
        addControl(new KivAnimKnob(kLayout[tag].control, this, tag, kKnobFrames, kKnobFrameHeight,
                                   knobStrip, CPoint(0, 0)));
    addControl(new CHorizontalSwitch(kLayout[6].control, this, 6, 3, kSwitchFrameHeight, 3,
                                     threeWayStrip, CPoint(0, 0)));
    addControl(new CHorizontalSwitch(kLayout[3].control, this, 3, 7, kSwitchFrameHeight, 7,
                                     sevenWayStrip, CPoint(0, 0)));

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
        shown->setTransparency(tag != 3);
        addDisplay(tag, shown);
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
    return true;
}

void KivAmbiEditorJex::showParameter(int index) {
    KivParameterEditor::showParameter(index);
    if (index == kLayoutTag) showLayout();
}

void KivAmbiEditorJex::showLayout() {
    if (diagram) diagram->setLayoutValue(effect->getParameter(kLayoutTag));
}

#ifdef KIV_EDITOR_IN_VSTGUI
} // namespace VSTGUI
#endif
