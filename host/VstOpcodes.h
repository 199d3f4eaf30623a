// SPDX-License-Identifier: GPL-3.0-or-later
// Opcode numbers of the VST 2.4 interface: what the host asks of the effect through the
// record's dispatcher, and what the effect asks of the host through its callback.
#pragma once

#include "host/VstRecords.h"

enum AEffectOpcodes : VstInt32 {
    effOpen = 0,
    effClose = 1,
    effSetProgram = 2,
    effGetProgram = 3,
    effSetProgramName = 4,
    effGetProgramName = 5,
    effGetParamLabel = 6,
    effGetParamDisplay = 7,
    effGetParamName = 8,
    effGetVu = 9, // deprecated
    effSetSampleRate = 10,
    effSetBlockSize = 11,
    effMainsChanged = 12,
    effEditGetRect = 13,
    effEditOpen = 14,
    effEditClose = 15,
    effEditDraw = 16,  // deprecated
    effEditMouse = 17, // deprecated
    effEditKey = 18,   // deprecated
    effEditIdle = 19,
    effEditTop = 20,   // deprecated
    effEditSleep = 21, // deprecated
    effIdentify = 22,  // deprecated
    effGetChunk = 23,
    effSetChunk = 24,
    effProcessEvents = 25,
    effCanBeAutomated = 26,
    effString2Parameter = 27,
    effGetNumProgramCategories = 28, // deprecated
    effGetProgramNameIndexed = 29,
    effCopyProgram = 30,   // deprecated
    effConnectInput = 31,  // deprecated
    effConnectOutput = 32, // deprecated
    effGetInputProperties = 33,
    effGetOutputProperties = 34,
    effGetPlugCategory = 35,
    effGetCurrentPosition = 36,   // deprecated
    effGetDestinationBuffer = 37, // deprecated
    effOfflineNotify = 38,
    effOfflinePrepare = 39,
    effOfflineRun = 40,
    effProcessVarIo = 41,
    effSetSpeakerArrangement = 42,
    effSetBlockSizeAndSampleRate = 43, // deprecated
    effSetBypass = 44,
    effGetEffectName = 45,
    effGetErrorText = 46, // deprecated
    effGetVendorString = 47,
    effGetProductString = 48,
    effGetVendorVersion = 49,
    effVendorSpecific = 50,
    effCanDo = 51,
    effGetTailSize = 52,
    effIdle = 53,            // deprecated
    effGetIcon = 54,         // deprecated
    effSetViewPosition = 55, // deprecated
    effGetParameterProperties = 56,
    effKeysRequired = 57, // deprecated
    effGetVstVersion = 58,
    effEditKeyDown = 59,
    effEditKeyUp = 60,
    effSetEditKnobMode = 61,
    effGetMidiProgramName = 62,
    effGetCurrentMidiProgram = 63,
    effGetMidiProgramCategory = 64,
    effHasMidiProgramsChanged = 65,
    effGetMidiKeyName = 66,
    effBeginSetProgram = 67,
    effEndSetProgram = 68,
    effGetSpeakerArrangement = 69,
    effShellGetNextPlugin = 70,
    effStartProcess = 71,
    effStopProcess = 72,
    effSetTotalSampleToProcess = 73,
    effSetPanLaw = 74,
    effBeginLoadBank = 75,
    effBeginLoadProgram = 76,
    effSetProcessPrecision = 77,
    effGetNumMidiInputChannels = 78,
    effGetNumMidiOutputChannels = 79,
};

