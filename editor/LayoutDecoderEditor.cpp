// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/LayoutDecoderEditor.h"

#include "editor/KivAnimKnob.h"
#include "editor/KivDimmer.h"
#include "editor/KivLayoutChooser.h"
#include "editor/KivLayoutDiagram.h"
#include "editor/KivSpeakerTable.h"
#include "editor/KivTextLine.h"
#include "host/AudioEffectX.h"
#include "host/VstOpcodes.h"
#include "product/LayoutViewSource.h"
#include "toolkit/CBitmap.h"
#include "toolkit/CFontDesc.h"
#include "toolkit/CFrame.h"
#include "toolkit/CHorizontalSwitch.h"
#include "toolkit/CParamDisplay.h"

#include <cstdio>
#include <cstring>

using namespace VSTGUI;

namespace {

// The controls stand in a grid of three columns and three rows of cells, 80 x 100 pixels
// from (10, 44); the background labels each cell above its control.
struct Cell {
    int column, row;
    enum Kind { Knob, ThreeWay, TwoWay, None } kind;
};
constexpr Cell kCells[kLayoutDecoderParameters] = {
    {0, 0, Cell::Knob},     // LF pattern
    {1, 0, Cell::Knob},     // HF pattern
    {2, 0, Cell::Knob},     // cut-off
    {0, 0, Cell::None},     // layout: the chooser
    {0, 1, Cell::Knob},     // speaker distance
    {1, 1, Cell::Knob},     // encoded distance
    {2, 1, Cell::ThreeWay}, // spatial EQ
    {0, 2, Cell::TwoWay},   // compensation
    {1, 2, Cell::TwoWay},   // subwoofer
    {2, 2, Cell::Knob},     // crossover
};

CRect cellRect(const Cell& c) {
    const int left = 10 + 80 * c.column, top = 44 + 100 * c.row;
    return CRect(left, top, left + 80, top + 100);
}
CRect controlRect(const Cell& c) {
    const CRect cell = cellRect(c);
    if (c.kind == Cell::Knob)
        return CRect(cell.left + 8, cell.top + 16, cell.left + 72, cell.top + 80);
    return CRect(cell.left + 16, cell.top + 36, cell.left + 64, cell.top + 60);
}
CRect displayRect(const Cell& c) {
    const CRect cell = cellRect(c);
    return CRect(cell.left + 2, cell.top + 82, cell.left + 78, cell.top + 98);
}

constexpr long kKnobFrames = 281;
constexpr CCoord kKnobFrameHeight = 64;
constexpr CCoord kSwitchFrameHeight = 24;

const CRect kNameArea(250, 34, 550, 54);
const CRect kDiagramArea(250, 60, 550, 360);
const CRect kTableArea(556, 44, 880, 316);
const CRect kChooserArea(330, 372, 550, 396);
const CRect kMessageArea(14, 408, 876, 428);

CFontDesc nameFont("Helvetica", 13, kBoldFace);
CFontDesc messageFont("Helvetica", 11);

bool validTag(long tag) {
    return tag >= 0 && tag < LayoutDecoderEditor::kNumParams && tag != kLdLayout;
}

} // namespace

bool LayoutDecoderEditor::idleWhenAsWritten(int index) {
    return index == kLdLowFPattern || index == kLdHighFPattern || index == kLdCutOff ||
           index == kLdDistance || index == kLdSpatialEQ;
}

LayoutDecoderEditor::LayoutDecoderEditor(AudioEffectX* effect, LayoutViewSource* source)
    : AEffGUIEditor(effect), effectX(effect), source(source) {
    background = new CBitmap(kBackgroundPicture);
    rect = ERect{0, 0, static_cast<VstInt16>(background->getHeight()),
                 static_cast<VstInt16>(background->getWidth())};
}

LayoutDecoderEditor::~LayoutDecoderEditor() {
    // A host may destroy the effect with the window still open.
    deleteFrame();
    background->forget();
}

