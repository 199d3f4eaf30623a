// SPDX-License-Identifier: GPL-3.0-or-later
#include "plugins/layout/LayoutDecoderUiModel.h"

#include <cstdint>
#include <cstring>

#include "host/HostCalls.h"
#include "host/HostText.h"
#include "host/VstOpcodes.h"
#include "product/NormalisedValue.h"
#include "rig/FactoryLayouts.h"

namespace {

bool validIndex(VstInt32 index, VstInt32 count) {
    return static_cast<std::uint32_t>(index) < static_cast<std::uint32_t>(count);
}

} // namespace

LayoutDecoderUiModel::LayoutDecoderUiModel(audioMasterCallback audioMaster,
                                           std::vector<UserLayoutFile> userLayouts)
    : AudioEffectX(audioMaster, factoryLayoutCount() + static_cast<int>(userLayouts.size()),
                   kLayoutDecoderParameters),
      userLayouts_(std::move(userLayouts)) {
    const std::vector<float> defaults = ldDefaultValues();
    for (int i = 0; i < kLayoutDecoderParameters; ++i) values_[i] = defaults[i];
    gui_ = new LayoutDecoderEditor(this, this); // registers itself with setEditor
}

void LayoutDecoderUiModel::setParameter(VstInt32 index, float value) {
    float normalised = 0.0f;
    if (!validIndex(index, kLayoutDecoderParameters) || !normalisedValue(value, normalised)) return;
    values_[index] = normalised;
    if (gui_ && editor == gui_) gui_->setParameter(index, normalised);
}

float LayoutDecoderUiModel::getParameter(VstInt32 index) {
    return validIndex(index, kLayoutDecoderParameters) ? values_[index] : 0.0f;
}

void LayoutDecoderUiModel::getParameterName(VstInt32 index, char* text) {
    if (validIndex(index, kLayoutDecoderParameters))
        copyHostText(text, kLayoutDecoderProduct.parameters[index].name, kHostTextChars);
}

void LayoutDecoderUiModel::getParameterLabel(VstInt32 index, char* text) {
    if (validIndex(index, kLayoutDecoderParameters))
        copyHostText(text, kLayoutDecoderProduct.parameters[index].label, kHostTextChars);
}

void LayoutDecoderUiModel::getParameterDisplay(VstInt32 index, char* text) {
    if (!validIndex(index, kLayoutDecoderParameters) || !text) return;
    // The plug-in keeps the file's name; the view carries the layout's.
    copyHostText(text, ldDisplayText(index, values_[index], view_.name).c_str(), kHostTextChars);
}

std::string LayoutDecoderUiModel::programName(int program) const {
    return program < factoryLayoutCount() ? factoryLayouts()[program].name
                                          : userLayouts_[program - factoryLayoutCount()].name;
}

void LayoutDecoderUiModel::setProgram(VstInt32 program) {
    if (!validIndex(program, numPrograms)) return;
    curProgram = program;
    if (program >= factoryLayoutCount()) {
        // The plug-in reads and designs the file in its worker, then sends the new view.
        const std::string& path = userLayouts_[program - factoryLayoutCount()].path;
        ask(hostcall::vendorSpecific, {kKivLoadLayout, 0, const_cast<char*>(path.c_str()), 0.0f});
        return;
    }
    const std::vector<float> values = ldFactoryProgramValues(program);
    for (int index : {int(kLdLayout), int(kLdSubwoofer)}) {
        setParameter(index, values[index]);
        setParameterAutomated(index, values[index]);
    }
}

void LayoutDecoderUiModel::getProgramName(char* name) {
    copyHostText(name, programName(curProgram).c_str(), kHostProgramNameChars);
}

bool LayoutDecoderUiModel::getProgramNameIndexed(VstInt32, VstInt32 index, char* text) {
    if (!validIndex(index, numPrograms) || !text) return false;
    copyHostText(text, programName(index).c_str(), kHostProgramNameChars);
    return true;
}

VstIntPtr LayoutDecoderUiModel::vendorSpecific(VstInt32 index, VstIntPtr value, void* ptr,
                                               float opt) {
    if (index == kKivTakeLayoutView && ptr && value == static_cast<VstIntPtr>(sizeof view_)) {
        std::memcpy(&view_, ptr, sizeof view_);
        // Whatever came over the wire is shown as text: terminate every field.
        view_.name[LayoutView::kNameBytes - 1] = '\0';
        view_.message[LayoutView::kMessageBytes - 1] = '\0';
        for (LayoutView::Row& row : view_.rows) row.name[LayoutView::kSpeakerNameBytes - 1] = '\0';
        if (view_.count < 0 || view_.count > DecoderPlan::kMaxSpeakers) view_.count = 0;
        if (gui_ && editor == gui_) gui_->setParameter(kLdLayout, values_[kLdLayout]);
        return 1;
    }
    if (index == kKivSnapshot && ptr && gui_)
        return gui_->writeSnapshot(static_cast<const char*>(ptr)) ? 1 : 0;
    return AudioEffectX::vendorSpecific(index, value, ptr, opt);
}
