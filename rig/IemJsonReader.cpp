// SPDX-License-Identifier: GPL-3.0-or-later
#include "rig/IemJsonReader.h"

#include <cmath>
#include <nlohmann/json.hpp>

#include "rig/RigError.h"

namespace {

using nlohmann::json;

constexpr int kMaxDepth = 16;

struct Reader {
    const std::string& where;

    [[noreturn]] void fail(const std::string& key, const std::string& what) const {
        throw RigError(where + ": " + key + ": " + what);
    }

    const json& member(const json& object, const std::string& path, const char* name) const {
        const auto it = object.find(name);
        if (it == object.end()) fail(path + "/" + name, "is missing");
        return *it;
    }

    double number(const json& v, const std::string& key) const {
        if (!v.is_number()) fail(key, "is not a number");
        const double d = v.get<double>();
        if (!std::isfinite(d)) fail(key, "is not finite");
        return d;
    }

    double numberOr(const json& object, const std::string& path, const char* name,
                    double fallback) const {
        const auto it = object.find(name);
        return it == object.end() ? fallback : number(*it, path + "/" + name);
    }

    int integer(const json& v, const std::string& key, int lo, int hi) const {
        const double d = number(v, key);
        if (d != std::floor(d) || d < lo || d > hi)
            fail(key,
                 "is not a whole number from " + std::to_string(lo) + " to " + std::to_string(hi));
        return static_cast<int>(d);
    }

    bool boolean(const json& object, const std::string& path, const char* name,
                 bool fallback) const {
        const auto it = object.find(name);
        if (it == object.end()) return fallback;
        if (!it->is_boolean()) fail(path + "/" + name, "is not true or false");
        return it->get<bool>();
    }

    std::string text(const json& object, const std::string& path, const char* name) const {
        const auto it = object.find(name);
        if (it == object.end()) return "";
        if (!it->is_string()) fail(path + "/" + name, "is not a string");
        return it->get<std::string>();
    }
};

int lineOfByte(const std::string& text, size_t byte) {
    int line = 1;
    for (size_t i = 0; i < byte && i < text.size(); ++i)
        if (text[i] == '\n') ++line;
    return line;
}

void readSpeakers(const Reader& r, const json& layoutObject, const std::string& path,
                  Layout& layout) {
    if (!layoutObject.is_object()) r.fail(path, "is not an object");
    layout.name = r.text(layoutObject, path, "Name");
    const std::string listPath = path + "/Loudspeakers";
    const json& list = r.member(layoutObject, path, "Loudspeakers");
    if (!list.is_array()) r.fail(listPath, "is not an array");
    if (list.size() > 64)
        r.fail(listPath, "has " + std::to_string(list.size()) + " entries, at most 64 are read");
    bool used[Layout::kMaxSpeakers + 1] = {};
    for (size_t i = 0; i < list.size(); ++i) {
        const std::string key = listPath + "/" + std::to_string(i);
        const json& item = list[i];
        if (!item.is_object()) r.fail(key, "is not an object");
        Speaker s;
        s.azimuthDegrees = r.number(r.member(item, key, "Azimuth"), key + "/Azimuth");
        s.elevationDegrees = r.number(r.member(item, key, "Elevation"), key + "/Elevation");
        s.distanceMetres = r.numberOr(item, key, "Radius", 1.0);
        if (!(s.distanceMetres > 0.0) || s.distanceMetres > 1000.0)
            r.fail(key + "/Radius", "is not from 0 to 1000 m");
        s.imaginary = r.boolean(item, key, "IsImaginary", false);
        s.gain = r.numberOr(item, key, "Gain", s.imaginary ? 0.0 : 1.0);
        if (s.gain < 0.0 || s.gain > 100.0) r.fail(key + "/Gain", "is not from 0 to 100");
        if (!s.imaginary) {
            s.outputChannel = r.integer(r.member(item, key, "Channel"), key + "/Channel", 1,
                                        Layout::kMaxSpeakers);
            if (used[s.outputChannel])
                r.fail(key + "/Channel",
                       std::to_string(s.outputChannel) + " is used by an earlier loudspeaker");
            used[s.outputChannel] = true;
            s.name = std::to_string(s.outputChannel);
        } else {
            s.name = "imaginary";
        }
        layout.speakers.push_back(s);
    }
}

void readDecoder(const Reader& r, const json& decoder, Layout& layout) {
    const std::string path = "/Decoder";
    const auto matrixIt = decoder.find("Matrix");
    if (matrixIt == decoder.end()) return; // a layout without a matrix: designed
    const std::string mkey = path + "/Matrix";
    const json& matrix = *matrixIt;
    if (!matrix.is_array() || matrix.empty()) r.fail(mkey, "is not a non-empty array of rows");
    if (matrix.size() > Layout::kMaxSpeakers) r.fail(mkey, "has more than 32 rows");
    PresetDecoder dec;
    const std::string norm = r.text(decoder, path, "ExpectedInputNormalization");
    if (norm == "n3d" || norm == "N3D")
        dec.coeffScale = Normalisation::N3D;
    else if (norm == "sn3d" || norm == "SN3D" || norm.empty())
        dec.coeffScale = Normalisation::SN3D;
    else
        r.fail(path + "/ExpectedInputNormalization", "'" + norm + "' is not sn3d or n3d");

    size_t columns = 0;
    std::vector<std::vector<double>> rows;
    for (size_t i = 0; i < matrix.size(); ++i) {
        const std::string key = mkey + "/" + std::to_string(i);
        if (!matrix[i].is_array()) r.fail(key, "is not an array");
        if (i == 0) columns = matrix[i].size();
        if (matrix[i].size() != columns)
            r.fail(key, "has " + std::to_string(matrix[i].size()) + " values, row 0 has " +
                            std::to_string(columns));
        std::vector<double> row;
        for (size_t c = 0; c < columns; ++c)
            row.push_back(r.number(matrix[i][c], key + "/" + std::to_string(c)));
        rows.push_back(row);
    }
    int order = 0;
    while ((order + 1) * (order + 1) < static_cast<int>(columns)) ++order;
    if ((order + 1) * (order + 1) != static_cast<int>(columns) || order < 1 || order > 7)
        r.fail(mkey, "rows have " + std::to_string(columns) +
                         " values, not (N+1)^2 for an order N from 1 to 7");
    dec.order = order;
    for (int acn = 0; acn < static_cast<int>(columns); ++acn) dec.acnColumns.push_back(acn);

    const std::string weights = r.text(decoder, path, "Weights");
    const bool applied = r.boolean(decoder, path, "WeightsAlreadyApplied", false);
    double w1 = 1.0;
    if (weights == "maxrE")
        w1 = 1.0 / std::sqrt(3.0); // first order, 3D
    else if (weights == "inPhase")
        w1 = 1.0 / 3.0;
    else if (!weights.empty() && weights != "none")
        r.fail(path + "/Weights", "'" + weights + "' is not none, maxrE or inPhase");
    dec.lfOrderGain = {1.0, applied ? 1.0 : w1};

    // Rows go to the real speakers whose Channel the routing names; a speaker without a row
    // stays silent.
    const std::vector<const Speaker*> real = layout.realSpeakers();
    dec.lf.assign(real.size(), std::vector<double>(columns, 0.0));
    std::vector<bool> filled(real.size(), false);
    const auto routingIt = decoder.find("Routing");
    for (size_t i = 0; i < rows.size(); ++i) {
        int channel = static_cast<int>(i) + 1;
        const std::string rkey = path + "/Routing/" + std::to_string(i);
        if (routingIt != decoder.end()) {
            if (!routingIt->is_array() || routingIt->size() != rows.size())
                r.fail(path + "/Routing", "is not an array with one channel per matrix row");
            channel = r.integer((*routingIt)[i], rkey, 1, Layout::kMaxSpeakers);
        }
        size_t s = 0;
        while (s < real.size() && real[s]->outputChannel != channel) ++s;
        if (s == real.size())
            r.fail(routingIt != decoder.end() ? rkey : mkey + "/" + std::to_string(i),
                   "channel " + std::to_string(channel) + " is no loudspeaker's Channel");
        if (filled[s]) r.fail(rkey, "channel " + std::to_string(channel) + " has a row already");
        filled[s] = true;
        dec.lf[s] = rows[i];
    }
    layout.decoder = dec;
}

} // namespace

