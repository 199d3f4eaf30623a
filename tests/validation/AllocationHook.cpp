// SPDX-License-Identifier: GPL-3.0-or-later
// The interposers. Symbols defined in the executable come first in the dynamic linker's
// search order, so the plug-in libraries loaded later reach these definitions for malloc,
// operator new and the pthread waits; each one counts (on an armed thread only) and then
// calls the real function.
#include "tests/validation/AllocationHook.h"

#include <dlfcn.h>
#include <pthread.h>
#include <semaphore.h>

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <ctime>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define KIV_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KIV_ASAN 1
#endif
#endif
#ifndef KIV_ASAN
#define KIV_ASAN 0
#endif

#define KIV_EXPORT __attribute__((visibility("default")))

namespace {

// Plain data, so that reaching it from inside malloc needs no initialisation and no call.
struct ThreadCounts {
    bool armed;
    long allocations;
    long frees;
    long locks;
    unsigned long largest;
};
thread_local ThreadCounts tls{};

inline void countAllocation(size_t bytes) {
    if (tls.armed) {
        ++tls.allocations;
        if (bytes > tls.largest) tls.largest = bytes;
    }
}
inline void countFree(const volatile void* p) {
    if (tls.armed && p != nullptr) ++tls.frees;
}
inline void countLock() {
    if (tls.armed) ++tls.locks;
}

std::atomic<bool> heapHooked{!KIV_ASAN};

// The next definition of a lock function after ours, looked up once.
template <typename F> F next(std::atomic<F>& slot, const char* name) {
    F f = slot.load(std::memory_order_acquire);
    if (f == nullptr) {
        f = reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
        slot.store(f, std::memory_order_release);
    }
    return f;
}

} // namespace

namespace kiv::validation {

void AllocationHook::arm() {
    tls.allocations = tls.frees = tls.locks = 0;
    tls.largest = 0;
    tls.armed = true;
}

HookCounts AllocationHook::disarm() {
    tls.armed = false;
    return HookCounts{tls.allocations, tls.frees, tls.locks, tls.largest};
}

HookCounts AllocationHook::counts() {
    return HookCounts{tls.allocations, tls.frees, tls.locks, tls.largest};
}

bool AllocationHook::active() {
    return heapHooked.load();
}

} // namespace kiv::validation

// ---- locks: the same in both builds ----

// Each interposer finds the next definition (the C library's, or the sanitizer's) once;
// all of them are looked up before main, since the lookup itself allocates.
#define KIV_LOCK_INTERPOSER(name, Arg)                                                             \
    namespace {                                                                                    \
    std::atomic<int (*)(Arg*)> real_##name{nullptr};                                               \
    }                                                                                              \
    extern "C" KIV_EXPORT int name(Arg* object) noexcept {                                         \
        countLock();                                                                               \
        return next(real_##name, #name)(object);                                                   \
    }

#define KIV_TIMED_LOCK_INTERPOSER(name, Arg)                                                       \
    namespace {                                                                                    \
    std::atomic<int (*)(Arg*, const struct timespec*)> real_##name{nullptr};                       \
    }                                                                                              \
    extern "C" KIV_EXPORT int name(Arg* object, const struct timespec* until) noexcept {           \
        countLock();                                                                               \
        return next(real_##name, #name)(object, until);                                            \
    }

KIV_LOCK_INTERPOSER(pthread_mutex_lock, pthread_mutex_t)
KIV_LOCK_INTERPOSER(pthread_mutex_trylock, pthread_mutex_t)
KIV_TIMED_LOCK_INTERPOSER(pthread_mutex_timedlock, pthread_mutex_t)
KIV_LOCK_INTERPOSER(pthread_rwlock_rdlock, pthread_rwlock_t)
KIV_LOCK_INTERPOSER(pthread_rwlock_wrlock, pthread_rwlock_t)
KIV_LOCK_INTERPOSER(pthread_rwlock_tryrdlock, pthread_rwlock_t)
KIV_LOCK_INTERPOSER(pthread_rwlock_trywrlock, pthread_rwlock_t)
KIV_TIMED_LOCK_INTERPOSER(pthread_rwlock_timedrdlock, pthread_rwlock_t)
KIV_TIMED_LOCK_INTERPOSER(pthread_rwlock_timedwrlock, pthread_rwlock_t)
KIV_LOCK_INTERPOSER(pthread_spin_lock, pthread_spinlock_t)
KIV_LOCK_INTERPOSER(pthread_spin_trylock, pthread_spinlock_t)
KIV_LOCK_INTERPOSER(sem_wait, sem_t)
KIV_LOCK_INTERPOSER(sem_trywait, sem_t)
KIV_TIMED_LOCK_INTERPOSER(sem_timedwait, sem_t)

namespace {
__attribute__((constructor)) void resolveLockFunctions() {
#define KIV_RESOLVE(name) next(real_##name, #name)
    KIV_RESOLVE(pthread_mutex_lock);
    KIV_RESOLVE(pthread_mutex_trylock);
    KIV_RESOLVE(pthread_mutex_timedlock);
    KIV_RESOLVE(pthread_rwlock_rdlock);
    KIV_RESOLVE(pthread_rwlock_wrlock);
    KIV_RESOLVE(pthread_rwlock_tryrdlock);
    KIV_RESOLVE(pthread_rwlock_trywrlock);
    KIV_RESOLVE(pthread_rwlock_timedrdlock);
    KIV_RESOLVE(pthread_rwlock_timedwrlock);
    KIV_RESOLVE(pthread_spin_lock);
    KIV_RESOLVE(pthread_spin_trylock);
    KIV_RESOLVE(sem_wait);
    KIV_RESOLVE(sem_trywait);
    KIV_RESOLVE(sem_timedwait);
#undef KIV_RESOLVE
}
} // namespace

#if KIV_ASAN

// The sanitizer owns malloc and operator new; it calls these hooks for every block it
// hands out or takes back, on the thread that does so.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, size_t),
                                                         void (*)(const volatile void*));

namespace {
void onMalloc(const volatile void*, size_t bytes) {
    countAllocation(bytes);
}
void onFree(const volatile void* p) {
    countFree(p);
}
__attribute__((constructor)) void installHeapHooks() {
    heapHooked.store(__sanitizer_install_malloc_and_free_hooks(onMalloc, onFree) != 0);
}
} // namespace

#else // !KIV_ASAN

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* p, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* p);
}

