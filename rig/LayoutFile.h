// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a layout from a file or from text already in memory (the plug-in's state carries
// the file's content). The format is told by the file name's extension: `.ambdec`, `.json`
// (IEM), anything else the plain speaker list (SpeakerListReader.h). Any thread but the audio
// thread; throws RigError with one line naming the file.
#pragma once

#include <string>

#include "rig/Layout.h"

enum class LayoutFormat { Ambdec, IemJson, SpeakerList };

// Files larger than this are refused before they are read.
constexpr long kMaxLayoutFileBytes = 1L << 20;

LayoutFormat layoutFormatOfName(const std::string& fileName);

// The whole content of a regular file of at most kMaxLayoutFileBytes. A FIFO, a device or a
// directory is refused without blocking; a file that grows past the limit while it is read
// is refused too.
std::string readLayoutFileText(const std::string& path);

// Checks that text is UTF-8 without NUL bytes; throws naming `where` and the line.
void checkLayoutText(const std::string& text, const std::string& where);

// Parses text in the given format; `where` names it in errors (a file name). Validated.
Layout parseLayout(const std::string& text, LayoutFormat format, const std::string& where);

// readLayoutFileText, then parseLayout by the file's extension. A layout without a name is
// named after the file.
Layout readLayoutFile(const std::string& path);
