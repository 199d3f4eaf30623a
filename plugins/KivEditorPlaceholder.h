// The editor each instance attaches until the editor window exists: the window's size
// (560 x 260, the size of the background picture), and an open that builds nothing, so the
// host sees an editor of the right size with an empty window. KivAmbiDecEdit names it in
// one place (KivAmbiDecEditor); the editor window replaces it there.
// User-interface thread only.
#pragma once

#include "host/AEffGUIEditor.h"

class KivEditorPlaceholder : public AEffGUIEditor {
public:
    static constexpr VstInt16 kWidth = 560;
    static constexpr VstInt16 kHeight = 260;

    explicit KivEditorPlaceholder(AudioEffect* effect) : AEffGUIEditor(effect) {
        rect = ERect{0, 0, kHeight, kWidth};
    }
};
