// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/KivParameterEditor.h"

#include "host/AudioEffect.h"
#include "toolkit/CBitmap.h"
#include "toolkit/CFontDesc.h"
#include "toolkit/CFrame.h"
#include "toolkit/CParamDisplay.h"

#include <cstdio>

using namespace VSTGUI;

KivParameterEditor::KivParameterEditor(AudioEffect* effect, long backgroundPicture, int numParams,
                                       std::uint32_t controlTags)
    : AEffGUIEditor(effect), numParams(numParams < kMaxParams ? numParams : kMaxParams),
      controlTags(controlTags) {
    background = new CBitmap(backgroundPicture);
    rect = ERect{0, 0, static_cast<VstInt16>(background->getHeight()),
                 static_cast<VstInt16>(background->getWidth())};
}

KivParameterEditor::~KivParameterEditor() {
    // A host may destroy the effect with the window still open: the frame and its X11
    // window go with it rather than being orphaned.
    deleteFrame();
    background->forget();
}

bool KivParameterEditor::isParameterTag(long tag) const {
    return tag >= 0 && tag < numParams && (controlTags & (1u << tag));
}

CFrame* KivParameterEditor::openFrame(void* parentWindow) {
    // A second open without a close in between would orphan the first window.
    if (cframe) close();
    AEffGUIEditor::open(parentWindow);
    windowThread.store(std::this_thread::get_id());
    pendingParameters.store(0); // the views are built from the current values

    const CRect size(0, 0, background->getWidth(), background->getHeight());
    cframe = new CFrame(size, parentWindow, this);
    frame = cframe;
    cframe->setBackground(background);
    return cframe;
}

void KivParameterEditor::addControl(CControl* control) {
    const long tag = control->getTag();
    control->setValue(effect->getParameter(static_cast<VstInt32>(tag)));
    control->setTransparency(false);
    cframe->addView(control);
    controls[tag] = control;
}

void KivParameterEditor::addToFrame(CView* view) {
    cframe->addView(view);
}

void KivParameterEditor::addDisplay(int tag, CParamDisplay* shown) {
    shown->setValue(effect->getParameter(tag));
    shown->setTag(tag);
    cframe->addView(shown);
    displays[tag] = shown;
}

void KivParameterEditor::addHostTextDisplay(int tag, const CRect& area) {
    auto* shown = new CParamDisplay(area, nullptr, 0);
    shown->setFont(kNormalFontSmaller);
    shown->setFontColor(kBlackCColor);
    sources[tag] = {this, tag};
    shown->setStringConvert(&KivParameterEditor::displayText, &sources[tag]);
    shown->setTransparency(true);
    addDisplay(tag, shown);
}

void KivParameterEditor::displayText(float, char* text, void* data) {
    const auto* s = static_cast<const DisplaySource*>(data);
    s->editor->displayTextOf(s->index, text);
}

void KivParameterEditor::displayTextOf(int index, char* text) const {
    char value[CParamDisplay::kTextSize] = {};
    // The host's own text: the editor says what a generic host view says, with its unit.
    effect->getParameterDisplay(index, value);
    std::snprintf(text, CParamDisplay::kTextSize, "%.200s%s", value, unitOf(index, value));
}

const char* KivParameterEditor::unitOf(int, const char*) const {
    return "";
}

void KivParameterEditor::deleteFrame() {
    if (!cframe) return;
    CFrame* closing = cframe;
    cframe = nullptr;
    frame = nullptr;
    for (int i = 0; i < kMaxParams; ++i) {
        controls[i] = nullptr;
        displays[i] = nullptr;
    }
    forgetViews();
    delete closing;
}

void KivParameterEditor::close() {
    deleteFrame();
    AEffGUIEditor::close();
}

void KivParameterEditor::idle() {
    showPendingParameters();
    showView();
    AEffGUIEditor::idle();
}

void KivParameterEditor::showPendingParameters() {
    if (!cframe) return;
    const std::uint32_t pending = pendingParameters.exchange(0);
    for (int index = 0; index < numParams; ++index)
        if (pending & (1u << index)) showParameter(index);
}

void KivParameterEditor::showParameter(int index) {
    if (!cframe || index < 0 || index >= numParams) return;
    if (controls[index]) controls[index]->setValue(effect->getParameter(index));
    if (displays[index]) {
        displays[index]->setValue(effect->getParameter(index));
        // The host's text may change with the same value.
        if (sources[index].editor) displays[index]->setDirty();
    }
}

CControl* KivParameterEditor::getControl(int tag) const {
    return cframe && isParameterTag(tag) ? controls[tag] : nullptr;
}

CParamDisplay* KivParameterEditor::getDisplay(int tag) const {
    return cframe && isParameterTag(tag) ? displays[tag] : nullptr;
}

void KivParameterEditor::setParameter(VstInt32 index, float value) {
    (void)value; // the views show the engine's state, after its own quantising
    if (index < 0 || index >= numParams) return;
    // Another thread may not touch the views: the window's thread may be deleting them.
    if (std::this_thread::get_id() != windowThread.load()) {
        pendingParameters.fetch_or(1u << index);
        return;
    }
    if (cframe) showParameter(index);
}

void KivParameterEditor::valueChanged(CControl* control) {
    const long tag = control->getTag();
    if (!isParameterTag(tag)) {
        otherControlChanged(control);
        return;
    }
    effect->setParameterAutomated(static_cast<VstInt32>(tag), control->getValue());
    control->setDirty();
}

bool KivParameterEditor::writeSnapshot(const char* pngPath) {
    if (!pngPath) return false;
    if (cframe) return cframe->writePng(pngPath);
    const long mode = getKnobMode();
    open(nullptr);
    const bool written = cframe->writePng(pngPath);
    close();
    setKnobMode(static_cast<VstInt32>(mode));
    return written;
}
