// RegularDecoder's instance factory.
#include "plugins/KivAmbiDecEdit.h"
#include "plugins/regular/KivAmbiDec_1o_GUI.h"

AudioEffect* createEffectInstance(audioMasterCallback audioMaster) {
    return new KivAmbiDecEdit<KivAmbiDec_1o_GUI>(audioMaster);
}
