// SPDX-License-Identifier: GPL-3.0-or-later
// A view that edits one value: the value with its range, default and wheel step, the
// tag that names it to the listener, and the begin/end brackets of an edit, which reach
// the editor through the frame. The value is normalised in this system (0 to 1).
// "Old value" is the value at the last redraw: the control is dirty while the two differ.
// User-interface thread, except setValue, which host automation may call from another
// thread: it only stores the number, and the frame draws it at its next idle.
#pragma once

#include "host/CControlListener.h"
#include "toolkit/CView.h"

namespace VSTGUI {

class CControl : public CView {
public:
    CControl(const CRect& size, CControlListener* listener, long tag,
             CBitmap* background = nullptr);

    virtual void setValue(float newValue) { value = newValue; }
    virtual float getValue() const { return value; }
    virtual void setMin(float newMin) { vmin = newMin; }
    virtual float getMin() const { return vmin; }
    virtual void setMax(float newMax) { vmax = newMax; }
    virtual float getMax() const { return vmax; }
    virtual void setOldValue(float newValue) { oldValue = newValue; }
    virtual float getOldValue() const { return oldValue; }
    virtual void setDefaultValue(float newValue) { defaultValue = newValue; }
    virtual float getDefaultValue() const { return defaultValue; }
    virtual void setWheelInc(float increment) { wheelInc = increment; }
    virtual float getWheelInc() const { return wheelInc; }
    virtual void setTag(long newTag) { tag = newTag; }
    long getTag() const { return tag; }
    virtual void setListener(CControlListener* newListener) { listener = newListener; }
    CControlListener* getListener() const { return listener; }

    // Clamps the value to [min, max].
    virtual void bounceValue();

    // Dirty while the value differs from the old value, or when marked so.
    bool isDirty() const override;
    // Clearing also makes the old value the current one.
    void setDirty(bool value = true) override;

    // An edit starts: the listener hears of it, the control becomes the frame's focus
    // view and the frame tells the editor (beginEdit with the tag).
    virtual void beginEdit();
    // The frame tells the editor (endEdit with the tag), then the listener hears of it.
    virtual void endEdit();

    // The default-value click: with exactly the left button and Control, the value
    // becomes the default in an edit of its own (the listener is told when that changed
    // the value) and the answer is true.
    virtual bool checkDefaultValue(long buttons);

    // Lets the editor idle while the control tracks the mouse on its own.
    void doIdleStuff();

protected:
    // Ends a redraw that showed the value shown: the old value becomes that value even
    // if another thread has stored a newer one meanwhile, which is then drawn next time.
    void markDrawn(float shown) {
        CView::setDirty(false);
        oldValue = shown;
    }

    CControlListener* listener;
    long tag;
    float value = 0.f;
    float vmin = 0.f;
    float vmax = 1.f;
    float defaultValue = 0.5f;
    float oldValue = 1.f;
    float wheelInc = 0.1f;
};

} // namespace VSTGUI
