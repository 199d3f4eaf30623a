// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/CControl.h"

#include "toolkit/CFrame.h"

namespace VSTGUI {

CControl::CControl(const CRect& size, CControlListener* listener, long tag, CBitmap* background)
    : CView(size), listener(listener), tag(tag) {
    setBackground(background);
}

void CControl::bounceValue() {
    if (value > vmax)
        value = vmax;
    else if (value < vmin)
        value = vmin;
}

bool CControl::isDirty() const {
    // A value that is not a number equals nothing, not even itself: once drawn, it must
    // not count as changed at every idle.
    const bool same = value == oldValue || (value != value && oldValue != oldValue);
    return !same || CView::isDirty();
}

void CControl::setDirty(bool newValue) {
    CView::setDirty(newValue);
    if (!newValue) oldValue = value;
}

void CControl::beginEdit() {
    if (listener) listener->controlBeginEdit(this);
    if (frame) {
        frame->setFocusView(this);
        frame->beginEdit(tag);
    }
}

void CControl::endEdit() {
    if (frame) frame->endEdit(tag);
    if (listener) listener->controlEndEdit(this);
}

bool CControl::checkDefaultValue(long buttons) {
    if (buttons != (kLButton | kControl)) return false;
    beginEdit();
    const float before = value;
    value = getDefaultValue();
    if (value != before && listener) listener->valueChanged(this);
    endEdit();
    return true;
}

void CControl::doIdleStuff() {
    if (frame) frame->doIdleStuff();
}

} // namespace VSTGUI
