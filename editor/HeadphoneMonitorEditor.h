// SPDX-License-Identifier: GPL-3.0-or-later
// HeadphoneMonitor's editor window: its own background picture; the layout in force seen
// from above with the listener's head in the middle and each heard feed as a speaker at its
// direction, numbered as its input (KivLayoutDiagram); the layout's name; a layout chooser
// stepping through the offered layouts and then the user's layout files; a set chooser
// stepping through the default set and the user's SOFA files; the set's file rate and the
// rate it plays at; the level knob and the bypass switch with the host's display texts; and
// the message line. Everything but the two parameters comes from the view the effect
// publishes (HeadphoneViewSource).
//
// A layout of the list is chosen through the layout parameter (automated, so that the host
// hears of it); a user's layout file through the vendor-specific request kKivLoadLayout and a
// set through kKivLoadHrtf, both on the effect's dispatcher (the LV2 UI's model sends them
// to its plug-in as patch:Set).
//
// Threads: those of KivParameterEditor; the published view is read at each idle. The user's
// layouts and sets are listed when the window opens.
#pragma once

#include "editor/KivParameterEditor.h"
#include "product/HeadphoneMonitorProduct.h"

#include <cstdint>
#include <string>
#include <vector>

class AudioEffectX;
class HeadphoneViewSource;
struct HeadphoneView;
struct LayoutView;

namespace VSTGUI {
class KivLayoutChooser;
class KivLayoutDiagram;
class KivTextLine;
} // namespace VSTGUI

class HeadphoneMonitorEditor : public KivParameterEditor {
public:
    static constexpr long kBackgroundPicture = 138;
    static constexpr long kKnobStrip = 132;
    static constexpr long kTwoWayStrip = 137;
    static constexpr int kNumParams = kHeadphoneMonitorParameters;
    static constexpr long kLayoutChooserTag = 100;
    static constexpr long kSetChooserTag = 101;
    static_assert(kNumParams <= kMaxParams, "one pending bit per parameter");

    // source: the effect's published view (not owned; lives as long as the effect).
    HeadphoneMonitorEditor(AudioEffectX* effect, HeadphoneViewSource* source);

    bool open(void* parentWindow) override;

    // The views while open (null otherwise); the level and the bypass are the parameters
    // with a control and a display.
    VSTGUI::KivLayoutDiagram* getDiagram() const { return cframe ? diagram : nullptr; }
    VSTGUI::KivLayoutChooser* getLayoutChooser() const { return cframe ? layoutChooser : nullptr; }
    VSTGUI::KivLayoutChooser* getSetChooser() const { return cframe ? setChooser : nullptr; }
    VSTGUI::KivTextLine* getSetLine() const { return cframe ? setLine : nullptr; }
    VSTGUI::KivTextLine* getMessageLine() const { return cframe ? messageLine : nullptr; }

    // What the diagram draws of a view: each heard feed as a speaker numbered as its input.
    static LayoutView diagramViewOf(const HeadphoneView& view);
    // "44100 Hz set, plays at 48000 Hz"; "" without a set.
    static std::string rateText(const HeadphoneView& view);

private:
    struct Entry {
        std::string name;
        std::string path; // "" for a layout of the list
    };

    void showView() override;
    void forgetViews() override;
    void otherControlChanged(VSTGUI::CControl* control) override;
    const char* unitOf(int index, const char* hostText) const override;
    int layoutIndexOf(const HeadphoneView& view) const;
    int setIndexOf(const HeadphoneView& view) const;
    void chooseLayout(int step);
    void chooseSet(int step);

    AudioEffectX* effectX;
    HeadphoneViewSource* source;
    std::vector<Entry> layouts; // the offered layouts, then the user's files
    std::vector<Entry> sets;    // the default set, then the user's
    VSTGUI::KivLayoutDiagram* diagram = nullptr;
    VSTGUI::KivLayoutChooser* layoutChooser = nullptr;
    VSTGUI::KivLayoutChooser* setChooser = nullptr;
    VSTGUI::KivTextLine* nameLine = nullptr;
    VSTGUI::KivTextLine* setLine = nullptr;
    VSTGUI::KivTextLine* messageLine = nullptr;
    std::uint32_t shownGeneration = 0;
    bool viewShown = false;
};
