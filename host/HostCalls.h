// SPDX-License-Identifier: GPL-3.0-or-later
// The calls an effect makes back into its host, as data: the host opcode, how the host's
// answer becomes the operation's result, and the result when there is no host callback.
// The operations of AudioEffect and AudioEffectX pass their arguments (index, value, ptr,
// opt) and read the answer through one of these rows.
#pragma once

#include "host/VstOpcodes.h"

enum class HostAnswer {
    Raw,          // the answer itself
    NonZero,      // 1 when the answer is non-zero, else 0
    ExactlyOne,   // 1 only when the answer is exactly 1
    ZeroIsOne,    // the answer, or 1 when it is 0
    Disconnected, // deprecated pin queries: 1 unless the answer is non-zero
};

struct HostRequest {
    VstInt32 opcode;
    HostAnswer answer;
    VstIntPtr fallback; // the result without a host callback
};

// Arguments of one host call, in callback order; unnamed ones stay 0 / null.
struct HostArgs {
    VstInt32 index = 0;
    VstIntPtr value = 0;
    void* ptr = nullptr;
    float opt = 0.0f;
};

namespace hostcall {
using A = HostAnswer;
// clang-format off
inline constexpr HostRequest automate                {audioMasterAutomate,                 A::Raw,          0};
inline constexpr HostRequest version                 {audioMasterVersion,                  A::ZeroIsOne,    1};
inline constexpr HostRequest currentId               {audioMasterCurrentId,                A::Raw,          0};
inline constexpr HostRequest idle                    {audioMasterIdle,                     A::Raw,          0};
inline constexpr HostRequest getTime                 {audioMasterGetTime,                  A::Raw,          0};
inline constexpr HostRequest processEvents           {audioMasterProcessEvents,            A::ExactlyOne,   0};
inline constexpr HostRequest ioChanged               {audioMasterIOChanged,                A::NonZero,      0};
inline constexpr HostRequest sizeWindow              {audioMasterSizeWindow,               A::NonZero,      0};
inline constexpr HostRequest getSampleRate           {audioMasterGetSampleRate,            A::Raw,          0};
inline constexpr HostRequest getBlockSize            {audioMasterGetBlockSize,             A::Raw,          0};
inline constexpr HostRequest inputLatency            {audioMasterGetInputLatency,          A::Raw,          0};
inline constexpr HostRequest outputLatency           {audioMasterGetOutputLatency,         A::Raw,          0};
inline constexpr HostRequest processLevel            {audioMasterGetCurrentProcessLevel,   A::Raw,          0};
inline constexpr HostRequest automationState         {audioMasterGetAutomationState,       A::Raw,          0};
inline constexpr HostRequest offlineStart            {audioMasterOfflineStart,             A::NonZero,      0};
inline constexpr HostRequest offlineRead             {audioMasterOfflineRead,              A::NonZero,      0};
inline constexpr HostRequest offlineWrite            {audioMasterOfflineWrite,             A::NonZero,      0};
inline constexpr HostRequest offlineCurrentPass      {audioMasterOfflineGetCurrentPass,    A::NonZero,      0};
inline constexpr HostRequest offlineCurrentMetaPass  {audioMasterOfflineGetCurrentMetaPass,A::NonZero,      0};
inline constexpr HostRequest vendorString            {audioMasterGetVendorString,          A::NonZero,      0};
inline constexpr HostRequest productString           {audioMasterGetProductString,         A::NonZero,      0};
inline constexpr HostRequest vendorVersion           {audioMasterGetVendorVersion,         A::Raw,          0};
inline constexpr HostRequest vendorSpecific          {audioMasterVendorSpecific,           A::Raw,          0};
inline constexpr HostRequest canDo                   {audioMasterCanDo,                    A::NonZero,      0};
inline constexpr HostRequest language                {audioMasterGetLanguage,              A::Raw,          0};
inline constexpr HostRequest directory               {audioMasterGetDirectory,             A::Raw,          0};
inline constexpr HostRequest updateDisplay           {audioMasterUpdateDisplay,            A::NonZero,      0};
inline constexpr HostRequest beginEdit               {audioMasterBeginEdit,                A::NonZero,      0};
inline constexpr HostRequest endEdit                 {audioMasterEndEdit,                  A::NonZero,      0};
inline constexpr HostRequest openFileSelector        {audioMasterOpenFileSelector,         A::NonZero,      0};
inline constexpr HostRequest closeFileSelector       {audioMasterCloseFileSelector,        A::NonZero,      0};
// Deprecated calls.
inline constexpr HostRequest pinConnected            {audioMasterPinConnected,             A::Disconnected, 1};
inline constexpr HostRequest wantMidi                {audioMasterWantMidi,                 A::Raw,          0};
inline constexpr HostRequest tempoAt                 {audioMasterTempoAt,                  A::Raw,          0};
inline constexpr HostRequest numAutomatable          {audioMasterGetNumAutomatableParameters, A::Raw,       0};
inline constexpr HostRequest parameterQuantization   {audioMasterGetParameterQuantization, A::Raw,          0};
inline constexpr HostRequest needIdle                {audioMasterNeedIdle,                 A::NonZero,      0};
inline constexpr HostRequest previousPlug            {audioMasterGetPreviousPlug,          A::Raw,          0};
inline constexpr HostRequest nextPlug                {audioMasterGetNextPlug,              A::Raw,          0};
inline constexpr HostRequest willReplace             {audioMasterWillReplaceOrAccumulate,  A::Raw,          0};
inline constexpr HostRequest setOutputSampleRate     {audioMasterSetOutputSampleRate,      A::Raw,          0};
inline constexpr HostRequest outputArrangement       {audioMasterGetOutputSpeakerArrangement, A::Raw,       0};
inline constexpr HostRequest inputArrangement        {audioMasterGetInputSpeakerArrangement,  A::Raw,       0};
inline constexpr HostRequest openWindow              {audioMasterOpenWindow,               A::Raw,          0};
inline constexpr HostRequest closeWindow             {audioMasterCloseWindow,              A::NonZero,      0};
inline constexpr HostRequest chunkFile               {audioMasterGetChunkFile,             A::NonZero,      0};
// clang-format on
} // namespace hostcall

// One host call: the converted answer, or the row's fallback when callback is null.
VstIntPtr callHost(audioMasterCallback callback, AEffect* effect, const HostRequest& request,
                   const HostArgs& args = {});
