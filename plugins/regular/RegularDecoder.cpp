// SPDX-License-Identifier: GPL-3.0-or-later
// RegularDecoder's instance factory.
#include "editor/KivAmbiEditorJex.h"
#include "plugins/KivAmbiDecEdit.h"
#include "plugins/regular/KivAmbiDec_1o_GUI.h"

AudioEffect* createEffectInstance(audioMasterCallback audioMaster) {
    return new KivAmbiDecEdit<KivAmbiDec_1o_GUI, VSTGUI::KivAmbiEditorJex>(audioMaster);
}
