// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/ambidec/VectorCharts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

namespace kiv::ambidec {

namespace {

struct Frame {
    double left, top, width, height;
    double yMin, yMax;
    double px(double azimuthDeg) const { return left + (azimuthDeg + 180.0) / 360.0 * width; }
    double py(double value) const { return top + (yMax - value) / (yMax - yMin) * height; }
};

std::string numberText(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// The azimuth as a chart shows it, -180 to 180.
double signedAzimuth(double deg) {
    return angleDifferenceDeg(deg, 0.0);
}

void drawFrame(PlotCanvas& canvas, const Frame& f, const std::string& title,
               const std::string& yLabel, double yStep, int decimals, const SpeakerLayout& layout) {
    canvas.text(f.left, f.top - 34, title, 19, kInk, Anchor::Left, true);
    canvas.fillRect(f.left, f.top, f.width, f.height, kPanel);
    for (double v = f.yMin; v <= f.yMax + 1e-9; v += yStep) {
        canvas.line(f.left, f.py(v), f.left + f.width, f.py(v), kGrid, 1.0);
        canvas.text(f.left - 8, f.py(v) + 4, numberText(v, decimals), 12, kMutedInk, Anchor::Right);
    }
    for (int az = -180; az <= 180; az += 45) {
        canvas.line(f.px(az), f.top, f.px(az), f.top + f.height, kGrid, 1.0);
        canvas.text(f.px(az), f.top + f.height + 18, std::to_string(az) + "\u00B0", 12, kMutedInk,
                    Anchor::Centre);
    }
    canvas.strokeRect(f.left, f.top, f.width, f.height, kMutedInk, 1.0);
    canvas.text(f.left + f.width / 2, f.top + f.height + 40,
                "source azimuth (degrees, positive to the left)", 13, kInk, Anchor::Centre);
    cairo_t* cr = canvas.cairo();
    cairo_save(cr);
    cairo_translate(cr, f.left - 48, f.top + f.height / 2);
    cairo_rotate(cr, -M_PI / 2);
    canvas.text(0, 0, yLabel, 13, kInk, Anchor::Centre);
    cairo_restore(cr);
    // Speaker azimuths: small triangles on the top edge.
    for (std::size_t s = 0; s < layout.speakers.size(); ++s) {
        const double x = f.px(signedAzimuth(layout.speakers[s].azimuthDeg));
        const Colour c = speakerColour(static_cast<int>(s));
        cairo_set_source_rgb(cr, c.r, c.g, c.b);
        cairo_move_to(cr, x, f.top + 1);
        cairo_line_to(cr, x - 5, f.top - 8);
        cairo_line_to(cr, x + 5, f.top - 8);
        cairo_close_path(cr);
        cairo_fill(cr);
    }
}

// Curves in azimuth order from -180 to 180, broken where a figure is undefined or jumps.
void drawSeries(PlotCanvas& canvas, const Frame& f, const std::vector<double>& azimuths,
                const VectorSeries& series,
                const std::function<double(const DirectionFigure&)>& value) {
    std::vector<std::pair<double, double>> points; // (signed azimuth, value)
    for (std::size_t i = 0; i < azimuths.size(); ++i)
        points.emplace_back(signedAzimuth(azimuths[i]), value((*series.figures)[i]));
    std::sort(points.begin(), points.end());
    if (!points.empty() && points.front().first == -180.0)
        points.emplace_back(180.0, points.front().second);
    cairo_t* cr = canvas.cairo();
    cairo_save(cr);
    cairo_rectangle(cr, f.left, f.top, f.width, f.height);
    cairo_clip(cr);
    std::vector<std::pair<double, double>> run;
    const double jump = (f.yMax - f.yMin) * 0.5;
    for (const auto& [az, v] : points) {
        const bool defined = std::isfinite(v);
        if (!run.empty() && (!defined || std::fabs(f.py(v) - run.back().second) >
                                             jump * f.height / (f.yMax - f.yMin))) {
            canvas.polyline(run, series.colour, 2.4);
            run.clear();
        }
        if (defined) run.emplace_back(f.px(az), f.py(std::clamp(v, f.yMin - 1, f.yMax + 1)));
    }
    canvas.polyline(run, series.colour, 2.4);
    cairo_restore(cr);
}

// One row under the axis title, centred, so that it never hides a curve.
void drawLegend(PlotCanvas& canvas, const Frame& f, const std::vector<VectorSeries>& series) {
    constexpr double swatch = 28, gap = 8, spacing = 30;
    double width = 0;
    for (const auto& s : series) width += swatch + gap + canvas.textWidth(s.label, 13) + spacing;
    width -= spacing;
    double x = f.left + (f.width - width) / 2;
    const double y = f.top + f.height + 64;
    for (const auto& s : series) {
        canvas.line(x, y - 4, x + swatch, y - 4, s.colour, 3.0);
        canvas.text(x + swatch + gap, y, s.label, 13, kInk);
        x += swatch + gap + canvas.textWidth(s.label, 13) + spacing;
    }
}

} // namespace

void drawMagnitudeChart(PlotCanvas& canvas, double x, double y, double w, double h,
                        const VectorChartData& data) {
    double peak = 1.0;
    for (const auto& s : data.series)
        for (const auto& figure : *s.figures)
            if (std::isfinite(figure.magnitude)) peak = std::max(peak, figure.magnitude);
    const double top = std::ceil(peak * 5.0 - 1e-9) / 5.0 + (peak >= 1.0 ? 0.2 : 0.0);
    const Frame f{x, y, w, h, 0.0, std::min(top, 3.0)};
    drawFrame(canvas, f, data.title, "magnitude |r|", 0.2, 1, *data.layout);
    canvas.line(f.left, f.py(1.0), f.left + f.width, f.py(1.0), kMutedInk, 1.2, true);
    for (const auto& s : data.series)
        drawSeries(canvas, f, *data.azimuthsDeg, s,
                   [](const DirectionFigure& d) { return d.magnitude; });
    drawLegend(canvas, f, data.series);
}

void drawErrorChart(PlotCanvas& canvas, double x, double y, double w, double h,
                    const VectorChartData& data) {
    double peak = 0.0;
    for (const auto& s : data.series)
        for (const auto& figure : *s.figures)
            if (std::isfinite(figure.azimuthErrorDeg))
                peak = std::max(peak, std::fabs(figure.azimuthErrorDeg));
    static const double ranges[] = {5, 10, 20, 30, 45, 60, 90, 180};
    double range = 180;
    for (double r : ranges)
        if (peak <= r * 0.9) {
            range = r;
            break;
        }
    const double step = range <= 10 ? range / 5 : (range <= 60 ? range / 3 : range / 4);
    const Frame f{x, y, w, h, -range, range};
    drawFrame(canvas, f, data.title, "error (degrees)", step, 0, *data.layout);
    canvas.line(f.left, f.py(0.0), f.left + f.width, f.py(0.0), kMutedInk, 1.2);
    for (const auto& s : data.series)
        drawSeries(canvas, f, *data.azimuthsDeg, s,
                   [](const DirectionFigure& d) { return d.azimuthErrorDeg; });
    drawLegend(canvas, f, data.series);
}

} // namespace kiv::ambidec
