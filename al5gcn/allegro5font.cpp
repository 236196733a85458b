#include "al5gcn/allegro5font.hpp"

#include <allegro5/allegro_ttf.h>

#include "al5gcn/allegro5graphics.hpp"
#include "gcn/exception.hpp"

namespace gcn {

Allegro5Font::Allegro5Font(const std::string& file_name, int width, int height)
    : owns_font_(true), font_(al_load_ttf_font_stretch(file_name.c_str(), width, height, 0)) {
    if (!font_) {
        throw GCN_EXCEPTION("Unable to load Allegro font from file.", "gcn::Allegro5Font::Allegro5Font");
    }
}

Allegro5Font::Allegro5Font(ALLEGRO_FONT* font) : owns_font_(false), font_(font) {
    if (!font_) {
        throw GCN_EXCEPTION("Trying to wrap a null Allegro font.", "gcn::Allegro5Font::Allegro5Font");
    }
}

Allegro5Font::~Allegro5Font() {
    if (owns_font_) {
        al_destroy_font(font_);
    }
}

int Allegro5Font::getWidth(const std::string& text) const {
    return al_get_text_width(font_, text.c_str());
}

int Allegro5Font::getHeight() const {
    return al_get_font_line_height(font_);
}

void Allegro5Font::drawString(Graphics* graphics, const std::string& text, int x, int y) {
    auto* al_graphics = dynamic_cast<Allegro5Graphics*>(graphics);
    if (!al_graphics) {
        throw GCN_EXCEPTION("Graphics is not of type AllegroGraphics", "gcn::Allegro5Font::drawString");
    }
    const ClipRectangle c = al_graphics->getCurrentClipArea();
    al_draw_text(font_, al_graphics->getAllegroColor(), static_cast<float>(x + c.x_offset),
                 static_cast<float>(y + c.y_offset), 0, text.c_str());
}

}  // namespace gcn