Layout parseIemJson(const std::string& text, const std::string& where) {
    const Reader r{where};
    json root;
    try {
        // Nesting deeper than any layout file needs is refused while it is parsed.
        root = json::parse(text, [&](int depth, json::parse_event_t, json&) {
            if (depth > kMaxDepth)
                throw RigError(where + ": nested deeper than " + std::to_string(kMaxDepth) +
                               " levels");
            return true;
        });
    } catch (const json::parse_error& e) {
        std::string what = e.what();
        const size_t colon = what.find("syntax error");
        throw RigError(
            where + ":" + std::to_string(lineOfByte(text, e.byte == 0 ? 0 : e.byte - 1)) +
            ": not valid JSON (" + (colon == std::string::npos ? what : what.substr(colon)) + ")");
    } catch (const json::exception& e) {
        throw RigError(where + ": not valid JSON (" + e.what() + ")");
    }
    if (!root.is_object()) r.fail("/", "is not an object");
    Layout layout;
    layout.description = r.text(root, "", "Description");
    const auto decoderIt = root.find("Decoder");
    if (decoderIt != root.end() && !decoderIt->is_object()) r.fail("/Decoder", "is not an object");
    const auto top = root.find("LoudspeakerLayout");
    if (top != root.end()) {
        readSpeakers(r, *top, "/LoudspeakerLayout", layout);
    } else if (decoderIt != root.end() && decoderIt->contains("LoudspeakerLayout")) {
        readSpeakers(r, (*decoderIt)["LoudspeakerLayout"], "/Decoder/LoudspeakerLayout", layout);
    } else {
        r.fail("/LoudspeakerLayout", "is missing (neither at the top nor under /Decoder)");
    }
    const std::string name = r.text(root, "", "Name");
    if (!name.empty()) layout.name = name;
    if (decoderIt != root.end()) readDecoder(r, *decoderIt, layout);
    return layout;
}
