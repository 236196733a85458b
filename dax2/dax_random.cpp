#include "dax2/dax_random.h"

namespace {

constexpr int kMiddle = 397;
constexpr uint32_t kMatrixA = 0x9908B0DFu;
constexpr uint32_t kUpperMask = 0x80000000u;
constexpr uint32_t kLowerMask = 0x7FFFFFFFu;

}  // namespace

DaxRandom dax_random(4357u);

void DaxRandom::seed(uint32_t s) {
    state_[0] = s;
    for (int i = 1; i < kStateSize; ++i) {
        uint32_t prev = state_[i - 1];
        state_[i] = 1812433253u * (prev ^ (prev >> 30)) + static_cast<uint32_t>(i);
    }
    index_ = kStateSize;
}

void DaxRandom::regenerate() {
    for (int i = 0; i < kStateSize; ++i) {
        uint32_t y = (state_[i] & kUpperMask) | (state_[(i + 1) % kStateSize] & kLowerMask);
        uint32_t v = state_[(i + kMiddle) % kStateSize] ^ (y >> 1);
        if (y & 1u) {
            v ^= kMatrixA;
        }
        state_[i] = v;
    }
    index_ = 0;
}

uint32_t DaxRandom::next32() {
    if (index_ >= kStateSize) {
        regenerate();
    }
    uint32_t y = state_[index_++];
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680u;
    y ^= (y << 15) & 0xEFC60000u;
    y ^= y >> 18;
    return y;
}