void LayoutDecoderEditor::displayText(float, char* text, void* data) {
    const auto* s = static_cast<const DisplaySource*>(data);
    if (s->editor->asWritten && idleWhenAsWritten(s->index)) {
        std::snprintf(text, CParamDisplay::kTextSize, "as written");
        return;
    }
    char value[CParamDisplay::kTextSize] = {};
    // The host's own text: the editor says what a generic host view says, with its unit.
    s->editor->effect->getParameterDisplay(s->index, value);
    const ParameterUnit unit = kLayoutDecoderProduct.parameters[s->index].unit;
    const bool number = value[0] == '-' || (value[0] >= '0' && value[0] <= '9');
    const char* suffix = !number                         ? ""
                         : unit == ParameterUnit::Hertz  ? " Hz"
                         : unit == ParameterUnit::Metres ? " m"
                                                         : "";
    std::snprintf(text, CParamDisplay::kTextSize, "%.200s%s", value, suffix);
}

bool LayoutDecoderEditor::open(void* parentWindow) {
    // A second open without a close in between would orphan the first window.
    if (cframe) close();
    AEffGUIEditor::open(parentWindow);
    windowThread.store(std::this_thread::get_id());
    pendingParameters.store(0);

    auto* knobStrip = new CBitmap(kKnobStrip);
    auto* threeWayStrip = new CBitmap(kThreeWayStrip);
    auto* twoWayStrip = new CBitmap(kTwoWayStrip);

    const CRect size(0, 0, background->getWidth(), background->getHeight());
    cframe = new CFrame(size, parentWindow, this);
    frame = cframe;
    cframe->setBackground(background);

    for (int tag = 0; tag < kNumParams; ++tag) {
        const Cell& cell = kCells[tag];
        if (cell.kind == Cell::None) continue;
        CControl* control = nullptr;
        if (cell.kind == Cell::Knob)
            control = new KivAnimKnob(controlRect(cell), this, tag, kKnobFrames, kKnobFrameHeight,
                                      knobStrip, CPoint(0, 0));
        else if (cell.kind == Cell::ThreeWay)
            control = new CHorizontalSwitch(controlRect(cell), this, tag, 3, kSwitchFrameHeight, 3,
                                            threeWayStrip, CPoint(0, 0));
        else
            control = new CHorizontalSwitch(controlRect(cell), this, tag, 2, kSwitchFrameHeight, 2,
                                            twoWayStrip, CPoint(0, 0));
        control->setValue(effect->getParameter(tag));
        control->setTransparency(false);
        cframe->addView(control);
        controls[tag] = control;

        auto* shown = new CParamDisplay(displayRect(cell), nullptr, 0);
        shown->setFont(kNormalFontSmaller);
        shown->setFontColor(kBlackCColor);
        sources[tag] = {this, tag};
        shown->setStringConvert(&LayoutDecoderEditor::displayText, &sources[tag]);
        shown->setValue(effect->getParameter(tag));
        shown->setTag(tag);
        shown->setTransparency(true);
        cframe->addView(shown);
        displays[tag] = shown;

        if (idleWhenAsWritten(tag)) {
            dimmers[tag] = new KivDimmer(controlRect(cell));
            cframe->addView(dimmers[tag]);
        }
    }
    knobStrip->forget();
    threeWayStrip->forget();
    twoWayStrip->forget();

    diagram = new KivLayoutDiagram(kDiagramArea);
    cframe->addView(diagram);
    table = new KivSpeakerTable(kTableArea);
    cframe->addView(table);
    nameLine = new KivTextLine(kNameArea, &nameFont, CColor{236, 240, 246, 255});
    cframe->addView(nameLine);
    messageLine = new KivTextLine(kMessageArea, &messageFont, CColor{250, 168, 56, 255}, kLeftText);
    cframe->addView(messageLine);
    chooser = new KivLayoutChooser(kChooserArea, this, kChooserTag);
    cframe->addView(chooser);
    asWritten = false;
    showLayoutView();

    setKnobMode(0);
    return true;
}

