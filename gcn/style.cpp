#include "gcn/style.hpp"

#include "gcn/clock.hpp"

namespace gcn {

namespace {

// Needs no construction work, so it is usable during static initialisation.
DefaultStyle default_style;
const Style* installed_style = nullptr;

int16_t scaled(int16_t channel, double factor, double offset) {
    // Double precision on the sign-extended channel, truncated toward zero.
    return static_cast<int16_t>(static_cast<int>(channel * factor + offset));
}

Color scaledColor(const Color& c, double factor, double offset = 0.0) {
    Color r;
    r.r = scaled(c.r, factor, offset);
    r.g = scaled(c.g, factor, offset);
    r.b = scaled(c.b, factor, offset);
    r.a = c.a;
    return r;
}

}  // namespace

const Style* Style::getCurrent() {
    return installed_style ? installed_style : &default_style;
}

void Style::setCurrent(const Style* style) {
    installed_style = style;
}

bool DefaultStyle::blinkPhase() const {
    const int64_t t = currentMilliseconds();
    return (static_cast<int64_t>(static_cast<double>(t) / 600.0) & 1) != 0;
}

Color DefaultStyle::pressedColor(const Color& c) const {
    return scaledColor(c, 0.8);
}

Color DefaultStyle::sliderColor(const Color& c) const {
    return scaledColor(c, 0.9);
}

Color DefaultStyle::shadowColor(const Color& c) const {
    return scaledColor(c, 0.7);
}

Color DefaultStyle::highlightColor(const Color& c) const {
    // 76.5 = 0.3 x 255: each channel moves 30 % of the way towards 255.
    return scaledColor(c, 0.7, 76.5);
}

Color DefaultStyle::blendColor(const Color& a, const Color& b) const {
    Color r;
    r.r = static_cast<int16_t>((3 * a.r + b.r) / 4);
    r.g = static_cast<int16_t>((3 * a.g + b.g) / 4);
    r.b = static_cast<int16_t>((3 * a.b + b.b) / 4);
    r.a = a.a;
    return r;
}

}  // namespace gcn
