#include "runtime/Runtime.h"

#include "runtime/SpinWait.h"

namespace norvik {

namespace {

// Where WaitForValue parks when the runtime has nothing better: one mutex
// and condition variable for the whole process. A waker takes the mutex
// before it notifies, so a waiter that has checked the value under it
// cannot miss the wake.
struct ValueParking {
    std::mutex mutex;
    std::condition_variable changed;
};

ValueParking& Parking()
{
    static ValueParking parking;
    return parking;
}

}  // namespace

bool Runtime::WaitForValue(const std::atomic<std::uint32_t>& word, std::uint32_t expected,
                           std::uint32_t milliseconds)
{
    if (SpinUntilChanged(word, expected, kHandOffSpinChecks))
        return true;
    ValueParking& parking = Parking();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    std::unique_lock<std::mutex> lock(parking.mutex);
    return parking.changed.wait_until(lock, deadline,
                                      [&] { return word.load(std::memory_order_acquire) != expected; });
}

void Runtime::WakeValue(std::atomic<std::uint32_t>&)
{
    ValueParking& parking = Parking();
    {
        const std::lock_guard<std::mutex> lock(parking.mutex);
    }
    parking.changed.notify_all();
}

}  // namespace norvik
