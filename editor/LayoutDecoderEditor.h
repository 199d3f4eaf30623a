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
// Threads: the window, the controls and valueChanged on the host's user-interface thread
// (the one that opened the window). setParameter may come on any thread: on another one it
// only marks the parameter, and the window's next idle moves its views. The published view
// is read at each idle.
#pragma once

#include "host/AEffGUIEditor.h"
#include "host/CControlListener.h"
#include "product/LayoutDecoderProduct.h"

#include <atomic>
#include <cstdint>
#include <thread>

class AudioEffectX;
class LayoutViewSource;

namespace VSTGUI {
class CBitmap;
class CControl;
class CFrame;
class CParamDisplay;
class KivDimmer;
class KivLayoutChooser;
class KivLayoutDiagram;
class KivSpeakerTable;
class KivTextLine;
} // namespace VSTGUI

class LayoutDecoderEditor : public AEffGUIEditor, public VSTGUI::CControlListener {
public:
    static constexpr long kBackgroundPicture = 136;
    static constexpr long kKnobStrip = 132;
    static constexpr long kThreeWayStrip = 134;
    static constexpr long kTwoWayStrip = 137;
    static constexpr int kNumParams = kLayoutDecoderParameters;
    static constexpr long kChooserTag = 100;

    // source: the effect's published layout view (not owned; lives as long as the effect).
    LayoutDecoderEditor(AudioEffectX* effect, LayoutViewSource* source);
    ~LayoutDecoderEditor() override;

    bool open(void* parentWindow) override;
    void close() override;
    void idle() override;
    void setParameter(VstInt32 index, float value) override;
    void valueChanged(VSTGUI::CControl* control) override;

    // The window with the effect's current values as a PNG file (see KivAmbiEditorJex).
    bool writeSnapshot(const char* pngPath);

    // The views while open (null otherwise); controls and displays by parameter number.
    VSTGUI::CFrame* getCFrame() const { return cframe; }
    VSTGUI::CControl* getControl(int tag) const;
    VSTGUI::CParamDisplay* getDisplay(int tag) const;
    VSTGUI::KivLayoutDiagram* getDiagram() const { return cframe ? diagram : nullptr; }
    VSTGUI::KivSpeakerTable* getTable() const { return cframe ? table : nullptr; }
    VSTGUI::KivLayoutChooser* getChooser() const { return cframe ? chooser : nullptr; }
    VSTGUI::KivTextLine* getMessageLine() const { return cframe ? messageLine : nullptr; }
    bool showsAsWritten() const { return asWritten; }

    // A parameter that does nothing for a preset decoded as written.
    static bool idleWhenAsWritten(int index);

private:
    struct DisplaySource {
        LayoutDecoderEditor* editor;
        int index;
    };
    static void displayText(float value, char* text, void* source);

    void deleteFrame();
    void showParameter(int index);
    void showPendingParameters();
    void showLayoutView();
    void chooseNext(int step);

    AudioEffectX* effectX;
    LayoutViewSource* source;
    VSTGUI::CControl* controls[kNumParams] = {};
    VSTGUI::CParamDisplay* displays[kNumParams] = {};
    VSTGUI::KivDimmer* dimmers[kNumParams] = {};
    DisplaySource sources[kNumParams] = {};
    VSTGUI::KivLayoutDiagram* diagram = nullptr;
    VSTGUI::KivSpeakerTable* table = nullptr;
    VSTGUI::KivLayoutChooser* chooser = nullptr;
    VSTGUI::KivTextLine* nameLine = nullptr;
    VSTGUI::KivTextLine* messageLine = nullptr;
    VSTGUI::CBitmap* background = nullptr;
    VSTGUI::CFrame* cframe = nullptr;
    bool asWritten = false;
    std::atomic<std::thread::id> windowThread{};
    std::atomic<std::uint32_t> pendingParameters{0};
};
