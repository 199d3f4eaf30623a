// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/HeadphoneMonitorEditor.h"

#include "editor/KivAnimKnob.h"
#include "editor/KivLayoutChooser.h"
#include "editor/KivLayoutDiagram.h"
#include "editor/KivTextLine.h"
#include "host/AudioEffectX.h"
#include "host/VstOpcodes.h"
#include "hrtf/HrtfSet.h"
#include "hrtf/UserHrtfSets.h"
#include "product/HeadphoneView.h"
#include "product/HeadphoneViewSource.h"
#include "product/LayoutView.h"
#include "rig/UserLayouts.h"
#include "toolkit/CBitmap.h"
#include "toolkit/CFontDesc.h"
#include "toolkit/CFrame.h"
#include "toolkit/CHorizontalSwitch.h"
#include "toolkit/CParamDisplay.h"

#include <cstdio>
#include <cstring>

using namespace VSTGUI;

namespace {

// The areas of the window; the background draws their wells and labels.
const CRect kNameArea(20, 36, 340, 56);
const CRect kDiagramArea(20, 58, 340, 378);
const CRect kLayoutChooserArea(360, 60, 626, 84);
const CRect kSetChooserArea(360, 118, 626, 142);
const CRect kSetLineArea(360, 148, 626, 166);
const CRect kMessageArea(14, 392, 626, 412);
// The level knob and the bypass switch, each in a cell of 80 x 100 with its display below.
const CRect kControlArea[kHeadphoneMonitorParameters] = {CRect(), // layout: the chooser
                                                         CRect(388, 206, 452, 270),  // level
                                                         CRect(516, 226, 564, 250)}; // bypass
const CRect kDisplayArea[kHeadphoneMonitorParameters] = {CRect(), CRect(382, 272, 458, 288),
                                                         CRect(502, 272, 578, 288)};

constexpr long kKnobFrames = 281;
constexpr CCoord kKnobFrameHeight = 64;
constexpr CCoord kSwitchFrameHeight = 24;

CFontDesc nameFont("Helvetica", 13, kBoldFace);
CFontDesc smallFont("Helvetica", 11);

std::string fileNameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int stepped(int current, int step, int count) {
    if (current < 0) return step > 0 ? 0 : count - 1;
    return ((current + step) % count + count) % count;
}

} // namespace

HeadphoneMonitorEditor::HeadphoneMonitorEditor(AudioEffectX* effect, HeadphoneViewSource* source)
    : KivParameterEditor(effect, kBackgroundPicture, kNumParams,
                         (1u << kHmLevel) | (1u << kHmBypass)),
      effectX(effect), source(source) {}

LayoutView HeadphoneMonitorEditor::diagramViewOf(const HeadphoneView& view) {
    LayoutView shown;
    shown.generation = view.generation;
    shown.count = view.count;
    for (int k = 0; k < view.count && k < HeadphoneView::kMaxFeeds; ++k) {
        shown.rows[k].output = view.rows[k].input;
        shown.rows[k].azimuthDegrees = view.rows[k].azimuthDegrees;
        shown.rows[k].elevationDegrees = view.rows[k].elevationDegrees;
        std::memcpy(shown.rows[k].name, view.rows[k].name, sizeof shown.rows[k].name);
    }
    return shown;
}

std::string HeadphoneMonitorEditor::rateText(const HeadphoneView& view) {
    if (!(view.setFileRateHz > 0.0f)) return "";
    char text[96];
    std::snprintf(text, sizeof text, "%.0f Hz set, plays at %.0f Hz", double(view.setFileRateHz),
                  double(view.runningRateHz));
    return text;
}

const char* HeadphoneMonitorEditor::unitOf(int index, const char*) const {
    return index == kHmLevel ? " dB" : "";
}

