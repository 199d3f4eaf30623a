// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/AudioEffectX.h"

#include <cstring>
#include <new>

#include "host/AEffEditor.h"
#include "host/HostText.h"

namespace {

using X = AudioEffectX;

// How an operation's result becomes the dispatcher's answer.
enum class Result {
    Bool, // 1 when the operation returned true, else 0
    AsIs, // the int32 result widened with its sign
};

struct ExtendedRow {
    VstInt32 opcode;
    Result result;
    VstIntPtr (*call)(X& fx, VstInt32 index, VstIntPtr value, void* ptr, float opt);
};

template <typename T> T* as(void* ptr) {
    return static_cast<T*>(ptr);
}
template <typename T> T* as(VstIntPtr value) {
    return reinterpret_cast<T*>(value);
}
VstInt32 low32(VstIntPtr value) {
    return static_cast<VstInt32>(value);
}

// Host keys: character in index, virtual key in the low byte of value, modifier bits in
// the low byte of opt (truncated to an integer).
VstKeyCode keyCodeOf(VstInt32 index, VstIntPtr value, float opt) {
    VstKeyCode key{};
    key.character = index;
    key.virt = static_cast<unsigned char>(value & 0xFF);
    // An opt outside the range of an int (or NaN) has no integer part to truncate to: it
    // carries no modifiers (converting it would be undefined).
    const bool integral = opt > -2147483648.0f && opt < 2147483648.0f;
    key.modifier = static_cast<unsigned char>((integral ? static_cast<VstInt32>(opt) : 0) & 0xFF);
    return key;
}

// clang-format off
// The extended opcodes. The deprecated numbers between 25 and 79 are not listed: they go
// to the basic dispatcher, which answers 0.
constexpr ExtendedRow kExtended[] = {
    {effProcessEvents, Result::AsIs, [](X& x, VstInt32, VstIntPtr, void* p, float) -> VstIntPtr { return x.processEvents(as<VstEvents>(p)); }},
    {effCanBeAutomated, Result::Bool, [](X& x, VstInt32 i, VstIntPtr, void*, float) -> VstIntPtr { return x.canParameterBeAutomated(i); }},
    {effString2Parameter, Result::Bool, [](X& x, VstInt32 i, VstIntPtr, void* p, float) -> VstIntPtr { return x.string2parameter(i, as<char>(p)); }},
    {effGetProgramNameIndexed, Result::Bool, [](X& x, VstInt32 i, VstIntPtr v, void* p, float) -> VstIntPtr { return x.getProgramNameIndexed(low32(v), i, as<char>(p)); }},
    {effGetInputProperties, Result::Bool, [](X& x, VstInt32 i, VstIntPtr, void* p, float) -> VstIntPtr { return x.getInputProperties(i, as<VstPinProperties>(p)); }},
    {effGetOutputProperties, Result::Bool, [](X& x, VstInt32 i, VstIntPtr, void* p, float) -> VstIntPtr { return x.getOutputProperties(i, as<VstPinProperties>(p)); }},
    {effGetPlugCategory, Result::AsIs, [](X& x, VstInt32, VstIntPtr, void*, float) -> VstIntPtr { return x.getPlugCategory(); }},
    {effOfflineNotify, Result::Bool, [](X& x, VstInt32 i, VstIntPtr v, void* p, float) -> VstIntPtr { return x.offlineNotify(as<VstAudioFile>(p), low32(v), i != 0); }},
    {effOfflinePrepare, Result::Bool, [](X& x, VstInt32, VstIntPtr v, void* p, float) -> VstIntPtr { return x.offlinePrepare(as<VstOfflineTask>(p), low32(v)); }},
    {effOfflineRun, Result::Bool, [](X& x, VstInt32, VstIntPtr v, void* p, float) -> VstIntPtr { return x.offlineRun(as<VstOfflineTask>(p), low32(v)); }},
    {effProcessVarIo, Result::Bool, [](X& x, VstInt32, VstIntPtr, void* p, float) -> VstIntPtr { return x.processVariableIo(as<VstVariableIo>(p)); }},
    {effSetSpeakerArrangement, Result::Bool, [](X& x, VstInt32, VstIntPtr v, void* p, float) -> VstIntPtr { return x.setSpeakerArrangement(as<VstSpeakerArrangement>(v), as<VstSpeakerArrangement>(p)); }},
    {effSetBypass, Result::Bool, [](X& x, VstInt32, VstIntPtr v, void*, float) -> VstIntPtr { return x.setBypass(v != 0); }},
    {effGetEffectName, Result::Bool, [](X& x, VstInt32, VstIntPtr, void* p, float) -> VstIntPtr { return x.getEffectName(as<char>(p)); }},
    {effGetVendorString, Result::Bool, [](X& x, VstInt32, VstIntPtr, void* p, float) -> VstIntPtr { return x.getVendorString(as<char>(p)); }},
    {effGetProductString, Result::Bool, [](X& x, VstInt32, VstIntPtr, void* p, float) -> VstIntPtr { return x.getProductString(as<char>(p)); }},
    {effGetVendorVersion, Result::AsIs, [](X& x, VstInt32, VstIntPtr, void*, float) -> VstIntPtr { return x.getVendorVersion(); }},
    {effVendorSpecific, Result::AsIs, [](X& x, VstInt32 i, VstIntPtr v, void* p, float o) -> VstIntPtr { return x.vendorSpecific(i, v, p, o); }},
    {effCanDo, Result::AsIs, [](X& x, VstInt32, VstIntPtr, void* p, float) -> VstIntPtr { return x.canDo(as<char>(p)); }},
    {effGetTailSize, Result::AsIs, [](X& x, VstInt32, VstIntPtr, void*, float) -> VstIntPtr { return x.getGetTailSize(); }},
    {effGetParameterProperties, Result::Bool, [](X& x, VstInt32 i, VstIntPtr, void* p, float) -> VstIntPtr { return x.getParameterProperties(i, as<VstParameterProperties>(p)); }},
    {effGetVstVersion, Result::AsIs, [](X& x, VstInt32, VstIntPtr, void*, float) -> VstIntPtr { return x.getVstVersion(); }},
    {effEditKeyDown, Result::Bool, [](X& x, VstInt32 i, VstIntPtr v, void*, float o) -> VstIntPtr {
        VstKeyCode key = keyCodeOf(i, v, o);
        return x.getEditor() && x.getEditor()->onKeyDown(key); }},
    {effEditKeyUp, Result::Bool, [](X& x, VstInt32 i, VstIntPtr v, void*, float o) -> VstIntPtr {
        VstKeyCode key = keyCodeOf(i, v, o);
        return x.getEditor() && x.getEditor()->onKeyUp(key); }},
    {effSetEditKnobMode, Result::Bool, [](X& x, VstInt32, VstIntPtr v, void*, float) -> VstIntPtr { return x.getEditor() && x.getEditor()->setKnobMode(low32(v)); }},
    {effGetMidiProgramName, Result::AsIs, [](X& x, VstInt32 i, VstIntPtr, void* p, float) -> VstIntPtr { return x.getMidiProgramName(i, as<MidiProgramName>(p)); }},
    {effGetCurrentMidiProgram, Result::AsIs, [](X& x, VstInt32 i, VstIntPtr, void* p, float) -> VstIntPtr { return x.getCurrentMidiProgram(i, as<MidiProgramName>(p)); }},
    {effGetMidiProgramCategory, Result::AsIs, [](X& x, VstInt32 i, VstIntPtr, void* p, float) -> VstIntPtr { return x.getMidiProgramCategory(i, as<MidiProgramCategory>(p)); }},
    {effHasMidiProgramsChanged, Result::Bool, [](X& x, VstInt32 i, VstIntPtr, void*, float) -> VstIntPtr { return x.hasMidiProgramsChanged(i); }},
    {effGetMidiKeyName, Result::Bool, [](X& x, VstInt32 i, VstIntPtr, void* p, float) -> VstIntPtr { return x.getMidiKeyName(i, as<MidiKeyName>(p)); }},
    {effBeginSetProgram, Result::Bool, [](X& x, VstInt32, VstIntPtr, void*, float) -> VstIntPtr { return x.beginSetProgram(); }},
    {effEndSetProgram, Result::Bool, [](X& x, VstInt32, VstIntPtr, void*, float) -> VstIntPtr { return x.endSetProgram(); }},
    {effGetSpeakerArrangement, Result::Bool, [](X& x, VstInt32, VstIntPtr v, void* p, float) -> VstIntPtr { return x.getSpeakerArrangement(as<VstSpeakerArrangement*>(v), as<VstSpeakerArrangement*>(p)); }},
    {effShellGetNextPlugin, Result::AsIs, [](X& x, VstInt32, VstIntPtr, void* p, float) -> VstIntPtr { return x.getNextShellPlugin(as<char>(p)); }},
    {effStartProcess, Result::AsIs, [](X& x, VstInt32, VstIntPtr, void*, float) -> VstIntPtr { return x.startProcess(); }},
    {effStopProcess, Result::AsIs, [](X& x, VstInt32, VstIntPtr, void*, float) -> VstIntPtr { return x.stopProcess(); }},
    {effSetTotalSampleToProcess, Result::AsIs, [](X& x, VstInt32, VstIntPtr v, void*, float) -> VstIntPtr { return x.setTotalSampleToProcess(low32(v)); }},
    {effSetPanLaw, Result::Bool, [](X& x, VstInt32, VstIntPtr v, void*, float o) -> VstIntPtr { return x.setPanLaw(low32(v), o); }},
    {effBeginLoadBank, Result::AsIs, [](X& x, VstInt32, VstIntPtr, void* p, float) -> VstIntPtr { return x.beginLoadBank(as<VstPatchChunkInfo>(p)); }},
    {effBeginLoadProgram, Result::AsIs, [](X& x, VstInt32, VstIntPtr, void* p, float) -> VstIntPtr { return x.beginLoadProgram(as<VstPatchChunkInfo>(p)); }},
    {effSetProcessPrecision, Result::Bool, [](X& x, VstInt32, VstIntPtr v, void*, float) -> VstIntPtr { return x.setProcessPrecision(low32(v)); }},
    {effGetNumMidiInputChannels, Result::AsIs, [](X& x, VstInt32, VstIntPtr, void*, float) -> VstIntPtr { return x.getNumMidiInputChannels(); }},
    {effGetNumMidiOutputChannels, Result::AsIs, [](X& x, VstInt32, VstIntPtr, void*, float) -> VstIntPtr { return x.getNumMidiOutputChannels(); }},
};
// clang-format on

constexpr VstInt32 kFirstExtended = effProcessEvents;
constexpr VstInt32 kLastExtended = effGetNumMidiOutputChannels;

} // namespace

