// SPDX-License-Identifier: GPL-3.0-or-later
// The parameter model behind HeadphoneMonitor's LV2 UI: an effect that never processes audio,
// with the three parameters, the host's display texts and the view the plug-in last sent,
// which its editor shows. A user's layout file or set chosen in the editor goes to the host
// (the LV2 UI glue) as the path to send the plug-in; the layout parameter then says "the
// layout in state", as the plug-in's does. User-interface thread only.
#pragma once

#include "editor/HeadphoneMonitorEditor.h"
#include "host/AudioEffectX.h"
#include "product/HeadphoneView.h"
#include "product/HeadphoneViewSource.h"

class HeadphoneMonitorUiModel : public AudioEffectX, public HeadphoneViewSource {
public:
    explicit HeadphoneMonitorUiModel(audioMasterCallback audioMaster);

    void processReplacing(float**, float**, VstInt32) override {}
    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    void getParameterName(VstInt32 index, char* text) override;
    void getParameterLabel(VstInt32 index, char* text) override;
    void getParameterDisplay(VstInt32 index, char* text) override;
    VstIntPtr vendorSpecific(VstInt32 index, VstIntPtr value, void* ptr, float opt) override;

    HeadphoneView headphoneView() override { return view_; }

private:
    float values_[kHeadphoneMonitorParameters] = {};
    HeadphoneView view_{};
    HeadphoneMonitorEditor* gui_ = nullptr; // owned by the effect base
};
