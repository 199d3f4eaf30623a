// SPDX-License-Identifier: GPL-3.0-or-later
// A preset is a list of lines of whitespace-separated tokens; `#` starts a comment. A key
// begins with `/`; `/NAME/{` opens a block that `/}` closes; `/end` ends the file. The reader
// walks the lines once, keeps which block it is in, and checks every count against
// /dec/speakers and the channels the preset says it uses.
#include "rig/AmbdecReader.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "rig/RigError.h"

namespace {

enum class Block { None, Speakers, Matrix, LfMatrix, HfMatrix };

struct Reader {
    const std::string& where;
    int line = 0;

    [[noreturn]] void fail(const std::string& what) const {
        throw RigError(where + ":" + std::to_string(line) + ": " + what);
    }

    double number(const std::string& token, const std::string& what) const {
        errno = 0;
        char* end = nullptr;
        const double v = std::strtod(token.c_str(), &end);
        if (token.empty() || end != token.c_str() + token.size())
            fail(what + " '" + token + "' is not a number");
        if (!std::isfinite(v) || errno == ERANGE) fail(what + " '" + token + "' is not finite");
        return v;
    }

    int integer(const std::string& token, const std::string& what, int lo, int hi) const {
        const double v = number(token, what);
        if (v != std::floor(v) || v < lo || v > hi)
            fail(what + " " + token + " is not a whole number from " + std::to_string(lo) + " to " +
                 std::to_string(hi));
        return static_cast<int>(v);
    }
};

std::vector<std::string> tokensOf(const std::string& text) {
    std::istringstream in(text.substr(0, text.find('#')));
    std::vector<std::string> tokens;
    for (std::string t; in >> t;) tokens.push_back(t);
    return tokens;
}

Normalisation normalisationOf(const Reader& r, const std::string& key, const std::string& v) {
    if (v == "fuma" || v == "fmset") return Normalisation::FuMa; // fmset: old FuMa files
    if (v == "sn3d") return Normalisation::SN3D;
    if (v == "n3d") return Normalisation::N3D;
    r.fail(key + " '" + v + "' is not fuma, sn3d or n3d");
}

bool onOff(const Reader& r, const std::string& key, const std::string& v) {
    if (v == "on") return true;
    if (v == "off") return false;
    r.fail(key + " '" + v + "' is not on or off");
}

int orderOfAcn(int acn) {
    int n = 0;
    while ((n + 1) * (n + 1) <= acn) ++n;
    return n;
}

// Versions 1 and 2: the columns in FuMa order for horizontal order h and vertical order v.
std::vector<int> fumaColumns(int h, int v) {
    // ACN of the FuMa channels W X Y Z | R S T U V | K L M N O P Q, with their 3D flag.
    static const int kAcn[16] = {0, 3, 1, 2, 6, 7, 5, 8, 4, 12, 13, 11, 14, 10, 15, 9};
    std::vector<int> columns;
    for (int i = 0; i < 16; ++i) {
        const int acn = kAcn[i];
        const int n = orderOfAcn(acn);
        const int m = acn - n * n - n; // degree -n..n; +-n are the horizontal ones
        const bool horizontal = m == n || m == -n;
        if (n > h) continue;
        if (!horizontal && n > v) continue;
        columns.push_back(acn);
    }
    return columns;
}

} // namespace

