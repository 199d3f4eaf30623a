// SPDX-License-Identifier: GPL-3.0-or-later
// The instruments themselves: the allocation hook must see what it is meant to see, and
// only on armed threads, or every real-time check built on it would pass vacuously; a
// guarded buffer must fault on the first byte past its end.
#include <gtest/gtest.h>

#include <pthread.h>
#include <semaphore.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <sstream>
#include <string>
#include <thread>

#include "tests/validation/AllocationHook.h"
#include "tests/validation/GuardedBuffer.h"

using kiv::validation::AllocationHook;
using kiv::validation::GuardedBuffer;
using kiv::validation::HookCounts;

namespace {

// Keeps the optimiser from removing an allocation whose result is never read.
template <typename T> void keep(T* p) {
    asm volatile("" : : "g"(p) : "memory");
}

HookCounts countsOf(const std::function<void()>& action) {
    AllocationHook::arm();
    action();
    return AllocationHook::disarm();
}

} // namespace

TEST(AllocationHook, IsInPlace) {
    EXPECT_TRUE(AllocationHook::active());
}

TEST(AllocationHook, CountsEachKindOfHeapAndLockCall) {
    const struct {
        const char* what;
        std::function<void()> action;
        long allocations, frees, locks;
    } cases[] = {
        {"nothing", [] {}, 0, 0, 0},
        {"malloc and free",
         [] {
             void* p = std::malloc(100);
             keep(p);
             std::free(p);
         },
         1, 1, 0},
        {"free of null", [] { std::free(nullptr); }, 0, 0, 0},
        {"calloc",
         [] {
             void* p = std::calloc(10, 10);
             keep(p);
             std::free(p);
         },
         1, 1, 0},
        {"realloc of a block",
         [] {
             void* p = std::malloc(10);
             keep(p);
             p = std::realloc(p, 100000);
             keep(p);
             std::free(p);
         },
         2, 2, 0},
        {"posix_memalign",
         [] {
             void* p = nullptr;
             if (posix_memalign(&p, 64, 256) == 0) keep(p);
             std::free(p);
         },
         1, 1, 0},
        {"new and delete",
         [] {
             int* p = new int(3);
             keep(p);
             delete p;
         },
         1, 1, 0},
        {"array new and delete",
         [] {
             float* p = new float[64];
             keep(p);
             delete[] p;
         },
         1, 1, 0},
        {"aligned new",
         [] {
             struct alignas(64) Wide {
                 float v[16];
             };
             Wide* p = new Wide();
             keep(p);
             delete p;
         },
         1, 1, 0},
        {"strdup inside the C library",
         [] {
             char* p = strdup("a text long enough");
             keep(p);
             std::free(p);
         },
         1, 1, 0},
        {"a stream inside the C++ library",
         [] {
             std::ostringstream os;
             os << std::string(200, 'x');
             keep(&os);
         },
         -1, -1, 0}, // at least one of each
        {"std::mutex",
         [] {
             std::mutex m;
             std::lock_guard<std::mutex> lock(m);
         },
         0, 0, 1},
        {"try_lock",
         [] {
             std::mutex m;
             if (m.try_lock()) m.unlock();
         },
         0, 0, 1},
        {"shared mutex, both ways",
         [] {
             std::shared_mutex m;
             m.lock_shared();
             m.unlock_shared();
             m.lock();
             m.unlock();
         },
         0, 0, 2},
        {"spin lock",
         [] {
             pthread_spinlock_t s;
             pthread_spin_init(&s, PTHREAD_PROCESS_PRIVATE);
             pthread_spin_lock(&s);
             pthread_spin_unlock(&s);
             pthread_spin_destroy(&s);
         },
         0, 0, 1},
        {"semaphore",
         [] {
             sem_t s;
             sem_init(&s, 0, 1);
             sem_wait(&s);
             sem_destroy(&s);
         },
         0, 0, 1},
    };
    for (const auto& c : cases) {
        const HookCounts n = countsOf(c.action);
        if (c.allocations > 0) {
            EXPECT_GE(n.largestBytes, 1u) << c.what;
        }
        if (c.allocations < 0) {
            EXPECT_GE(n.allocations, 1) << c.what;
            EXPECT_GE(n.frees, 1) << c.what;
        } else {
            EXPECT_EQ(n.allocations, c.allocations) << c.what;
            EXPECT_EQ(n.frees, c.frees) << c.what;
        }
        EXPECT_EQ(n.locks, c.locks) << c.what;
    }
}

TEST(AllocationHook, RecordsTheLargestAllocation) {
    const HookCounts n = countsOf([] {
        for (size_t bytes : {16u, 1u << 20, 100u}) {
            char* p = new char[bytes];
            keep(p);
            delete[] p;
        }
    });
    EXPECT_EQ(n.largestBytes, 1u << 20);
}

TEST(AllocationHook, CountsOnlyTheArmedThread) {
    AllocationHook::arm();
    std::thread other([] {
        for (int i = 0; i < 100; ++i) {
            int* p = new int(i);
            keep(p);
            delete p;
        }
        std::mutex m;
        std::lock_guard<std::mutex> lock(m);
        EXPECT_EQ(AllocationHook::counts().total(), 0);
    });
    const HookCounts whileOtherRan = AllocationHook::counts();
    other.join();
    // Starting and joining a thread may allocate here; the other thread's hundred
    // allocations and its lock must not show up.
    const HookCounts n = AllocationHook::disarm();
    EXPECT_LT(n.allocations, 100);
    EXPECT_LE(whileOtherRan.total(), n.total());
    const HookCounts afterDisarm = countsOf([] {});
    EXPECT_EQ(afterDisarm.total(), 0);
    int* p = new int(1); // disarmed: not counted
    keep(p);
    delete p;
    EXPECT_EQ(AllocationHook::counts().allocations, 0);
}

TEST(GuardedBuffer, EndsAgainstTheGuardWithItsSlackIntact) {
    for (std::size_t size : {0u, 1u, 24u, 64u, 4096u, 5000u}) {
        GuardedBuffer buffer(size, 'x');
        EXPECT_EQ(buffer.size(), size);
        for (std::size_t i = 0; i < size; ++i) ASSERT_EQ(buffer.data()[i], 'x');
        EXPECT_TRUE(buffer.slackIntact()) << size;
        EXPECT_EQ(buffer.textLength(), size);
        if (size > 0) {
            buffer.data()[size - 1] = 'y'; // the last byte is writable
            if (reinterpret_cast<std::uintptr_t>(buffer.data()) % 4096 != 0) {
                buffer.data()[-1] = 0; // the slack is writable, and the write is seen
                EXPECT_FALSE(buffer.slackIntact()) << size;
            }
        }
    }
    const GuardedBuffer text = GuardedBuffer::text("Kivtone");
    EXPECT_EQ(text.size(), 8u);
    EXPECT_EQ(text.textLength(), 7u);
    EXPECT_STREQ(text.data(), "Kivtone");
}

TEST(GuardedBufferDeathTest, FaultsOnTheFirstBytePastEitherEnd) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            GuardedBuffer buffer(64);
            volatile char* p = buffer.data();
            p[64] = 1;
        },
        "");
    EXPECT_DEATH(
        {
            GuardedBuffer buffer(4096);
            volatile char* p = buffer.data();
            p[-1] = 1;
        },
        "");
}
