// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/ambidec/PolarGainChart.h"

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
    canvas.centredText(x, y + shift, std::to_string(number), 11, kPaper, true);
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
        const auto [ex, ey] = pointAt(cx, cy, radius, deg);
        canvas.line(cx, cy, ex, ey, kGrid, 1.0);
        const int shown = deg > 180 ? deg - 360 : deg;
        const auto [lx, ly] = pointAt(cx, cy, radius + 62, deg);
        canvas.centredText(lx, ly, std::to_string(shown) + "\u00B0" + (deg == 0 ? " front" : ""),
                           13, deg == 0 ? kInk : kMutedInk, deg == 0);
    }

    // One curve per speaker, split into in-phase (solid) and opposite-phase (dashed) runs.
    const auto& azimuths = *data.azimuthsDeg;
    const auto& gains = *data.gains;
    const std::size_t speakers = data.layout->speakers.size();
    // Speakers above ear height are drawn last and thinner: at ear height a speaker above and
    // the one below it at the same azimuth have the same gain, and both must stay visible.
    std::vector<std::size_t> order;
    for (std::size_t s = 0; s < speakers; ++s)
        if (data.layout->speakers[s].elevationDeg <= 1.0) order.push_back(s);
    for (std::size_t s = 0; s < speakers; ++s)
        if (data.layout->speakers[s].elevationDeg > 1.0) order.push_back(s);
    for (std::size_t s : order) {
        const double width = data.layout->speakers[s].elevationDeg > 1.0 ? 1.4 : 2.6;
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
            const auto point = pointAt(cx, cy, r, az);
            if (!run.empty() && negative != runNegative) {
                run.push_back(point);
                canvas.polyline(run, speakerColour(static_cast<int>(s)), width, runNegative);
                run.clear();
            }
            runNegative = negative;
            run.push_back(point);
        }
        canvas.polyline(run, speakerColour(static_cast<int>(s)), width, runNegative);
    }

    // Ring gains on top of the curves, on a light patch so that they stay readable.
    for (int i = 1; i <= rings; ++i) {
        const auto [lx, ly] = pointAt(cx, cy, radius * i / rings, -15);
        const std::string label = gainText(data.fullScale * i / rings);
        const double w = canvas.textWidth(label, 11) + 6;
        canvas.fillRect(lx + 12 - w / 2, ly - 8, w, 16, Colour{1, 1, 1, 0.85});
        canvas.centredText(lx + 12, ly, label, 11, kMutedInk);
    }

    // Speaker markers on the rim; speakers above and below ear height sit a little apart.
    for (std::size_t s = 0; s < speakers; ++s) {
        const SpeakerDirection& d = data.layout->speakers[s];
        const double offset = d.elevationDeg < -1.0 ? 40 : 16;
        const auto [mx, my] = pointAt(cx, cy, radius + offset, d.azimuthDeg);
        drawMarker(canvas, mx, my, d.elevationDeg, static_cast<int>(s));
    }
}

} // namespace kiv::ambidec
