// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/KivLayoutDiagram.h"

#include "toolkit/CDrawContext.h"
#include "toolkit/CFontDesc.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace VSTGUI {

namespace {

constexpr double kPi = 3.14159265358979323846;
// The artwork's amber, its dark well and its muted grey.
constexpr double kAmber[3] = {0.98, 0.66, 0.22};
constexpr double kWell[3] = {0.10, 0.11, 0.14};
constexpr double kMuted[3] = {0.55, 0.61, 0.69};

CFontDesc numberFont("Helvetica", 10, kBoldFace);
CFontDesc heightFont("Helvetica", 9);

} // namespace

KivLayoutDiagram::KivLayoutDiagram(const CRect& size) : CView(size) {
    setMouseEnabled(false);
    setTransparency(true);
}

void KivLayoutDiagram::setView(const LayoutView& next) {
    if (shown && next.generation == view.generation) return;
    shown = true;
    view = next;
    setDirty();
}

void KivLayoutDiagram::setHead(bool drawn) {
    if (drawn == head) return;
    head = drawn;
    setDirty();
}

double KivLayoutDiagram::rimRadius() const {
    return std::min(size.width(), size.height()) / 2.0 - kMarkerRadius - 14.0;
}

void KivLayoutDiagram::markerCentre(float azimuthDegrees, float elevationDegrees, double& x,
                                    double& y) const {
    const double cx = (size.left + size.right) / 2.0, cy = (size.top + size.bottom) / 2.0;
    const double height = std::min(90.0, std::fabs(double(elevationDegrees)));
    const double r = rimRadius() * (90.0 - height) / 90.0;
    const double azimuth = azimuthDegrees * kPi / 180.0;
    // Anticlockwise seen from above: positive azimuth is to the left of the front (up).
    x = cx - r * std::sin(azimuth);
    y = cy - r * std::cos(azimuth);
}

void KivLayoutDiagram::subwooferCentre(double& x, double& y) const {
    x = size.right - kMarkerRadius - 4;
    y = size.bottom - kMarkerRadius - 4;
}

void KivLayoutDiagram::drawListener(CDrawContext* context, double cx, double cy) const {
    cairo_t* cr = context->getCairo();
    cairo_save(cr);
    cairo_new_path(cr);
    if (!head) {
        cairo_arc(cr, cx, cy, 5, 0, 2 * kPi);
        cairo_move_to(cr, cx - 3, cy - 4);
        cairo_line_to(cr, cx, cy - 9);
        cairo_line_to(cr, cx + 3, cy - 4);
        cairo_set_source_rgba(cr, 0.86, 0.89, 0.93, 0.8);
        cairo_fill(cr);
        cairo_restore(cr);
        return;
    }
    // Seen from above: the ears at the sides, the nose pointing to the front (up).
    const double r = kHeadRadius;
    for (double side : {-1.0, 1.0}) {
        cairo_save(cr);
        cairo_translate(cr, cx + side * r, cy);
        cairo_scale(cr, 0.45, 1.0);
        cairo_arc(cr, 0, 0, 6, 0, 2 * kPi);
        cairo_restore(cr);
    }
    cairo_move_to(cr, cx - 5, cy - r + 2);
    cairo_line_to(cr, cx, cy - r - 7);
    cairo_line_to(cr, cx + 5, cy - r + 2);
    cairo_close_path(cr);
    cairo_set_source_rgba(cr, kMuted[0], kMuted[1], kMuted[2], 0.9);
    cairo_fill(cr);
    cairo_new_path(cr);
    cairo_arc(cr, cx, cy, r, 0, 2 * kPi);
    cairo_set_source_rgb(cr, 0.80, 0.84, 0.89);
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, 1.5);
    cairo_set_source_rgb(cr, kMuted[0], kMuted[1], kMuted[2]);
    cairo_stroke(cr);
    cairo_restore(cr);
}

void KivLayoutDiagram::draw(CDrawContext* context) {
    setDirty(false);
    cairo_t* cr = context->getCairo();
    const double cx = (size.left + size.right) / 2.0, cy = (size.top + size.bottom) / 2.0;
    const double rim = rimRadius();

    // Rings at ear height, 30 and 60 degrees, and the listener facing the front.
    cairo_save(cr);
    cairo_set_line_width(cr, 1);
    for (double height : {0.0, 30.0, 60.0}) {
        cairo_new_path(cr);
        cairo_arc(cr, cx, cy, rim * (90.0 - height) / 90.0, 0, 2 * kPi);
        cairo_set_source_rgba(cr, kMuted[0], kMuted[1], kMuted[2], height == 0.0 ? 0.45 : 0.22);
        cairo_stroke(cr);
    }
    cairo_restore(cr);
    drawListener(context, cx, cy);

    char text[48];
    auto marker = [&](double x, double y, bool hollow, bool square, int number) {
        cairo_save(cr);
        cairo_new_path(cr);
        if (square)
            cairo_rectangle(cr, x - kMarkerRadius, y - kMarkerRadius, 2 * kMarkerRadius,
                            2 * kMarkerRadius);
        else
            cairo_arc(cr, x, y, kMarkerRadius, 0, 2 * kPi);
        const double* fill = hollow ? kWell : kAmber;
        cairo_set_source_rgb(cr, fill[0], fill[1], fill[2]);
        cairo_fill_preserve(cr);
        cairo_set_line_width(cr, 1.5);
        cairo_set_source_rgb(cr, kAmber[0], kAmber[1], kAmber[2]);
        cairo_stroke(cr);
        cairo_restore(cr);
        std::snprintf(text, sizeof text, "%d", number);
        context->setFont(&numberFont);
        context->setFontColor(hollow ? CColor{250, 168, 56, 255} : CColor{26, 28, 36, 255});
        const int ix = int(std::lround(x)), iy = int(std::lround(y));
        context->drawString(text, CRect(ix - 8, iy - 7, ix + 9, iy + 6));
    };

    const int rows = std::min(view.count, int(DecoderPlan::kMaxSpeakers));
    for (int o = 0; o < rows; ++o) {
        const LayoutView::Row& row = view.rows[o];
        if (row.output == 0) continue;
        double x = 0, y = 0;
        markerCentre(row.azimuthDegrees, row.elevationDegrees, x, y);
        const bool lowered = row.elevationDegrees < -0.5f;
        marker(x, y, lowered, false, row.output);
        if (std::fabs(row.elevationDegrees) > 0.5f) {
            std::snprintf(text, sizeof text, "%+.0f\xC2\xB0", double(row.elevationDegrees));
            context->setFont(&heightFont);
            context->setFontColor(CColor{200, 206, 214, 255});
            const int ix = int(std::lround(x)), iy = int(std::lround(y));
            context->drawString(text, CRect(ix + 8, iy + 2, ix + 40, iy + 14), false, kLeftText);
        }
    }
    if (view.subwooferOutput > 0) {
        double x = 0, y = 0;
        subwooferCentre(x, y);
        marker(x, y, false, true, view.subwooferOutput);
        context->setFont(&heightFont);
        context->setFontColor(CColor{200, 206, 214, 255});
        const int ix = int(std::lround(x)), iy = int(std::lround(y));
        context->drawString("Sub", CRect(ix - 40, iy - 6, ix - 10, iy + 6), false, kRightText);
    }
}

} // namespace VSTGUI
