// SPDX-License-Identifier: GPL-3.0-or-later
// Records of the VST 2.4 interface that this layer only passes between the host and the
// effect's operations without reading them. Only pointers to them are ever formed, so
// they are declared and not defined; a plug-in that reads one defines it with its layout.
#pragma once

struct VstEvents;              // effProcessEvents, audioMasterProcessEvents
struct VstTimeInfo;            // audioMasterGetTime
struct VstParameterProperties; // effGetParameterProperties
struct VstPatchChunkInfo;      // effBeginLoadBank, effBeginLoadProgram
struct VstVariableIo;          // effProcessVarIo
struct VstAudioFile;           // offline processing
struct VstOfflineTask;         // offline processing
struct VstFileSelect;          // audioMasterOpenFileSelector / CloseFileSelector
struct MidiProgramName;        // MIDI program names
struct MidiProgramCategory;
struct MidiKeyName;
