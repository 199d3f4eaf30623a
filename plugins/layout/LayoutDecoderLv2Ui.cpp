// SPDX-License-Identifier: GPL-3.0-or-later
// LayoutDecoder's editor window as an LV2 UI: the parameter model of LayoutDecoderUiModel,
// the ports of LayoutDecoderLv2Ports.h, and the view of the layout in force sent by the
// plug-in on its notify port.
#include "editor/lv2ui/Lv2UiGlue.h"
#include "host/VstOpcodes.h"
#include "plugins/layout/LayoutDecoderUiModel.h"
#include "product/LayoutDecoderLv2Ports.h"

namespace {

AudioEffect* createEffect(audioMasterCallback audioMaster) {
    return new LayoutDecoderUiModel(audioMaster);
}

const kiv::lv2ui::UiPorts kPorts{
    kLayoutDecoderUri.text,
    kLayoutDecoderProduct.productString,
    kLdLv2FirstControl,
    kLayoutDecoderParameters,
    [](int index, float physical) { return ldNormalised(index, physical); },
    [](int index, float normalised) { return ldPhysical(index, normalised); },
    kLdLv2ControlIn,
    kLdLv2NotifyOut,
    kLdLv2LayoutViewUri,
    {{kKivLoadLayout, kLdLv2LayoutFileUri}}};

const kiv::lv2ui::UiFace kFace{nullptr, &createEffect, &kPorts};

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char* pluginUri, const char*,
                         LV2UI_Write_Function write, LV2UI_Controller controller,
                         LV2UI_Widget* widget, const LV2_Feature* const* features) {
    return kiv::lv2ui::instantiateUi(kFace, pluginUri, write, controller, widget, features);
}

const LV2UI_Descriptor kDescriptor = {kLdLv2UiUri, &instantiate, &kiv::lv2ui::cleanupUi,
                                      &kiv::lv2ui::portEvent, &kiv::lv2ui::extensionData};

} // namespace

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
    return index == 0 ? &kDescriptor : nullptr;
}
