// SPDX-License-Identifier: GPL-3.0-or-later
// The speaker diagram in the middle of the editor window: the loudspeakers of the decoder
// in use, seen from above around the listener of the background picture (front up, left
// to the left), each numbered with its output, 1 to N. Speakers above the listener sit on
// an inner ring as filled markers; speakers below it are hollow markers on the outer ring;
// speakers at ear height are filled markers on the outer ring. The view is dirty only
// when the decoder changes; setting the layout allocates nothing. It takes no mouse events.
#pragma once

#include "engine/DecShape.h"
#include "product/SpeakerLayout.h"
#include "toolkit/CView.h"

#include <vector>

namespace VSTGUI {

class KivSpeakerDiagram : public CView {
public:
    // The listener and the rings of the background picture (frame pixels).
    static constexpr double kCentreX = 275.0;
    static constexpr double kCentreY = 120.0;
    static constexpr double kRingRadius = 52.0;   // speakers at or below ear height
    static constexpr double kRaisedRadius = 34.0; // speakers above it: the middle ring
    static constexpr double kMarkerRadius = 7.0;
    // The view's rectangle: every marker of every layout lies inside it.
    static CRect area();

    // decList: the product's seven decoders by engine slot (not owned, lives as long).
    KivSpeakerDiagram(const CRect& size, const DecShape* decList);

    // The decoder of a normalised layout value (slot = value x 6, rounded); marks the view
    // dirty only when that decoder is not the one shown.
    void setLayoutValue(float normalised);
    DecShape getDecoder() const { return decoder; }
    // The speakers of that decoder in output order (the view looks them up as it draws:
    // a host may set the layout where nothing may be allocated).
    std::vector<SpeakerDirection> getSpeakers() const;

    // Where the marker of a speaker in that direction is centred (frame pixels).
    static void markerCentre(const SpeakerDirection& direction, double& x, double& y);
    // A speaker above ear height (filled, inner ring), below it (hollow), or at it.
    static bool isRaised(const SpeakerDirection& direction) { return direction.elevationDeg > 0.5; }
    static bool isLowered(const SpeakerDirection& direction) {
        return direction.elevationDeg < -0.5;
    }

    void draw(CDrawContext* context) override;

private:
    const DecShape* decList;
    DecShape decoder;
    bool shown = false; // a decoder was set at least once
};

} // namespace VSTGUI
