// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the editor's pictures at build time:
//   bmp00130.png  IrregularDecoder window background
//   bmp00131.png  RegularDecoder window background
//   bmp00132.png  knob film strip, 281 frames of 64 x 64
//   bmp00134.png  3-position switch strip, 3 frames of 48 x 24
//   bmp00135.png  7-position switch strip, 7 frames of 96 x 24
//   bmp00136.png  LayoutDecoder window background
//   bmp00137.png  2-position switch strip, 2 frames of 48 x 24
//   bmp00138.png  HeadphoneMonitor window background
// usage: kiv_artwork OUTPUT_DIRECTORY
#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <string>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kWindowWidth = 560;
constexpr int kWindowHeight = 260;

struct Rgb {
    double r, g, b;
};
const Rgb kAccent = {0.98, 0.66, 0.22}; // amber
const Rgb kText = {0.86, 0.89, 0.93};
const Rgb kMuted = {0.55, 0.61, 0.69};

void setColour(cairo_t* cr, Rgb c, double alpha = 1.0) {
    cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

void roundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -kPi / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, kPi / 2);
    cairo_arc(cr, x + r, y + h - r, r, kPi / 2, kPi);
    cairo_arc(cr, x + r, y + r, r, kPi, 3 * kPi / 2);
    cairo_close_path(cr);
}

enum class Align { Left, Centre, Right };

void text(cairo_t* cr, const char* s, double x, double y, double size, Rgb colour,
          Align align = Align::Left, bool bold = false) {
    cairo_select_font_face(cr, "Helvetica", CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t e;
    cairo_text_extents(cr, s, &e);
    double left = x;
    if (align == Align::Centre) left = x - e.x_advance / 2;
    if (align == Align::Right) left = x - e.x_advance;
    setColour(cr, colour);
    cairo_move_to(cr, left, y);
    cairo_show_text(cr, s);
}

bool save(cairo_surface_t* surface, const std::string& dir, int number) {
    char name[32];
    std::snprintf(name, sizeof name, "/bmp%05d.png", number);
    const std::string path = dir + name;
    const std::string temp = path + ".tmp";
    if (cairo_surface_write_to_png(surface, temp.c_str()) != CAIRO_STATUS_SUCCESS ||
        std::rename(temp.c_str(), path.c_str()) != 0) {
        std::fprintf(stderr, "kiv_artwork: cannot write %s\n", path.c_str());
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

// A light panel under a transparent display, so its black text reads well.
void displayPanel(cairo_t* cr, double l, double t, double r, double b) {
    roundedRect(cr, l - 1, t, r - l + 2, b - t, 3);
    cairo_set_source_rgb(cr, 0.80, 0.82, 0.85);
    cairo_fill_preserve(cr);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.45);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
}

// A soft recess under a knob, so that it sits in the panel.
void knobWell(cairo_t* cr, double l, double t) {
    const double cx = l + 32, cy = t + 32;
    cairo_pattern_t* p = cairo_pattern_create_radial(cx, cy + 2, 20, cx, cy + 2, 34);
    cairo_pattern_add_color_stop_rgba(p, 0, 0, 0, 0, 0.45);
    cairo_pattern_add_color_stop_rgba(p, 1, 0, 0, 0, 0);
    cairo_set_source(cr, p);
    cairo_arc(cr, cx, cy + 2, 34, 0, 2 * kPi);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
}

// A dark recess behind a switch.
void switchWell(cairo_t* cr, double l, double t, double w, double h) {
    roundedRect(cr, l, t, w, h, 4);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.3);
    cairo_fill(cr);
}

// A dark disc under a loudspeaker diagram.
void diagramDisc(cairo_t* cr, double cx, double cy, double r) {
    cairo_arc(cr, cx, cy, r, 0, 2 * kPi);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.22);
    cairo_fill(cr);
}

// One control cell of 80 x 100: the label on top, the knob's well or the switch's recess,
// and the display's panel at the bottom.
void controlCell(cairo_t* cr, const char* label, double left, double top, bool knob) {
    text(cr, label, left + 40, top + 11, 10, kText, Align::Centre, true);
    if (knob)
        knobWell(cr, left + 8, top + 16);
    else
        switchWell(cr, left + 13, top + 33, 54, 30);
    displayPanel(cr, left + 2, top + 82, left + 78, top + 98);
}

