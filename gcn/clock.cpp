#include "gcn/clock.hpp"

#include <chrono>

namespace gcn {

namespace {

using SteadyClock = std::chrono::steady_clock;

// Taken during static initialisation, so the clock reads about 0 at start.
const SteadyClock::time_point process_start = SteadyClock::now();

int64_t monotonicMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - process_start).count();
}

MillisecondClock installed_clock = nullptr;

}  // namespace

int64_t currentMilliseconds() {
    return installed_clock ? installed_clock() : monotonicMilliseconds();
}

void setMillisecondClock(MillisecondClock clock) {
    installed_clock = clock;
}

}  // namespace gcn
