// SPDX-License-Identifier: GPL-3.0-or-later
// LayoutDecoder's table of outputs: each speaker's output number, name, and what distance
// compensation does to it, delay in ms and level in dB; a subwoofer line when bass
// management is on. One column up to 16 lines, two beyond. Dirty only when the view
// changes. User-interface thread; takes no mouse events.
#pragma once

#include "product/LayoutView.h"
#include "toolkit/CView.h"

#include <string>

namespace VSTGUI {

class KivSpeakerTable : public CView {
public:
    explicit KivSpeakerTable(const CRect& size);

    void setView(const LayoutView& next);
    // The delay and level texts of output `output` (1-based) as shown: "2.92 ms", "-1.6 dB";
    // empty for an output no speaker feeds.
    static std::string delayText(const LayoutView::Row& row);
    static std::string levelText(const LayoutView::Row& row);

    void draw(CDrawContext* context) override;

private:
    LayoutView view;
    bool shown = false;
};

} // namespace VSTGUI
