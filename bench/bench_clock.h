// What the world's benchmarks share: setting the game clock.
#pragma once

#include <cstdint>

#include "dax2/dax_clock.h"

// The global clock reads exactly game time t.
inline void benchSetNow(uint32_t t) {
    DaxGameClock::Memento m;
    dax_gameclock.createMemento(m);
    m.game_time_ = (static_cast<double>(t) + 0.5) / 1.2;
    dax_gameclock.setMemento(m);
}
