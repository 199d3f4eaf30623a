// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/AEffGUIEditor.h"

#include <ctime>
#include <utility>

#include "host/AudioEffectX.h"
#include "host/Bundle.h"
#include "host/TickClock.h"

VstInt32 AEffGUIEditor::knobMode = 0;

AEffGUIEditor::AEffGUIEditor(void* owner) : AEffEditor(static_cast<AudioEffect*>(owner)) {
    frame = nullptr;
    inIdle = false;
    if (effect) effect->setEditor(this);
    systemWindow = nullptr;
    lastTicks = getTicks();
    InitMachOLibrary();
}

AEffGUIEditor::~AEffGUIEditor() {
    ExitMachOLibrary();
}

bool AEffGUIEditor::getRect(ERect** out) {
    if (!out) return false;
    *out = &rect;
    return true;
}

void AEffGUIEditor::idle() {
    // A host may answer audioMasterIdle by idling the editor from inside that call.
    if (!inIdle && frame) frame->idle();
}

bool AEffGUIEditor::onKeyDown(VstKeyCode& keyCode) {
    return frame && frame->onKeyDown(keyCode) > 0;
}

bool AEffGUIEditor::onKeyUp(VstKeyCode& keyCode) {
    return frame && frame->onKeyUp(keyCode) > 0;
}

bool AEffGUIEditor::onWheel(float distance) {
    if (!frame) return false;
    int x = 0, y = 0;
    frame->getMouseLocation(x, y);
    return frame->onWheel(x, y, distance, frame->getMouseButtons());
}

bool AEffGUIEditor::setKnobMode(VstInt32 mode) {
    knobMode = mode;
    return true;
}

void AEffGUIEditor::setParameter(VstInt32, float) {}

void AEffGUIEditor::draw(ERect* area) {
    if (!frame) return;
    if (!area) {
        frame->redrawRect(nullptr);
        return;
    }
    ERect r = *area;
    if (r.left > r.right) std::swap(r.left, r.right);
    if (r.top > r.bottom) std::swap(r.top, r.bottom);
    frame->redrawRect(&r);
}

bool AEffGUIEditor::mouse(long x, long y) {
    if (!frame) return false;
    frame->onMouseDown(static_cast<int>(x), static_cast<int>(y), -1);
    return true;
}

void AEffGUIEditor::doIdleStuff() {
    std::uint64_t now = getTicks();
    if (lastTicks > now) {
        wait(kIdleWaitMs);
        now += kIdleWaitMs;
        // lastTicks - 50 > now, written without the subtraction.
        if (lastTicks > now + kIdleEarlyServeMs) return;
    }
    idle();
    lastTicks = now + kIdleIntervalMs;
    inIdle = true;
    if (effect) effect->masterIdle();
    inIdle = false;
}

void AEffGUIEditor::beginEdit(long index) {
    if (auto* fx = dynamic_cast<AudioEffectX*>(effect)) fx->beginEdit(static_cast<VstInt32>(index));
}

void AEffGUIEditor::endEdit(long index) {
    if (auto* fx = dynamic_cast<AudioEffectX*>(effect)) fx->endEdit(static_cast<VstInt32>(index));
}

std::uint64_t AEffGUIEditor::getTicks() {
    return tickMilliseconds();
}

void AEffGUIEditor::wait(unsigned long ms) {
    if (frame) {
        frame->handleEventsFor(static_cast<unsigned>(ms));
        return;
    }
    timespec pause{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    nanosleep(&pause, nullptr);
}
