// SPDX-License-Identifier: GPL-3.0-or-later
// The host-facing editor interface. An editor lives as long as its effect; the window it
// draws in belongs to the host, which hands it over on open and takes it back on close.
// User-interface thread only.
#pragma once

#include "host/VstRecords.h"

class AudioEffect;

class AEffEditor {
public:
    explicit AEffEditor(AudioEffect* effect) : effect(effect) {}
    virtual ~AEffEditor() = default;

    AEffEditor(const AEffEditor&) = delete;
    AEffEditor& operator=(const AEffEditor&) = delete;

    virtual AudioEffect* getEffect() { return effect; }
    virtual bool getRect(ERect** rect) {
        if (rect) *rect = nullptr;
        return false;
    }
    virtual bool open(void* window) {
        systemWindow = window;
        return false;
    }
    virtual void close() { systemWindow = nullptr; }
    virtual bool isOpen() { return systemWindow != nullptr; }
    virtual void idle() {}
    virtual void __drawDeprecated(ERect* rect) { (void)rect; }
    virtual VstInt32 __mouseDeprecated(VstInt32 x, VstInt32 y) {
        (void)x;
        (void)y;
        return 0;
    }
    virtual VstInt32 __keyDeprecated(VstInt32 keyCode) {
        (void)keyCode;
        return 0;
    }
    virtual void __topDeprecated() {}
    virtual void __sleepDeprecated() {}
    virtual bool onKeyDown(VstKeyCode& keyCode) {
        (void)keyCode;
        return false;
    }
    virtual bool onKeyUp(VstKeyCode& keyCode) {
        (void)keyCode;
        return false;
    }
    virtual bool onWheel(float distance) {
        (void)distance;
        return false;
    }
    virtual bool setKnobMode(VstInt32 mode) {
        (void)mode;
        return false;
    }

protected:
    AudioEffect* effect;          // the owner; not owned
    void* systemWindow = nullptr; // the host's parent window while open; not owned
};
