// SPDX-License-Identifier: GPL-3.0-or-later
// The plug-in's entry point, the one function a host looks up. Linked into each bundle's
// .so as an object of its own so that the archive cannot drop it.
#include "host/AudioEffect.h"

extern "C" __attribute__((visibility("default"))) AEffect*
VSTPluginMain(audioMasterCallback audioMaster) {
    // No record exists yet, so the version query goes out without an effect.
    if (!audioMaster || audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
        return nullptr;
    AudioEffect* effect = createEffectInstance(audioMaster);
    return effect ? effect->getAeffect() : nullptr;
}
