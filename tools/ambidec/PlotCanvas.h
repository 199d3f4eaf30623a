// SPDX-License-Identifier: GPL-3.0-or-later
// A thin layer over a cairo context for drawing charts: colours, text placed by an anchor,
// lines and polylines with optional dashes. Coordinates are pixels, y downwards.
#pragma once

#include <cairo.h>

#include <string>
#include <utility>
#include <vector>

namespace kiv::ambidec {

struct Colour {
    double r, g, b, a = 1.0;
};

// Distinct colours for up to eight speakers, then repeating.
Colour speakerColour(int index);

enum class Anchor { Left, Centre, Right };

// Solid and dashed: a speaker at or below ear height, in phase and in opposite phase with
// the total pressure; dotted and dash-dotted: a speaker above, in phase and opposite.
enum class LineStyle { Solid, Dashed, Dotted, DashDot };

class PlotCanvas {
public:
    explicit PlotCanvas(cairo_t* cr) : cr_(cr) {}
    cairo_t* cairo() const { return cr_; }

    void fillRect(double x, double y, double w, double h, const Colour& colour);
    void strokeRect(double x, double y, double w, double h, const Colour& colour, double width);
    void line(double x0, double y0, double x1, double y1, const Colour& colour, double width,
              bool dashed = false);
    void polyline(const std::vector<std::pair<double, double>>& points, const Colour& colour,
                  double width, bool dashed = false);
    void polyline(const std::vector<std::pair<double, double>>& points, const Colour& colour,
                  double width, LineStyle style);
    void line(double x0, double y0, double x1, double y1, const Colour& colour, double width,
              LineStyle style);
    // Text with its baseline at y, placed by anchor; size in pixels.
    void text(double x, double y, const std::string& text, double size, const Colour& colour,
              Anchor anchor = Anchor::Left, bool bold = false);
    // Text centred on (x, y) both ways.
    void centredText(double x, double y, const std::string& text, double size, const Colour& colour,
                     bool bold = false);
    double textWidth(const std::string& text, double size, bool bold = false);

private:
    void font(double size, bool bold);
    cairo_t* cr_;
};

// Neutral tones of the page.
extern const Colour kInk;      // text and axes
extern const Colour kMutedInk; // secondary text
extern const Colour kGrid;     // grid lines
extern const Colour kPaper;    // background
extern const Colour kPanel;    // chart background

} // namespace kiv::ambidec