VstIntPtr AudioEffectX::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                   float opt) {
    if (opcode >= kFirstExtended && opcode <= kLastExtended)
        for (const auto& row : kExtended)
            if (row.opcode == opcode) {
                const VstIntPtr r = row.call(*this, index, value, ptr, opt);
                if (row.result == Result::Bool) return r != 0 ? 1 : 0;
                return static_cast<VstInt32>(r);
            }
    return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
}

void AudioEffectX::resume() {
    if ((cEffect.flags & effFlagsIsSynth) != 0 ||
        canDo(const_cast<char*>("receiveVstMidiEvent")) == 1)
        __wantEventsDeprecated(1);
}

bool X::canParameterBeAutomated(VstInt32) {
    return true;
}
bool X::string2parameter(VstInt32, char*) {
    return false;
}
bool X::getParameterProperties(VstInt32, VstParameterProperties*) {
    return false;
}
bool X::beginEdit(VstInt32 index) {
    return ask(hostcall::beginEdit, {index}) != 0;
}
bool X::endEdit(VstInt32 index) {
    return ask(hostcall::endEdit, {index}) != 0;
}
bool X::getProgramNameIndexed(VstInt32, VstInt32, char*) {
    return false;
}
bool X::beginSetProgram() {
    return false;
}
bool X::endSetProgram() {
    return false;
}
VstInt32 X::beginLoadBank(VstPatchChunkInfo*) {
    return 0;
}
VstInt32 X::beginLoadProgram(VstPatchChunkInfo*) {
    return 0;
}
bool X::ioChanged() {
    return ask(hostcall::ioChanged) != 0;
}

