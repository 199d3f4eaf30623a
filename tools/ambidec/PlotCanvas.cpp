// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/ambidec/PlotCanvas.h"

namespace kiv::ambidec {

const Colour kInk{0.13, 0.14, 0.17};
const Colour kMutedInk{0.42, 0.44, 0.48};
const Colour kGrid{0.84, 0.85, 0.88};
const Colour kPaper{1.0, 1.0, 1.0};
const Colour kPanel{0.975, 0.978, 0.985};

namespace {
constexpr const char* kFontFace = "DejaVu Sans";

void setColour(cairo_t* cr, const Colour& c) {
    cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a);
}
} // namespace

Colour speakerColour(int index) {
    static const Colour palette[] = {
        {0.12, 0.47, 0.71}, {0.84, 0.15, 0.16}, {0.17, 0.63, 0.17}, {1.00, 0.50, 0.05},
        {0.58, 0.40, 0.74}, {0.55, 0.34, 0.29}, {0.89, 0.47, 0.76}, {0.09, 0.75, 0.81},
    };
    return palette[index % 8];
}

void PlotCanvas::fillRect(double x, double y, double w, double h, const Colour& colour) {
    setColour(cr_, colour);
    cairo_rectangle(cr_, x, y, w, h);
    cairo_fill(cr_);
}

void PlotCanvas::strokeRect(double x, double y, double w, double h, const Colour& colour,
                            double width) {
    setColour(cr_, colour);
    cairo_set_line_width(cr_, width);
    cairo_rectangle(cr_, x, y, w, h);
    cairo_stroke(cr_);
}

void PlotCanvas::line(double x0, double y0, double x1, double y1, const Colour& colour,
                      double width, bool dashed) {
    polyline({{x0, y0}, {x1, y1}}, colour, width, dashed);
}

void PlotCanvas::polyline(const std::vector<std::pair<double, double>>& points,
                          const Colour& colour, double width, bool dashed) {
    polyline(points, colour, width, dashed ? LineStyle::Dashed : LineStyle::Solid);
}

void PlotCanvas::line(double x0, double y0, double x1, double y1, const Colour& colour,
                      double width, LineStyle style) {
    polyline({{x0, y0}, {x1, y1}}, colour, width, style);
}

void PlotCanvas::polyline(const std::vector<std::pair<double, double>>& points,
                          const Colour& colour, double width, LineStyle style) {
    if (points.size() < 2) return;
    // A path left over from text or a marker would be joined to this one by a straight line.
    cairo_new_path(cr_);
    setColour(cr_, colour);
    cairo_set_line_width(cr_, width);
    cairo_set_line_join(cr_, CAIRO_LINE_JOIN_ROUND);
    const double dashed[] = {7.0, 5.0};
    const double dotted[] = {0.0, 2.2 * width}; // round dots
    const double dashDot[] = {7.0, 2.2 * width, 0.0, 2.2 * width};
    switch (style) {
    case LineStyle::Solid:
        cairo_set_line_cap(cr_, CAIRO_LINE_CAP_ROUND);
        cairo_set_dash(cr_, nullptr, 0, 0.0);
        break;
    case LineStyle::Dashed:
        cairo_set_line_cap(cr_, CAIRO_LINE_CAP_BUTT);
        cairo_set_dash(cr_, dashed, 2, 0.0);
        break;
    case LineStyle::Dotted:
        cairo_set_line_cap(cr_, CAIRO_LINE_CAP_ROUND);
        cairo_set_dash(cr_, dotted, 2, 0.0);
        break;
    case LineStyle::DashDot:
        cairo_set_line_cap(cr_, CAIRO_LINE_CAP_ROUND);
        cairo_set_dash(cr_, dashDot, 4, 0.0);
        break;
    }
    cairo_move_to(cr_, points[0].first, points[0].second);
    for (std::size_t i = 1; i < points.size(); ++i)
        cairo_line_to(cr_, points[i].first, points[i].second);
    cairo_stroke(cr_);
    cairo_set_dash(cr_, nullptr, 0, 0.0);
}

void PlotCanvas::font(double size, bool bold) {
    cairo_select_font_face(cr_, kFontFace, CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr_, size);
}

double PlotCanvas::textWidth(const std::string& text, double size, bool bold) {
    font(size, bold);
    cairo_text_extents_t extents;
    cairo_text_extents(cr_, text.c_str(), &extents);
    return extents.x_advance;
}

void PlotCanvas::text(double x, double y, const std::string& text, double size,
                      const Colour& colour, Anchor anchor, bool bold) {
    const double width = textWidth(text, size, bold);
    font(size, bold);
    const double left =
        anchor == Anchor::Left ? x : (anchor == Anchor::Centre ? x - width / 2 : x - width);
    setColour(cr_, colour);
    cairo_move_to(cr_, left, y);
    cairo_show_text(cr_, text.c_str());
}

void PlotCanvas::centredText(double x, double y, const std::string& text, double size,
                             const Colour& colour, bool bold) {
    font(size, bold);
    cairo_text_extents_t extents;
    cairo_text_extents(cr_, text.c_str(), &extents);
    setColour(cr_, colour);
    cairo_move_to(cr_, x - extents.x_advance / 2, y - (extents.y_bearing + extents.height / 2));
    cairo_show_text(cr_, text.c_str());
}

} // namespace kiv::ambidec