extern "C" KIV_EXPORT void* malloc(size_t size) noexcept {
    countAllocation(size);
    return __libc_malloc(size);
}

extern "C" KIV_EXPORT void* calloc(size_t count, size_t size) noexcept {
    countAllocation(count * size);
    return __libc_calloc(count, size);
}

extern "C" KIV_EXPORT void* realloc(void* p, size_t size) noexcept {
    countAllocation(size);
    if (p != nullptr) countFree(p);
    return __libc_realloc(p, size);
}

extern "C" KIV_EXPORT void* reallocarray(void* p, size_t count, size_t size) noexcept {
    size_t bytes = 0;
    if (__builtin_mul_overflow(count, size, &bytes)) return nullptr;
    return realloc(p, bytes);
}

extern "C" KIV_EXPORT void free(void* p) noexcept {
    countFree(p);
    __libc_free(p);
}

extern "C" KIV_EXPORT int posix_memalign(void** out, size_t alignment, size_t size) noexcept {
    countAllocation(size);
    if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0) return 22; // EINVAL
    void* p = __libc_memalign(alignment, size);
    if (p == nullptr) return 12; // ENOMEM
    *out = p;
    return 0;
}

extern "C" KIV_EXPORT void* aligned_alloc(size_t alignment, size_t size) noexcept {
    countAllocation(size);
    return __libc_memalign(alignment, size);
}

extern "C" KIV_EXPORT void* memalign(size_t alignment, size_t size) noexcept {
    countAllocation(size);
    return __libc_memalign(alignment, size);
}

extern "C" KIV_EXPORT void* valloc(size_t size) noexcept {
    countAllocation(size);
    return __libc_memalign(4096, size);
}

namespace {

void* allocateOrThrow(size_t size, size_t alignment) {
    if (size == 0) size = 1;
    for (;;) {
        void* p = alignment > alignof(std::max_align_t) ? __libc_memalign(alignment, size)
                                                        : __libc_malloc(size);
        if (p != nullptr) return p;
        std::new_handler handler = std::get_new_handler();
        if (handler == nullptr) throw std::bad_alloc();
        handler();
    }
}

void* allocateOrNull(size_t size, size_t alignment) noexcept {
    try {
        return allocateOrThrow(size, alignment);
    } catch (...) {
        return nullptr;
    }
}

void release(void* p) noexcept {
    countFree(p);
    __libc_free(p);
}

} // namespace

KIV_EXPORT void* operator new(size_t size) {
    countAllocation(size);
    return allocateOrThrow(size, 0);
}
KIV_EXPORT void* operator new[](size_t size) {
    countAllocation(size);
    return allocateOrThrow(size, 0);
}
KIV_EXPORT void* operator new(size_t size, const std::nothrow_t&) noexcept {
    countAllocation(size);
    return allocateOrNull(size, 0);
}
KIV_EXPORT void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    countAllocation(size);
    return allocateOrNull(size, 0);
}
KIV_EXPORT void* operator new(size_t size, std::align_val_t alignment) {
    countAllocation(size);
    return allocateOrThrow(size, static_cast<size_t>(alignment));
}
KIV_EXPORT void* operator new[](size_t size, std::align_val_t alignment) {
    countAllocation(size);
    return allocateOrThrow(size, static_cast<size_t>(alignment));
}
KIV_EXPORT void* operator new(size_t size, std::align_val_t alignment,
                              const std::nothrow_t&) noexcept {
    countAllocation(size);
    return allocateOrNull(size, static_cast<size_t>(alignment));
}
KIV_EXPORT void* operator new[](size_t size, std::align_val_t alignment,
                                const std::nothrow_t&) noexcept {
    countAllocation(size);
    return allocateOrNull(size, static_cast<size_t>(alignment));
}

KIV_EXPORT void operator delete(void* p) noexcept {
    release(p);
}
KIV_EXPORT void operator delete[](void* p) noexcept {
    release(p);
}
KIV_EXPORT void operator delete(void* p, size_t) noexcept {
    release(p);
}
KIV_EXPORT void operator delete[](void* p, size_t) noexcept {
    release(p);
}
KIV_EXPORT void operator delete(void* p, const std::nothrow_t&) noexcept {
    release(p);
}
KIV_EXPORT void operator delete[](void* p, const std::nothrow_t&) noexcept {
    release(p);
}
KIV_EXPORT void operator delete(void* p, std::align_val_t) noexcept {
    release(p);
}
KIV_EXPORT void operator delete[](void* p, std::align_val_t) noexcept {
    release(p);
}
KIV_EXPORT void operator delete(void* p, size_t, std::align_val_t) noexcept {
    release(p);
}
KIV_EXPORT void operator delete[](void* p, size_t, std::align_val_t) noexcept {
    release(p);
}
KIV_EXPORT void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept {
    release(p);
}
KIV_EXPORT void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept {
    release(p);
}

#endif // KIV_ASAN
