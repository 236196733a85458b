// The framework's random numbers: an MT19937 Mersenne twister with the
// published seeding, and the one global generator the program shares.
#pragma once

#include <cstdint>

class DaxRandom {
public:
    static constexpr int kStateSize = 624;

    // Seeded with 5489, the generator's customary default.
    DaxRandom() { seed(5489u); }
    explicit DaxRandom(uint32_t s) { seed(s); }

    void seed(uint32_t s);
    uint32_t next32();
    // next32() / 4294967295.0: a double in [0, 1], both ends included
    // (callers that need [0, 1) clamp).
    double real() { return toReal(next32()); }
    static constexpr double toReal(uint32_t v) { return v / 4294967295.0; }

private:
    void regenerate();

    uint32_t state_[kStateSize];
    // Index of the next word to hand out; kStateSize means regenerate first.
    int index_ = kStateSize;
};

// The program's generator: seeded with 4357 at start-up, reseeded from the
// clock by main. Main thread only (no lock).
extern DaxRandom dax_random;
