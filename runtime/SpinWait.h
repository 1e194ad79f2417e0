#pragma once
// A short busy wait for a word another thread is about to change.
//
// Handing a request to another thread and getting the answer back costs two
// thread wake-ups when each side sleeps at once; a wake-up is tens of
// microseconds, far more than the work a request does. Looking at the word
// for a few microseconds first catches the usual case, the other thread
// answering almost at once, without any system call. On a machine with one
// processor the other thread cannot run while this one spins, so no spin is
// made there.

#include <atomic>
#include <cstdint>
#include <thread>

namespace norvik {

// How many looks a hand-off spends on a word before sleeping on it: about
// 40 to 100 microseconds, by the pause instruction's length on the processor,
// which covers a request that the other side answers at once, and is short
// beside the wake-up that sleeping costs.
constexpr int kHandOffSpinChecks = 2048;

// One pause of a busy-wait loop: tells the processor this thread is
// spinning, so that it yields its pipeline to the sibling hardware thread.
inline void SpinPause()
{
#if defined(__i386__) || defined(__x86_64__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}

// True when another thread can run while this one spins.
inline bool SpinningCanHelp()
{
    static const bool several = std::thread::hardware_concurrency() > 1;
    return several;
}

// Looks at `word` up to `checks` times, pausing between looks, and returns
// true as soon as it no longer holds `expected`; false if it still does
// (or spinning cannot help here) and the caller should sleep on it.
inline bool SpinUntilChanged(const std::atomic<std::uint32_t>& word, std::uint32_t expected, int checks)
{
    if (!SpinningCanHelp())
        return word.load(std::memory_order_acquire) != expected;
    for (int i = 0; i < checks; ++i) {
        if (word.load(std::memory_order_acquire) != expected)
            return true;
        SpinPause();
    }
    return word.load(std::memory_order_acquire) != expected;
}

}  // namespace norvik
