// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/lv2ttl/TurtleText.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace kiv::lv2ttl {

std::string quoted(const char* text) {
    std::string out = "\"";
    for (const char* c = text; *c != '\0'; ++c) {
        switch (*c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += *c;
        }
    }
    return out + "\"";
}

std::string number(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    std::string out = text;
    if (out.find_first_of(".e") == std::string::npos) out += ".0";
    return out;
}

std::string prefixBlock(std::initializer_list<const char*> names) {
    static const struct {
        const char* name;
        const char* uri;
    } kVocabularies[] = {
        {"atom", "http://lv2plug.in/ns/ext/atom#"},
        {"bufsz", "http://lv2plug.in/ns/ext/buf-size#"},
        {"doap", "http://usefulinc.com/ns/doap#"},
        {"foaf", "http://xmlns.com/foaf/0.1/"},
        {"log", "http://lv2plug.in/ns/ext/log#"},
        {"lv2", "http://lv2plug.in/ns/lv2core#"},
        {"opts", "http://lv2plug.in/ns/ext/options#"},
        {"patch", "http://lv2plug.in/ns/ext/patch#"},
        {"pg", "http://lv2plug.in/ns/ext/port-groups#"},
        {"pset", "http://lv2plug.in/ns/ext/presets#"},
        {"rdf", "http://www.w3.org/1999/02/22-rdf-syntax-ns#"},
        {"rdfs", "http://www.w3.org/2000/01/rdf-schema#"},
        {"state", "http://lv2plug.in/ns/ext/state#"},
        {"ui", "http://lv2plug.in/ns/extensions/ui#"},
        {"units", "http://lv2plug.in/ns/extensions/units#"},
        {"urid", "http://lv2plug.in/ns/ext/urid#"},
        {"work", "http://lv2plug.in/ns/ext/worker#"},
    };
    std::string block;
    for (const char* name : names) {
        const auto* found =
            std::find_if(std::begin(kVocabularies), std::end(kVocabularies),
                         [&](const auto& v) { return std::strcmp(v.name, name) == 0; });
        if (found == std::end(kVocabularies))
            throw std::invalid_argument(std::string("no vocabulary for the prefix ") + name);
        block += std::string("@prefix ") + name + ": <" + found->uri + "> .\n";
    }
    return block + "\n";
}

std::string audioPort(std::uint32_t index, bool input, const std::string& symbol,
                      const std::string& name) {
    std::ostringstream ttl;
    ttl << "    [\n"
        << "        a lv2:AudioPort , " << (input ? "lv2:InputPort" : "lv2:OutputPort") << " ;\n"
        << "        lv2:index " << index << " ;\n"
        << "        lv2:symbol " << quoted(symbol.c_str()) << " ;\n"
        << "        lv2:name " << quoted(name.c_str()) << "\n"
        << "    ] ,\n";
    return ttl.str();
}

} // namespace kiv::lv2ttl
