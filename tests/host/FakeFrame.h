// SPDX-License-Identifier: GPL-3.0-or-later
// An EditorFrame that records what the editor asks of it; its event loop only counts.
#pragma once

#include <vector>

#include "host/EditorFrame.h"

struct FakeFrame : EditorFrame {
    void idle() override { ++idles; }
    VstInt32 onKeyDown(VstKeyCode& key) override {
        lastKey = key;
        return keyAnswer;
    }
    VstInt32 onKeyUp(VstKeyCode& key) override {
        lastKey = key;
        return keyAnswer;
    }
    bool onWheel(int x, int y, float distance, long buttons) override {
        wheel = {x, y, distance, buttons};
        return true;
    }
    void onMouseDown(int x, int y, long buttons) override { clicks.push_back({x, y, buttons}); }
    void redrawRect(const ERect* rect) override {
        redraws.push_back(rect ? *rect : ERect{-1, -1, -1, -1});
    }
    ERect getViewSize() const override { return ERect{0, 0, 260, 560}; }
    void getMouseLocation(int& x, int& y) override {
        x = 12;
        y = 34;
    }
    long getMouseButtons() override { return 0x12; }
    void handleEventsFor(unsigned milliseconds) override { waits.push_back(milliseconds); }

    struct Wheel {
        int x, y;
        float distance;
        long buttons;
    };
    struct Click {
        int x, y;
        long buttons;
    };
    int idles = 0;
    VstInt32 keyAnswer = 1;
    VstKeyCode lastKey{};
    Wheel wheel{};
    std::vector<Click> clicks;
    std::vector<ERect> redraws;
    std::vector<unsigned> waits;
};
