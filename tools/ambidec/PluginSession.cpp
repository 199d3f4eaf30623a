#include "tools/ambidec/PluginSession.h"

#include "host/VstOpcodes.h"
#include "tools/ambidec/NumberText.h"
#include "tools/ambidec/ParameterValue.h"
#include "tools/ambidec/ToolError.h"

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

PluginSession::PluginSession(const std::string& bundle) : bundle_(bundle) {
    std::string error;
    library_ = vsthost::PluginLibrary::open(bundle, error);
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
    if (const auto number = parseInteger(which)) {
        if (*number >= 0 && *number < count) chosen = static_cast<int>(*number);
    } else {
        // Program names hold 23 characters: a longer factory name is known by its first 23.
        const std::string typed = which.substr(0, kProgramNameCharacters);
        const auto names = programNames();
        for (int i = 0; i < count && chosen < 0; ++i)
            if (names[i] == typed) chosen = i;
        for (int i = 0; i < count && chosen < 0; ++i)
            if (foldName(names[i]) == foldName(typed)) chosen = i;
    }
    if (chosen < 0)
        throw ToolError(name() + ": unknown program '" + which + "' (programs are 0 to " +
                        std::to_string(count - 1) + " or their names; ambidec info " + bundle_ +
                        " lists them)");
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
    const auto number = parseNumber(trimmedText(text));
    if (!number || *number < 0.0 || *number > 1.0)
        throw ToolError(trimmedText(name) + ": cannot read '" + text + "' (" + this->name() +
                        " takes normalised values, 0 to 1)");
    const float value = static_cast<float>(*number);
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
        const int index = findParameter(key, names);
        if (decoderList_.empty()) {
            // No decoder (the B-format converter): its values are taken as normalised only.
            applied.push_back(applyNormalised(index, names[index], text));
            continue;
        }
        if (index > 6) throw ToolError("parameter " + std::to_string(index) + " has no known unit");
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
