// SPDX-License-Identifier: GPL-3.0-or-later
#include "rig/Layout.h"

#include <algorithm>
#include <cmath>

#include "rig/RigError.h"

namespace {

constexpr double kDegrees = 3.141592653589793 / 180.0;
// Two speakers closer than this (degrees on the sphere) stand at the same place.
constexpr double kCoincidentDegrees = 0.5;

std::string speakerLabel(const Speaker& s, size_t i) {
    return "speaker " + std::to_string(i + 1) + (s.name.empty() ? "" : " (" + s.name + ")");
}

double angleBetweenDegrees(const Speaker& a, const Speaker& b) {
    const double ea = a.elevationDegrees * kDegrees, eb = b.elevationDegrees * kDegrees;
    const double d = (a.azimuthDegrees - b.azimuthDegrees) * kDegrees;
    const double c = std::sin(ea) * std::sin(eb) + std::cos(ea) * std::cos(eb) * std::cos(d);
    return std::acos(std::clamp(c, -1.0, 1.0)) / kDegrees;
}

} // namespace

int Layout::realCount() const {
    return static_cast<int>(std::count_if(speakers.begin(), speakers.end(),
                                          [](const Speaker& s) { return !s.imaginary; }));
}

std::vector<const Speaker*> Layout::realSpeakers() const {
    std::vector<const Speaker*> real;
    for (const Speaker& s : speakers)
        if (!s.imaginary) real.push_back(&s);
    std::stable_sort(real.begin(), real.end(), [](const Speaker* a, const Speaker* b) {
        return a->outputChannel < b->outputChannel;
    });
    return real;
}

bool Layout::distancesDiffer() const {
    double lo = 0.0, hi = 0.0;
    bool first = true;
    for (const Speaker& s : speakers) {
        if (s.imaginary) continue;
        lo = first ? s.distanceMetres : std::min(lo, s.distanceMetres);
        hi = first ? s.distanceMetres : std::max(hi, s.distanceMetres);
        first = false;
    }
    return hi - lo > 1e-6;
}

void validateLayout(const Layout& layout, const std::string& where) {
    const auto fail = [&](const std::string& what) { throw RigError(where + ": " + what); };
    const int real = layout.realCount();
    if (real < Layout::kMinSpeakers)
        fail("has " + std::to_string(real) + " real speaker" + (real == 1 ? "" : "s") +
             ", at least 2 are needed");
    if (real > Layout::kMaxSpeakers)
        fail("has " + std::to_string(real) + " real speakers, at most 32 are possible");
    if (layout.speakers.size() > 64) fail("has more than 64 speakers, imaginary ones included");
    bool channelUsed[Layout::kMaxSpeakers + 1] = {};
    for (size_t i = 0; i < layout.speakers.size(); ++i) {
        const Speaker& s = layout.speakers[i];
        const std::string label = speakerLabel(s, i);
        if (!std::isfinite(s.azimuthDegrees) || !std::isfinite(s.elevationDegrees) ||
            !std::isfinite(s.distanceMetres) || !std::isfinite(s.gain))
            fail(label + " has a number that is not finite");
        if (std::fabs(s.azimuthDegrees) > 720.0)
            fail(label + " has an azimuth beyond +-720 degrees");
        if (s.elevationDegrees < -90.0 || s.elevationDegrees > 90.0)
            fail(label + " has an elevation outside -90 to 90 degrees");
        if (!(s.distanceMetres > 0.0) || s.distanceMetres > 1000.0)
            fail(label + " has a distance outside 0 to 1000 m");
        if (s.gain < 0.0 || s.gain > 100.0) fail(label + " has a gain outside 0 to 100");
        if (!s.imaginary) {
            if (s.outputChannel < 1 || s.outputChannel > Layout::kMaxSpeakers)
                fail(label + " has output channel " + std::to_string(s.outputChannel) +
                     ", outside 1 to 32");
            if (channelUsed[s.outputChannel])
                fail(label + " uses output channel " + std::to_string(s.outputChannel) +
                     " a second time");
            channelUsed[s.outputChannel] = true;
        }
        // A file's own decoder may feed two outputs at one place (a subwoofer beside the
        // centre); a design from positions cannot use them.
        for (size_t j = 0; j < i && !layout.decoder; ++j)
            if (angleBetweenDegrees(s, layout.speakers[j]) < kCoincidentDegrees)
                fail(label + " stands at the same place as " + speakerLabel(layout.speakers[j], j));
    }
    int lastChannel = 0;
    for (int c = 1; c <= Layout::kMaxSpeakers; ++c)
        if (channelUsed[c]) lastChannel = c;
    if (layout.subwoofer && lastChannel + 1 > Layout::kMaxSpeakers)
        fail("has no output left for the subwoofer");
    if (layout.decoder) {
        const PresetDecoder& d = *layout.decoder;
        const size_t columns = d.acnColumns.size();
        const auto checkMatrix = [&](const std::vector<std::vector<double>>& m, const char* band) {
            if (m.size() != static_cast<size_t>(real))
                fail(std::string(band) + " matrix has " + std::to_string(m.size()) + " rows for " +
                     std::to_string(real) + " speakers");
            for (size_t r = 0; r < m.size(); ++r) {
                if (m[r].size() != columns)
                    fail(std::string(band) + " matrix row " + std::to_string(r + 1) + " has " +
                         std::to_string(m[r].size()) + " values, " + std::to_string(columns) +
                         " expected");
                for (double v : m[r])
                    if (!std::isfinite(v))
                        fail(std::string(band) + " matrix row " + std::to_string(r + 1) +
                             " has a number that is not finite");
            }
        };
        if (columns == 0) fail("decoder uses no channels");
        checkMatrix(d.lf, d.twoBand ? "LF" : "decoder");
        if (d.twoBand) checkMatrix(d.hf, "HF");
        for (double g : d.lfOrderGain)
            if (!std::isfinite(g)) fail("order gain is not finite");
        for (double g : d.hfOrderGain)
            if (!std::isfinite(g)) fail("order gain is not finite");
        if (!std::isfinite(d.crossoverHz) || d.crossoverHz < 20.0 || d.crossoverHz > 20000.0)
            fail("crossover frequency outside 20 Hz to 20 kHz");
        if (!std::isfinite(d.crossoverRatioDb) || std::fabs(d.crossoverRatioDb) > 40.0)
            fail("crossover ratio outside -40 to 40 dB");
    }
}
