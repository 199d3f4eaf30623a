// SPDX-License-Identifier: GPL-3.0-or-later
// HeadphoneMonitor's editor window as an LV2 UI: the parameter model of
// HeadphoneMonitorUiModel, the ports of HeadphoneMonitorLv2Ports.h, and the view of the layout
// and set in force sent by the plug-in on its notify port. A layout file and a set go to the
// plug-in as patch:Set of its two file properties.
#include "editor/lv2ui/Lv2UiGlue.h"
#include "host/VstOpcodes.h"
#include "plugins/headphone/HeadphoneMonitorUiModel.h"
#include "product/HeadphoneMonitorLv2Ports.h"

namespace {

AudioEffect* createEffect(audioMasterCallback audioMaster) {
    return new HeadphoneMonitorUiModel(audioMaster);
}

const kiv::lv2ui::UiPorts kPorts{
    kHeadphoneMonitorUri.text,
    kHeadphoneMonitorProduct.productString,
    kHmLv2FirstControl,
    kHeadphoneMonitorParameters,
    [](int index, float physical) { return hmNormalised(index, physical); },
    [](int index, float normalised) { return hmPhysical(index, normalised); },
    kHmLv2ControlIn,
    kHmLv2NotifyOut,
    kHmLv2ViewUri,
    {{kKivLoadLayout, kHmLv2LayoutFileUri}, {kKivLoadHrtf, kHmLv2HrtfFileUri}}};

const kiv::lv2ui::UiFace kFace{nullptr, &createEffect, &kPorts};

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char* pluginUri, const char*,
                         LV2UI_Write_Function write, LV2UI_Controller controller,
                         LV2UI_Widget* widget, const LV2_Feature* const* features) {
    return kiv::lv2ui::instantiateUi(kFace, pluginUri, write, controller, widget, features);
}

const LV2UI_Descriptor kDescriptor = {kHmLv2UiUri, &instantiate, &kiv::lv2ui::cleanupUi,
                                      &kiv::lv2ui::portEvent, &kiv::lv2ui::extensionData};

} // namespace

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
    return index == 0 ? &kDescriptor : nullptr;
}
