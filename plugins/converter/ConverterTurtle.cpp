// Writes the converter's LV2 metadata from its product description: manifest.ttl,
// <Name>.ttl (the plug-in and its ports) and presets.ttl (a preset per direction).
// Run at build time: ConverterTurtle BUNDLE_DIR. A failure is one line on standard error
// and exit status 1; a file is written beside its final name and renamed into place.
#include <cstdio>
#include <sstream>
#include <string>

#include "plugins/converter/ConverterLv2Ports.h"
#include "plugins/converter/ConverterProduct.h"

namespace {

const ConverterProduct& product = kBFormatConverterProduct;

const char* const kPrefixes = "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
                              "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
                              "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                              "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
                              "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
                              "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n\n";

// A Turtle string literal.
std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string presetUri(int program) {
    return std::string(product.uri) + ":preset:" + std::to_string(program);
}

std::string manifest() {
    std::ostringstream ttl;
    ttl << kPrefixes;
    ttl << "<" << product.uri << ">\n"
        << "    a lv2:Plugin ;\n"
        << "    lv2:binary <" << product.name << ".so> ;\n"
        << "    rdfs:seeAlso <" << product.name << ".ttl> .\n";
    for (int p = 0; p < kConverterPrograms; ++p)
        ttl << "\n<" << presetUri(p) << ">\n"
            << "    a pset:Preset ;\n"
            << "    lv2:appliesTo <" << product.uri << "> ;\n"
            << "    rdfs:label " << quoted(product.directions[p].name) << " ;\n"
            << "    rdfs:seeAlso <presets.ttl> .\n";
    return ttl.str();
}

// What an audio port carries in either direction.
std::string portMeaning(bool input, int channel) {
    std::string text;
    for (int d = 0; d < kConverterPrograms; ++d) {
        const ConverterDirection& direction = product.directions[d];
        const char* pin = input ? direction.inputPins[channel] : direction.outputPins[channel];
        text += std::string(d ? " " : "") + direction.name + ": " + pin + ".";
    }
    return text;
}

void audioPort(std::ostringstream& ttl, std::uint32_t index, bool input, int channel) {
    const PortDescription& port = input ? product.inputs[channel] : product.outputs[channel];
    ttl << "    [\n"
        << "        a lv2:AudioPort , " << (input ? "lv2:InputPort" : "lv2:OutputPort") << " ;\n"
        << "        lv2:index " << index << " ;\n"
        << "        lv2:symbol " << quoted(port.symbol) << " ;\n"
        << "        lv2:name " << quoted(port.name) << " ;\n"
        << "        rdfs:comment " << quoted(portMeaning(input, channel)) << "\n"
        << "    ] ,\n";
}

std::string plugin() {
    std::ostringstream ttl;
    ttl << kPrefixes;
    std::string documentation = std::string(product.summary) +
                                " The direction control chooses the conversion; the port "
                                "comments say what each channel carries in either direction.";
    for (int d = 0; d < kConverterPrograms; ++d) {
        const ConverterDirection& direction = product.directions[d];
        documentation += std::string(" ") + direction.name + ": inputs ";
        for (int c = 0; c < kConverterChannels; ++c)
            documentation += std::string(c ? ", " : "") + direction.inputPins[c];
        documentation += ", outputs ";
        for (int c = 0; c < kConverterChannels; ++c)
            documentation += std::string(c ? ", " : "") + direction.outputPins[c];
        documentation += ".";
    }
    ttl << "<" << product.uri << ">\n"
        << "    a lv2:Plugin , lv2:ConverterPlugin ;\n"
        << "    doap:name " << quoted(product.productString) << " ;\n"
        << "    doap:maintainer [ foaf:name " << quoted(product.vendor) << " ] ;\n"
        << "    rdfs:comment " << quoted(documentation) << " ;\n"
        << "    lv2:optionalFeature lv2:hardRTCapable ;\n"
        << "    lv2:port\n";
    for (int c = 0; c < kConverterChannels; ++c) audioPort(ttl, kLv2FirstInputPort + c, true, c);
    for (int c = 0; c < kConverterChannels; ++c) audioPort(ttl, kLv2FirstOutputPort + c, false, c);
    ttl << "    [\n"
        << "        a lv2:ControlPort , lv2:InputPort ;\n"
        << "        lv2:index " << kLv2DirectionPort << " ;\n"
        << "        lv2:symbol " << quoted(product.parameterSymbol) << " ;\n"
        << "        lv2:name " << quoted(product.parameterName) << " ;\n"
        << "        lv2:default " << static_cast<int>(product.directions[0].direction) << " ;\n"
        << "        lv2:minimum 0 ;\n"
        << "        lv2:maximum 1 ;\n"
        << "        lv2:portProperty lv2:integer , lv2:enumeration ;\n"
        << "        lv2:scalePoint";
    for (int d = 0; d < kConverterPrograms; ++d)
        ttl << (d ? " , " : " ") << "[ rdfs:label " << quoted(product.directions[d].name)
            << " ; rdf:value " << static_cast<int>(product.directions[d].direction) << " ]";
    ttl << "\n    ] .\n";
    return ttl.str();
}

std::string presets() {
    std::ostringstream ttl;
    ttl << kPrefixes;
    for (int p = 0; p < kConverterPrograms; ++p)
        ttl << (p ? "\n" : "") << "<" << presetUri(p) << ">\n"
            << "    a pset:Preset ;\n"
            << "    lv2:appliesTo <" << product.uri << "> ;\n"
            << "    rdfs:label " << quoted(product.directions[p].name) << " ;\n"
            << "    lv2:port [\n"
            << "        lv2:symbol " << quoted(product.parameterSymbol) << " ;\n"
            << "        pset:value " << static_cast<int>(product.directions[p].direction) << ".0\n"
            << "    ] .\n";
    return ttl.str();
}

bool writeFile(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".part";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (std::fclose(file) != 0 || !written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: ConverterTurtle BUNDLE_DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    const struct {
        std::string name, text;
    } files[] = {
        {"manifest.ttl", manifest()},
        {std::string(product.name) + ".ttl", plugin()},
        {"presets.ttl", presets()},
    };
    for (const auto& file : files) {
        if (!writeFile(dir + "/" + file.name, file.text)) {
            std::fprintf(stderr, "ConverterTurtle: cannot write %s/%s\n", dir.c_str(),
                         file.name.c_str());
            return 1;
        }
    }
    return 0;
}
