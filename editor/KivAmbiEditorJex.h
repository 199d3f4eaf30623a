// SPDX-License-Identifier: GPL-3.0-or-later
// The plug-in's editor window: the background picture, five film-strip knobs, two
// multi-position switches, seven text displays and the speaker diagram of the layout, one control
// and one display per host parameter (the parameter number is the tag of both). The controls drive
// the effect through setParameterAutomated; every parameter change, from the host or the window,
// comes back through setParameter and moves the control and the display of that parameter at the
// next idle.
//
// Each bundle compiles its own copy: KIV_EDITOR_BACKGROUND is its background picture (131
// RegularDecoder, 130 IrregularDecoder); RegularDecoder's copy lives in the toolkit's
// namespace (KIV_EDITOR_IN_VSTGUI), IrregularDecoder's in the global one.
//
// Threads: those of KivParameterEditor.
#pragma once

#include "editor/KivParameterEditor.h"

#ifndef KIV_EDITOR_BACKGROUND
#error "KIV_EDITOR_BACKGROUND names the bundle's background picture"
#endif

class AudioEffect;

namespace VSTGUI {
class KivSpeakerDiagram;
} // namespace VSTGUI

#ifdef KIV_EDITOR_IN_VSTGUI
namespace VSTGUI {
#endif

class KivAmbiEditorJex : public KivParameterEditor {
public:
    static constexpr long kBackgroundPicture = KIV_EDITOR_BACKGROUND;
    static constexpr long kKnobStrip = 132;
    static constexpr long kThreeWayStrip = 134;
    static constexpr long kSevenWayStrip = 135;
    static constexpr int kNumParams = 7;
    static constexpr int kLayoutTag = 3;

    explicit KivAmbiEditorJex(AudioEffect* effect);

    // Builds the frame, the fourteen views and the speaker diagram inside the host's X11 window
    // (ptr), or in memory when it is null. Always true.
    bool open(void* parentWindow) override;

    VSTGUI::KivSpeakerDiagram* getSpeakerDiagram() const { return cframe ? diagram : nullptr; }

private:
    void showParameter(int index) override;
    void forgetViews() override { diagram = nullptr; }
    // The speaker diagram of the decoder in use.
    void showLayout();

    VSTGUI::KivSpeakerDiagram* diagram = nullptr;
};

#ifdef KIV_EDITOR_IN_VSTGUI
} // namespace VSTGUI
#endif
