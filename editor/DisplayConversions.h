// SPDX-License-Identifier: GPL-3.0-or-later
// The editor's display conversions: normalised parameter value -> the text a display shows.
// Each writes a short NUL-terminated text; `text` holds at least kDisplayTextSize bytes.
// The mappings are the engine's; the texts carry their units ("1200Hz", "2.00m").
#pragma once

constexpr int kDisplayTextSize = 64;

// Pattern ratio 0 to 2 with two decimals: 0.665 -> "1.33".
void FloatToGainStringJex(float value, char* text);
// Cut-off 50 to 1200 Hz: 0.28695652 -> "380Hz".
void FloatToHzStringJex(float value, char* text);
// Distance 0.5 to 8 m; exactly 1.0 is "Off": 0.2 -> "2.00m".
void FloatToDistStringJex(float value, char* text);
// Spatial-EQ mode: "No-Use LF", "Kiv EQ" or "Mavo EQ".
void FloatToSEQStringJex(float value, char* text);
// The name of the decoder in use, asked of the effect (an AudioEffect) as its display of
// parameter 3; the value is not used.
void FloatToDecStringJex(float value, char* text, void* effect);
