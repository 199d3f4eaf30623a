// SPDX-License-Identifier: GPL-3.0-or-later
// Stand-ins for the editor and the listener that the toolkit's controls talk to, and a
// film strip whose pictures can be told apart by their colour.
#pragma once

#include "host/VSTGUIEditorInterface.h"
#include "toolkit/CBitmap.h"
#include "toolkit/CControl.h"
#include "toolkit/CDrawContext.h"
#include "toolkit/CFrame.h"

#include <functional>
#include <vector>

// Records what the host would receive: 43 for each begin edit, 44 for each end edit.
struct FakeEditor : VSTGUIEditorInterface {
    std::vector<int> hostOpcodes;
    std::vector<long> editTags;
    int idleCalls = 0;
    long knobMode = 0;
    std::function<void()> onIdle;

    void doIdleStuff() override {
        ++idleCalls;
        if (onIdle) onIdle();
    }
    long getKnobMode() const override { return knobMode; }
    void beginEdit(long index) override {
        hostOpcodes.push_back(43);
        editTags.push_back(index);
    }
    void endEdit(long index) override {
        hostOpcodes.push_back(44);
        editTags.push_back(index);
    }
};

struct RecordingListener : VSTGUI::CControlListener {
    std::vector<float> values;
    std::vector<long> tags;
    long modifierAnswer = 0;
    std::vector<long> modifierClicks;
    int beginEdits = 0;
    int endEdits = 0;

    void valueChanged(VSTGUI::CControl* control) override {
        values.push_back(control->getValue());
        tags.push_back(control->getTag());
    }
    long controlModifierClicked(VSTGUI::CControl*, long buttons) override {
        modifierClicks.push_back(buttons);
        return modifierAnswer;
    }
    void controlBeginEdit(VSTGUI::CControl*) override { ++beginEdits; }
    void controlEndEdit(VSTGUI::CControl*) override { ++endEdits; }
};

// Picture i of the strip is filled with stripColour(i); frameIndexOf reads i back.
inline VSTGUI::CColor stripColour(int index) {
    return VSTGUI::CColor{static_cast<unsigned char>(index % 256),
                          static_cast<unsigned char>(40 + 60 * (index / 256)), 200, 255};
}

inline int frameIndexOf(const VSTGUI::CColor& colour) {
    if (colour.blue != 200 || (colour.green - 40) % 60 != 0) return -1;
    return colour.red + 256 * ((colour.green - 40) / 60);
}

// The caller owns the one reference of the strip.
inline VSTGUI::CBitmap* makeNumberedStrip(int width, int frameHeight, int frames) {
    auto* strip = new VSTGUI::CBitmap(width, frameHeight * frames);
    auto* context = new VSTGUI::CDrawContext(*strip);
    for (int i = 0; i < frames; ++i) {
        context->setFillColor(stripColour(i));
        context->fillRect(VSTGUI::CRect(0, i * frameHeight, width, (i + 1) * frameHeight));
    }
    context->forget();
    return strip;
}

inline VSTGUI::CColor pixelAt(const VSTGUI::CFrame& frame, int x, int y) {
    VSTGUI::CColor colour{};
    frame.getPixel(x, y, colour);
    return colour;
}