// A window's panel: a dark vertical gradient, a brushed texture of faint horizontal lines
// and a bevelled border; with a title, the title at the top left and the brand at the top
// right.
void windowPanel(cairo_t* cr, int width, int height, const char* title = nullptr) {
    cairo_pattern_t* bg = cairo_pattern_create_linear(0, 0, 0, height);
    cairo_pattern_add_color_stop_rgb(bg, 0, 0.20, 0.23, 0.28);
    cairo_pattern_add_color_stop_rgb(bg, 1, 0.10, 0.11, 0.14);
    cairo_set_source(cr, bg);
    cairo_paint(cr);
    cairo_pattern_destroy(bg);
    cairo_set_line_width(cr, 1);
    for (int y = 0; y < height; y += 3) {
        cairo_move_to(cr, 0, y + 0.5);
        cairo_line_to(cr, width, y + 0.5);
        cairo_set_source_rgba(cr, 1, 1, 1, (y % 2) ? 0.012 : 0.02);
        cairo_stroke(cr);
    }
    cairo_rectangle(cr, 0.5, 0.5, width - 1, height - 1);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.12);
    cairo_stroke(cr);
    if (!title) return;
    text(cr, title, 14, 26, 16, kText, Align::Left, true);
    text(cr, "KIVTONE", width - 14, 26, 10, kAccent, Align::Right, true);
}

// Ends a drawing and writes it as picture number.
bool finish(cairo_t* cr, cairo_surface_t* surface, const std::string& dir, int number) {
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    const bool ok = save(surface, dir, number);
    cairo_surface_destroy(surface);
    return ok;
}

// The picture in the middle: a listener inside rings; the editor draws the loudspeakers
// of the layout in use over it.
void layoutEmblem(cairo_t* cr) {
    const double cx = 275, cy = 120, r = 52;
    cairo_set_line_width(cr, 1);
    for (double rr : {r, r * 0.66, r * 0.33}) {
        cairo_arc(cr, cx, cy, rr, 0, 2 * kPi);
        setColour(cr, kMuted, rr == r ? 0.35 : 0.18);
        cairo_stroke(cr);
    }
    // The listener, facing up (the front).
    cairo_arc(cr, cx, cy, 6, 0, 2 * kPi);
    setColour(cr, kText, 0.8);
    cairo_fill(cr);
    cairo_move_to(cr, cx - 3, cy - 5);
    cairo_line_to(cr, cx, cy - 10);
    cairo_line_to(cr, cx + 3, cy - 5);
    cairo_fill(cr);
}

bool background(const std::string& dir, int number, bool regular) {
    cairo_surface_t* s =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kWindowWidth, kWindowHeight);
    cairo_t* cr = cairo_create(s);
    windowPanel(cr, kWindowWidth, kWindowHeight);

    // Title, and the loudspeaker layout on a disc in the middle.
    text(cr, regular ? "RegularDecoder" : "IrregularDecoder", 275, 25, 16, kText, Align::Centre,
         true);
    diagramDisc(cr, 275, 118, 62);
    layoutEmblem(cr);
    text(cr, "KIVTONE", 550, 250, 10, kAccent, Align::Right, true);

    // Knob wells, then the labels: left column, right column, layout.
    knobWell(cr, 37, 3);
    knobWell(cr, 11, 83);
    knobWell(cr, 37, 164);
    knobWell(cr, 475, 86);
    knobWell(cr, 450, 6);
    text(cr, "LF Pattern", 106, 38, 11, kText, Align::Left, true);
    text(cr, regular ? "W : XYZ, low band" : "W : XY, low band", 106, 51, 9, kMuted);
    text(cr, "HF Pattern", 113, 113, 11, kText, Align::Left, true);
    text(cr, regular ? "W : XYZ, high band" : "W : XY, high band", 113, 126, 9, kMuted);
    text(cr, "Cut-off", 106, 194, 11, kText, Align::Left, true);
    text(cr, "band split", 106, 207, 9, kMuted);

    text(cr, "Encoded Distance", 445, 38, 11, kText, Align::Right, true);
    text(cr, "near field at encoding", 445, 51, 9, kMuted, Align::Right);
    text(cr, "Speaker Distance", 437, 113, 11, kText, Align::Right, true);
    text(cr, "compensation", 437, 126, 9, kMuted, Align::Right);
    text(cr, "Spatial EQ", 446, 184, 11, kText, Align::Right, true);
    text(cr, "single / crossover / shelf", 446, 197, 9, kMuted, Align::Right);

    text(cr, "Layout", 209, 221, 11, kText, Align::Right, true);
    switchWell(cr, 223, 224, 104, 28);
    switchWell(cr, 455, 190, 54, 27); // behind the spatial-EQ switch

    // Light panels under the transparent displays 0, 1, 2, 4, 5 and 6.
    displayPanel(cr, 4, 25, 34, 45);
    displayPanel(cr, 78, 105, 108, 125);
    displayPanel(cr, 1, 186, 36, 206);
    displayPanel(cr, 442, 105, 472, 125);
    displayPanel(cr, 520, 25, 550, 45);
    displayPanel(cr, 452, 170, 512, 190);

    return finish(cr, s, dir, number);
}

