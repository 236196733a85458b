// A colour of four signed 16-bit channels; nothing clamps them, so derived
// shades can be computed and compared exactly.
#pragma once

#include <cstdint>

namespace gcn {

class Color {
public:
    // Opaque black.
    Color() = default;
    // From 0xRRGGBB, opaque.
    Color(int rgb)
        : r(static_cast<int16_t>((rgb >> 16) & 0xFF)),
          g(static_cast<int16_t>((rgb >> 8) & 0xFF)),
          b(static_cast<int16_t>(rgb & 0xFF)),
          a(255) {}
    Color(int ar, int ag, int ab, int aa = 255)
        : r(static_cast<int16_t>(ar)), g(static_cast<int16_t>(ag)),
          b(static_cast<int16_t>(ab)), a(static_cast<int16_t>(aa)) {}

    // Free functions, so that a value that converts to a colour compares on
    // either side.
    friend bool operator==(const Color& x, const Color& y) {
        return x.r == y.r && x.g == y.g && x.b == y.b && x.a == y.a;
    }
    friend bool operator!=(const Color& x, const Color& y) { return !(x == y); }

    int16_t r = 0;
    int16_t g = 0;
    int16_t b = 0;
    int16_t a = 255;
};

}  // namespace gcn
