// Text measurement and drawing; texts are UTF-8. DefaultFont is the
// built-in placeholder that draws every byte as an 8 x 8 box.
#pragma once

#include <string>

namespace gcn {

class Graphics;

class Font {
public:
    virtual ~Font() = default;

    virtual int getWidth(const std::string& text) const = 0;
    virtual int getHeight() const = 0;
    // The byte index of the first character boundary whose prefix is wider
    // than x, or the text's length when none is.
    virtual int getStringIndexAt(const std::string& text, int x) const;
    // Draws at (x, y) relative to the graphics' current clip area.
    virtual void drawString(Graphics* graphics, const std::string& text, int x, int y) = 0;
};

class DefaultFont : public Font {
public:
    int getWidth(const std::string& text) const override;
    int getHeight() const override { return 8; }
    int getStringIndexAt(const std::string& text, int x) const override;
    void drawString(Graphics* graphics, const std::string& text, int x, int y) override;
    // An 8 x 8 outline in the current colour; returns its width.
    virtual int drawGlyph(Graphics* graphics, unsigned char glyph, int x, int y);
};

}  // namespace gcn