// LayoutDecoder's window: a grid of nine labelled control cells on the left, the speaker
// diagram's disc in the middle, the table's panel on the right, the layout chooser and the
// message line below. The cells and areas are those of editor/LayoutDecoderEditor.cpp.
bool layoutBackground(const std::string& dir) {
    const int width = 890, height = 440;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(s);
    windowPanel(cr, width, height, "LayoutDecoder");

    const char* labels[3][3] = {{"LF Pattern", "HF Pattern", "Cut-off"},
                                {"Spk Distance", "Enc Distance", "Spatial EQ"},
                                {"Compensation", "Subwoofer", "Crossover"}};
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column) {
            const bool knob = !(row == 1 && column == 2) && !(row == 2 && column < 2);
            controlCell(cr, labels[row][column], 10 + 80 * column, 44 + 100 * row, knob);
        }

    // The diagram's disc, the table's panel, the chooser's label.
    diagramDisc(cr, 400, 210, 146);
    text(cr, "front", 400, 76, 9, kMuted, Align::Centre);
    roundedRect(cr, 552, 40, 332, 282, 6);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.22);
    cairo_fill(cr);
    text(cr, "Compensation per output", 718, 336, 9, kMuted, Align::Centre);
    text(cr, "Layout", 322, 388, 11, kText, Align::Right, true);
    text(cr, "factory and your own", 560, 388, 9, kMuted, Align::Left);

    return finish(cr, s, dir, 136);
}

// HeadphoneMonitor's window: the diagram's disc on the left, the layout and set choosers with
// their labels, the level and bypass cells and the message line. The areas are those of
// editor/HeadphoneMonitorEditor.cpp.
bool headphoneBackground(const std::string& dir) {
    const int width = 640, height = 420;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(s);
    windowPanel(cr, width, height, "HeadphoneMonitor");

    // The diagram's disc, centred where the diagram centres its rings.
    diagramDisc(cr, 180, 218, 156);
    text(cr, "front", 180, 72, 9, kMuted, Align::Centre);

    text(cr, "Layout", 360, 54, 11, kText, Align::Left, true);
    text(cr, "listed and your own", 626, 54, 9, kMuted, Align::Right);
    text(cr, "HRTF set", 360, 112, 11, kText, Align::Left, true);
    text(cr, "default and your own SOFA files", 626, 112, 9, kMuted, Align::Right);

    const char* labels[2] = {"Level", "Bypass"};
    for (int cell = 0; cell < 2; ++cell)
        controlCell(cr, labels[cell], 380 + 120 * cell, 190, cell == 0);
    text(cr, "Bypass: feeds 1 and 2 straight through", 493, 312, 9, kMuted, Align::Centre);

    return finish(cr, s, dir, 138);
}

