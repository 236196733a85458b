// The widget library's millisecond clock (caret blinking and the like). It
// is monotonic and counts from the start of the process; tests can replace
// it with a function of their own.
#pragma once

#include <cstdint>

namespace gcn {

using MillisecondClock = int64_t (*)();

// Milliseconds from the installed clock.
int64_t currentMilliseconds();

// Installs a clock; null puts the monotonic process clock back.
void setMillisecondClock(MillisecondClock clock);

}  // namespace gcn