double X::updateSampleRate() {
    const VstIntPtr answer = ask(hostcall::getSampleRate);
    if (answer > 0) sampleRate = static_cast<float>(answer);
    return sampleRate;
}

VstInt32 X::updateBlockSize() {
    const VstIntPtr answer = ask(hostcall::getBlockSize);
    if (answer > 0) blockSize = static_cast<VstInt32>(answer);
    return blockSize;
}

VstInt32 X::getInputLatency() {
    return static_cast<VstInt32>(ask(hostcall::inputLatency));
}
VstInt32 X::getOutputLatency() {
    return static_cast<VstInt32>(ask(hostcall::outputLatency));
}
bool X::getInputProperties(VstInt32, VstPinProperties*) {
    return false;
}
bool X::getOutputProperties(VstInt32, VstPinProperties*) {
    return false;
}
bool X::setSpeakerArrangement(VstSpeakerArrangement*, VstSpeakerArrangement*) {
    return false;
}

bool X::getSpeakerArrangement(VstSpeakerArrangement** inputs, VstSpeakerArrangement** outputs) {
    if (inputs) *inputs = nullptr;
    if (outputs) *outputs = nullptr;
    return false;
}

bool X::setBypass(bool) {
    return false;
}
bool X::setPanLaw(VstInt32, float) {
    return false;
}
bool X::setProcessPrecision(VstInt32) {
    return false;
}
VstInt32 X::getNumMidiInputChannels() {
    return 0;
}
VstInt32 X::getNumMidiOutputChannels() {
    return 0;
}

