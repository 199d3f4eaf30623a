// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/ambidec/PolarGainChart.h"

#include "tools/ambidec/MedianPlane.h"

#include <cmath>
#include <cstdio>

namespace kiv::ambidec {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Azimuth anticlockwise from the front, drawn with the front up and the left to the left.
std::pair<double, double> pointAt(double cx, double cy, double radius, double azimuthDeg) {
    const double a = azimuthDeg * kPi / 180.0;
    return {cx - radius * std::sin(a), cy - radius * std::cos(a)};
}

std::string gainText(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.3f", value);
    std::string text = buffer;
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
    return text;
}

void drawMarker(PlotCanvas& canvas, double x, double y, double elevationDeg, int number) {
    cairo_t* cr = canvas.cairo();
    // The text before leaves a current point: the marker's outline must not start there.
    cairo_new_path(cr);
    const Colour colour = speakerColour(number);
    constexpr double r = 11.0;
    if (elevationDeg > 1.0) {
        cairo_move_to(cr, x, y - r * 1.15);
        cairo_line_to(cr, x + r * 1.05, y + r * 0.75);
        cairo_line_to(cr, x - r * 1.05, y + r * 0.75);
        cairo_close_path(cr);
    } else if (elevationDeg < -1.0) {
        cairo_move_to(cr, x, y + r * 1.15);
        cairo_line_to(cr, x + r * 1.05, y - r * 0.75);
        cairo_line_to(cr, x - r * 1.05, y - r * 0.75);
        cairo_close_path(cr);
    } else {
        cairo_arc(cr, x, y, r, 0, 2 * kPi);
    }
    cairo_set_source_rgb(cr, colour.r, colour.g, colour.b);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
    const double shift = elevationDeg > 1.0 ? 2.5 : (elevationDeg < -1.0 ? -2.5 : 0.0);
    canvas.centredText(x, y + shift, std::to_string(number + 1), 11, kPaper, true);
}

// Where the chart draws a source angle: azimuth, or the side view's angle turned so that
// the front is to the right.
double drawnAngle(const PolarGainData& data, double angleDeg) {
    return data.sideView ? angleDeg - 90.0 : angleDeg;
}

std::string spokeLabel(const PolarGainData& data, int deg) {
    if (!data.sideView) {
        const int shown = deg > 180 ? deg - 360 : deg;
        return std::to_string(shown) + "\u00B0" + (deg == 0 ? " front" : "");
    }
    switch (deg) {
    case 0:
        return "front";
    case 90:
        return "up";
    case 180:
        return "back";
    case 270:
        return "down";
    default:
        break;
    }
    // The elevation at that angle.
    const int elevation = deg < 90 ? deg : (deg < 270 ? 180 - deg : deg - 360);
    return std::to_string(elevation) + "\u00B0";
}

} // namespace

double niceFullScale(double peak) {
    static const double steps[] = {0.25, 0.5, 0.75, 1.0, 1.25, 1.5, 2.0, 2.5, 3.0, 4.0, 5.0};
    for (double step : steps)
        if (peak <= step * 1.0001) return step;
    return std::ceil(peak);
}

