// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/ambidec/DecoderPlot.h"

#include "tools/ambidec/PlotCanvas.h"
#include "tools/ambidec/PolarGainChart.h"
#include "tools/ambidec/ToolError.h"
#include "tools/ambidec/VectorCharts.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

namespace kiv::ambidec {

namespace {

constexpr int kWidth = 1800;
constexpr int kHeight = 1080;
const Colour kVelocityColour{0.10, 0.32, 0.62};
const Colour kEnergyColour{0.85, 0.37, 0.05};

std::string frequencyText(double hz) {
    char text[32];
    if (hz >= 1000.0)
        std::snprintf(text, sizeof text, "%g kHz", hz / 1000.0);
    else
        std::snprintf(text, sizeof text, "%g Hz", hz);
    return text;
}

std::string directionText(const SpeakerDirection& d) {
    char text[64];
    const double az = d.azimuthDeg > 180.0 ? d.azimuthDeg - 360.0 : d.azimuthDeg;
    if (d.elevationDeg != 0.0)
        std::snprintf(text, sizeof text, "%g\u00B0, %g\u00B0 %s", az, std::fabs(d.elevationDeg),
                      d.elevationDeg > 0 ? "up" : "down");
    else
        std::snprintf(text, sizeof text, "%g\u00B0", az);
    return text;
}

void drawSpeakerLegend(PlotCanvas& canvas, double x, double y, double width,
                       const DecoderAnalysis& analysis, const PlotTexts& texts) {
    canvas.text(x, y, "Speakers (number, output pin, direction)", 16, kInk, Anchor::Left, true);
    const auto& speakers = analysis.layout.speakers;
    const int columns = 4;
    const double columnWidth = width / columns;
    for (std::size_t s = 0; s < speakers.size(); ++s) {
        const double cx = x + columnWidth * static_cast<double>(s % columns);
        const double cy = y + 30 + 28.0 * static_cast<double>(s / columns);
        cairo_t* cr = canvas.cairo();
        const Colour c = speakerColour(static_cast<int>(s));
        cairo_new_path(cr); // the text before leaves a current point
        cairo_set_source_rgb(cr, c.r, c.g, c.b);
        cairo_arc(cr, cx + 10, cy - 5, 10, 0, 2 * M_PI);
        cairo_fill(cr);
        canvas.centredText(cx + 10, cy - 5, std::to_string(s + 1), 11, kPaper, true);
        const std::string label = s < texts.speakerLabels.size() ? texts.speakerLabels[s] : "";
        canvas.text(cx + 28, cy, label, 14, kInk, Anchor::Left, true);
        canvas.text(cx + 34 + canvas.textWidth(label, 14, true), cy, directionText(speakers[s]), 14,
                    kMutedInk);
    }
    const double noteY =
        y + 30 + 28.0 * std::ceil(static_cast<double>(speakers.size()) / columns) + 8;
    // Line styles: phase, and for layouts with height the speakers above ear height.
    struct Sample {
        LineStyle style;
        const char* meaning;
    };
    std::vector<Sample> samples{{LineStyle::Solid, "in phase with the total pressure"},
                                {LineStyle::Dashed, "opposite phase"}};
    if (analysis.layout.withHeight)
        samples = {{LineStyle::Solid, "at or below ear height, in phase"},
                   {LineStyle::Dashed, "opposite phase"},
                   {LineStyle::Dotted, "above ear height, in phase"},
                   {LineStyle::DashDot, "opposite phase"}};
    double sx = x;
    for (const Sample& sample : samples) {
        canvas.line(sx, noteY - 5, sx + 34, noteY - 5, kInk, 2.4, sample.style);
        canvas.text(sx + 42, noteY, sample.meaning, 14, kInk);
        sx += 42 + canvas.textWidth(sample.meaning, 14) + 30;
    }
    canvas.text(x, noteY + 24,
                "Markers: \u25CF ear height, \u25B2 above, \u25BC below. Gain: linear amplitude "
                "per unit source pressure.",
                14, kMutedInk);
}

struct PngSink {
    int fd;
    int error; // errno of a failed write
};

cairo_status_t writeToFd(void* closure, const unsigned char* data, unsigned int length) {
    auto& sink = *static_cast<PngSink*>(closure);
    while (length > 0) {
        const ssize_t written = ::write(sink.fd, data, length);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            sink.error = written < 0 ? errno : ENOSPC;
            return CAIRO_STATUS_WRITE_ERROR;
        }
        data += written;
        length -= static_cast<unsigned int>(written);
    }
    return CAIRO_STATUS_SUCCESS;
}

} // namespace

SeriesSummary summarise(const std::vector<DirectionFigure>& figures) {
    SeriesSummary s{std::numeric_limits<double>::infinity(), 0.0,
                    -std::numeric_limits<double>::infinity(), 0.0};
    int count = 0, directions = 0;
    for (const auto& f : figures) {
        ++s.figures;
        if (!std::isfinite(f.magnitude)) ++s.undefined;
        if (std::isfinite(f.magnitude)) {
            s.minimum = std::min(s.minimum, f.magnitude);
            s.maximum = std::max(s.maximum, f.magnitude);
            s.mean += f.magnitude;
            ++count;
        }
        if (std::isfinite(f.azimuthErrorDeg)) {
            s.largestErrorDeg = std::max(s.largestErrorDeg, std::fabs(f.azimuthErrorDeg));
            ++directions;
        }
    }
    const double nan = std::numeric_limits<double>::quiet_NaN();
    if (directions == 0) s.largestErrorDeg = nan;
    if (count == 0) {
        s.minimum = s.mean = s.maximum = nan;
        return s;
    }
    s.mean /= count;
    return s;
}

