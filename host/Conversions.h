// SPDX-License-Identifier: GPL-3.0-or-later
// Number-to-text conversions of the host displays, as free functions; AudioEffect's
// virtual conversions call these. Each writes at most maxLen characters and a terminating
// NUL into text (which must hold maxLen + 1 bytes); a null text gets nothing. Any thread.
#pragma once

#include "host/VstRecords.h"

namespace conversions {

// Eight characters, sign and point included, for magnitudes below 10000000: the integer
// digits, the point, then the fraction truncated (never rounded) and zero-filled.
// "Huge!" above 99999999 (9999999 when negative).
void float2string(float value, char* text, VstInt32 maxLen);
// "-oo" for 0 or below, otherwise float2string of the value in decibels.
void dB2string(float value, char* text, VstInt32 maxLen);
// float2string of sampleRate / samples (0 when samples is 0).
void Hz2string(float sampleRate, float samples, char* text, VstInt32 maxLen);
// float2string of samples in milliseconds.
void ms2string(float sampleRate, float samples, char* text, VstInt32 maxLen);
// Decimal integer; "Huge!" from 100000000 upwards.
void int2string(VstInt32 value, char* text, VstInt32 maxLen);

} // namespace conversions