VstTimeInfo* X::getTimeInfo(VstInt32 filter) {
    return reinterpret_cast<VstTimeInfo*>(ask(hostcall::getTime, {0, filter}));
}

VstInt32 X::getCurrentProcessLevel() {
    return static_cast<VstInt32>(ask(hostcall::processLevel));
}
VstInt32 X::getAutomationState() {
    return static_cast<VstInt32>(ask(hostcall::automationState));
}
VstInt32 X::processEvents(VstEvents*) {
    return 0;
}
VstInt32 X::startProcess() {
    return 0;
}
VstInt32 X::stopProcess() {
    return 0;
}
bool X::processVariableIo(VstVariableIo*) {
    return false;
}
VstInt32 X::setTotalSampleToProcess(VstInt32 value) {
    return value;
}
bool X::getHostVendorString(char* text) {
    return ask(hostcall::vendorString, {0, 0, text}) != 0;
}

bool X::getHostProductString(char* text) {
    return ask(hostcall::productString, {0, 0, text}) != 0;
}

VstInt32 X::getHostVendorVersion() {
    return static_cast<VstInt32>(ask(hostcall::vendorVersion));
}

VstIntPtr X::hostVendorSpecific(VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    return ask(hostcall::vendorSpecific, {index, value, ptr, opt});
}

VstInt32 X::canHostDo(char* text) {
    return static_cast<VstInt32>(ask(hostcall::canDo, {0, 0, text}));
}

