// TrueType text through Allegro's font and ttf addons; texts are UTF-8.
#pragma once

#include <allegro5/allegro_font.h>

#include <string>

#include "gcn/font.hpp"

namespace gcn {

class Allegro5Font : public Font {
public:
    // Loads the font at the given glyph width and height in pixels; raises
    // "Unable to load Allegro font from file." when Allegro cannot.
    Allegro5Font(const std::string& file_name, int width, int height);
    // Wraps a font that stays the caller's.
    explicit Allegro5Font(ALLEGRO_FONT* font);
    Allegro5Font(const Allegro5Font&) = delete;
    Allegro5Font& operator=(const Allegro5Font&) = delete;
    ~Allegro5Font() override;

    int getWidth(const std::string& text) const override;
    // Allegro's line height.
    int getHeight() const override;
    // Draws in the graphics' current colour; the graphics must be an
    // Allegro5Graphics.
    void drawString(Graphics* graphics, const std::string& text, int x, int y) override;

    ALLEGRO_FONT* getAllegroFont() const { return font_; }

private:
    bool owns_font_;
    ALLEGRO_FONT* font_;
};

}  // namespace gcn
