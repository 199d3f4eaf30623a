// SPDX-License-Identifier: GPL-3.0-or-later
// RegularDecoder's editor window as an LV2 UI.
#include "editor/KivAmbiEditorJex.h"
#include "editor/lv2ui/Lv2UiGlue.h"
#include "plugins/KivAmbiDecEdit.h"
#include "plugins/regular/KivAmbiDec_1o_GUI.h"
#include "product/ProductDescription.h"

namespace {

AudioEffect* createEffect(audioMasterCallback audioMaster) {
    return new KivAmbiDecEdit<KivAmbiDec_1o_GUI, VSTGUI::KivAmbiEditorJex>(audioMaster);
}

const kiv::lv2ui::UiFace kFace{&kRegularDecoderProduct, &createEffect};

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char* pluginUri, const char*,
                         LV2UI_Write_Function write, LV2UI_Controller controller,
                         LV2UI_Widget* widget, const LV2_Feature* const* features) {
    return kiv::lv2ui::instantiateUi(kFace, pluginUri, write, controller, widget, features);
}

const LV2UI_Descriptor kDescriptor = {kRegularDecoderProduct.uiUri, &instantiate,
                                      &kiv::lv2ui::cleanupUi, &kiv::lv2ui::portEvent,
                                      &kiv::lv2ui::extensionData};

} // namespace

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
    return index == 0 ? &kDescriptor : nullptr;
}