std::string describeSeries(const std::string& name, const SeriesSummary& s, bool detailed) {
    char text[256];
    if (s.undefined == s.figures || !std::isfinite(s.minimum)) {
        std::snprintf(text, sizeof text,
                      detailed ? "%s: undefined at every azimuth: the speakers' signals add up to "
                                 "no pressure"
                               : "%s undefined at every azimuth (no pressure)",
                      name.c_str());
        return text;
    }
    if (detailed)
        std::snprintf(text, sizeof text, "%s: magnitude %.3f to %.3f (mean %.3f)", name.c_str(),
                      s.minimum, s.maximum, s.mean);
    else
        std::snprintf(text, sizeof text, "%s %.3f to %.3f", name.c_str(), s.minimum, s.maximum);
    std::string line = text;
    if (std::isfinite(s.largestErrorDeg))
        std::snprintf(text, sizeof text,
                      detailed ? ", largest direction error %.1f\u00B0"
                               : " (largest error %.1f deg)",
                      s.largestErrorDeg);
    else
        std::snprintf(text, sizeof text, detailed ? ", no direction" : " (no direction)");
    line += text;
    if (s.undefined > 0) {
        std::snprintf(text, sizeof text,
                      detailed ? "; undefined at %d of %d azimuths (no pressure)"
                               : ", undefined at %d of %d azimuths",
                      s.undefined, s.figures);
        line += text;
    }
    return line;
}

void writeDecoderPlot(int fd, const std::string& path, const DecoderAnalysis& analysis,
                      const PlotTexts& texts) {
    // Layouts with height get a second row: the same gains in the median plane.
    const bool median = !analysis.medianAnglesDeg.empty();
    const double dy = median ? 640 : 0;
    const int height = kHeight + static_cast<int>(dy);
    std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface(
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, height), cairo_surface_destroy);
    std::unique_ptr<cairo_t, decltype(&cairo_destroy)> cr(cairo_create(surface.get()),
                                                          cairo_destroy);
    cairo_set_antialias(cr.get(), CAIRO_ANTIALIAS_BEST);
    PlotCanvas canvas(cr.get());
    canvas.fillRect(0, 0, kWidth, height, kPaper);

    canvas.text(50, 58, texts.title, 30, kInk, Anchor::Left, true);
    for (std::size_t i = 0; i < texts.subtitle.size(); ++i)
        canvas.text(50, 90 + 24.0 * static_cast<double>(i), texts.subtitle[i], 16, kMutedInk);

    double peak = 0.0;
    for (const auto* table : {&analysis.lowGains, &analysis.highGains, &analysis.medianLowGains,
                              &analysis.medianHighGains})
        for (const auto& row : *table)
            for (const auto& g : row) peak = std::max(peak, std::abs(g));
    const double fullScale = niceFullScale(std::max(peak, 1e-3));
    const double chartTop = 150;
    const std::string plane = median ? ", from above" : "";
    drawPolarGainChart(canvas, 30, chartTop, 600,
                       {"Speaker gain at " + frequencyText(analysis.lowHz) + plane,
                        &analysis.azimuthsDeg, &analysis.lowGains, &analysis.layout, fullScale});
    drawPolarGainChart(canvas, 640, chartTop, 600,
                       {"Speaker gain at " + frequencyText(analysis.highHz) + plane,
                        &analysis.azimuthsDeg, &analysis.highGains, &analysis.layout, fullScale});
    if (median) {
        PolarGainData low{"Median plane at " + frequencyText(analysis.lowHz) + ", from the left",
                          &analysis.medianAnglesDeg, &analysis.medianLowGains, &analysis.layout,
                          fullScale};
        low.sideView = true;
        PolarGainData high = low;
        high.title = "Median plane at " + frequencyText(analysis.highHz) + ", from the left";
        high.gains = &analysis.medianHighGains;
        drawPolarGainChart(canvas, 30, chartTop + dy, 600, low);
        drawPolarGainChart(canvas, 640, chartTop + dy, 600, high);
    }

    const std::string rV = "rV at " + frequencyText(analysis.lowHz);
    const std::string rE = "rE at " + frequencyText(analysis.highHz);
    const VectorChartData vectors{
        "",
        &analysis.azimuthsDeg,
        {{rV, &analysis.velocity, kVelocityColour}, {rE, &analysis.energy, kEnergyColour}},
        &analysis.layout};
    VectorChartData magnitude = vectors;
    magnitude.title = "Velocity and energy vector magnitude";
    VectorChartData error = vectors;
    error.title = "Direction error of the vectors";
    drawMagnitudeChart(canvas, 1320, 190, 440, 290, magnitude);
    drawErrorChart(canvas, 1320, 650, 440, 280, error);

    drawSpeakerLegend(canvas, 50, 790 + dy + (median ? 16 : 0), 1200, analysis, texts);

    canvas.text(50, 990 + dy, describeSeries(rV, summarise(analysis.velocity), true), 15, kInk);
    canvas.text(50, 1014 + dy, describeSeries(rE, summarise(analysis.energy), true), 15, kInk);
    canvas.line(50, 1036 + dy, kWidth - 50, 1036 + dy, kGrid, 1.0);
    canvas.text(50, 1060 + dy, texts.footer, 13, kMutedInk);

    cairo_surface_flush(surface.get());
    PngSink sink{fd, 0};
    const cairo_status_t status =
        cairo_surface_write_to_png_stream(surface.get(), writeToFd, &sink);
    if (status != CAIRO_STATUS_SUCCESS)
        throw ToolError(path + ": cannot be written: " +
                        (sink.error ? std::strerror(sink.error) : cairo_status_to_string(status)));
}

} // namespace kiv::ambidec
