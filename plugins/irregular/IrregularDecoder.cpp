// SPDX-License-Identifier: GPL-3.0-or-later
// IrregularDecoder's instance factory.
#include "editor/KivAmbiEditorJex.h"
#include "plugins/KivAmbiDecEdit.h"
#include "plugins/irregular/KivAmbiDec.h"

AudioEffect* createEffectInstance(audioMasterCallback audioMaster) {
    return new KivAmbiDecEdit<KivAmbiDec, KivAmbiEditorJex>(audioMaster);
}
