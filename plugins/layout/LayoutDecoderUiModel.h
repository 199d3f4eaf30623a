// SPDX-License-Identifier: GPL-3.0-or-later
// The parameter model behind LayoutDecoder's LV2 UI: an effect that never processes audio,
// with the ten parameters, the same programs as the VST version (the factory layouts, then
// the user's layout files found when it is made), the host's display texts, and the view of
// the layout the plug-in last sent, which its editor shows. A factory program becomes edits
// of the layout and subwoofer parameters; a user program asks the host (the LV2 UI glue) to
// send the plug-in the file's path. User-interface thread only.
#pragma once

#include <string>
#include <vector>

#include "editor/LayoutDecoderEditor.h"
#include "host/AudioEffectX.h"
#include "product/LayoutView.h"
#include "product/LayoutViewSource.h"
#include "rig/UserLayouts.h"

class LayoutDecoderUiModel : public AudioEffectX, public LayoutViewSource {
public:
    explicit LayoutDecoderUiModel(audioMasterCallback audioMaster,
                                  std::vector<UserLayoutFile> userLayouts = listUserLayouts());

    void processReplacing(float**, float**, VstInt32) override {}
    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    void getParameterName(VstInt32 index, char* text) override;
    void getParameterLabel(VstInt32 index, char* text) override;
    void getParameterDisplay(VstInt32 index, char* text) override;
    void setProgram(VstInt32 program) override;
    void getProgramName(char* name) override;
    bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) override;
    VstIntPtr vendorSpecific(VstInt32 index, VstIntPtr value, void* ptr, float opt) override;

    LayoutView layoutView() override { return view_; }

private:
    std::string programName(int program) const;

    float values_[kLayoutDecoderParameters] = {};
    LayoutView view_{};
    const std::vector<UserLayoutFile> userLayouts_;
    LayoutDecoderEditor* gui_ = nullptr; // owned by the effect base
};
