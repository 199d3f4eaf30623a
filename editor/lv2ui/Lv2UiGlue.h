// SPDX-License-Identifier: GPL-3.0-or-later
// The editor window as an LV2 X11 UI. The UI keeps a parameter model of its own: an
// instance of the bundle's effect class with its editor, never the DSP instance (the host
// may run the UI in another process). The host's port values reach the model through
// setParameter (nothing is echoed back); the editor's edits come out of the model as host
// calls, which the glue turns into port writes (physical values) and touch gestures. The
// editor opens inside the host's ui:parent window, or in a top-level window of its own,
// and draws only in the host's idle calls (ui:idleInterface). User-interface thread only.
//
// Each bundle's lv2ui_descriptor fills an LV2UI_Descriptor with its URI, an instantiate
// that calls instantiateUi with its UiFace, and the functions below.
//
// A product with ports of its own (UiPorts) also talks patch messages with its plug-in when
// the host maps URIDs: at open the UI asks for the plug-in's view (patch:Get); each
// patch:Set of the view property on the notify port reaches the model as the vendor-specific
// request kKivTakeLayoutView; a vendor-specific request of the model that names a file
// property (kKivLoadLayout, kKivLoadHrtf: a path) becomes a patch:Set of that property, an
// atom:Path, on the control port.
#pragma once

#include <lv2/ui/ui.h>

#include <cstdint>

#include "host/VstRecords.h"

class AudioEffect;
struct ProductDescription;

namespace kiv::lv2ui {

// A file the plug-in takes as a patch:Parameter, and the model's request that sends one.
struct FileProperty {
    VstInt32 request; // kKivLoadLayout, kKivLoadHrtf
    const char* uri;  // null: no more
};

// Where a product with a parameter table of its own has its ports.
struct UiPorts {
    static constexpr int kMaxFiles = 2;

    const char* pluginUri;
    const char* title; // of a top-level window of our own
    std::uint32_t firstControlPort;
    int numParameters;
    float (*normalised)(int index, float physical);
    float (*physical)(int index, float normalised);
    std::uint32_t controlIn; // atom input taking patch messages
    std::uint32_t notifyOut; // atom output answering them
    const char* viewProperty;
    FileProperty files[kMaxFiles];
};

struct UiFace {
    // The product whose seven parameters follow its audio ports; null with ports.
    const ProductDescription* product;
    // The bundle's effect class with its editor, calling the host through audioMaster.
    AudioEffect* (*createEffect)(audioMasterCallback audioMaster);
    const UiPorts* ports; // null: the product's seven parameters
};

// Null when the plug-in URI is not the product's, or when no window can be opened.
LV2UI_Handle instantiateUi(const UiFace& face, const char* pluginUri,
                           LV2UI_Write_Function writeFunction, LV2UI_Controller controller,
                           LV2UI_Widget* widget, const LV2_Feature* const* features);
void cleanupUi(LV2UI_Handle handle);
void portEvent(LV2UI_Handle handle, uint32_t port, uint32_t bufferSize, uint32_t format,
               const void* buffer);
// ui:idleInterface; null for anything else.
const void* extensionData(const char* uri);

} // namespace kiv::lv2ui
