// SPDX-License-Identifier: GPL-3.0-or-later
// LayoutDecoder's speaker diagram: the speakers of the layout in force seen from above
// (front up, left to the left), each numbered with its output. Height is the distance from
// the rim: a speaker at ear height sits on the outer ring, one at 90 degrees in the middle
// (rings at 30 and 60 degrees are drawn); speakers above ear height are filled, those below
// it hollow, and both carry their elevation in degrees beside them. With bass management
// on, the subwoofer output is a square in the lower right corner. The listener in the middle
// is a small marker facing the front, or (setHead) a head with its nose and ears, for
// HeadphoneMonitor, whose speakers are heard by that head. Dirty only when the view changes.
// User-interface thread; takes no mouse events.
#pragma once

#include "product/LayoutView.h"
#include "toolkit/CView.h"

namespace VSTGUI {

class KivLayoutDiagram : public CView {
public:
    static constexpr double kMarkerRadius = 8.0;

    explicit KivLayoutDiagram(const CRect& size);

    // Takes the view; redraws only when its generation differs from the one shown.
    void setView(const LayoutView& next);
    const LayoutView& getView() const { return view; }
    void setHead(bool drawn);
    bool drawsHead() const { return head; }
    static constexpr double kHeadRadius = 16.0;

    // Where the marker of a speaker in that direction is centred (frame pixels), and that
    // of the subwoofer.
    void markerCentre(float azimuthDegrees, float elevationDegrees, double& x, double& y) const;
    void subwooferCentre(double& x, double& y) const;

    void draw(CDrawContext* context) override;

private:
    double rimRadius() const;
    void drawListener(CDrawContext* context, double cx, double cy) const;
    LayoutView view;
    bool shown = false;
    bool head = false;
};

} // namespace VSTGUI
