// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/FftwPlanLock.h"

std::mutex& fftwPlanLock() {
    static std::mutex lock;
    return lock;
}
