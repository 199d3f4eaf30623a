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
// Threads: the window, the controls and valueChanged on the host's user-interface thread
// (the one that opened the window). setParameter may come on any thread: on the window's
// own it moves the views at once; on another (host automation) it only marks the parameter,
// without a lock, and the window's next idle moves its views, so that a window being
// closed meanwhile is never touched from that thread.
#pragma once

#include "host/AEffGUIEditor.h"
#include "host/CControlListener.h"

#include <atomic>
#include <cstdint>
#include <thread>

#ifndef KIV_EDITOR_BACKGROUND
#error "KIV_EDITOR_BACKGROUND names the bundle's background picture"
#endif

class AudioEffect;

namespace VSTGUI {
class CBitmap;
class CControl;
class CFrame;
class CHorizontalSwitch;
class CParamDisplay;
class KivAnimKnob;
class KivSpeakerDiagram;
} // namespace VSTGUI

#ifdef KIV_EDITOR_IN_VSTGUI
namespace VSTGUI {
#endif

class KivAmbiEditorJex : public AEffGUIEditor, public VSTGUI::CControlListener {
public:
    static constexpr long kBackgroundPicture = KIV_EDITOR_BACKGROUND;
    static constexpr long kKnobStrip = 132;
    static constexpr long kThreeWayStrip = 134;
    static constexpr long kSevenWayStrip = 135;
    static constexpr int kNumParams = 7;
    static constexpr int kLayoutTag = 3;

    explicit KivAmbiEditorJex(AudioEffect* effect);
    ~KivAmbiEditorJex() override;

    // Builds the frame, the fourteen views and the speaker diagram inside the host's X11 window
    // (ptr), or in memory when it is null. Always true.
    bool open(void* parentWindow) override;
    void close() override;
    void idle() override;
    void setParameter(VstInt32 index, float value) override;
    void valueChanged(VSTGUI::CControl* control) override;

    // Draws the window with the effect's current values into a PNG file: the open window
    // as it stands, or, while closed, a window built in memory for the purpose (the knob
    // mode is left as it was). False when the file cannot be written.
    bool writeSnapshot(const char* pngPath);

    // The views while open (null otherwise), by parameter number.
    VSTGUI::CFrame* getCFrame() const { return cframe; }
    VSTGUI::CControl* getControl(int tag) const;
    VSTGUI::CParamDisplay* getDisplay(int tag) const;
    VSTGUI::KivSpeakerDiagram* getSpeakerDiagram() const { return cframe ? diagram : nullptr; }

private:
    void deleteFrame();
    // Sets the control and the display of one parameter from the effect's value.
    void showParameter(int index);
    // The speaker diagram of the decoder in use.
    void showLayout();
    // The parameters marked by other threads since the last idle.
    void showPendingParameters();

    VSTGUI::KivAnimKnob* knob0 = nullptr;
    VSTGUI::KivAnimKnob* knob1 = nullptr;
    VSTGUI::KivAnimKnob* knob2 = nullptr;
    VSTGUI::KivAnimKnob* knob4 = nullptr;
    VSTGUI::KivAnimKnob* knob5 = nullptr;
    VSTGUI::CHorizontalSwitch* switch6 = nullptr;
    VSTGUI::CHorizontalSwitch* switch3 = nullptr;
    VSTGUI::CParamDisplay* display[kNumParams] = {};
    VSTGUI::KivSpeakerDiagram* diagram = nullptr;
    VSTGUI::CBitmap* background = nullptr;
    VSTGUI::CBitmap* knobStrip = nullptr;
    VSTGUI::CBitmap* threeWayStrip = nullptr;
    VSTGUI::CBitmap* sevenWayStrip = nullptr;
    VSTGUI::CFrame* cframe = nullptr; // the same object as the base's frame, with its type
    std::atomic<std::thread::id> windowThread{};     // the thread that opened the window
    std::atomic<std::uint32_t> pendingParameters{0}; // bit i: parameter i changed elsewhere
};

#ifdef KIV_EDITOR_IN_VSTGUI
} // namespace VSTGUI
#endif
