// SPDX-License-Identifier: GPL-3.0-or-later
// The listener every toolkit control reports to. The concrete editor implements it and
// turns value changes into parameter changes. User-interface thread only.
#pragma once

namespace VSTGUI {

class CControl;

class CControlListener {
public:
    virtual ~CControlListener() = default;
    virtual void valueChanged(CControl* control) = 0;
    // Answers 0 (not handled) so the control goes on with its normal handling.
    virtual long controlModifierClicked(CControl* control, long button) {
        (void)control;
        (void)button;
        return 0;
    }
    virtual void controlBeginEdit(CControl* control) { (void)control; }
    virtual void controlEndEdit(CControl* control) { (void)control; }
};

} // namespace VSTGUI
