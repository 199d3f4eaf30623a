// What the host sees of the seven parameters, as data: name and label texts, the engine
// setter and getter (normalised values), and how the display text is made. Both bundles
// show the same table; the effect classes, the editor and the tools read it.
#pragma once

#include "engine/KivAmbisonicDecoder.h"

enum class ParameterDisplay {
    Number,      // the engine's display value through float2string, 3 characters
    NumberOrOff, // offText when the display value is exactly 8.0, else Number
    Text,        // the engine's display text, whole
};

struct ParameterRow {
    const char* name;
    const char* label;
    void (KivAmbisonicDecoder::*set)(float normalised);
    float (KivAmbisonicDecoder::*get)() const;
    ParameterDisplay display;
    float (KivAmbisonicDecoder::*displayValue)() const;      // Number, NumberOrOff
    const char* (KivAmbisonicDecoder::*displayText)() const; // Text
    const char* offText;                                     // NumberOrOff
};

// clang-format off
inline constexpr ParameterRow kParameters[] = {
    {" Low F Pattern ",                "ratio",  &KivAmbisonicDecoder::setLPGain,   &KivAmbisonicDecoder::getLPGain,   ParameterDisplay::Number,      &KivAmbisonicDecoder::getLPGainDisplay,   nullptr,          nullptr},
    {" High F Pattern ",               "ratio",  &KivAmbisonicDecoder::setHPGain,   &KivAmbisonicDecoder::getHPGain,   ParameterDisplay::Number,      &KivAmbisonicDecoder::getHPGainDisplay,   nullptr,          nullptr},
    {" Cut off F ",                    "Hz",     &KivAmbisonicDecoder::setFCut,     &KivAmbisonicDecoder::getFCut,     ParameterDisplay::Number,      &KivAmbisonicDecoder::getFCutDisplay,     nullptr,          nullptr},
    {" Layout ",                       "layout", &KivAmbisonicDecoder::setDec,      &KivAmbisonicDecoder::getDec,      ParameterDisplay::Text,        nullptr,                &KivAmbisonicDecoder::getDecDisplay, nullptr},
    {" Distance Comp",                 "Metres", &KivAmbisonicDecoder::setDistComp, &KivAmbisonicDecoder::getDistComp, ParameterDisplay::NumberOrOff, &KivAmbisonicDecoder::getDistCompDisplay, nullptr,          "None"},
    {"Encoded Speaker Distance (NFC)", "Metres", &KivAmbisonicDecoder::setNFC,      &KivAmbisonicDecoder::getNFC,      ParameterDisplay::NumberOrOff, &KivAmbisonicDecoder::getNFCDisplay,      nullptr,          "No NFC"},
    {" Use Spatial EQ ",               "Yes/No", &KivAmbisonicDecoder::setSEQ,      &KivAmbisonicDecoder::getSEQ,      ParameterDisplay::Text,        nullptr,                &KivAmbisonicDecoder::getSEQDisplay, nullptr},
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
