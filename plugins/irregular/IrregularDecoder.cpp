// IrregularDecoder's instance factory.
#include "plugins/KivAmbiDecEdit.h"
#include "plugins/irregular/KivAmbiDec.h"

AudioEffect* createEffectInstance(audioMasterCallback audioMaster) {
    return new KivAmbiDecEdit<KivAmbiDec>(audioMaster);
}
