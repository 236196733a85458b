// Containers that lay their children out in one column (ButtonVBar) or one
// row (ButtonHBar), size each child to its content and themselves to the
// children, for the button rows and columns of menus and dialogs. Bars
// nest: an inner bar is laid out first and then placed like any child.
#pragma once

#include <cstdint>

#include "gcn/widgets/container.hpp"

namespace gcn {

// Which children a layout takes part.
enum ButtonBarLayoutMode : int {
    kLayoutAll = 0,
    kLayoutEnabledAndVisible = 1,
    kLayoutVisible = 2,
};

class ButtonVBar : public Container {
public:
    // Spacing 1, margin 0, transparent.
    ButtonVBar();

    // Stored only; the next layout uses them.
    void setSpacingAndMargin(uint8_t spacing, uint8_t margin);
    uint8_t getSpacing() const { return spacing_; }
    uint8_t getMargin() const { return margin_; }

    // Stacks the children that take part from the top margin down, then
    // gives every child the widest one's width. Mode: 1 enabled and
    // visible children, 2 visible ones, anything else all.
    void layout(int mode = kLayoutAll);
    // The bar's width; every child gets it less both margins (a nested
    // vertical bar passes it on to its own children).
    void setWidthAll(int width);

protected:
    uint8_t spacing_ = 1;
    uint8_t margin_ = 0;
};

class ButtonHBar : public Container {
public:
    // Spacing 1, margin 0, transparent.
    ButtonHBar();

    void setSpacingAndMargin(uint8_t spacing, uint8_t margin);
    uint8_t getSpacing() const { return spacing_; }
    uint8_t getMargin() const { return margin_; }

    // Lines the children that take part up from the left, then gives every
    // child the tallest one's height. Text fields keep their size here.
    void layout(int mode = kLayoutAll);
    // The bar's height; every child gets it less both margins (a nested
    // horizontal bar passes it on to its own children).
    void setHeightAll(int height);

protected:
    uint8_t spacing_ = 1;
    uint8_t margin_ = 0;
};

}  // namespace gcn
