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

} // namespace

bool LayoutDecoderEditor::idleWhenAsWritten(int index) {
    return index == kLdLowFPattern || index == kLdHighFPattern || index == kLdCutOff ||
           index == kLdDistance || index == kLdSpatialEQ;
}

LayoutDecoderEditor::LayoutDecoderEditor(AudioEffectX* effect, LayoutViewSource* source)
    : KivParameterEditor(effect, kBackgroundPicture, kNumParams,
                         ((1u << kNumParams) - 1) & ~(1u << kLdLayout)),
      effectX(effect), source(source) {}

void LayoutDecoderEditor::displayTextOf(int index, char* text) const {
    if (asWritten && idleWhenAsWritten(index)) {
        std::snprintf(text, CParamDisplay::kTextSize, "as written");
        return;
    }
    KivParameterEditor::displayTextOf(index, text);
}

const char* LayoutDecoderEditor::unitOf(int index, const char* hostText) const {
    const ParameterUnit unit = kLayoutDecoderProduct.parameters[index].unit;
    const bool number = hostText[0] == '-' || (hostText[0] >= '0' && hostText[0] <= '9');
    return !number                         ? ""
           : unit == ParameterUnit::Hertz  ? " Hz"
           : unit == ParameterUnit::Metres ? " m"
                                           : "";
}

bool LayoutDecoderEditor::open(void* parentWindow) {
    openFrame(parentWindow);
    auto* knobStrip = new CBitmap(kKnobStrip);
    auto* threeWayStrip = new CBitmap(kThreeWayStrip);
    auto* twoWayStrip = new CBitmap(kTwoWayStrip);

    for (int tag = 0; tag < kNumParams; ++tag) {
        const Cell& cell = kCells[tag];
        if (cell.kind == Cell::None) continue;
        if (cell.kind == Cell::Knob)
            addControl(new KivAnimKnob(controlRect(cell), this, tag, kKnobFrames, kKnobFrameHeight,
                                       knobStrip, CPoint(0, 0)));
        else if (cell.kind == Cell::ThreeWay)
            addControl(new CHorizontalSwitch(controlRect(cell), this, tag, 3, kSwitchFrameHeight, 3,
                                             threeWayStrip, CPoint(0, 0)));
        else
            addControl(new CHorizontalSwitch(controlRect(cell), this, tag, 2, kSwitchFrameHeight, 2,
                                             twoWayStrip, CPoint(0, 0)));
        addHostTextDisplay(tag, displayRect(cell));
        if (idleWhenAsWritten(tag)) dimmers[tag] = place(new KivDimmer(controlRect(cell)));
    }
    knobStrip->forget();
    threeWayStrip->forget();
    twoWayStrip->forget();

    diagram = place(new KivLayoutDiagram(kDiagramArea));
    table = place(new KivSpeakerTable(kTableArea));
    nameLine = place(new KivTextLine(kNameArea, &nameFont, CColor{236, 240, 246, 255}));
    messageLine =
        place(new KivTextLine(kMessageArea, &messageFont, CColor{250, 168, 56, 255}, kLeftText));
    chooser = place(new KivLayoutChooser(kChooserArea, this, kChooserTag));
    asWritten = false;
    showView();

    setKnobMode(0);
    return true;
}

void LayoutDecoderEditor::forgetViews() {
    diagram = nullptr;
    table = nullptr;
    chooser = nullptr;
    nameLine = messageLine = nullptr;
    for (auto*& dimmer : dimmers) dimmer = nullptr;
}

void LayoutDecoderEditor::showView() {
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
    showView();
}

void LayoutDecoderEditor::otherControlChanged(CControl* control) {
    if (control->getTag() == kChooserTag)
        chooseNext(static_cast<KivLayoutChooser*>(control)->getStep());
}
