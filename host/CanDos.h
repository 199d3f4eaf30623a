// SPDX-License-Identifier: GPL-3.0-or-later
// The capability strings of the VST 2.4 interface: what a host may ask an effect through
// effCanDo (PlugCanDos), and what an effect may ask its host through audioMasterCanDo
// (HostCanDos). Our effects answer 0 (unknown) to every one of them and never ask.
#pragma once

inline constexpr const char* PlugCanDos[] = {
    "sendVstEvents",      "sendVstMidiEvent", "receiveVstEvents", "receiveVstMidiEvent",
    "receiveVstTimeInfo", "offline",          "midiProgramNames", "bypass",
};

inline constexpr const char* HostCanDos[] = {
    "sendVstEvents",
    "sendVstMidiEvent",
    "sendVstTimeInfo",
    "receiveVstEvents",
    "receiveVstMidiEvent",
    "reportConnectionChanges",
    "acceptIOChanges",
    "sizeWindow",
    "offline",
    "openFileSelector",
    "closeFileSelector",
    "startStopProcess",
    "shellCategory",
    "sendVstMidiEventFlagIsRealtime",
};

static_assert(sizeof(PlugCanDos) / sizeof(PlugCanDos[0]) == 8);
static_assert(sizeof(HostCanDos) / sizeof(HostCanDos[0]) == 14);