// Frame k of 281: value k / 280, pointer from 225 degrees (lower left) clockwise over the
// top to -45 degrees (lower right), with an arc that fills as the value rises.
void knobFrame(cairo_t* cr, double top, double value) {
    const double cx = 32, cy = top + 32;
    const double start = 225 * kPi / 180, sweep = 270 * kPi / 180;
    const double angle = start - sweep * value;
    // cairo measures angles clockwise from +x in screen space: negate the maths angle.
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, 4);
    cairo_arc(cr, cx, cy, 27, -start, -start + sweep);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.55);
    cairo_stroke(cr);
    if (value > 0) {
        cairo_arc(cr, cx, cy, 27, -start, -angle);
        setColour(cr, kAccent);
        cairo_stroke(cr);
    }
    // Body.
    cairo_pattern_t* body = cairo_pattern_create_radial(cx - 6, cy - 8, 2, cx, cy, 22);
    cairo_pattern_add_color_stop_rgb(body, 0, 0.52, 0.56, 0.62);
    cairo_pattern_add_color_stop_rgb(body, 0.7, 0.27, 0.30, 0.35);
    cairo_pattern_add_color_stop_rgb(body, 1, 0.16, 0.18, 0.21);
    cairo_arc(cr, cx, cy, 21, 0, 2 * kPi);
    cairo_set_source(cr, body);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(body);
    cairo_set_line_width(cr, 1);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.7);
    cairo_stroke(cr);
    // Pointer.
    const double c = std::cos(angle), s = std::sin(angle);
    cairo_set_line_width(cr, 3);
    cairo_move_to(cr, cx + 7 * c, cy - 7 * s);
    cairo_line_to(cr, cx + 19 * c, cy - 19 * s);
    setColour(cr, {0.97, 0.97, 0.97});
    cairo_stroke(cr);
}

bool knobStrip(const std::string& dir) {
    const int frames = 281;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 64, 64 * frames);
    cairo_t* cr = cairo_create(s);
    for (int k = 0; k < frames; ++k) knobFrame(cr, 64.0 * k, k / 280.0);
    return finish(cr, s, dir, 132);
}

// Frame k lights position k of a row of segments.
bool switchStrip(const std::string& dir, int number, int positions, int width) {
    const int h = 24;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, h * positions);
    cairo_t* cr = cairo_create(s);
    const double cell = static_cast<double>(width) / positions;
    for (int k = 0; k < positions; ++k) {
        const double top = k * h;
        roundedRect(cr, 0.5, top + 0.5, width - 1, h - 1, 4);
        cairo_set_source_rgb(cr, 0.13, 0.14, 0.17);
        cairo_fill_preserve(cr);
        cairo_set_source_rgba(cr, 1, 1, 1, 0.15);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
        for (int p = 0; p < positions; ++p) {
            const double x = p * cell;
            roundedRect(cr, x + 2, top + 3, cell - 4, h - 6, 2.5);
            if (p == k) {
                cairo_pattern_t* lit = cairo_pattern_create_linear(0, top + 3, 0, top + h - 3);
                cairo_pattern_add_color_stop_rgb(lit, 0, 1.0, 0.80, 0.42);
                cairo_pattern_add_color_stop_rgb(lit, 1, kAccent.r * 0.85, kAccent.g * 0.8,
                                                 kAccent.b * 0.6);
                cairo_set_source(cr, lit);
                cairo_fill(cr);
                cairo_pattern_destroy(lit);
            } else {
                cairo_set_source_rgb(cr, 0.26, 0.28, 0.33);
                cairo_fill(cr);
            }
            // A small index mark on each segment.
            cairo_arc(cr, x + cell / 2, top + h / 2.0, 1.6, 0, 2 * kPi);
            if (p == k)
                cairo_set_source_rgb(cr, 0.2, 0.12, 0.02);
            else
                cairo_set_source_rgba(cr, 1, 1, 1, 0.35);
            cairo_fill(cr);
        }
    }
    return finish(cr, s, dir, number);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kiv_artwork OUTPUT_DIRECTORY\n");
        return 2;
    }
    const std::string dir = argv[1];
    const bool ok = background(dir, 130, false) && background(dir, 131, true) && knobStrip(dir) &&
                    switchStrip(dir, 134, 3, 48) && switchStrip(dir, 135, 7, 96) &&
                    layoutBackground(dir) && switchStrip(dir, 137, 2, 48) &&
                    headphoneBackground(dir);
    cairo_debug_reset_static_data();
    return ok ? 0 : 1;
}
