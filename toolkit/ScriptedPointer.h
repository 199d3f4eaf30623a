// SPDX-License-Identifier: GPL-3.0-or-later
// A pointer that replays a script of samples (position and button state), for frames
// without a window. Each button query takes the next sample, location queries report
// the sample taken last, and the last sample stays once the script has run out: a
// tracking loop that asks for the buttons once per round therefore sees one sample per
// round. Before the first query the pointer is at (0, 0) with no buttons.
#pragma once

#include "toolkit/PointerSource.h"

#include <cstddef>
#include <deque>

namespace VSTGUI {

class ScriptedPointer : public PointerSource {
public:
    struct Sample {
        CPoint where;
        long buttons;
    };

    // Adds a sample at the end of the script.
    void add(const CPoint& where, long buttons) { script.push_back({where, buttons}); }
    // Drops the script and holds this one state.
    void set(const CPoint& where, long buttons) {
        script.clear();
        current = {where, buttons};
    }
    std::size_t remaining() const { return script.size(); }
    long getButtonQueries() const { return buttonQueries; }

    CPoint getLocation() override { return current.where; }
    long getButtons() override {
        ++buttonQueries;
        if (!script.empty()) {
            current = script.front();
            script.pop_front();
        }
        return current.buttons;
    }

private:
    std::deque<Sample> script;
    Sample current{CPoint(), 0};
    long buttonQueries = 0;
};

} // namespace VSTGUI
