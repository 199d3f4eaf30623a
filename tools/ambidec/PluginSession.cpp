// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/ambidec/PluginSession.h"

#include "host/VstOpcodes.h"
#include "product/ProductDescription.h"
#include "tools/ambidec/DisplayedValue.h"
#include "tools/ambidec/NumberText.h"
#include "tools/ambidec/ParameterValue.h"
#include "tools/ambidec/ToolError.h"

#include <limits.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

namespace kiv::ambidec {

namespace {
constexpr int kLayoutParameter = 3;
constexpr int kDecoderListLength = 7;
constexpr std::size_t kProgramNameCharacters = 23;
} // namespace

std::string trimmedText(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool matchesProgramName(const std::string& given, const std::string& hostName,
                        const std::string& fullName) {
    if (given == hostName || foldName(given) == foldName(hostName)) return true;
    // The factory name the host sees cut to its first 23 characters.
    return !fullName.empty() && fullName.compare(0, hostName.size(), hostName) == 0 &&
           (given == fullName || foldName(given) == foldName(fullName));
}

std::vector<std::string> fullProgramNames(PluginSession& plugin) {
    // The host interface shows only 23 characters of a program's name: the full factory
    // names come from the product description of the bundle, known by its identifier and
    // product text. Empty names for any other plug-in: only the names the host sees count.
    std::vector<std::string> names(static_cast<std::size_t>(plugin.programCount()));
    const AEffect& effect = *plugin.instance().effect();
    const std::string product = plugin.instance().productString();
    for (const ProductDescription* known : {&kRegularDecoderProduct, &kIrregularDecoderProduct}) {
        if (known->uniqueID != effect.uniqueID || product != known->productString) continue;
        for (std::size_t i = 0; i < names.size() && i < kNumFactoryPrograms; ++i)
            names[i] = known->programs[i].name;
    }
    return names;
}

PluginSession::PluginSession(const std::string& bundle) : bundle_(bundle) {
    std::string error;
    // A name without a slash is a file here, not a library to search for on the path; and
    // the plug-in finds its bundle from the path it was loaded by, so that path is absolute.
    std::string path = bundle;
    if (!path.empty() && path.front() != '/') {
        std::vector<char> cwd(PATH_MAX + 1);
        path = (::getcwd(cwd.data(), cwd.size()) ? std::string(cwd.data()) : std::string(".")) +
               "/" + bundle;
    }
    library_ = vsthost::PluginLibrary::open(path, error);
    if (!library_) throw ToolError(error);
    instance_ = vsthost::PluginInstance::create(*library_, error);
    if (!instance_) throw ToolError(error);
    if (const auto* list = static_cast<const std::int32_t*>(library_->symbol("DecList")))
        decoderList_.assign(list, list + kDecoderListLength);
    instance_->dispatch(effOpen);
}

PluginSession::~PluginSession() {
    if (running_) instance_->stop();
    instance_->close();
}

std::string PluginSession::name() const {
    std::string name = bundle_;
    while (name.size() > 1 && name.back() == '/') name.pop_back();
    name = name.substr(name.rfind('/') + 1);
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name;
}

int PluginSession::programCount() const {
    return instance_->effect()->numPrograms;
}

int PluginSession::inputs() const {
    return instance_->effect()->numInputs;
}

int PluginSession::outputs() const {
    return instance_->effect()->numOutputs;
}

std::vector<std::string> PluginSession::parameterNames() {
    std::vector<std::string> names;
    for (int i = 0; i < instance_->effect()->numParams; ++i)
        names.push_back(instance_->parameterName(i));
    return names;
}

std::vector<std::string> PluginSession::programNames() {
    std::vector<std::string> names;
    for (int i = 0; i < instance_->effect()->numPrograms; ++i)
        names.push_back(instance_->programNameIndexed(i));
    return names;
}

std::vector<std::string> PluginSession::inputLabels() {
    std::vector<std::string> labels;
    for (int i = 0; i < inputs(); ++i) {
        VstPinProperties pin{};
        labels.push_back(instance_->inputProperties(i, pin) ? pin.label : "");
    }
    return labels;
}

std::vector<std::string> PluginSession::outputLabels() {
    std::vector<std::string> labels;
    for (int i = 0; i < outputs(); ++i) {
        VstPinProperties pin{};
        labels.push_back(instance_->outputProperties(i, pin) ? pin.label : "");
    }
    return labels;
}

int PluginSession::selectProgram(const std::string& which) {
    const int count = instance_->effect()->numPrograms;
    int chosen = -1;
    std::string hint;
    if (const auto number = parseInteger(which)) {
        if (*number >= 0 && *number < count) chosen = static_cast<int>(*number);
    } else {
        const auto names = programNames();
        const auto fullNames = fullProgramNames(*this);
        for (int i = 0; i < count && chosen < 0; ++i)
            if (matchesProgramName(which, names[i], fullNames[i])) chosen = i;
        // A longer name whose start is a name cut to 23 characters: say what the host sees.
        for (int i = 0; i < count && chosen < 0 && hint.empty(); ++i)
            if (names[i].size() == kProgramNameCharacters && which.size() > names[i].size() &&
                foldName(which.substr(0, names[i].size())) == foldName(names[i]))
                hint =
                    "; the plug-in shows program " + std::to_string(i) + " as '" + names[i] + "'";
    }
    if (chosen < 0)
        throw ToolError(name() + ": unknown program '" + which + "' (programs are 0 to " +
                            std::to_string(count - 1) + " or their names; ambidec info " + bundle_ +
                            " lists them)" + hint,
                        ToolError::kUsage);
    instance_->dispatch(effSetProgram, 0, chosen);
    return chosen;
}

std::vector<std::string> PluginSession::layoutNames() {
    // The decoder names come from the plug-in itself: select each slot, read the display.
    const float saved = instance_->getParameter(kLayoutParameter);
    std::vector<std::string> names;
    const int slots =
        decoderList_.empty() ? kDecoderListLength : static_cast<int>(decoderList_.size());
    for (int slot = 0; slot < slots; ++slot) {
        instance_->setParameter(kLayoutParameter,
                                static_cast<float>(slot) / static_cast<float>(slots - 1));
        names.push_back(instance_->parameterDisplay(kLayoutParameter));
    }
    instance_->setParameter(kLayoutParameter, saved);
    return names;
}

AppliedSetting PluginSession::applyNormalised(int index, const std::string& name,
                                              const std::string& text) {
    // A plain number is normalised; anything else is read as the plug-in displays it.
    const auto number = parseNumber(trimmedText(text));
    float value = static_cast<float>(number.value_or(0.0));
    if (!number || *number < 0.0 || *number > 1.0) {
        const float saved = instance_->getParameter(index);
        const auto runs = displayRuns([&](float v) {
            instance_->setParameter(index, v);
            return instance_->parameterDisplay(index);
        });
        instance_->setParameter(index, saved);
        value = valueFromDisplays(runs, text, instance_->parameterLabel(index), name);
    }
    instance_->setParameter(index, value);
    return {index, trimmedText(name), value, instance_->parameterDisplay(index),
            instance_->parameterLabel(index)};
}

std::vector<AppliedSetting> PluginSession::applySettings(const std::vector<std::string>& settings) {
    std::vector<AppliedSetting> applied;
    if (settings.empty()) return applied;
    const auto names = parameterNames();
    for (const std::string& setting : settings) {
        const auto equals = setting.find('=');
        const std::string key = setting.substr(0, equals);
        const std::string text = setting.substr(equals + 1);
        const int index = findParameter(
            key, names, decoderList_.empty() ? std::vector<std::string>{} : parameterSymbols());
        if (decoderList_.empty()) {
            // No decoder (the B-format converter): its values are taken as normalised only.
            applied.push_back(applyNormalised(index, names[index], text));
            continue;
        }
        if (index > 6)
            throw ToolError("parameter " + std::to_string(index) + " has no known unit",
                            ToolError::kUsage);
        const ParameterUnit unit = unitOfParameter(index);
        const float value = parseParameterValue(
            unit, text, names[index],
            unit == ParameterUnit::Layout ? layoutNames() : std::vector<std::string>{});
        instance_->setParameter(index, value);
        applied.push_back({index, trimmedText(names[index]), value,
                           instance_->parameterDisplay(index), instance_->parameterLabel(index)});
    }
    return applied;
}

int PluginSession::activeSlot() {
    const int slots =
        decoderList_.empty() ? kDecoderListLength : static_cast<int>(decoderList_.size());
    const float value = instance_->getParameter(kLayoutParameter);
    const int slot = static_cast<int>(value * static_cast<float>(slots - 1) + 0.5f);
    return slot < 0 ? 0 : (slot >= slots ? slots - 1 : slot);
}

int PluginSession::activeDecoder() {
    if (decoderList_.empty()) return -1;
    return decoderList_[activeSlot()];
}

void PluginSession::start(float sampleRateHz, int blockSize) {
    // Rate and block size change only while the plug-in is switched off.
    if (running_) instance_->dispatch(effMainsChanged, 0, 0);
    instance_->dispatch(effSetSampleRate, 0, 0, nullptr, sampleRateHz);
    instance_->dispatch(effSetBlockSize, 0, blockSize);
    instance_->dispatch(effMainsChanged, 0, 1);
    running_ = true;
}

void PluginSession::restart() {
    instance_->dispatch(effMainsChanged, 0, 0);
    instance_->dispatch(effMainsChanged, 0, 1);
}

} // namespace kiv::ambidec
