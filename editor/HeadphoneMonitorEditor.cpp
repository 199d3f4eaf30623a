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

bool validTag(long tag) {
    return tag == kHmLevel || tag == kHmBypass;
}

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
    : AEffGUIEditor(effect), effectX(effect), source(source) {
    background = new CBitmap(kBackgroundPicture);
    rect = ERect{0, 0, static_cast<VstInt16>(background->getHeight()),
                 static_cast<VstInt16>(background->getWidth())};
}

HeadphoneMonitorEditor::~HeadphoneMonitorEditor() {
    // A host may destroy the effect with the window still open.
    deleteFrame();
    background->forget();
}

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

void HeadphoneMonitorEditor::displayText(float, char* text, void* data) {
    const auto* s = static_cast<const DisplaySource*>(data);
    char value[CParamDisplay::kTextSize] = {};
    // The host's own text, with the level's unit.
    s->editor->effect->getParameterDisplay(s->index, value);
    std::snprintf(text, CParamDisplay::kTextSize, "%.200s%s", value,
                  s->index == kHmLevel ? " dB" : "");
}

bool HeadphoneMonitorEditor::open(void* parentWindow) {
    // A second open without a close in between would orphan the first window.
    if (cframe) close();
    AEffGUIEditor::open(parentWindow);
    windowThread.store(std::this_thread::get_id());
    pendingParameters.store(0);

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
    const CRect size(0, 0, background->getWidth(), background->getHeight());
    cframe = new CFrame(size, parentWindow, this);
    frame = cframe;
    cframe->setBackground(background);

    for (int tag : {int(kHmLevel), int(kHmBypass)}) {
        CControl* control =
            tag == kHmLevel
                ? static_cast<CControl*>(new KivAnimKnob(kControlArea[tag], this, tag, kKnobFrames,
                                                         kKnobFrameHeight, knobStrip, CPoint(0, 0)))
                : new CHorizontalSwitch(kControlArea[tag], this, tag, 2, kSwitchFrameHeight, 2,
                                        twoWayStrip, CPoint(0, 0));
        control->setValue(effect->getParameter(tag));
        control->setTransparency(false);
        cframe->addView(control);
        controls[tag] = control;

        auto* shown = new CParamDisplay(kDisplayArea[tag], nullptr, 0);
        shown->setFont(kNormalFontSmaller);
        shown->setFontColor(kBlackCColor);
        sources[tag] = {this, tag};
        shown->setStringConvert(&HeadphoneMonitorEditor::displayText, &sources[tag]);
        shown->setValue(effect->getParameter(tag));
        shown->setTag(tag);
        shown->setTransparency(true);
        cframe->addView(shown);
        displays[tag] = shown;
    }
    knobStrip->forget();
    twoWayStrip->forget();

    diagram = new KivLayoutDiagram(kDiagramArea);
    diagram->setHead(true);
    cframe->addView(diagram);
    nameLine = new KivTextLine(kNameArea, &nameFont, CColor{236, 240, 246, 255});
    cframe->addView(nameLine);
    setLine = new KivTextLine(kSetLineArea, &smallFont, CColor{200, 206, 214, 255});
    cframe->addView(setLine);
    messageLine = new KivTextLine(kMessageArea, &smallFont, CColor{250, 168, 56, 255}, kLeftText);
    cframe->addView(messageLine);
    layoutChooser = new KivLayoutChooser(kLayoutChooserArea, this, kLayoutChooserTag);
    cframe->addView(layoutChooser);
    setChooser = new KivLayoutChooser(kSetChooserArea, this, kSetChooserTag);
    cframe->addView(setChooser);
    viewShown = false;
    showView();

    setKnobMode(0);
    return true;
}

void HeadphoneMonitorEditor::deleteFrame() {
    if (!cframe) return;
    CFrame* closing = cframe;
    cframe = nullptr;
    frame = nullptr;
    diagram = nullptr;
    layoutChooser = setChooser = nullptr;
    nameLine = setLine = messageLine = nullptr;
    for (int i = 0; i < kNumParams; ++i) {
        controls[i] = nullptr;
        displays[i] = nullptr;
    }
    delete closing;
}

void HeadphoneMonitorEditor::close() {
    deleteFrame();
    AEffGUIEditor::close();
}

void HeadphoneMonitorEditor::idle() {
    showPendingParameters();
    showView();
    AEffGUIEditor::idle();
}

void HeadphoneMonitorEditor::showPendingParameters() {
    if (!cframe) return;
    const std::uint32_t pending = pendingParameters.exchange(0);
    for (int index = 0; index < kNumParams; ++index)
        if (pending & (1u << index)) showParameter(index);
}

void HeadphoneMonitorEditor::showParameter(int index) {
    if (!cframe || index < 0 || index >= kNumParams) return;
    if (controls[index]) controls[index]->setValue(effect->getParameter(index));
    if (displays[index]) {
        displays[index]->setValue(effect->getParameter(index));
        displays[index]->setDirty(); // the host's text may change with the same value
    }
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

CControl* HeadphoneMonitorEditor::getControl(int tag) const {
    return cframe && validTag(tag) ? controls[tag] : nullptr;
}

CParamDisplay* HeadphoneMonitorEditor::getDisplay(int tag) const {
    return cframe && validTag(tag) ? displays[tag] : nullptr;
}

void HeadphoneMonitorEditor::setParameter(VstInt32 index, float) {
    if (index < 0 || index >= kNumParams) return;
    if (std::this_thread::get_id() != windowThread.load()) {
        pendingParameters.fetch_or(1u << index);
        return;
    }
    if (cframe) showParameter(index);
}

void HeadphoneMonitorEditor::valueChanged(CControl* control) {
    const long tag = control->getTag();
    if (tag == kLayoutChooserTag || tag == kSetChooserTag) {
        const int step = static_cast<KivLayoutChooser*>(control)->getStep();
        if (tag == kLayoutChooserTag)
            chooseLayout(step);
        else
            chooseSet(step);
        return;
    }
    if (!validTag(tag)) return;
    effect->setParameterAutomated(static_cast<VstInt32>(tag), control->getValue());
    control->setDirty();
}

bool HeadphoneMonitorEditor::writeSnapshot(const char* pngPath) {
    if (!pngPath) return false;
    if (cframe) return cframe->writePng(pngPath);
    const long mode = getKnobMode();
    open(nullptr);
    const bool written = cframe->writePng(pngPath);
    close();
    setKnobMode(static_cast<VstInt32>(mode));
    return written;
}