void LayoutDecoderEditor::deleteFrame() {
    if (!cframe) return;
    CFrame* closing = cframe;
    cframe = nullptr;
    frame = nullptr;
    diagram = nullptr;
    table = nullptr;
    chooser = nullptr;
    nameLine = messageLine = nullptr;
    for (int i = 0; i < kNumParams; ++i) {
        controls[i] = nullptr;
        displays[i] = nullptr;
        dimmers[i] = nullptr;
    }
    delete closing;
}

void LayoutDecoderEditor::close() {
    deleteFrame();
    AEffGUIEditor::close();
}

void LayoutDecoderEditor::idle() {
    showPendingParameters();
    showLayoutView();
    AEffGUIEditor::idle();
}

void LayoutDecoderEditor::showPendingParameters() {
    if (!cframe) return;
    const std::uint32_t pending = pendingParameters.exchange(0);
    for (int index = 0; index < kNumParams; ++index)
        if (pending & (1u << index)) showParameter(index);
}

void LayoutDecoderEditor::showParameter(int index) {
    if (!cframe || index < 0 || index >= kNumParams) return;
    if (controls[index]) controls[index]->setValue(effect->getParameter(index));
    if (displays[index]) {
        displays[index]->setValue(effect->getParameter(index));
        displays[index]->setDirty(); // the host's text may change with the same value
    }
}

void LayoutDecoderEditor::showLayoutView() {
    if (!cframe || !source) return;
    const LayoutView view = source->layoutView();
    diagram->setView(view);
    table->setView(view);
    nameLine->setText(view.name);
    chooser->setText(view.name);
    messageLine->setText(view.message);
    const bool nowAsWritten = view.asWritten != 0;
    if (nowAsWritten == asWritten) return;
    asWritten = nowAsWritten;
    for (int i = 0; i < kNumParams; ++i) {
        if (dimmers[i]) dimmers[i]->setVisible(asWritten);
        if (displays[i]) displays[i]->setDirty();
        if (controls[i]) controls[i]->setDirty();
    }
}

void LayoutDecoderEditor::chooseNext(int step) {
    const VstInt32 count = effect->getAeffect()->numPrograms;
    if (count <= 0) return;
    const VstInt32 next = ((effect->getProgram() + step) % count + count) % count;
    // As a host would: the program through the dispatcher, then the host is told.
    AEffect* record = effect->getAeffect();
    record->dispatcher(record, effSetProgram, 0, next, nullptr, 0.0f);
    effectX->updateDisplay();
    showLayoutView();
}

CControl* LayoutDecoderEditor::getControl(int tag) const {
    return cframe && validTag(tag) ? controls[tag] : nullptr;
}

CParamDisplay* LayoutDecoderEditor::getDisplay(int tag) const {
    return cframe && validTag(tag) ? displays[tag] : nullptr;
}

void LayoutDecoderEditor::setParameter(VstInt32 index, float) {
    if (index < 0 || index >= kNumParams) return;
    if (std::this_thread::get_id() != windowThread.load()) {
        pendingParameters.fetch_or(1u << index);
        return;
    }
    if (cframe) showParameter(index);
}

void LayoutDecoderEditor::valueChanged(CControl* control) {
    const long tag = control->getTag();
    if (tag == kChooserTag) {
        chooseNext(static_cast<KivLayoutChooser*>(control)->getStep());
        return;
    }
    if (!validTag(tag)) return;
    effect->setParameterAutomated(static_cast<VstInt32>(tag), control->getValue());
    control->setDirty();
}

bool LayoutDecoderEditor::writeSnapshot(const char* pngPath) {
    if (!pngPath) return false;
    if (cframe) return cframe->writePng(pngPath);
    const long mode = getKnobMode();
    open(nullptr);
    const bool written = cframe->writePng(pngPath);
    close();
    setKnobMode(static_cast<VstInt32>(mode));
    return written;
}
