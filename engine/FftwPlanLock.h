// SPDX-License-Identifier: GPL-3.0-or-later
// FFTW's planner is not thread-safe: every fftwf_plan_* and fftwf_destroy_plan in the
// project runs under this one process-wide mutex, never on the audio thread. (fftwf_execute
// and its new-array forms need no lock.)
#pragma once

#include <mutex>

std::mutex& fftwPlanLock();