VstInt32 X::getHostLanguage() {
    return static_cast<VstInt32>(ask(hostcall::language));
}
void X::isSynth(bool state) {
    setFlag(effFlagsIsSynth, state);
}
void X::noTail(bool state) {
    setFlag(effFlagsNoSoundInStop, state);
}
VstInt32 X::getGetTailSize() {
    return 0;
}
void* X::getDirectory() {
    return reinterpret_cast<void*>(ask(hostcall::directory));
}
bool X::getEffectName(char*) {
    return false;
}
bool X::getVendorString(char*) {
    return false;
}
bool X::getProductString(char*) {
    return false;
}
VstInt32 X::getVendorVersion() {
    return 0;
}
VstIntPtr X::vendorSpecific(VstInt32, VstIntPtr, void*, float) {
    return 0;
}
VstInt32 X::canDo(char*) {
    return 0;
}
VstInt32 X::getVstVersion() {
    return 2400;
}
VstInt32 X::getPlugCategory() {
    return (cEffect.flags & effFlagsIsSynth) != 0 ? 2 : 0;
}
VstInt32 X::getMidiProgramName(VstInt32, MidiProgramName*) {
    return 0;
}
VstInt32 X::getCurrentMidiProgram(VstInt32, MidiProgramName*) {
    return -1;
}
VstInt32 X::getMidiProgramCategory(VstInt32, MidiProgramCategory*) {
    return 0;
}
bool X::hasMidiProgramsChanged(VstInt32) {
    return false;
}
bool X::getMidiKeyName(VstInt32, MidiKeyName*) {
    return false;
}
bool X::updateDisplay() {
    return ask(hostcall::updateDisplay) != 0;
}

bool X::sizeWindow(VstInt32 width, VstInt32 height) {
    return ask(hostcall::sizeWindow, {width, height}) != 0;
}

bool X::openFileSelector(VstFileSelect* select) {
    return select && ask(hostcall::openFileSelector, {0, 0, select}) != 0;
}

bool X::closeFileSelector(VstFileSelect* select) {
    return select && ask(hostcall::closeFileSelector, {0, 0, select}) != 0;
}

VstInt32 X::getNextShellPlugin(char*) {
    return 0;
}

bool X::allocateArrangement(VstSpeakerArrangement** arrangement, VstInt32 numChannels) {
    if (!arrangement || numChannels < 0) return false;
    deallocateArrangement(arrangement);
    // The record declares eight speakers; a larger arrangement continues past its end.
    const std::size_t speakers = numChannels > 8 ? static_cast<std::size_t>(numChannels) : 8u;
    const std::size_t size =
        offsetof(VstSpeakerArrangement, speakers) + speakers * sizeof(VstSpeakerProperties);
    auto* block = new (std::nothrow) unsigned char[size]();
    if (!block) return false;
    *arrangement = reinterpret_cast<VstSpeakerArrangement*>(block);
    (*arrangement)->numChannels = numChannels;
    return true;
}

bool X::deallocateArrangement(VstSpeakerArrangement** arrangement) {
    if (!arrangement) return false;
    delete[] reinterpret_cast<unsigned char*>(*arrangement);
    *arrangement = nullptr;
    return true;
}

bool X::copySpeaker(VstSpeakerProperties* to, VstSpeakerProperties* from) {
    if (!to || !from) return false;
    copyHostText(to->name, from->name, sizeof to->name - 1);
    to->type = from->type;
    to->azimuth = from->azimuth;
    to->elevation = from->elevation;
    to->radius = from->radius;
    to->reserved = from->reserved;
    std::memcpy(to->future, from->future, sizeof to->future);
    return true;
}

bool X::matchArrangement(VstSpeakerArrangement** to, VstSpeakerArrangement* from) {
    if (!from || !to) return false;
    if (!allocateArrangement(to, from->numChannels)) return false;
    (*to)->type = from->type;
    bool copied = true;
    for (VstInt32 i = 0; i < from->numChannels; ++i)
        copied = copySpeaker(&(*to)->speakers[i], &from->speakers[i]) && copied;
    return copied;
}

bool X::offlineRead(VstOfflineTask* offline, VstInt32 option, bool readSource) {
    return ask(hostcall::offlineRead, {readSource ? 1 : 0, option, offline}) != 0;
}

bool X::offlineWrite(VstOfflineTask* offline, VstInt32 option) {
    return ask(hostcall::offlineWrite, {0, option, offline}) != 0;
}

bool X::offlineStart(VstAudioFile* files, VstInt32 numAudioFiles, VstInt32 numNewAudioFiles) {
    return ask(hostcall::offlineStart, {numNewAudioFiles, numAudioFiles, files}) != 0;
}

