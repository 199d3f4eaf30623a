// SPDX-License-Identifier: GPL-3.0-or-later
#include "rig/SpeakerListReader.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "rig/RigError.h"

Layout parseSpeakerList(const std::string& text, const std::string& where) {
    Layout layout;
    int line = 0;
    bool named = false;
    const auto fail = [&](const std::string& what) {
        throw RigError(where + ":" + std::to_string(line) + ": " + what);
    };
    const auto number = [&](const std::string& token, const char* what) {
        errno = 0;
        char* end = nullptr;
        const double v = std::strtod(token.c_str(), &end);
        if (end != token.c_str() + token.size())
            fail(std::string(what) + " '" + token + "' is not a number");
        if (!std::isfinite(v) || errno == ERANGE)
            fail(std::string(what) + " '" + token + "' is not finite");
        return v;
    };
    std::istringstream in(text);
    for (std::string raw; std::getline(in, raw);) {
        ++line;
        const std::string content = raw.substr(0, raw.find('#'));
        std::istringstream words(content);
        std::vector<std::string> t;
        for (std::string w; words >> w;) t.push_back(w);
        if (t.empty()) continue;
        if (t[0] == "name") {
            if (named) fail("a second name line");
            if (t.size() < 2) fail("name without a name");
            const size_t at = content.find("name") + 4;
            const size_t b = content.find_first_not_of(" \t", at),
                         e = content.find_last_not_of(" \t\r");
            layout.name = content.substr(b, e - b + 1);
            named = true;
            continue;
        }
        if (t[0] == "subwoofer") {
            if (t.size() != 1) fail("subwoofer takes no values");
            if (layout.subwoofer) fail("a second subwoofer line");
            layout.subwoofer = true;
            continue;
        }
        if (t.size() < 3 || t.size() > 4)
            fail("expected NAME AZIMUTH ELEVATION [DISTANCE], found " + std::to_string(t.size()) +
                 " words");
        if (layout.speakers.size() >= static_cast<size_t>(Layout::kMaxSpeakers))
            fail("more than 32 speakers");
        Speaker s;
        s.name = t[0];
        s.azimuthDegrees = number(t[1], "azimuth");
        s.elevationDegrees = number(t[2], "elevation");
        if (t.size() == 4) s.distanceMetres = number(t[3], "distance");
        if (!(s.distanceMetres > 0.0)) fail("distance " + t[3] + " is not above 0");
        s.outputChannel = static_cast<int>(layout.speakers.size()) + 1;
        layout.speakers.push_back(s);
    }
    return layout;
}
