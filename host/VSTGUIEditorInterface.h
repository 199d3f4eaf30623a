// SPDX-License-Identifier: GPL-3.0-or-later
// The widget toolkit's view of an editor. The frame holds a pointer to it and
// calls it while a control tracks the mouse; AEffGUIEditor implements it.
// User-interface thread only.
#pragma once

#include "host/EditorFrame.h"

class VSTGUIEditorInterface {
public:
    virtual void doIdleStuff() {}
    virtual long getKnobMode() const { return 0; } // 0 circular, 1 relative circular, 2 linear
    virtual void beginEdit(long index) { (void)index; }
    virtual void endEdit(long index) { (void)index; }
    virtual ~VSTGUIEditorInterface() = default;

    EditorFrame* getFrame() const { return frame; }

protected:
    EditorFrame* frame = nullptr; // created by the concrete editor's open, deleted by close
};
