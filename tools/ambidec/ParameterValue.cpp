// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/ambidec/ParameterValue.h"

#include "product/ParameterTable.h"
#include "tools/ambidec/NumberText.h"
#include "tools/ambidec/ToolError.h"

#include <cctype>
#include <cstdio>

namespace kiv::ambidec {

namespace {

// The physical ranges, as the product description gives them.
constexpr const ParameterRow& kCutoffRow = kParameters[kCutOffF];
constexpr const ParameterRow& kDistanceRow = kParameters[kDistanceComp];
constexpr double kMinCutoffHz = kCutoffRow.minimum;
constexpr double kCutoffSpanHz = double{kCutoffRow.maximum} - kCutoffRow.minimum;
constexpr double kMinDistanceMetres = kDistanceRow.minimum;
constexpr double kDistanceSpanMetres = double{kDistanceRow.maximum} - kDistanceRow.minimum;

std::string withoutBlanks(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != ' ') out += c;
    return out;
}

std::string lower(const std::string& text) {
    std::string out;
    for (char c : text) out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Splits "500Hz" into 500 and "hz"; false when text does not start with a number.
bool splitNumberAndUnit(const std::string& text, double& number, std::string& unit) {
    std::size_t end = text.size();
    while (end > 0 && std::isalpha(static_cast<unsigned char>(text[end - 1]))) --end;
    std::string digits = text.substr(0, end);
    while (!digits.empty() && digits.back() == ' ') digits.pop_back();
    const auto value = parseNumber(digits);
    if (!value) return false;
    number = *value;
    unit = lower(text.substr(end));
    return true;
}

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

[[noreturn]] void unreadable(const std::string& name, const std::string& text,
                             const std::string& expected) {
    throw ToolError(name + ": cannot read '" + text + "' (expected " + expected + ")",
                    ToolError::kUsage);
}

[[noreturn]] void outOfRange(const std::string& name, const std::string& text,
                             const std::string& range) {
    throw ToolError(name + ": '" + text + "' is out of range (" + range + ")", ToolError::kUsage);
}

float normalised(const std::string& name, const std::string& text, double value) {
    if (value < 0.0 || value > 1.0) outOfRange(name, text, "normalised 0 to 1");
    return static_cast<float>(value);
}

} // namespace

std::string foldName(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != ' ' && c != '-' && c != '_')
            out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

ParameterUnit unitOfParameter(int index) {
    switch (index) {
    case 0:
    case 1:
        return ParameterUnit::Ratio;
    case 2:
        return ParameterUnit::Hertz;
    case 3:
        return ParameterUnit::Layout;
    case 4:
    case 5:
        return ParameterUnit::Metres;
    default:
        return ParameterUnit::SpatialEq;
    }
}

std::string describeParameterValue(int index, float normalised) {
    const double v = normalised;
    char text[64] = "";
    switch (unitOfParameter(index)) {
    case ParameterUnit::Ratio:
        std::snprintf(text, sizeof text, "%.2f", 2.0 * v);
        break;
    case ParameterUnit::Hertz:
        std::snprintf(text, sizeof text, "%.0f Hz", kMinCutoffHz + kCutoffSpanHz * v);
        break;
    case ParameterUnit::Metres:
        if (normalised == 1.0f) return "off";
        std::snprintf(text, sizeof text, "%.2f m", kMinDistanceMetres + kDistanceSpanMetres * v);
        break;
    case ParameterUnit::Layout:
        return "";
    case ParameterUnit::SpatialEq:
        return normalised >= 0.75f ? "Mavo EQ" : (normalised >= 0.25f ? "Kiv EQ" : "No-Use LF");
    }
    return text;
}

int findParameter(const std::string& key, const std::vector<std::string>& names) {
    if (const auto number = parseInteger(key)) {
        if (*number >= 0 && *number < static_cast<long>(names.size()))
            return static_cast<int>(*number);
        throw ToolError("unknown parameter " + key + " (parameters are 0 to " +
                            std::to_string(names.size() - 1) + ")",
                        ToolError::kUsage);
    }
    const std::string wanted = lower(withoutBlanks(key));
    std::string known;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (lower(withoutBlanks(names[i])) == wanted) return static_cast<int>(i);
        known += (i ? ", " : "") + withoutBlanks(names[i]);
    }
    throw ToolError("unknown parameter '" + key + "' (known: " + known + ")", ToolError::kUsage);
}

float parseParameterValue(ParameterUnit unit, const std::string& typed,
                          const std::string& parameterName,
                          const std::vector<std::string>& layoutNames) {
    const std::string name = trimmed(parameterName);
    const std::string text = trimmed(typed);
    double number = 0.0;
    std::string suffix;
    const bool numeric = splitNumberAndUnit(text, number, suffix);

    switch (unit) {
    case ParameterUnit::Ratio:
        if (!numeric || !suffix.empty())
            unreadable(name, typed, "a ratio from 0 to 2, such as 1.2");
        if (number < 0.0 || number > 2.0) outOfRange(name, typed, "ratio 0 to 2");
        return static_cast<float>(number * 0.5);

    case ParameterUnit::Hertz:
        if (numeric && suffix.empty()) return normalised(name, typed, number);
        if (numeric && (suffix == "hz" || suffix == "khz")) {
            const double hz = suffix == "khz" ? number * 1000.0 : number;
            if (hz < kMinCutoffHz || hz > kMinCutoffHz + kCutoffSpanHz)
                outOfRange(name, typed, "50Hz to 1200Hz");
            return static_cast<float>((hz - kMinCutoffHz) / kCutoffSpanHz);
        }
        unreadable(name, typed, "0 to 1 or a frequency such as 500Hz");

    case ParameterUnit::Metres: {
        const std::string folded = foldName(text);
        if (folded == "off" || folded == "none" || folded == "nonfc") return 1.0f;
        if (numeric && suffix.empty()) return normalised(name, typed, number);
        if (numeric && suffix == "m") {
            if (number < kMinDistanceMetres || number > kMinDistanceMetres + kDistanceSpanMetres)
                outOfRange(name, typed, "0.5m to 8m, 8m meaning off");
            return static_cast<float>((number - kMinDistanceMetres) / kDistanceSpanMetres);
        }
        unreadable(name, typed, "0 to 1, a distance such as 2.5m, or off");
    }

    case ParameterUnit::Layout: {
        if (numeric && suffix.empty()) return normalised(name, typed, number);
        const std::string folded = foldName(text);
        std::string known;
        for (std::size_t slot = 0; slot < layoutNames.size(); ++slot) {
            if (foldName(layoutNames[slot]) == folded && layoutNames.size() > 1)
                return static_cast<float>(static_cast<double>(slot) /
                                          static_cast<double>(layoutNames.size() - 1));
            known += (slot ? ", " : "") + ("'" + layoutNames[slot] + "'");
        }
        unreadable(name, typed, "0 to 1 or a decoder name: " + known);
    }

    case ParameterUnit::SpatialEq: {
        if (numeric && suffix.empty()) return normalised(name, typed, number);
        const std::string folded = foldName(text);
        if (folded == "nouself" || folded == "single") return 0.0f;
        if (folded == "kiveq" || folded == "crossover") return 0.5f;
        if (folded == "mavoeq" || folded == "shelf") return 1.0f;
        unreadable(name, typed, "0 to 1, No-Use LF, Kiv EQ or Mavo EQ");
    }
    }
    unreadable(name, typed, "a value");
}

} // namespace kiv::ambidec
