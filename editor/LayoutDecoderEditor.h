// SPDX-License-Identifier: GPL-3.0-or-later
// LayoutDecoder's editor window: its own background picture; the nine parameters other than
// the layout as film-strip knobs and switches, each with a text display of the host's own
// display text; the speaker diagram, the layout's name, the table of delays and levels and
// the message line, all from the view the effect publishes (LayoutViewSource); and the
// layout chooser, which steps through the effect's programs (the factory layouts, then the
// user's own) as a host would, and tells the host that its program changed. For a preset
// decoded as written, the controls of the patterns, cut-off, speaker distance and spatial
// EQ are veiled and their displays say "as written".
//
// Threads: those of KivParameterEditor; the published view is read at each idle.
#pragma once

#include "editor/KivParameterEditor.h"
#include "product/LayoutDecoderProduct.h"

class AudioEffectX;
class LayoutViewSource;

namespace VSTGUI {
class KivDimmer;
class KivLayoutChooser;
class KivLayoutDiagram;
class KivSpeakerTable;
class KivTextLine;
} // namespace VSTGUI

class LayoutDecoderEditor : public KivParameterEditor {
public:
    static constexpr long kBackgroundPicture = 136;
    static constexpr long kKnobStrip = 132;
    static constexpr long kThreeWayStrip = 134;
    static constexpr long kTwoWayStrip = 137;
    static constexpr int kNumParams = kLayoutDecoderParameters;
    static constexpr long kChooserTag = 100;
    static_assert(kNumParams <= kMaxParams, "one pending bit per parameter");

    // source: the effect's published layout view (not owned; lives as long as the effect).
    LayoutDecoderEditor(AudioEffectX* effect, LayoutViewSource* source);

    bool open(void* parentWindow) override;

    // The views while open (null otherwise).
    VSTGUI::KivLayoutDiagram* getDiagram() const { return cframe ? diagram : nullptr; }
    VSTGUI::KivSpeakerTable* getTable() const { return cframe ? table : nullptr; }
    VSTGUI::KivLayoutChooser* getChooser() const { return cframe ? chooser : nullptr; }
    VSTGUI::KivTextLine* getMessageLine() const { return cframe ? messageLine : nullptr; }
    bool showsAsWritten() const { return asWritten; }

    // A parameter that does nothing for a preset decoded as written.
    static bool idleWhenAsWritten(int index);

private:
    void showView() override;
    void forgetViews() override;
    void otherControlChanged(VSTGUI::CControl* control) override;
    void displayTextOf(int index, char* text) const override;
    const char* unitOf(int index, const char* hostText) const override;
    void chooseNext(int step);

    AudioEffectX* effectX;
    LayoutViewSource* source;
    VSTGUI::KivDimmer* dimmers[kNumParams] = {};
    VSTGUI::KivLayoutDiagram* diagram = nullptr;
    VSTGUI::KivSpeakerTable* table = nullptr;
    VSTGUI::KivLayoutChooser* chooser = nullptr;
    VSTGUI::KivTextLine* nameLine = nullptr;
    VSTGUI::KivTextLine* messageLine = nullptr;
    bool asWritten = false;
};
