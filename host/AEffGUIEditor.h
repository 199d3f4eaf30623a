// SPDX-License-Identifier: GPL-3.0-or-later
// The editor bound to the widget toolkit's frame. It hands the host a fixed rectangle,
// forwards idle, keys, wheel, mouse and redraws to the frame while one exists, keeps the
// process-wide knob mode, throttles the idle the toolkit asks for while it tracks the
// mouse (doIdleStuff), and brackets mouse edits with begin/end edit calls to the host.
// Building the editor takes a reference to the plug-in's bundle; destroying it gives it
// back. User-interface thread only.
#pragma once

#include <cstdint>

#include "host/AEffEditor.h"
#include "host/VSTGUIEditorInterface.h"

class AEffGUIEditor : public AEffEditor, public VSTGUIEditorInterface {
public:
    // effect is the owning AudioEffect; the editor registers itself with setEditor.
    explicit AEffGUIEditor(void* effect);
    ~AEffGUIEditor() override;

    AudioEffect* getEffect() override { return effect; }
    bool getRect(ERect** rect) override;
    bool open(void* window) override { return AEffEditor::open(window); }
    void idle() override;
    bool onKeyDown(VstKeyCode& keyCode) override;
    bool onKeyUp(VstKeyCode& keyCode) override;
    bool onWheel(float distance) override;
    bool setKnobMode(VstInt32 mode) override;

    // Called after every parameter change of the effect (normalised value); concrete
    // editors move their controls. Any thread the change arrives on.
    virtual void setParameter(VstInt32 index, float value);
    // Redraws rect (normalised first), or the whole frame when rect is null.
    virtual void draw(ERect* rect);
    // A click at (x, y) in frame pixels, with the buttons queried from the window system.
    virtual bool mouse(long x, long y);

    // At most one editor idle and one host idle per 100 ms while the toolkit tracks the
    // mouse; early calls let the event loop run for 4 ms, and a call within 50 ms of the
    // due time is served anyway.
    void doIdleStuff() override;
    long getKnobMode() const override { return knobMode; }
    void beginEdit(long index) override;
    void endEdit(long index) override;

    // Milliseconds on the tick clock (CLOCK_MONOTONIC, 64 bits).
    static std::uint64_t getTicks();
    // Runs the window system's event loop for ms milliseconds (through the frame; a plain
    // sleep while there is none).
    void wait(unsigned long ms);

    static constexpr unsigned kIdleWaitMs = 4;
    static constexpr unsigned kIdleEarlyServeMs = 50;
    static constexpr unsigned kIdleIntervalMs = 100;

protected:
    ERect rect{0, 0, 0, 0};      // set by the concrete editor's constructor
    std::uint64_t lastTicks = 0; // when the next idle is due (ms)
    bool inIdle = false;         // true only while the host's idle runs

    static VstInt32 knobMode; // 0 circular, 1 relative circular, 2 linear; all editors
};
