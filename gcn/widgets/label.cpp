#include "gcn/widgets/label.hpp"

#include "gcn/exception.hpp"
#include "gcn/font.hpp"
#include "gcn/graphics.hpp"
#include "gcn/style.hpp"

namespace gcn {

Label::Label() {
    setFrameSize(Style::getCurrent()->frameSize());
}

Label::Label(const char* caption) : caption_(caption ? caption : "") {
    setFrameSize(Style::getCurrent()->frameSize());
    adjustSize();
}

void Label::setCaption(const char* caption) {
    caption_ = caption ? caption : "";
}

void Label::adjustSize() {
    Font* font = getFont();
    setSize(font->getWidth(caption_), font->getHeight());
}

void Label::draw(Graphics* graphics) {
    Font* font = getFont();
    const int w = getWidth();
    const int h = getHeight();
    const int text_y = h / 2 - font->getHeight() / 2;
    if (opaque_) {
        graphics->setColor(getBackgroundColor());
        graphics->fillRectangle(Rectangle(0, 0, w, h));
    }
    int text_x = 0;
    switch (alignment_) {
    case Graphics::Left:
        text_x = 0;
        break;
    case Graphics::Center:
        text_x = w / 2;
        break;
    case Graphics::Right:
        text_x = w;
        break;
    default:
        throw Exception("Unknown alignment.", "gcn::Label::draw", "gcn\\widgets\\label", 146);
    }
    graphics->setFont(font);
    graphics->setColor(getForegroundColor());
    graphics->drawText(caption_, text_x, text_y, alignment_);
}

}  // namespace gcn
