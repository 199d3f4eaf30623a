// SPDX-License-Identifier: GPL-3.0-or-later
// LayoutDecoder's LV2 ports and URIs, shared by the DSP binary and the Turtle generator:
// W, X, Y, Z in; out1 to out32; the ten parameters as control ports in physical units; an
// atom port taking patch:Set and patch:Get of the layout file, and one answering them.
#pragma once

#include <cstdint>

#include "product/LayoutDecoderProduct.h"

inline constexpr std::uint32_t kLdLv2FirstInput = 0;
inline constexpr std::uint32_t kLdLv2FirstOutput = kLdLv2FirstInput + 4;
inline constexpr std::uint32_t kLdLv2FirstControl = kLdLv2FirstOutput + 32;
inline constexpr std::uint32_t kLdLv2ControlIn = kLdLv2FirstControl + kLayoutDecoderParameters;
inline constexpr std::uint32_t kLdLv2NotifyOut = kLdLv2ControlIn + 1;
inline constexpr std::uint32_t kLdLv2PortCount = kLdLv2NotifyOut + 1;

// The editor window, an X11 UI in LayoutDecoder_ui.so.
inline constexpr const char* kLdLv2UiUri = "urn:kivtone:LayoutDecoder:ui";
// The layout file, a patch:Parameter of range atom:Path.
inline constexpr const char* kLdLv2LayoutFileUri = "urn:kivtone:LayoutDecoder#layoutFile";
// What the UI shows: a patch:Set of this property on the notify port, its value an atom:Chunk
// holding a LayoutView record (product/LayoutView.h).
inline constexpr const char* kLdLv2LayoutViewUri = "urn:kivtone:LayoutDecoder#layoutView";
// State keys: the layout's content and its file name (atom:String), its path (atom:Path).
inline constexpr const char* kLdLv2StateTextUri = "urn:kivtone:LayoutDecoder#layoutText";
inline constexpr const char* kLdLv2StateNameUri = "urn:kivtone:LayoutDecoder#layoutName";

// Paths longer than this are refused (they travel through the worker's ring).
inline constexpr std::uint32_t kLdLv2MaxPathBytes = 1024;
