// SPDX-License-Identifier: GPL-3.0-or-later
// A dark veil over a control whose parameter does nothing at the moment (a preset decoded as
// written); while shown it also keeps the mouse from the control under it. Hidden by default.
// User-interface thread.
#pragma once

#include "toolkit/CView.h"

namespace VSTGUI {

class KivDimmer : public CView {
public:
    explicit KivDimmer(const CRect& size);
    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, long buttons) override;
};

} // namespace VSTGUI
