#include "gcn/font.hpp"

#include "gcn/graphics.hpp"

namespace gcn {

int Font::getStringIndexAt(const std::string& text, int x) const {
    // Only prefixes that end on a character boundary are measured, so a
    // multi-byte UTF-8 character is never cut in two.
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if ((c & 0xC0) == 0x80) {
            continue;
        }
        if (getWidth(text.substr(0, i)) > x) {
            return static_cast<int>(i);
        }
    }
    return static_cast<int>(text.size());
}

int DefaultFont::getWidth(const std::string& text) const {
    return 8 * static_cast<int>(text.size());
}

int DefaultFont::getStringIndexAt(const std::string& text, int x) const {
    const int len = static_cast<int>(text.size());
    if (x > 8 * len) {
        return len;
    }
    // A point left of the text is at its start, never before it.
    return x < 0 ? 0 : x / 8;
}

void DefaultFont::drawString(Graphics* graphics, const std::string& text, int x, int y) {
    for (char c : text) {
        x += drawGlyph(graphics, static_cast<unsigned char>(c), x, y);
    }
}

int DefaultFont::drawGlyph(Graphics* graphics, unsigned char, int x, int y) {
    graphics->drawRectangle(Rectangle(x, y, 8, 8));
    return 8;
}

}  // namespace gcn
