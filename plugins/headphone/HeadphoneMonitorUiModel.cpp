// SPDX-License-Identifier: GPL-3.0-or-later
#include "plugins/headphone/HeadphoneMonitorUiModel.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "host/HostCalls.h"
#include "host/HostText.h"
#include "host/VstOpcodes.h"
#include "product/NormalisedValue.h"

namespace {

bool validIndex(VstInt32 index) {
    return static_cast<std::uint32_t>(index) <
           static_cast<std::uint32_t>(kHeadphoneMonitorParameters);
}

} // namespace

HeadphoneMonitorUiModel::HeadphoneMonitorUiModel(audioMasterCallback audioMaster)
    : AudioEffectX(audioMaster, 1, kHeadphoneMonitorParameters) {
    const std::vector<float> defaults = hmDefaultValues();
    for (int i = 0; i < kHeadphoneMonitorParameters; ++i) values_[i] = defaults[i];
    gui_ = new HeadphoneMonitorEditor(this, this); // registers itself with setEditor
}

void HeadphoneMonitorUiModel::setParameter(VstInt32 index, float value) {
    float normalised = 0.0f;
    if (!validIndex(index) || !normalisedValue(value, normalised)) return;
    values_[index] = normalised;
    if (gui_ && editor == gui_) gui_->setParameter(index, normalised);
}

float HeadphoneMonitorUiModel::getParameter(VstInt32 index) {
    return validIndex(index) ? values_[index] : 0.0f;
}

void HeadphoneMonitorUiModel::getParameterName(VstInt32 index, char* text) {
    if (validIndex(index))
        copyHostText(text, kHeadphoneMonitorProduct.parameters[index].name, kHostTextChars);
}

void HeadphoneMonitorUiModel::getParameterLabel(VstInt32 index, char* text) {
    if (validIndex(index))
        copyHostText(text, kHeadphoneMonitorProduct.parameters[index].label, kHostTextChars);
}

void HeadphoneMonitorUiModel::getParameterDisplay(VstInt32 index, char* text) {
    if (!validIndex(index) || !text) return;
    copyHostText(text, hmDisplayText(index, values_[index], view_.layoutFile).c_str(),
                 kHostTextChars);
}

VstIntPtr HeadphoneMonitorUiModel::vendorSpecific(VstInt32 index, VstIntPtr value, void* ptr,
                                                  float opt) {
    if (index == kKivTakeLayoutView && ptr && value == static_cast<VstIntPtr>(sizeof view_)) {
        std::memcpy(&view_, ptr, sizeof view_);
        sanitiseHeadphoneView(view_);
        return 1;
    }
    if (index == kKivHeadphoneView && ptr) {
        std::memcpy(ptr, &view_, sizeof view_);
        return 1;
    }
    if (index == kKivSnapshot && ptr && gui_)
        return gui_->writeSnapshot(static_cast<const char*>(ptr)) ? 1 : 0;
    if ((index == kKivLoadLayout || index == kKivLoadHrtf) && ptr) {
        if (index == kKivLoadLayout) {
            // The plug-in's layout control follows, as the VST effect's parameter does: a
            // layout of the list chosen next is then a change the plug-in sees.
            const float inState = hmNormalisedOfLayoutChoice(hmStateLayoutChoice());
            setParameter(kHmLayout, inState);
            setParameterAutomated(kHmLayout, inState);
        }
        // The plug-in reads the file in its worker, then sends the new view.
        return ask(hostcall::vendorSpecific, {index, 0, ptr, 0.0f});
    }
    return AudioEffectX::vendorSpecific(index, value, ptr, opt);
}
