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

    bool operator==(const Color& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
    bool operator!=(const Color& o) const { return !(*this == o); }

    int16_t r = 0;
    int16_t g = 0;
    int16_t b = 0;
    int16_t a = 255;
};

}  // namespace gcn
