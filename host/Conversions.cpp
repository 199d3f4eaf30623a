// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/Conversions.h"

#include <cmath>
#include <cstdio>

#include "host/HostText.h"

namespace conversions {

namespace {

constexpr int kFullWidth = 8; // characters of the full representation, sign and point included

std::size_t limit(VstInt32 maxLen) {
    return maxLen > 0 ? static_cast<std::size_t>(maxLen) : 0;
}

} // namespace

void float2string(float value, char* text, VstInt32 maxLen) {
    if (!text) return;
    double magnitude = value;
    const bool negative = magnitude < 0.0;
    if (negative) magnitude = -magnitude;
    // NaN has no digits to show: it is reported like a value out of range.
    if (std::isnan(magnitude) || magnitude > (negative ? 9999999.0 : 99999999.0)) {
        copyHostText(text, "Huge!", limit(maxLen));
        return;
    }

    // Integer digits, least significant first; the first one always.
    char integerDigits[kFullWidth];
    int digits = 0;
    int count = (negative ? 1 : 0) + 1; // sign and point
    double integer = std::floor(magnitude);
    do {
        integerDigits[digits++] =
            static_cast<char>('0' + static_cast<int>(std::fmod(integer, 10.0)));
        integer = std::floor(integer / 10.0);
        ++count;
    } while (integer >= 1.0 && count < kFullWidth);

    char full[kFullWidth + 2];
    int length = 0;
    if (negative) full[length++] = '-';
    while (digits > 0) full[length++] = integerDigits[--digits];
    full[length++] = '.';

    if (count < kFullWidth) {
        // The fraction from its least significant end: truncated, then zero-filled once
        // nothing is left.
        const int n = kFullWidth - count;
        double m = std::fmod(magnitude, 1.0) * std::pow(10.0, n);
        for (int k = n - 1; k >= 0; --k) {
            if (m > 0.0) {
                full[length + k] = static_cast<char>('0' + static_cast<int>(std::fmod(m, 10.0)));
                m /= 10.0;
            } else {
                full[length + k] = '0';
            }
        }
        length += n;
    }
    full[length] = '\0';
    copyHostText(text, full, limit(maxLen));
}

void dB2string(float value, char* text, VstInt32 maxLen) {
    if (value <= 0.0f)
        copyHostText(text, "-oo", limit(maxLen));
    else
        float2string(static_cast<float>(20.0 * std::log10(value)), text, maxLen);
}

void Hz2string(float sampleRate, float samples, char* text, VstInt32 maxLen) {
    float2string(samples == 0.0f ? 0.0f : sampleRate / samples, text, maxLen);
}

void ms2string(float sampleRate, float samples, char* text, VstInt32 maxLen) {
    float2string(samples * 1000.0f / sampleRate, text, maxLen);
}

void int2string(VstInt32 value, char* text, VstInt32 maxLen) {
    if (value >= 100000000) {
        copyHostText(text, "Huge!", limit(maxLen));
        return;
    }
    char digits[16];
    std::snprintf(digits, sizeof digits, "%d", static_cast<int>(value));
    copyHostText(text, digits, limit(maxLen));
}

} // namespace conversions
