// The widget style: the one place every widget takes its default colours
// and frame sizes, its bevel shades and its caret's look from.
#pragma once

#include <cstdint>

#include "gcn/color.hpp"

namespace gcn {

class Style {
public:
    // Caret blinking: the caret is drawn only while this is false.
    virtual bool blinkPhase() const = 0;
    virtual int caretWidth() const = 0;
    // Face of a pressed button.
    virtual Color pressedColor(const Color& c) const = 0;
    // Slider and scroll-bar tracks, unselected tabs.
    virtual Color sliderColor(const Color& c) const = 0;
    // Dark and light sides of a bevel.
    virtual Color shadowColor(const Color& c) const = 0;
    virtual Color highlightColor(const Color& c) const = 0;
    // Three parts a to one part b.
    virtual Color blendColor(const Color& a, const Color& b) const = 0;
    // Initial colours and frame sizes of new widgets.
    virtual Color foregroundColor() const = 0;
    virtual Color backgroundColor() const = 0;
    virtual Color baseColor() const = 0;
    virtual int16_t frameSize() const = 0;
    virtual int16_t buttonFrameSize() const = 0;
    virtual int16_t listFrameSize() const = 0;
    virtual int16_t windowFrameSize() const = 0;

    // The installed style, or the built-in default style when none is.
    // Read it at every use: nothing may cache it.
    static const Style* getCurrent();
    // Installs a style (null: back to the default). The caller keeps it
    // alive while it is installed.
    static void setCurrent(const Style* style);

protected:
    // Styles are never deleted through this interface.
    ~Style() = default;
};

// The library's own look: grey bevels, black on white, a 600 ms caret blink.
class DefaultStyle final : public Style {
public:
    bool blinkPhase() const override;
    int caretWidth() const override { return 2; }
    Color pressedColor(const Color& c) const override;
    Color sliderColor(const Color& c) const override;
    Color shadowColor(const Color& c) const override;
    Color highlightColor(const Color& c) const override;
    Color blendColor(const Color& a, const Color& b) const override;
    Color foregroundColor() const override { return Color(0, 0, 0, 255); }
    Color backgroundColor() const override { return Color(255, 255, 255, 255); }
    Color baseColor() const override { return Color(128, 128, 128, 255); }
    int16_t frameSize() const override { return 0; }
    int16_t buttonFrameSize() const override { return 0; }
    int16_t listFrameSize() const override { return 0; }
    int16_t windowFrameSize() const override { return -1; }
};

}  // namespace gcn
