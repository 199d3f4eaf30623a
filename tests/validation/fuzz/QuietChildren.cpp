// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/validation/fuzz/QuietChildren.h"

#include <pthread.h>
#include <sanitizer/common_interface_defs.h>
#include <signal.h>
#include <unistd.h>

#include <initializer_list>

namespace {

volatile sig_atomic_t inChild = 0;

void dieAsCrashed() {
    signal(SIGABRT, SIG_DFL);
    raise(SIGABRT);
    _exit(127); // SIGABRT blocked: still not a success
}

} // namespace

void quietCheckingChildren() {
    pthread_atfork(nullptr, nullptr, [] {
        inChild = 1;
        __sanitizer_set_death_callback(nullptr);
        for (int s : {SIGSEGV, SIGBUS, SIGABRT, SIGFPE, SIGILL}) signal(s, SIG_DFL);
    });
}

// AddressSanitizer calls this before it reports an error (the runtime's weak default does
// nothing).
extern "C" __attribute__((visibility("default"))) void __asan_on_error() {
    if (inChild) dieAsCrashed();
}
