// SPDX-License-Identifier: GPL-3.0-or-later
// LayoutDecoder's layout chooser: the name of the layout in force between two arrows. A
// click on the left arrow asks for the previous layout of the list, anywhere else for the
// next one; the wheel steps too. The chooser only tells its listener (valueChanged) which
// way was asked (getStep: -1 or +1); the editor picks the layout and sets the name shown.
// User-interface thread.
#pragma once

#include "toolkit/CControl.h"

#include <string>

namespace VSTGUI {

class KivLayoutChooser : public CControl {
public:
    static constexpr CCoord kArrowWidth = 22;

    KivLayoutChooser(const CRect& size, CControlListener* listener, long tag);

    void setText(const std::string& next);
    const std::string& getText() const { return text; }
    int getStep() const { return step; }

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, long buttons) override;
    bool onWheel(const CPoint& where, float distance, long buttons) override;

private:
    void ask(int direction);
    std::string text;
    int step = 0;
};

} // namespace VSTGUI
