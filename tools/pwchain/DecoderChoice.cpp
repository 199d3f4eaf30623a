// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/pwchain/DecoderChoice.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "product/LayoutDecoderProduct.h"
#include "product/SpeakerLayout.h"
#include "rig/FactoryLayouts.h"
#include "tools/lv2ttl/PresetValue.h"

namespace kiv::pwchain {

namespace {

// A RegularDecoder or IrregularDecoder program: its layout slot's speakers and its seven
// stored values as the LV2 ports take them (the values that give the stored ones back).
DecoderChoice programChoice(const ProductDescription& product, int program) {
    const FactoryProgram& p = product.programs[program];
    DecoderChoice c;
    c.layout = p.name;
    c.product = product.name;
    c.uri = product.uri;
    c.program = program;
    for (int i = 0; i < product.numInputs; ++i) c.inputs.push_back(product.inputs[i].symbol);
    for (int k = 0; k < kNumParameters; ++k) {
        const ParameterRow& row = kParameters[k];
        bool exact = false;
        const float value = lv2ttl::physicalFor(row, p.values[k], exact);
        if (!exact)
            throw std::runtime_error(std::string("no value of ") + row.symbol +
                                     " gives program \"" + p.name + "\"'s stored value back");
        const bool whole = row.unit == ParameterUnit::Choice;
        c.controls.push_back(
            {row.symbol, whole ? std::round(value) : value, row.minimum, row.maximum, whole});
    }
    const int slot = static_cast<int>(std::lround(p.values[kLayout] * 6.0f));
    const std::optional<SpeakerLayout> layout = speakerLayoutOf(product.decList[slot]);
    if (!layout) throw std::runtime_error(std::string("no speakers for ") + p.name);
    for (std::size_t s = 0; s < layout->speakers.size(); ++s)
        c.outputs.push_back(
            {product.outputs[s].symbol,
             {layout->speakers[s].azimuthDeg, layout->speakers[s].elevationDeg, false}});
    return c;
}

// A LayoutDecoder factory layout: its program's ten values, its real speakers in output
// order.
DecoderChoice layoutChoice(int program) {
    const LayoutDecoderProduct& product = kLayoutDecoderProduct;
    const Layout& layout = factoryLayouts()[program];
    const std::vector<float> values = ldFactoryProgramValues(program);
    DecoderChoice c;
    c.layout = ldFactoryProgramName(program);
    c.product = product.name;
    c.uri = product.uri;
    c.program = program;
    for (int i = 0; i < product.numInputs; ++i) c.inputs.push_back(product.inputs[i].symbol);
    for (int k = 0; k < kLayoutDecoderParameters; ++k) {
        const LayoutParameter& p = product.parameters[k];
        c.controls.push_back({p.symbol, ldPhysical(k, values[k]), p.minimum, p.maximum,
                              p.unit == ParameterUnit::Choice});
    }
    int output = 0;
    for (const Speaker* s : layout.realSpeakers())
        c.outputs.push_back(
            {"out" + std::to_string(++output), {s->azimuthDegrees, s->elevationDegrees, false}});
    c.subwooferPort = "out" + std::to_string(output + 1);
    return c;
}

std::vector<DecoderChoice> makeChoices() {
    std::vector<DecoderChoice> all;
    for (const ProductDescription* product : {&kRegularDecoderProduct, &kIrregularDecoderProduct})
        for (int p = 0; p < kNumFactoryPrograms; ++p) all.push_back(programChoice(*product, p));
    for (int p = 0; p < factoryLayoutCount(); ++p) all.push_back(layoutChoice(p));
    return all;
}

std::string lowered(const std::string& text) {
    std::string out = text;
    for (char& ch : out) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return out;
}

std::string shown(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
    return text;
}

} // namespace

const std::vector<DecoderChoice>& decoderChoices() {
    static const std::vector<DecoderChoice> all = makeChoices();
    return all;
}

const DecoderChoice* findDecoderChoice(const std::string& name) {
    for (const DecoderChoice& c : decoderChoices())
        if (lowered(c.layout) == lowered(name) || slugOf(c.layout) == lowered(name)) return &c;
    return nullptr;
}

std::string slugOf(const std::string& name) {
    std::string slug;
    for (char ch : name) {
        if (std::isalnum(static_cast<unsigned char>(ch)))
            slug += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        else if (!slug.empty() && slug.back() != '-')
            slug += '-';
    }
    while (!slug.empty() && slug.back() == '-') slug.pop_back();
    return slug;
}

void setControl(DecoderChoice& choice, const std::string& symbol, const std::string& text) {
    if (symbol == "layout")
        throw std::invalid_argument("the layout is chosen by its name, not with layout=");
    for (ControlValue& c : choice.controls) {
        if (c.symbol != symbol) continue;
        char* end = nullptr;
        const double value = std::strtod(text.c_str(), &end);
        if (text.empty() || *end != '\0' || !std::isfinite(value))
            throw std::invalid_argument(symbol + "=" + text + " is not a number");
        if (value < c.minimum || value > c.maximum || (c.whole && value != std::round(value)))
            throw std::invalid_argument(symbol + "=" + text + " is outside " + choice.product +
                                        "'s range for it (" + shown(c.minimum) + " to " +
                                        shown(c.maximum) + (c.whole ? ", whole numbers" : "") +
                                        ")");
        c.value = static_cast<float>(value);
        return;
    }
    std::string known;
    for (const ControlValue& c : choice.controls)
        if (c.symbol != "layout") known += (known.empty() ? "" : ", ") + c.symbol;
    throw std::invalid_argument(choice.product + " has no control '" + symbol + "' (it has " +
                                known + ")");
}

std::vector<OutputFeed> activeOutputs(const DecoderChoice& choice) {
    std::vector<OutputFeed> outputs = choice.outputs;
    for (const ControlValue& c : choice.controls)
        if (c.symbol == "subwoofer" && c.value >= 0.5f && !choice.subwooferPort.empty())
            outputs.push_back({choice.subwooferPort, {0.0, 0.0, true}});
    return outputs;
}

} // namespace kiv::pwchain
