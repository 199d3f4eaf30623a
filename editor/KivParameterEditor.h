// SPDX-License-Identifier: GPL-3.0-or-later
// What every editor window of the bundles shares: the frame on the bundle's background
// picture, one control and one text display per host parameter (the parameter number is the
// tag of both), the controls driving the effect through setParameterAutomated, and every
// parameter change, from the host or the window, coming back through setParameter to move
// the control and the display of that parameter. The window's own views (diagrams, choosers,
// text lines) and the published view belong to each editor.
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

class AudioEffect;

namespace VSTGUI {
class CBitmap;
class CControl;
class CFrame;
class CParamDisplay;
struct CRect;
class CView;
} // namespace VSTGUI

class KivParameterEditor : public AEffGUIEditor, public VSTGUI::CControlListener {
public:
    static constexpr int kMaxParams = 32; // one bit each in the pending set

    ~KivParameterEditor() override;

    void close() override;
    void idle() override;
    void setParameter(VstInt32 index, float value) override;
    void valueChanged(VSTGUI::CControl* control) override;

    // Draws the window with the effect's current values into a PNG file: the open window
    // as it stands, or, while closed, a window built in memory for the purpose (the knob
    // mode is left as it was). False when the file cannot be written.
    bool writeSnapshot(const char* pngPath);

    // The views while open (null otherwise); controls and displays by parameter number.
    VSTGUI::CFrame* getCFrame() const { return cframe; }
    VSTGUI::CControl* getControl(int tag) const;
    VSTGUI::CParamDisplay* getDisplay(int tag) const;

protected:
    // numParams: the effect's parameters (at most kMaxParams); controlTags: bit i set when
    // parameter i has a control of its own in the window.
    KivParameterEditor(AudioEffect* effect, long backgroundPicture, int numParams,
                       std::uint32_t controlTags);

    // Starts an open: closes a window still open, then makes the empty frame on the
    // background inside the host's X11 window (parentWindow), or in memory when it is null.
    VSTGUI::CFrame* openFrame(void* parentWindow);
    // Puts the control of its tag's parameter into the frame, set to the effect's value.
    void addControl(VSTGUI::CControl* control);
    // Puts a display into the frame as the display of parameter tag, set to its value.
    void addDisplay(int tag, VSTGUI::CParamDisplay* shown);
    // A transparent display of the host's own text for the parameter (displayTextOf).
    void addHostTextDisplay(int tag, const VSTGUI::CRect& area);
    bool isParameterTag(long tag) const;
    // Puts one of the editor's own views into the frame.
    template <class View> View* place(View* view) {
        addToFrame(view);
        return view;
    }

    // Sets the control and the display of one parameter from the effect's value.
    virtual void showParameter(int index);
    // The editor's own views from what the effect publishes; at each idle.
    virtual void showView() {}
    // Drops the editor's own pointers into a frame being deleted.
    virtual void forgetViews() {}
    // A control whose tag is no parameter's (a chooser).
    virtual void otherControlChanged(VSTGUI::CControl* control) { (void)control; }
    // The text of a host-text display: the host's display text with unitOf after it.
    virtual void displayTextOf(int index, char* text) const;
    virtual const char* unitOf(int index, const char* hostText) const;

    VSTGUI::CControl* controls[kMaxParams] = {};
    VSTGUI::CParamDisplay* displays[kMaxParams] = {};
    VSTGUI::CFrame* cframe = nullptr; // the same object as the base's frame, with its type

private:
    struct DisplaySource {
        const KivParameterEditor* editor;
        int index;
    };
    static void displayText(float value, char* text, void* source);

    void addToFrame(VSTGUI::CView* view);
    void deleteFrame();
    // The parameters marked by other threads since the last idle.
    void showPendingParameters();

    const int numParams;
    const std::uint32_t controlTags;
    DisplaySource sources[kMaxParams] = {};
    VSTGUI::CBitmap* background = nullptr;
    std::atomic<std::thread::id> windowThread{};     // the thread that opened the window
    std::atomic<std::uint32_t> pendingParameters{0}; // bit i: parameter i changed elsewhere
};
