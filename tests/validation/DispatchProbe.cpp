// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/validation/DispatchProbe.h"

#include "host/VstOpcodes.h"
#include "product/HeadphoneView.h"
#include "product/LayoutView.h"
#include "tests/validation/GuardedBuffer.h"

#include <cstring>
#include <map>
#include <memory>
#include <sstream>

namespace kiv::validation {

namespace {

// Sizes of the interface records that only pass through the plug-ins unread.
constexpr std::size_t kVstEventsSize = 32; // count, reserved, two event pointers
constexpr std::size_t kVstParameterPropertiesSize = 152;
constexpr std::size_t kMidiProgramNameSize = 80;
constexpr std::size_t kMidiProgramCategorySize = 76;
constexpr std::size_t kMidiKeyNameSize = 80;
constexpr std::size_t kVstPatchChunkInfoSize = 48;
constexpr std::size_t kOfflineRecordSize = 256; // VstAudioFile, VstOfflineTask
constexpr std::size_t kVstVariableIoSize = 64;

// Guarded buffers are mapped once per size and reused: mapping pages for every call would
// have the fuzzer spend its time in the kernel.
class BufferPool {
public:
    GuardedBuffer& take(std::size_t size, unsigned char fill) {
        std::vector<std::unique_ptr<GuardedBuffer>>& free = free_[size];
        if (free.empty()) free.push_back(std::make_unique<GuardedBuffer>(size, fill));
        taken_.push_back(std::move(free.back()));
        free.pop_back();
        taken_.back()->refill(fill);
        return *taken_.back();
    }
    // Everything taken since the last call goes back.
    void giveBack() {
        for (auto& buffer : taken_) free_[buffer->size()].push_back(std::move(buffer));
        taken_.clear();
    }

private:
    std::map<std::size_t, std::vector<std::unique_ptr<GuardedBuffer>>> free_;
    std::vector<std::unique_ptr<GuardedBuffer>> taken_;
};

thread_local BufferPool pool;

bool changed(const GuardedBuffer& buffer, std::size_t from, std::size_t count, unsigned char fill) {
    for (std::size_t i = from; i < from + count; ++i)
        if (static_cast<unsigned char>(buffer.data()[i]) != fill) return true;
    return false;
}

bool terminatedWithin(const char* text, std::size_t limit) {
    return std::memchr(text, '\0', limit) != nullptr;
}

} // namespace

OpcodeContract contractOf(VstInt32 opcode, VstInt32 index) {
    switch (opcode) {
    case effSetProgramName:
    case effString2Parameter:
    case effCanDo:
        return {PointerUse::TextIn, 0};
    case effGetProgramName:
    case effGetProgramNameIndexed:
        return {PointerUse::TextOut, kProgramNameLimit};
    case effGetParamLabel:
    case effGetParamDisplay:
    case effGetParamName:
    case effGetEffectName:
    case effGetVendorString:
    case effGetProductString:
    case effShellGetNextPlugin:
        return {PointerUse::TextOut, kTextLimit};
    case effGetInputProperties:
    case effGetOutputProperties:
        return {PointerUse::PinOut, sizeof(VstPinProperties)};
    case effEditGetRect:
    case effGetChunk:
        return {PointerUse::PointerOut, sizeof(void*)};
    case effSetChunk:
        return {PointerUse::ChunkIn, 0};
    case effEditOpen:
        return {PointerUse::Window, 0};
    case effProcessEvents:
        return {PointerUse::RecordIn, kVstEventsSize};
    case effOfflineNotify:
    case effOfflinePrepare:
    case effOfflineRun:
        return {PointerUse::RecordIn, kOfflineRecordSize};
    case effProcessVarIo:
        return {PointerUse::RecordIn, kVstVariableIoSize};
    case effBeginLoadBank:
    case effBeginLoadProgram:
        return {PointerUse::RecordIn, kVstPatchChunkInfoSize};
    case effGetParameterProperties:
        return {PointerUse::RecordOut, kVstParameterPropertiesSize};
    case effGetMidiProgramName:
    case effGetCurrentMidiProgram:
        return {PointerUse::RecordOut, kMidiProgramNameSize};
    case effGetMidiProgramCategory:
        return {PointerUse::RecordOut, kMidiProgramCategorySize};
    case effGetMidiKeyName:
        return {PointerUse::RecordOut, kMidiKeyNameSize};
    case effSetSpeakerArrangement:
        return {PointerUse::Arrangements, sizeof(VstSpeakerArrangement)};
    case effGetSpeakerArrangement:
        return {PointerUse::Arrangements, sizeof(VstSpeakerArrangement*)};
    case effVendorSpecific:
        // Our own requests; any other index must leave ptr alone.
        switch (index) {
        case kKivLayoutMessage:
            return {PointerUse::TextOut, kKivLayoutMessageBytes};
        case kKivLayoutView:
            return {PointerUse::RecordOut, sizeof(LayoutView)};
        case kKivHeadphoneView:
            return {PointerUse::RecordOut, sizeof(HeadphoneView)};
        case kKivLoadLayout:
        case kKivLoadHrtf:
        case kKivSnapshot:
            return {PointerUse::TextIn, 0};
        default:
            return {PointerUse::Untouched, 0};
        }
    default:
        return {PointerUse::Untouched, 0};
    }
}

std::string describe(const ProbeCall& call) {
    std::ostringstream os;
    os << "opcode " << call.opcode << ", index " << call.index << ", value " << call.value
       << ", opt " << call.opt << (call.withPointer ? ", with buffers" : ", null ptr");
    if (!call.textIn.empty()) os << ", text of " << call.textIn.size() << " characters";
    return os.str();
}

ProbeResult probe(AEffect* effect, const ProbeCall& call) {
    ProbeResult result;
    const OpcodeContract contract = contractOf(call.opcode, call.index);
    auto violation = [&](const std::string& what) {
        result.violations.push_back(what + " (" + describe(call) + ")");
    };

    // Every buffer of the call, whose slack is checked afterwards; the last one is ptr's.
    std::vector<GuardedBuffer*> buffers;
    void* ptr = nullptr;
    VstIntPtr value = call.value;

    if (call.withPointer) {
        switch (contract.use) {
        case PointerUse::Untouched:
            buffers.push_back(&pool.take(0, 0));
            break;
        case PointerUse::TextIn: {
            GuardedBuffer& text = pool.take(call.textIn.size() + 1, 0);
            std::memcpy(text.data(), call.textIn.data(), call.textIn.size());
            buffers.push_back(&text);
            break;
        }
        case PointerUse::ChunkIn: {
            // value is the chunk's size; a hostile size is cut to what is really there.
            const std::size_t size = call.value > 0 && call.value < 4096
                                         ? static_cast<std::size_t>(call.value)
                                         : call.textIn.size();
            GuardedBuffer& chunk = pool.take(size, 0);
            std::memcpy(chunk.data(), call.textIn.data(),
                        size < call.textIn.size() ? size : call.textIn.size());
            buffers.push_back(&chunk);
            value = static_cast<VstIntPtr>(size);
            break;
        }
        case PointerUse::Window:
            break;
        case PointerUse::Arrangements:
            buffers.push_back(&pool.take(contract.size, 0)); // value's
            buffers.push_back(&pool.take(contract.size, 0)); // ptr's
            value = reinterpret_cast<VstIntPtr>(buffers[0]->data());
            break;
        case PointerUse::RecordIn:
            buffers.push_back(&pool.take(contract.size, 0));
            break;
        default:
            buffers.push_back(&pool.take(contract.size, call.fill));
            break;
        }
        if (!buffers.empty()) ptr = buffers.back()->data();
    } else if (contract.use == PointerUse::Arrangements) {
        value = 0; // both pointers null
    }
    struct GiveBack {
        ~GiveBack() { pool.giveBack(); }
    } giveBack;

    result.answer = effect->dispatcher(effect, call.opcode, call.index, value, ptr, call.opt);
    if (call.opcode == effClose) return result; // the record is gone

    for (const GuardedBuffer* buffer : buffers)
        if (!buffer->slackIntact()) violation("wrote before the start of a buffer");
    if (!call.withPointer) return result;

    switch (contract.use) {
    case PointerUse::TextOut: {
        const GuardedBuffer& text = *buffers.back();
        if (changed(text, 0, text.size(), call.fill) && !terminatedWithin(text.data(), text.size()))
            violation("text longer than " + std::to_string(text.size() - 1) + " characters");
        break;
    }
    case PointerUse::PinOut: {
        const GuardedBuffer& pin = *buffers.back();
        const auto* properties = reinterpret_cast<const VstPinProperties*>(pin.data());
        if (changed(pin, offsetof(VstPinProperties, label), sizeof properties->label, call.fill) &&
            !terminatedWithin(properties->label, sizeof properties->label))
            violation("pin label without a terminator");
        if (changed(pin, offsetof(VstPinProperties, shortLabel), sizeof properties->shortLabel,
                    call.fill) &&
            !terminatedWithin(properties->shortLabel, sizeof properties->shortLabel))
            violation("short pin label without a terminator");
        break;
    }
    case PointerUse::PointerOut:
        if (call.opcode == effEditGetRect && result.answer != 0) {
            const ERect* rect = nullptr;
            std::memcpy(&rect, buffers.back()->data(), sizeof rect);
            if (rect == nullptr) {
                violation("answered a rectangle but handed out none");
            } else {
                // Reading it is the check: a stale or wild pointer faults here.
                volatile VstInt16 width = static_cast<VstInt16>(rect->right - rect->left);
                (void)width;
            }
        }
        break;
    case PointerUse::Arrangements:
        if (call.opcode == effGetSpeakerArrangement) {
            // Whatever the plug-in hands out must be readable.
            for (const GuardedBuffer* slot : buffers) {
                const VstSpeakerArrangement* arrangement = nullptr;
                std::memcpy(&arrangement, slot->data(), sizeof arrangement);
                if (arrangement != nullptr) {
                    volatile VstInt32 channels = arrangement->numChannels;
                    (void)channels;
                }
            }
        }
        break;
    default:
        break;
    }
    return result;
}

std::vector<std::string> auditTexts(AEffect* effect) {
    std::vector<std::string> violations;
    auto run = [&](VstInt32 opcode, VstInt32 index) {
        ProbeCall call;
        call.opcode = opcode;
        call.index = index;
        for (std::string& v : probe(effect, call).violations) violations.push_back(std::move(v));
    };
    for (VstInt32 i = -1; i <= effect->numPrograms; ++i) run(effGetProgramNameIndexed, i);
    run(effGetProgramName, 0);
    for (VstInt32 i = -1; i <= effect->numParams; ++i) {
        run(effGetParamName, i);
        run(effGetParamLabel, i);
        run(effGetParamDisplay, i);
    }
    for (VstInt32 i = -1; i <= effect->numInputs; ++i) run(effGetInputProperties, i);
    for (VstInt32 i = -1; i <= effect->numOutputs + 2; ++i) run(effGetOutputProperties, i);
    for (VstInt32 opcode : {effGetEffectName, effGetVendorString, effGetProductString,
                            effShellGetNextPlugin, effEditGetRect})
        run(opcode, 0);
    return violations;
}

} // namespace kiv::validation
