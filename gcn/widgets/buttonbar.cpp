#include "gcn/widgets/buttonbar.hpp"

#include <algorithm>

#include "gcn/widgets/button.hpp"
#include "gcn/widgets/checkbox.hpp"
#include "gcn/widgets/imagebutton.hpp"
#include "gcn/widgets/label.hpp"
#include "gcn/widgets/listbox.hpp"
#include "gcn/widgets/radiobutton.hpp"
#include "gcn/widgets/textfield.hpp"

namespace gcn {

namespace {

bool takesPart(const Widget* w, int mode) {
    switch (mode) {
    case kLayoutEnabledAndVisible:
        return w->isEnabled() && w->isVisible();
    case kLayoutVisible:
        return w->isVisible();
    default:
        return true;
    }
}

// Sizes one child to its content, for the widget kinds that know how; the
// order of the tests matters for classes derived from several kinds.
void sizeToContent(Widget* w, int mode, bool size_text_fields) {
    if (auto* b = dynamic_cast<Button*>(w)) {
        b->adjustSize();
    } else if (auto* ib = dynamic_cast<ImageButton*>(w)) {
        ib->adjustSize();
    } else if (auto* cb = dynamic_cast<CheckBox*>(w)) {
        cb->adjustSize();
    } else if (auto* l = dynamic_cast<Label*>(w)) {
        l->adjustSize();
    } else if (auto* tf = dynamic_cast<TextField*>(w)) {
        if (size_text_fields) {
            tf->adjustSize();
        }
    } else if (auto* lb = dynamic_cast<ListBox*>(w)) {
        lb->adjustSize();
    } else if (auto* rb = dynamic_cast<RadioButton*>(w)) {
        rb->adjustSize();
    } else if (auto* hb = dynamic_cast<ButtonHBar*>(w)) {
        hb->layout(mode);
    } else if (auto* vb = dynamic_cast<ButtonVBar*>(w)) {
        vb->layout(mode);
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// ButtonVBar

ButtonVBar::ButtonVBar() {
    setOpaque(false);
}

void ButtonVBar::setSpacingAndMargin(uint8_t spacing, uint8_t margin) {
    spacing_ = spacing;
    margin_ = margin;
}

void ButtonVBar::layout(int mode) {
    int y = margin_;
    int widest = 0;
    for (Widget* w : children_) {
        if (!takesPart(w, mode)) {
            continue;
        }
        sizeToContent(w, mode, true);
        widest = std::max(widest, w->getWidth());
        w->setPosition(margin_, y);
        y += w->getHeight() + spacing_;
    }
    setWidthAll(widest + 2 * margin_);
    setHeight(y);
}

void ButtonVBar::setWidthAll(int width) {
    const int inner = width - 2 * margin_;
    for (Widget* w : children_) {
        if (auto* vb = dynamic_cast<ButtonVBar*>(w)) {
            vb->setWidthAll(inner);
        } else {
            w->setWidth(inner);
        }
    }
    setWidth(width);
}

// ---------------------------------------------------------------------------
// ButtonHBar

ButtonHBar::ButtonHBar() {
    setOpaque(false);
}

void ButtonHBar::setSpacingAndMargin(uint8_t spacing, uint8_t margin) {
    spacing_ = spacing;
    margin_ = margin;
}

void ButtonHBar::layout(int mode) {
    int x = 0;
    int tallest = 0;
    for (Widget* w : children_) {
        if (!takesPart(w, mode)) {
            continue;
        }
        sizeToContent(w, mode, false);
        tallest = std::max(tallest, w->getHeight());
        w->setPosition(x, margin_);
        x += w->getWidth() + spacing_;
    }
    setWidth(x);
    setHeightAll(tallest + 2 * margin_);
}

void ButtonHBar::setHeightAll(int height) {
    const int inner = height - 2 * margin_;
    for (Widget* w : children_) {
        if (auto* hb = dynamic_cast<ButtonHBar*>(w)) {
            hb->setHeightAll(inner);
        } else {
            w->setHeight(inner);
        }
    }
    setHeight(height);
}

}  // namespace gcn
