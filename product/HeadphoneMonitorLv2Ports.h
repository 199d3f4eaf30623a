// SPDX-License-Identifier: GPL-3.0-or-later
// HeadphoneMonitor's LV2 ports and URIs, shared by the DSP binary and the Turtle generator:
// in1 to in32, left and right; the layout, level and bypass controls in physical units; the
// latency it reports; an atom port taking patch:Set and patch:Get of the layout file and the
// SOFA set, and one answering them and sending the editor's view.
#pragma once

#include <cstdint>

#include "product/HeadphoneMonitorProduct.h"

inline constexpr std::uint32_t kHmLv2FirstInput = 0;
inline constexpr std::uint32_t kHmLv2Left = kHmLv2FirstInput + 32;
inline constexpr std::uint32_t kHmLv2Right = kHmLv2Left + 1;
inline constexpr std::uint32_t kHmLv2FirstControl = kHmLv2Right + 1;
inline constexpr std::uint32_t kHmLv2Latency = kHmLv2FirstControl + kHeadphoneMonitorParameters;
inline constexpr std::uint32_t kHmLv2ControlIn = kHmLv2Latency + 1;
inline constexpr std::uint32_t kHmLv2NotifyOut = kHmLv2ControlIn + 1;
inline constexpr std::uint32_t kHmLv2PortCount = kHmLv2NotifyOut + 1;

// The editor window, an X11 UI in HeadphoneMonitor_ui.so.
inline constexpr const char* kHmLv2UiUri = "urn:kivtone:HeadphoneMonitor:ui";
// What the editor shows (a HeadphoneView record in an atom:Chunk), sent by the plug-in on its
// notify port after every change and in answer to patch:Get.
inline constexpr const char* kHmLv2ViewUri = "urn:kivtone:HeadphoneMonitor#view";

// The files a user chooses, each a patch:Parameter of range atom:Path.
inline constexpr const char* kHmLv2LayoutFileUri = "urn:kivtone:HeadphoneMonitor#layoutFile";
inline constexpr const char* kHmLv2HrtfFileUri = "urn:kivtone:HeadphoneMonitor#hrtfFile";
// State keys: the layout's content and file name (atom:String), the set's path (atom:Path).
inline constexpr const char* kHmLv2StateTextUri = "urn:kivtone:HeadphoneMonitor#layoutText";
inline constexpr const char* kHmLv2StateNameUri = "urn:kivtone:HeadphoneMonitor#layoutName";
inline constexpr const char* kHmLv2StateHrtfUri = "urn:kivtone:HeadphoneMonitor#hrtfPath";
