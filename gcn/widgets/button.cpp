#include "gcn/widgets/button.hpp"

#include "gcn/exception.hpp"
#include "gcn/font.hpp"
#include "gcn/graphics.hpp"

namespace gcn {

Button::Button() {
    adjustSize();
}

Button::Button(const char* caption) : caption_(caption ? caption : "") {
    adjustSize();
}

void Button::setCaption(const char* caption) {
    caption_ = caption ? caption : "";
}

void Button::adjustSize() {
    Font* font = getFont();
    setSize(font->getWidth(caption_) + 2 * spacing_, font->getHeight() + 2 * spacing_);
}

void Button::draw(Graphics* graphics) {
    drawBevel(graphics);

    const int w = getWidth();
    const int h = getHeight();
    Font* font = getFont();
    Color text = getForegroundColor();
    if (!isEnabled()) {
        text.a = static_cast<int16_t>(text.a / 2);
    }
    graphics->setColor(text);
    const int text_y = h / 2 - font->getHeight() / 2;
    int text_x = 0;
    switch (alignment_) {
    case Graphics::Left:
        text_x = spacing_;
        break;
    case Graphics::Center:
        text_x = w / 2;
        break;
    case Graphics::Right:
        text_x = w - spacing_;
        break;
    default:
        throw Exception("Unknown alignment.", "gcn::Button::draw", "gcn\\widgets\\button", 303);
    }
    graphics->setFont(font);
    if (isPressed()) {
        graphics->drawText(caption_, text_x + 1, text_y + 1, alignment_);
    } else {
        graphics->drawText(caption_, text_x, text_y, alignment_);
        if (isFocused()) {
            graphics->drawRectangle(Rectangle(2, 2, w - 4, h - 4));
        }
    }
}

}  // namespace gcn