bool HeadphoneMonitorEditor::open(void* parentWindow) {
    openFrame(parentWindow);
    layouts.clear();
    for (const MonitorLayout& l : monitorLayouts()) layouts.push_back({l.name, ""});
    for (const UserLayoutFile& f : listUserLayouts()) layouts.push_back({f.name, f.path});
    sets.clear();
    sets.push_back({"default", HrtfSet::defaultPath()});
    for (const std::string& path : userHrtfSetPaths()) {
        std::string name = fileNameOf(path);
        name = name.substr(0, name.size() - 5); // the listing has only *.sofa
        sets.push_back({name, path});
    }

    auto* knobStrip = new CBitmap(kKnobStrip);
    auto* twoWayStrip = new CBitmap(kTwoWayStrip);
    addControl(new KivAnimKnob(kControlArea[kHmLevel], this, kHmLevel, kKnobFrames,
                               kKnobFrameHeight, knobStrip, CPoint(0, 0)));
    addHostTextDisplay(kHmLevel, kDisplayArea[kHmLevel]);
    addControl(new CHorizontalSwitch(kControlArea[kHmBypass], this, kHmBypass, 2,
                                     kSwitchFrameHeight, 2, twoWayStrip, CPoint(0, 0)));
    addHostTextDisplay(kHmBypass, kDisplayArea[kHmBypass]);
    knobStrip->forget();
    twoWayStrip->forget();

    diagram = new KivLayoutDiagram(kDiagramArea);
    diagram->setHead(true);
    cframe->addView(diagram);
    nameLine = place(new KivTextLine(kNameArea, &nameFont, CColor{236, 240, 246, 255}));
    setLine = place(new KivTextLine(kSetLineArea, &smallFont, CColor{200, 206, 214, 255}));
    messageLine =
        place(new KivTextLine(kMessageArea, &smallFont, CColor{250, 168, 56, 255}, kLeftText));
    layoutChooser = place(new KivLayoutChooser(kLayoutChooserArea, this, kLayoutChooserTag));
    setChooser = place(new KivLayoutChooser(kSetChooserArea, this, kSetChooserTag));
    viewShown = false;
    showView();

    setKnobMode(0);
    return true;
}

void HeadphoneMonitorEditor::forgetViews() {
    diagram = nullptr;
    layoutChooser = setChooser = nullptr;
    nameLine = setLine = messageLine = nullptr;
}

int HeadphoneMonitorEditor::layoutIndexOf(const HeadphoneView& view) const {
    if (view.layoutChoice >= 0 && view.layoutChoice < monitorLayoutCount())
        return view.layoutChoice;
    for (std::size_t i = monitorLayouts().size(); i < layouts.size(); ++i)
        if (fileNameOf(layouts[i].path) == view.layoutFile) return static_cast<int>(i);
    return -1; // a file from elsewhere
}

int HeadphoneMonitorEditor::setIndexOf(const HeadphoneView& view) const {
    if (view.defaultSet) return 0;
    for (std::size_t i = 1; i < sets.size(); ++i)
        if (fileNameOf(sets[i].path) == view.setFile) return static_cast<int>(i);
    return -1;
}

void HeadphoneMonitorEditor::showView() {
    if (!cframe || !source) return;
    const HeadphoneView view = source->headphoneView();
    if (viewShown && view.generation == shownGeneration) return;
    viewShown = true;
    shownGeneration = view.generation;
    diagram->setView(diagramViewOf(view));
    nameLine->setText(view.layoutName);
    const int layout = layoutIndexOf(view);
    layoutChooser->setText(layout >= 0 ? layouts[layout].name : std::string(view.layoutName));
    setChooser->setText(view.setName);
    setLine->setText(rateText(view));
    messageLine->setText(view.message);
}

void HeadphoneMonitorEditor::chooseLayout(int step) {
    if (!source || layouts.empty()) return;
    const int next =
        stepped(layoutIndexOf(source->headphoneView()), step, static_cast<int>(layouts.size()));
    if (next < monitorLayoutCount()) {
        // A layout of the list is the layout parameter, as a host would set it.
        effect->setParameterAutomated(kHmLayout, hmNormalisedOfLayoutChoice(next));
    } else {
        AEffect* record = effect->getAeffect();
        record->dispatcher(record, effVendorSpecific, kKivLoadLayout, 0,
                           const_cast<char*>(layouts[next].path.c_str()), 0.0f);
    }
    effectX->updateDisplay();
    showView();
}

void HeadphoneMonitorEditor::chooseSet(int step) {
    if (!source || sets.empty()) return;
    const int next =
        stepped(setIndexOf(source->headphoneView()), step, static_cast<int>(sets.size()));
    AEffect* record = effect->getAeffect();
    record->dispatcher(record, effVendorSpecific, kKivLoadHrtf, 0,
                       const_cast<char*>(sets[next].path.c_str()), 0.0f);
    effectX->updateDisplay();
    showView();
}

void HeadphoneMonitorEditor::otherControlChanged(CControl* control) {
    const long tag = control->getTag();
    if (tag != kLayoutChooserTag && tag != kSetChooserTag) return;
    const int step = static_cast<KivLayoutChooser*>(control)->getStep();
    if (tag == kLayoutChooserTag)
        chooseLayout(step);
    else
        chooseSet(step);
}
