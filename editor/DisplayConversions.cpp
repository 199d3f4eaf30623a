// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/DisplayConversions.h"

#include "host/AudioEffect.h"

#include <cstdio>
#include <cstring>

// All arithmetic in single precision, as the engine maps the values.

void FloatToGainStringJex(float value, char* text) {
    const float ratio = 2.0f * value + 0.0f;
    std::snprintf(text, kDisplayTextSize, "%1.2f", static_cast<double>(ratio));
}

void FloatToHzStringJex(float value, char* text) {
    const float hz = value * 1150.0f + 50.0f;
    std::snprintf(text, kDisplayTextSize, "%1.0fHz", static_cast<double>(hz));
}

void FloatToDistStringJex(float value, char* text) {
    if (value == 1.0f) {
        std::snprintf(text, kDisplayTextSize, "Off");
        return;
    }
    const float metres = value * 7.5f + 0.5f;
    std::snprintf(text, kDisplayTextSize, "%1.2fm", static_cast<double>(metres));
}

void FloatToSEQStringJex(float value, char* text) {
    const char* mode = "No-Use LF";
    if (value >= 0.75f)
        mode = "Mavo EQ";
    else if (value >= 0.25f)
        mode = "Kiv EQ";
    std::snprintf(text, kDisplayTextSize, "%s", mode);
}

void FloatToDecStringJex(float value, char* text, void* effect) {
    (void)value;
    text[0] = '\0';
    if (effect) static_cast<AudioEffect*>(effect)->getParameterDisplay(3, text);
}