enum AudioMasterOpcodes : VstInt32 {
    audioMasterAutomate = 0,
    audioMasterVersion = 1,
    audioMasterCurrentId = 2,
    audioMasterIdle = 3,
    audioMasterPinConnected = 4, // deprecated
    audioMasterWantMidi = 6,     // deprecated
    audioMasterGetTime = 7,
    audioMasterProcessEvents = 8,
    audioMasterSetTime = 9,                      // deprecated
    audioMasterTempoAt = 10,                     // deprecated
    audioMasterGetNumAutomatableParameters = 11, // deprecated
    audioMasterGetParameterQuantization = 12,    // deprecated
    audioMasterIOChanged = 13,
    audioMasterNeedIdle = 14, // deprecated
    audioMasterSizeWindow = 15,
    audioMasterGetSampleRate = 16,
    audioMasterGetBlockSize = 17,
    audioMasterGetInputLatency = 18,
    audioMasterGetOutputLatency = 19,
    audioMasterGetPreviousPlug = 20,         // deprecated
    audioMasterGetNextPlug = 21,             // deprecated
    audioMasterWillReplaceOrAccumulate = 22, // deprecated
    audioMasterGetCurrentProcessLevel = 23,
    audioMasterGetAutomationState = 24,
    audioMasterOfflineStart = 25,
    audioMasterOfflineRead = 26,
    audioMasterOfflineWrite = 27,
    audioMasterOfflineGetCurrentPass = 28,
    audioMasterOfflineGetCurrentMetaPass = 29,
    audioMasterSetOutputSampleRate = 30,         // deprecated
    audioMasterGetOutputSpeakerArrangement = 31, // deprecated
    audioMasterGetVendorString = 32,
    audioMasterGetProductString = 33,
    audioMasterGetVendorVersion = 34,
    audioMasterVendorSpecific = 35,
    audioMasterSetIcon = 36, // deprecated
    audioMasterCanDo = 37,
    audioMasterGetLanguage = 38,
    audioMasterOpenWindow = 39,  // deprecated
    audioMasterCloseWindow = 40, // deprecated
    audioMasterGetDirectory = 41,
    audioMasterUpdateDisplay = 42,
    audioMasterBeginEdit = 43,
    audioMasterEndEdit = 44,
    audioMasterOpenFileSelector = 45,
    audioMasterCloseFileSelector = 46,
    audioMasterEditFile = 47,                   // deprecated
    audioMasterGetChunkFile = 48,               // deprecated
    audioMasterGetInputSpeakerArrangement = 49, // deprecated
};

// Our own vendor-specific request (effVendorSpecific): index kKivSnapshot asks the plug-in
// to render its editor window offscreen, with the current parameters, into the PNG file
// whose path ptr holds. Answers 1 when the file was written, 0 otherwise.
constexpr VstInt32 kKivSnapshot = 0x4B697673; // 'Kivs'

// Our own vendor-specific request to LayoutDecoder: index kKivLoadLayout loads the layout
// that ptr names (a null-terminated path to a layout file, or the name of a factory or user
// layout) and puts its content in the plug-in's state; the subwoofer parameter follows the
// layout (on for a layout with a subwoofer). Answers 1 when the layout is in force,
// 0 when it could not be read or used (the layout in use stays).
constexpr VstInt32 kKivLoadLayout = 0x4B69766C; // 'Kivl'
// Index kKivLayoutMessage copies the last line LayoutDecoder has for the user (why a layout,
// chunk or file was refused) into the 256 bytes ptr points at. Answers 1 when there is one.
constexpr VstInt32 kKivLayoutMessage = 0x4B69766D; // 'Kivm'
constexpr int kKivLayoutMessageBytes = 256;
// Index kKivLayoutView copies what LayoutDecoder's editor shows of the layout in force (a
// LayoutView record, product/LayoutView.h) into the sizeof(LayoutView) bytes ptr points at.
// Answers 1 when copied.
constexpr VstInt32 kKivLayoutView = 0x4B697676; // 'Kivv'
// Index kKivTakeLayoutView hands an LV2 UI model the view record its plug-in sent (ptr, value
// bytes): LayoutDecoder's a LayoutView, HeadphoneMonitor's a HeadphoneView. The model shows it
// when value is the size of its record. Answers 1 then.
constexpr VstInt32 kKivTakeLayoutView = 0x4B697674; // 'Kivt'
// Index kKivLoadHrtf asks HeadphoneMonitor to load the set of head-related responses that ptr
// names (a null-terminated path to a SOFA file, or the name of a user set); answers 1 when
// the set is in force, 0 when it could not be used (the set in use stays, and
// kKivLayoutMessage tells why).
constexpr VstInt32 kKivLoadHrtf = 0x4B697668; // 'Kivh'
// Index kKivHeadphoneView copies what HeadphoneMonitor's editor shows (a HeadphoneView record,
// product/HeadphoneView.h) into the sizeof(HeadphoneView) bytes ptr points at. Answers 1 when
// copied.
constexpr VstInt32 kKivHeadphoneView = 0x4B697670; // 'Kivp'
