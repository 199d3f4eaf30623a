// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/KivSpeakerDiagram.h"

#include "product/DecList.h"
#include "toolkit/CDrawContext.h"
#include "toolkit/CFontDesc.h"

#include <cairo.h>

#include <cmath>
#include <cstdio>

namespace VSTGUI {

namespace {

constexpr double kPi = 3.14159265358979323846;
// The artwork's amber, its dark well and its text colour.
constexpr double kAmber[3] = {0.98, 0.66, 0.22};
constexpr double kWell[3] = {0.10, 0.11, 0.14};

CFontDesc numberFont("Helvetica", 10, kBoldFace);

} // namespace

CRect KivSpeakerDiagram::area() {
    const int reach = int(std::ceil(kRingRadius + kMarkerRadius)) + 2;
    return CRect(int(kCentreX) - reach, int(kCentreY) - reach, int(kCentreX) + reach + 1,
                 int(kCentreY) + reach + 1);
}

KivSpeakerDiagram::KivSpeakerDiagram(const CRect& size, const DecShape* decList)
    : CView(size), decList(decList), decoder(decList ? decList[0] : QuadSquare) {
    setMouseEnabled(false);
    setTransparency(true);
}

void KivSpeakerDiagram::setLayoutValue(float normalised) {
    if (!decList || std::isnan(normalised)) return;
    long slot = std::lround(double(normalised) * (kDecListSize - 1));
    if (slot < 0) slot = 0;
    if (slot > kDecListSize - 1) slot = kDecListSize - 1;
    const DecShape next = decList[slot];
    if (shown && next == decoder) return;
    shown = true;
    decoder = next;
    setDirty();
}

std::vector<SpeakerDirection> KivSpeakerDiagram::getSpeakers() const {
    const auto layout = speakerLayoutOf(decoder);
    return layout ? layout->speakers : std::vector<SpeakerDirection>();
}

void KivSpeakerDiagram::markerCentre(const SpeakerDirection& direction, double& x, double& y) {
    const double radius = isRaised(direction) ? kRaisedRadius : kRingRadius;
    const double azimuth = direction.azimuthDeg * kPi / 180.0;
    // Azimuth is anticlockwise seen from above: positive is to the left of the front (up).
    x = kCentreX - radius * std::sin(azimuth);
    y = kCentreY - radius * std::cos(azimuth);
}

void KivSpeakerDiagram::draw(CDrawContext* context) {
    setDirty(false);
    const std::vector<SpeakerDirection> speakers = getSpeakers();
    cairo_t* cr = context->getCairo();
    for (std::size_t k = 0; k < speakers.size(); ++k) {
        double x = 0, y = 0;
        markerCentre(speakers[k], x, y);
        const bool hollow = isLowered(speakers[k]);
        cairo_save(cr);
        cairo_new_path(cr);
        cairo_arc(cr, x, y, kMarkerRadius, 0, 2 * kPi);
        cairo_set_source_rgb(cr, hollow ? kWell[0] : kAmber[0], hollow ? kWell[1] : kAmber[1],
                             hollow ? kWell[2] : kAmber[2]);
        cairo_fill_preserve(cr);
        cairo_set_line_width(cr, 1.5);
        cairo_set_source_rgb(cr, kAmber[0], kAmber[1], kAmber[2]);
        cairo_stroke(cr);
        cairo_restore(cr);

        char number[8];
        std::snprintf(number, sizeof number, "%d", int(k + 1));
        context->setFont(&numberFont);
        context->setFontColor(hollow ? CColor{250, 168, 56, 255} : CColor{26, 28, 36, 255});
        const int cx = int(std::lround(x)), cy = int(std::lround(y));
        context->drawString(number, CRect(cx - 6, cy - 6, cx + 7, cy + 7));
    }
}

} // namespace VSTGUI
