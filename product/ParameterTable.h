// SPDX-License-Identifier: GPL-3.0-or-later
// What the host sees of the seven parameters, as data: name and label texts, the engine
// setter and getter (normalised values), how the display text is made, and the physical
// range that formats with physical control values show. Both bundles show the same table;
// the effect classes, the editor, the LV2 faces and the tools read it.
#pragma once

#include "engine/KivAmbisonicDecoder.h"

enum class ParameterDisplay {
    Number,      // the engine's display value, rounded to `decimals`
    NumberOrOff, // offText when the display value is exactly 8.0, else Number
    Text,        // the engine's display text, whole
};

// How a physical value reads: a continuous quantity, or a choice among whole numbers.
enum class ParameterUnit { Ratio, Hertz, Metres, Choice };

struct ParameterRow {
    const char* name;
    const char* label;
    void (KivAmbisonicDecoder::*set)(float normalised);
    float (KivAmbisonicDecoder::*get)() const;
    ParameterDisplay display;
    float (KivAmbisonicDecoder::*displayValue)() const;      // Number, NumberOrOff
    const char* (KivAmbisonicDecoder::*displayText)() const; // Text
    const char* offText;                                     // NumberOrOff
    int decimals;                                            // Number, NumberOrOff
    // Physical values, as formats with physical controls show them: the engine's mapping
    // is physical = minimum + normalised x (maximum - minimum).
    const char* symbol;    // "lf_pattern": lower case, no blanks
    const char* shortName; // "LF Pattern"
    float minimum;
    float maximum;
    ParameterUnit unit;
};

// clang-format off
inline constexpr ParameterRow kParameters[] = {
    {" Low F Pattern ",                "ratio",  &KivAmbisonicDecoder::setLPGain,   &KivAmbisonicDecoder::getLPGain,   ParameterDisplay::Number,      &KivAmbisonicDecoder::getLPGainDisplay,   nullptr,                             nullptr,  2, "lf_pattern",       "LF Pattern",       0.0f,  2.0f,    ParameterUnit::Ratio},
    {" High F Pattern ",               "ratio",  &KivAmbisonicDecoder::setHPGain,   &KivAmbisonicDecoder::getHPGain,   ParameterDisplay::Number,      &KivAmbisonicDecoder::getHPGainDisplay,   nullptr,                             nullptr,  2, "hf_pattern",       "HF Pattern",       0.0f,  2.0f,    ParameterUnit::Ratio},
    {" Cut off F ",                    "Hz",     &KivAmbisonicDecoder::setFCut,     &KivAmbisonicDecoder::getFCut,     ParameterDisplay::Number,      &KivAmbisonicDecoder::getFCutDisplay,     nullptr,                             nullptr,  0, "cutoff",           "Cut-off",          50.0f, 1200.0f, ParameterUnit::Hertz},
    {" Layout ",                       "layout", &KivAmbisonicDecoder::setDec,      &KivAmbisonicDecoder::getDec,      ParameterDisplay::Text,        nullptr,                                  &KivAmbisonicDecoder::getDecDisplay, nullptr,  0, "layout",           "Layout",           0.0f,  6.0f,    ParameterUnit::Choice},
    {" Distance Comp",                 "Metres", &KivAmbisonicDecoder::setDistComp, &KivAmbisonicDecoder::getDistComp, ParameterDisplay::NumberOrOff, &KivAmbisonicDecoder::getDistCompDisplay, nullptr,                             "None",   2, "distance",         "Speaker Distance", 0.5f,  8.0f,    ParameterUnit::Metres},
    {"Encoded Speaker Distance (NFC)", "Metres", &KivAmbisonicDecoder::setNFC,      &KivAmbisonicDecoder::getNFC,      ParameterDisplay::NumberOrOff, &KivAmbisonicDecoder::getNFCDisplay,      nullptr,                             "No NFC", 2, "encoded_distance", "Encoded Distance", 0.5f,  8.0f,    ParameterUnit::Metres},
    {" Use Spatial EQ ",               "Yes/No", &KivAmbisonicDecoder::setSEQ,      &KivAmbisonicDecoder::getSEQ,      ParameterDisplay::Text,        nullptr,                                  &KivAmbisonicDecoder::getSEQDisplay, nullptr,  0, "spatial_eq",       "Spatial EQ",       0.0f,  2.0f,    ParameterUnit::Choice},
};
// clang-format on

constexpr int kNumParameters = 7;
static_assert(sizeof(kParameters) / sizeof(kParameters[0]) == kNumParameters);

// Parameter numbers, shared with the engine and the editor (where they are control tags).
enum KivParameter : int {
    kLowFPattern = 0,
    kHighFPattern = 1,
    kCutOffF = 2,
    kLayout = 3,
    kDistanceComp = 4,
    kEncodedDistance = 5,
    kSpatialEQ = 6,
};

// The names of the three spatial-EQ choices, by whole physical value 0 to 2.
inline constexpr const char* kSpatialEQNames[] = {"No-Use LF", "Kiv EQ", "Mavo EQ"};

// The distance that means "off" (no compensation, no near-field filter), metres.
inline constexpr float kDistanceOffMetres = 8.0f;

// Physical value of a normalised one, as the engine maps it (a choice is a whole number).
float physicalFromNormalised(const ParameterRow& row, float normalised);
// Normalised value of a physical one (a choice is rounded to a whole number first); the
// result may lie outside 0 to 1 when the physical value lies outside the row's range.
float normalisedFromPhysical(const ParameterRow& row, float physical);
// The host display text of a parameter whose display value is `shown` (Number and
// NumberOrOff rows): rounded to the row's decimals, at most 8 characters, no unit.
void formatParameterNumber(const ParameterRow& row, float shown, char* text, int size);
