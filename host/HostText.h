// SPDX-License-Identifier: GPL-3.0-or-later
// The one way text is written into a buffer that the host supplies: at most maxChars
// characters, always followed by a terminating NUL. Any thread.
#pragma once

#include <cstddef>

// Character limits of the host buffers we write into (terminator not counted).
constexpr std::size_t kHostProgramNameChars = 23; // 24-byte program names
constexpr std::size_t kHostTextChars = 63;        // names, labels, displays, vendor, product
constexpr std::size_t kHostPinLabelChars = 63;    // VstPinProperties::label is 64 bytes

// Writes nothing when destination is null; a null source writes an empty string.
void copyHostText(char* destination, const char* source, std::size_t maxChars);