VstInt32 X::offlineGetCurrentPass() {
    return ask(hostcall::offlineCurrentPass) != 0;
}
VstInt32 X::offlineGetCurrentMetaPass() {
    return ask(hostcall::offlineCurrentMetaPass) != 0;
}
bool X::offlineNotify(VstAudioFile*, VstInt32, bool) {
    return false;
}
bool X::offlinePrepare(VstOfflineTask*, VstInt32) {
    return false;
}
bool X::offlineRun(VstOfflineTask*, VstInt32) {
    return false;
}
VstInt32 X::offlineGetNumPasses() {
    return 0;
}
VstInt32 X::offlineGetNumMetaPasses() {
    return 0;
}

// ---- deprecated ----

void X::__wantEventsDeprecated(VstInt32 filter) {
    ask(hostcall::wantMidi, {0, filter});
}

VstInt32 X::__tempoAtDeprecated(VstInt32 position) {
    return static_cast<VstInt32>(ask(hostcall::tempoAt, {0, position}));
}

VstInt32 X::__getNumAutomatableParametersDeprecated() {
    return static_cast<VstInt32>(ask(hostcall::numAutomatable));
}

VstInt32 X::__getParameterQuantizationDeprecated() {
    return static_cast<VstInt32>(ask(hostcall::parameterQuantization));
}

VstInt32 X::__getNumCategoriesDeprecated() {
    return 1;
}
bool X::__copyProgramDeprecated(VstInt32) {
    return false;
}
bool X::__needIdleDeprecated() {
    return ask(hostcall::needIdle) != 0;
}

AEffect* X::__getPreviousPlugDeprecated(VstInt32) {
    return reinterpret_cast<AEffect*>(ask(hostcall::previousPlug));
}

AEffect* X::__getNextPlugDeprecated(VstInt32) {
    return reinterpret_cast<AEffect*>(ask(hostcall::nextPlug));
}

void X::__inputConnectedDeprecated(VstInt32, bool) {}
void X::__outputConnectedDeprecated(VstInt32, bool) {}

VstInt32 X::__willProcessReplacingDeprecated() {
    return static_cast<VstInt32>(ask(hostcall::willReplace));
}

void X::__wantAsyncOperationDeprecated(bool state) {
    setFlag(effFlagsExtIsAsync, state);
}
void X::__hasExternalBufferDeprecated(bool state) {
    setFlag(effFlagsExtHasBuffer, state);
}
VstInt32 X::__reportCurrentPositionDeprecated() {
    return 0;
}
float* X::__reportDestinationBufferDeprecated() {
    return nullptr;
}

void X::__setOutputSamplerateDeprecated(float rate) {
    ask(hostcall::setOutputSampleRate, {0, 0, nullptr, rate});
}

VstSpeakerArrangement* X::__getInputSpeakerArrangementDeprecated() {
    return reinterpret_cast<VstSpeakerArrangement*>(ask(hostcall::inputArrangement));
}

VstSpeakerArrangement* X::__getOutputSpeakerArrangementDeprecated() {
    return reinterpret_cast<VstSpeakerArrangement*>(ask(hostcall::outputArrangement));
}

void* X::__openWindowDeprecated(void* window) {
    return reinterpret_cast<void*>(ask(hostcall::openWindow, {0, 0, window}));
}

bool X::__closeWindowDeprecated(void* window) {
    return ask(hostcall::closeWindow, {0, 0, window}) != 0;
}

void X::__setBlockSizeAndSampleRateDeprecated(VstInt32 newBlockSize, float newSampleRate) {
    blockSize = newBlockSize;
    sampleRate = newSampleRate;
}

bool X::__getErrorTextDeprecated(char*) {
    return false;
}
void* X::__getIconDeprecated() {
    return nullptr;
}
bool X::__setViewPositionDeprecated(VstInt32, VstInt32) {
    return false;
}
VstInt32 X::__fxIdleDeprecated() {
    return 0;
}
bool X::__keysRequiredDeprecated() {
    return false;
}

bool X::__getChunkFileDeprecated(void* nativePath) {
    return nativePath && ask(hostcall::chunkFile, {0, 0, nativePath}) != 0;
}

bool X::sendVstEventsToHost(VstEvents* events) {
    return ask(hostcall::processEvents, {0, 0, events}) != 0;
}
