// SPDX-License-Identifier: GPL-3.0-or-later
// A host callback for the unit tests of the interface layer: records every call and
// answers with what the test set per opcode (0 otherwise).
#pragma once

#include <map>
#include <vector>

#include "host/AudioEffectX.h"

struct RecordedCall {
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    void* ptr;
    float opt;
    AEffect* effect;
};

struct RecordingHost {
    static inline std::vector<RecordedCall> calls;
    static inline std::map<VstInt32, VstIntPtr> answers;
    static inline void (*onCall)(const RecordedCall&) = nullptr;

    static VstIntPtr callback(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                              void* ptr, float opt) {
        const RecordedCall call{opcode, index, value, ptr, opt, e};
        calls.push_back(call);
        if (onCall) onCall(call);
        const auto it = answers.find(opcode);
        return it == answers.end() ? 0 : it->second;
    }
    static void reset() {
        calls.clear();
        answers.clear();
        onCall = nullptr;
    }
};

// The smallest complete effect: the base classes' defaults everywhere.
class PlainEffect : public AudioEffectX {
public:
    explicit PlainEffect(audioMasterCallback host = &RecordingHost::callback)
        : AudioEffectX(host, 7, 7) {
        ++alive;
    }
    ~PlainEffect() override { --alive; }
    void processReplacing(float**, float**, VstInt32) override {}
    void setProgram(VstInt32 program) override {
        programCalls.push_back(program);
        AudioEffectX::setProgram(program);
    }
    void resume() override { ++resumes; }
    void suspend() override { ++suspends; }
    void setParameter(VstInt32 index, float value) override {
        parameterCalls.push_back({index, value});
        // The host must not hear of the change before the effect has it.
        hostCallsAtSetParameter = RecordingHost::calls.size();
    }

    using AudioEffect::setEditor;

    static inline int alive = 0;
    std::vector<VstInt32> programCalls;
    std::vector<std::pair<VstInt32, float>> parameterCalls;
    std::size_t hostCallsAtSetParameter = 0;
    int resumes = 0;
    int suspends = 0;
};