Layout parseAmbdec(const std::string& text, const std::string& where) {
    Reader r{where};
    Layout layout;
    PresetDecoder dec;
    int version = 0, speakers = -1, bands = 0, horOrder = -1, verOrder = -1;
    bool haveMask = false, haveScale = false, ended = false;
    bool haveSpeakers = false, haveLf = false, haveHf = false, haveMatrix = false;
    Block block = Block::None;
    int blockLine = 0;
    std::vector<std::vector<double>>* rows = nullptr;
    std::vector<double>* gains = nullptr;

    std::istringstream in(text);
    for (std::string raw; std::getline(in, raw);) {
        ++r.line;
        if (ended) {
            if (!tokensOf(raw).empty()) r.fail("text after /end");
            continue;
        }
        const std::vector<std::string> t = tokensOf(raw);
        if (t.empty()) continue;
        const std::string& key = t[0];
        const auto args = [&](size_t lo, size_t hi) {
            if (t.size() - 1 < lo || t.size() - 1 > hi)
                r.fail(key + " takes " +
                       (lo == hi ? std::to_string(lo)
                                 : std::to_string(lo) + " to " + std::to_string(hi)) +
                       " value" + (hi == 1 ? "" : "s") + ", found " + std::to_string(t.size() - 1));
        };

        if (block != Block::None) {
            if (key == "/}") {
                const size_t got = block == Block::Speakers ? layout.speakers.size() : rows->size();
                if (static_cast<int>(got) != speakers)
                    r.fail("block of line " + std::to_string(blockLine) + " has " +
                           std::to_string(got) +
                           (block == Block::Speakers ? " speakers" : " rows") +
                           ", /dec/speakers says " + std::to_string(speakers));
                if (block != Block::Speakers && gains->empty())
                    r.fail("matrix block of line " + std::to_string(blockLine) +
                           " has no order_gain");
                block = Block::None;
                continue;
            }
            if (block == Block::Speakers) {
                if (key != "add_spkr") r.fail("unknown keyword '" + key + "' in /speakers/");
                args(4, 5);
                if (static_cast<int>(layout.speakers.size()) >= speakers)
                    r.fail("more speakers than /dec/speakers " + std::to_string(speakers));
                Speaker s;
                s.name = t[1];
                s.distanceMetres = r.number(t[2], "distance");
                s.azimuthDegrees = r.number(t[3], "azimuth");
                s.elevationDegrees = r.number(t[4], "elevation");
                s.outputChannel = static_cast<int>(layout.speakers.size()) + 1;
                if (!(s.distanceMetres > 0.0)) r.fail("distance " + t[2] + " is not above 0");
                layout.speakers.push_back(s);
                continue;
            }
            if (key == "order_gain") {
                args(1, 4);
                if (!gains->empty()) r.fail("a second order_gain in one matrix");
                for (size_t i = 1; i < t.size(); ++i)
                    gains->push_back(r.number(t[i], "order gain"));
                continue;
            }
            if (key != "add_row") r.fail("unknown keyword '" + key + "' in a matrix block");
            const size_t columns = dec.acnColumns.size();
            if (t.size() - 1 != columns)
                r.fail("row has " + std::to_string(t.size() - 1) +
                       " values, the preset's channels ask for " + std::to_string(columns));
            if (static_cast<int>(rows->size()) >= speakers)
                r.fail("more rows than /dec/speakers " + std::to_string(speakers));
            std::vector<double> row;
            for (size_t i = 1; i < t.size(); ++i) row.push_back(r.number(t[i], "coefficient"));
            rows->push_back(row);
            continue;
        }

        if (key == "/description") {
            const size_t at = raw.find("/description") + 12;
            std::string d = raw.substr(at);
            const size_t b = d.find_first_not_of(" \t\r"), e = d.find_last_not_of(" \t\r");
            layout.description = b == std::string::npos ? "" : d.substr(b, e - b + 1);
        } else if (key == "/version") {
            args(1, 1);
            version = r.integer(t[1], "version", 1, 3);
        } else if (key == "/dec/chan_mask") {
            args(1, 1);
            char* end = nullptr;
            errno = 0;
            const unsigned long mask = std::strtoul(t[1].c_str(), &end, 16);
            if (end != t[1].c_str() + t[1].size() || errno != 0 || t[1].size() > 8 ||
                t[1][0] == '-')
                r.fail("chan_mask '" + t[1] + "' is not a hexadecimal mask");
            const bool first = mask == 0xb || mask == 0xf;
            const bool higher = mask <= 0xffff && mask > 0xf && (mask & 0xb) == 0xb;
            if (!first && !higher)
                r.fail("chan_mask '" + t[1] +
                       "' is neither first order (b, f) nor a higher order "
                       "up to third (with W, X and Y)");
            dec.acnColumns.clear();
            for (int acn = 0; acn < 16; ++acn)
                if (mask & (1ul << acn)) {
                    dec.acnColumns.push_back(acn);
                    dec.order = orderOfAcn(acn);
                }
            haveMask = true;
        } else if (key == "/dec/hor_order") {
            args(1, 1);
            horOrder = r.integer(t[1], "hor_order", 1, 3);
        } else if (key == "/dec/ver_order") {
            args(1, 1);
            verOrder = r.integer(t[1], "ver_order", 0, 3);
        } else if (key == "/dec/freq_bands") {
            args(1, 1);
            bands = r.integer(t[1], "freq_bands", 1, 2);
        } else if (key == "/dec/speakers") {
            args(1, 1);
            speakers = r.integer(t[1], "speakers", 2, Layout::kMaxSpeakers);
        } else if (key == "/dec/coeff_scale") {
            args(1, 1);
            dec.coeffScale = normalisationOf(r, key, t[1]);
            haveScale = true;
        } else if (key == "/opt/input_scale") {
            args(1, 1);
            normalisationOf(r, key, t[1]); // what the preset's own host fed it: checked, not used
        } else if (key == "/opt/nfeff_comp") {
            args(1, 1);
            if (t[1] == "none")
                dec.nearField = PresetDecoder::NearField::None;
            else if (t[1] == "input")
                dec.nearField = PresetDecoder::NearField::Input;
            else if (t[1] == "output")
                dec.nearField = PresetDecoder::NearField::Output;
            else
                r.fail("nfeff_comp '" + t[1] + "' is not none, input or output");
        } else if (key == "/opt/delay_comp") {
            args(1, 1);
            dec.delayCompensation = onOff(r, key, t[1]);
        } else if (key == "/opt/level_comp") {
            args(1, 1);
            dec.levelCompensation = onOff(r, key, t[1]);
        } else if (key == "/opt/xover_freq") {
            args(1, 1);
            dec.crossoverHz = r.number(t[1], "xover_freq");
        } else if (key == "/opt/xover_ratio") {
            args(1, 1);
            dec.crossoverRatioDb = r.number(t[1], "xover_ratio");
        } else if (key == "/end") {
            args(0, 0);
            ended = true;
        } else if (key == "/speakers/{" || key == "/matrix/{" || key == "/lfmatrix/{" ||
                   key == "/hfmatrix/{") {
            args(0, 0);
            if (speakers < 0) r.fail(key + " before /dec/speakers");
            blockLine = r.line;
            if (key == "/speakers/{") {
                if (haveSpeakers) r.fail("a second /speakers/ block");
                haveSpeakers = true;
                block = Block::Speakers;
                continue;
            }
            if (dec.acnColumns.empty()) r.fail(key + " before /dec/chan_mask or /dec/hor_order");
            if (bands == 0) r.fail(key + " before /dec/freq_bands");
            if (key == "/matrix/{") {
                if (bands != 1)
                    r.fail("/matrix/ in a two-band preset (use /lfmatrix/ and /hfmatrix/)");
                if (haveMatrix) r.fail("a second /matrix/ block");
                haveMatrix = true;
                block = Block::Matrix;
                rows = &dec.lf;
                gains = &dec.lfOrderGain;
            } else {
                if (bands != 2) r.fail(key + " in a one-band preset (use /matrix/)");
                const bool lf = key == "/lfmatrix/{";
                if (lf ? haveLf : haveHf)
                    r.fail("a second " + key.substr(0, key.size() - 1) + " block");
                (lf ? haveLf : haveHf) = true;
                block = lf ? Block::LfMatrix : Block::HfMatrix;
                rows = lf ? &dec.lf : &dec.hf;
                gains = lf ? &dec.lfOrderGain : &dec.hfOrderGain;
            }
        } else {
            r.fail("unknown keyword '" + key + "'");
        }

        // Versions 1 and 2 give orders instead of a mask: the columns follow once both are known.
        if ((key == "/dec/hor_order" || key == "/dec/ver_order") && horOrder >= 1 &&
            verOrder >= 0) {
            if (verOrder > horOrder) r.fail("ver_order is above hor_order");
            dec.acnColumns = fumaColumns(horOrder, verOrder);
            dec.order = horOrder;
        }
    }
    ++r.line;
    if (block != Block::None)
        r.fail("the file ends inside the block of line " + std::to_string(blockLine) +
               " (truncated?)");
    if (!ended) r.fail("the file ends without /end (truncated?)");
    if (version == 0) r.fail("no /version");
    if (version == 3 && !haveMask) r.fail("no /dec/chan_mask (version 3)");
    if (version < 3 && haveMask)
        r.fail("/dec/chan_mask in a version " + std::to_string(version) + " preset");
    if (version < 3 && (horOrder < 0 || verOrder < 0))
        r.fail("no /dec/hor_order and /dec/ver_order");
    if (version == 3 && (horOrder >= 0 || verOrder >= 0))
        r.fail("hor_order or ver_order in a version 3 preset");
    if (speakers < 0) r.fail("no /dec/speakers");
    if (bands == 0) r.fail("no /dec/freq_bands");
    if (!haveScale) r.fail("no /dec/coeff_scale");
    if (!haveSpeakers) r.fail("no /speakers/ block");
    if (bands == 1 && !haveMatrix) r.fail("no /matrix/ block");
    if (bands == 2 && !haveLf) r.fail("no /lfmatrix/ block");
    if (bands == 2 && !haveHf) r.fail("no /hfmatrix/ block");
    // Old presets have no xover_ratio: 0 dB, the default.
    dec.twoBand = bands == 2;
    layout.decoder = dec;
    return layout;
}