void drawPolarGainChart(PlotCanvas& canvas, double x, double y, double size,
                        const PolarGainData& data) {
    canvas.text(x + size / 2, y + 22, data.title, 19, kInk, Anchor::Centre, true);
    const double cx = x + size / 2;
    const double cy = y + 40 + (size - 40) / 2;
    const double radius = (size - 40) / 2 - 62;
    cairo_t* cr = canvas.cairo();

    // Rings with their gains, spokes every 30 degrees.
    cairo_set_source_rgb(cr, kPanel.r, kPanel.g, kPanel.b);
    cairo_arc(cr, cx, cy, radius, 0, 2 * kPi);
    cairo_fill(cr);
    const int rings = 4;
    for (int i = 1; i <= rings; ++i) {
        cairo_set_source_rgb(cr, kGrid.r, kGrid.g, kGrid.b);
        cairo_set_line_width(cr, i == rings ? 1.6 : 1.0);
        cairo_arc(cr, cx, cy, radius * i / rings, 0, 2 * kPi);
        cairo_stroke(cr);
    }
    for (int deg = 0; deg < 360; deg += 30) {
        const auto [ex, ey] = pointAt(cx, cy, radius, drawnAngle(data, deg));
        canvas.line(cx, cy, ex, ey, kGrid, 1.0);
        const auto [lx, ly] = pointAt(cx, cy, radius + 62, drawnAngle(data, deg));
        canvas.centredText(lx, ly, spokeLabel(data, deg), 13, deg == 0 ? kInk : kMutedInk,
                           deg == 0);
    }

    // One curve per speaker, split into in-phase (solid) and opposite-phase (dashed) runs.
    const auto& azimuths = *data.azimuthsDeg;
    const auto& gains = *data.gains;
    const std::size_t speakers = data.layout->speakers.size();
    // Speakers above ear height are drawn last and dotted: at ear height a speaker above and
    // the one below it at the same azimuth have the same gain, and both must stay visible.
    std::vector<std::size_t> order;
    for (std::size_t s = 0; s < speakers; ++s)
        if (data.layout->speakers[s].elevationDeg <= 1.0) order.push_back(s);
    for (std::size_t s = 0; s < speakers; ++s)
        if (data.layout->speakers[s].elevationDeg > 1.0) order.push_back(s);
    // In the median plane a speaker on the right has the same gain as its mirror image on the
    // left: only the left one's curve is drawn, and the chart says so.
    const auto mirrored = [&data](std::size_t s) {
        const SpeakerDirection& d = data.layout->speakers[s];
        if (!data.sideView || std::sin(d.azimuthDeg * kPi / 180.0) > -1e-6) return false;
        for (const SpeakerDirection& other : data.layout->speakers)
            if (std::fabs(std::remainder(other.azimuthDeg + d.azimuthDeg, 360.0)) < 1e-6 &&
                std::fabs(other.elevationDeg - d.elevationDeg) < 1e-6)
                return true;
        return false;
    };
    bool anyMirrored = false;
    for (std::size_t s : order) {
        if (mirrored(s)) {
            anyMirrored = true;
            continue;
        }
        const bool above = data.layout->speakers[s].elevationDeg > 1.0;
        const double width = above ? 2.4 : 2.6;
        const auto style = [above](bool opposite) {
            return above ? (opposite ? LineStyle::DashDot : LineStyle::Dotted)
                         : (opposite ? LineStyle::Dashed : LineStyle::Solid);
        };
        std::vector<std::pair<double, double>> run;
        bool runNegative = false;
        for (std::size_t k = 0; k <= azimuths.size(); ++k) {
            const std::size_t i = k % azimuths.size();
            std::complex<double> pressure = 0;
            for (const auto& g : gains[i]) pressure += g;
            const std::complex<double> g = gains[i][s];
            const double relative =
                std::abs(pressure) > 1e-9 ? (g * std::conj(pressure)).real() : g.real();
            const bool negative = relative < 0.0 && std::abs(g) > 1e-6;
            const double az = k == azimuths.size() ? azimuths[0] + 360.0 : azimuths[i];
            const double r = std::min(1.0, std::abs(g) / data.fullScale) * radius;
            const auto point = pointAt(cx, cy, r, drawnAngle(data, az));
            if (!run.empty() && negative != runNegative) {
                run.push_back(point);
                canvas.polyline(run, speakerColour(static_cast<int>(s)), width, style(runNegative));
                run.clear();
            }
            runNegative = negative;
            run.push_back(point);
        }
        canvas.polyline(run, speakerColour(static_cast<int>(s)), width, style(runNegative));
    }

    // Ring gains on top of the curves, on a light patch so that they stay readable.
    for (int i = 1; i <= rings; ++i) {
        const auto [lx, ly] = pointAt(cx, cy, radius * i / rings, data.sideView ? 15 : -15);
        const std::string label = gainText(data.fullScale * i / rings);
        const double w = canvas.textWidth(label, 11) + 6;
        canvas.fillRect(lx + 12 - w / 2, ly - 8, w, 16, Colour{1, 1, 1, 0.85});
        canvas.centredText(lx + 12, ly, label, 11, kMutedInk);
    }

    if (anyMirrored)
        canvas.text(x + size / 2, y + size + 26,
                    "speakers on the right (outer markers) follow their mirror images on the left",
                    12, kMutedInk, Anchor::Centre);

    // Speaker markers on the rim; speakers above and below ear height sit a little apart, and
    // in the side view those on the right further out than those on the left.
    for (std::size_t s = 0; s < speakers; ++s) {
        const SpeakerDirection& d = data.layout->speakers[s];
        const bool right = std::sin(d.azimuthDeg * kPi / 180.0) < -1e-6;
        const double offset = data.sideView ? (right ? 40 : 16) : (d.elevationDeg < -1.0 ? 40 : 16);
        // A speaker straight to the side lies off the median plane in no direction: unmarked.
        if (data.sideView && std::fabs(std::cos(d.azimuthDeg * kPi / 180.0)) < 1e-6 &&
            std::fabs(d.elevationDeg) < 1e-6)
            continue;
        const double angle = data.sideView ? medianPlaneAngleDeg(d) : d.azimuthDeg;
        const auto [mx, my] = pointAt(cx, cy, radius + offset, drawnAngle(data, angle));
        drawMarker(canvas, mx, my, d.elevationDeg, static_cast<int>(s));
    }
}

} // namespace kiv::ambidec
