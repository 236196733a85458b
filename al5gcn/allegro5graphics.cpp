#include "al5gcn/allegro5graphics.hpp"

#include <allegro5/allegro_primitives.h>

#include <cmath>

#include "al5gcn/allegro5image.hpp"
#include "gcn/exception.hpp"

namespace gcn {

namespace {

ALLEGRO_COLOR mapColor(const Color& c) {
    return al_map_rgba(static_cast<unsigned char>(c.r), static_cast<unsigned char>(c.g),
                       static_cast<unsigned char>(c.b), static_cast<unsigned char>(c.a));
}

}  // namespace

// The Allegro colour is only filled in by setColor: al_map_rgba needs
// Allegro to be running, and the gui always sets a colour before drawing.
Allegro5Graphics::Allegro5Graphics() : al_color_{0.0f, 0.0f, 0.0f, 1.0f}, color_(0, 0, 0, 255) {}

const ClipRectangle& Allegro5Graphics::top(const char* function) const {
    if (clip_stack_.empty()) {
        throw GCN_EXCEPTION(
            "Clip stack is empty, perhaps you called a draw funtion outside of _beginDraw() and _endDraw()?",
            function);
    }
    return clip_stack_.back();
}

void Allegro5Graphics::applyClip() {
    // Allegro wants a clipping rectangle inside the target: an area that
    // lies (partly) off the target is cut to it, and one that shows nothing
    // becomes the empty rectangle at the origin.
    Rectangle c = clip_stack_.back();
    if (ALLEGRO_BITMAP* target = al_get_target_bitmap()) {
        c = c.intersection(Rectangle(0, 0, al_get_bitmap_width(target), al_get_bitmap_height(target)));
    }
    if (c.isEmpty()) {
        c = Rectangle(0, 0, 0, 0);
    }
    al_set_clipping_rectangle(c.x, c.y, c.width, c.height);
}

void Allegro5Graphics::_beginDraw() {
    ALLEGRO_BITMAP* target = al_get_target_bitmap();
    if (!target) {
        throw GCN_EXCEPTION("Target BITMAP is null, set it with setTarget first.", "gcn::Allegro5Graphics::_beginDraw");
    }
    pushClipArea(Rectangle(0, 0, al_get_bitmap_width(target), al_get_bitmap_height(target)));
}

void Allegro5Graphics::_endDraw() {
    popClipArea();
}

bool Allegro5Graphics::pushClipArea(Rectangle area) {
    const bool result = Graphics::pushClipArea(area);
    applyClip();
    return result;
}

void Allegro5Graphics::popClipArea() {
    Graphics::popClipArea();
    // With the last area gone Allegro's clipping stays as it was.
    if (!clip_stack_.empty()) {
        applyClip();
    }
}

void Allegro5Graphics::drawImage(const Image* image, int src_x, int src_y, int src_width, int src_height, int dst_x,
                                 int dst_y, int dst_width, int dst_height) {
    const ClipRectangle& c = top("gcn::Allegro5Graphics::drawImage");
    auto* al_image = dynamic_cast<const Allegro5Image*>(image);
    if (!al_image) {
        throw GCN_EXCEPTION("Trying to draw an image of unknown format, must be an Allegro5Image.",
                            "gcn::Allegro5Graphics::drawImage");
    }
    if (!al_image->getBitmap()) {
        throw GCN_EXCEPTION("Trying to draw a non loaded image.", "gcn::Allegro5Graphics::drawImage");
    }
    al_draw_scaled_bitmap(al_image->getBitmap(), static_cast<float>(src_x), static_cast<float>(src_y),
                          static_cast<float>(src_width), static_cast<float>(src_height),
                          static_cast<float>(dst_x + c.x_offset), static_cast<float>(dst_y + c.y_offset),
                          static_cast<float>(dst_width), static_cast<float>(dst_height), 0);
}

void Allegro5Graphics::drawPoint(int x, int y) {
    const ClipRectangle& c = top("gcn::Allegro5Graphics::drawPoint");
    al_draw_pixel(static_cast<float>(x + c.x_offset) + 0.5f, static_cast<float>(y + c.y_offset) + 0.5f, al_color_);
}

void Allegro5Graphics::drawLine(int x1, int y1, int x2, int y2) {
    const ClipRectangle& c = top("gcn::Allegro5Graphics::drawLine");
    // Pixel centres of both end points.
    const float p1x = static_cast<float>(x1 + c.x_offset) + 0.5f;
    const float p1y = static_cast<float>(y1 + c.y_offset) + 0.5f;
    const float p2x = static_cast<float>(x2 + c.x_offset) + 0.5f;
    const float p2y = static_cast<float>(y2 + c.y_offset) + 0.5f;
    const float dx = static_cast<float>(x2 - x1);
    const float dy = static_cast<float>(y2 - y1);
    const float len = hypotf(dx, dy);
    if (len == 0.0f) {
        al_draw_pixel(p1x, p1y, al_color_);
        return;
    }
    // Half a unit along the line and half across it.
    const float ux = dx / len * 0.5f;
    const float uy = dy / len * 0.5f;
    const float nx = uy;
    const float ny = -ux;
    ALLEGRO_VERTEX v[4];
    const float xs[4] = {p1x - ux + nx, p1x - ux - nx, p2x + ux - nx, p2x + ux + nx};
    const float ys[4] = {p1y - uy + ny, p1y - uy - ny, p2y + uy - ny, p2y + uy + ny};
    for (int i = 0; i < 4; ++i) {
        v[i].x = xs[i];
        v[i].y = ys[i];
        v[i].z = 0.0f;
        v[i].u = 0.0f;
        v[i].v = 0.0f;
        v[i].color = al_color_;
    }
    al_draw_prim(v, nullptr, nullptr, 0, 4, ALLEGRO_PRIM_TRIANGLE_FAN);
}

void Allegro5Graphics::drawRectangle(const Rectangle& r) {
    const ClipRectangle& c = top("gcn::Allegro5Graphics::drawRectangle");
    const float x = static_cast<float>(r.x + c.x_offset);
    const float y = static_cast<float>(r.y + c.y_offset);
    al_draw_rectangle(x + 0.5f, y + 0.5f, x + static_cast<float>(r.width - 1) + 0.5f,
                      y + static_cast<float>(r.height - 1) + 0.5f, al_color_, 1.0f);
}

void Allegro5Graphics::fillRectangle(const Rectangle& r) {
    const ClipRectangle& c = top("gcn::Allegro5Graphics::fillRectangle");
    const float x = static_cast<float>(r.x + c.x_offset);
    const float y = static_cast<float>(r.y + c.y_offset);
    al_draw_filled_rectangle(x, y, x + static_cast<float>(r.width), y + static_cast<float>(r.height), al_color_);
}

void Allegro5Graphics::setColor(const Color& color) {
    color_ = color;
    al_color_ = mapColor(color);
}

void Allegro5Graphics::drawBitmap(ALLEGRO_BITMAP* bitmap, float x, float y) {
    const ClipRectangle& c = top("gcn::Allegro5Graphics::drawBitmap");
    if (!bitmap) {
        throw GCN_EXCEPTION("Trying to draw a null bitmap.", "gcn::Allegro5Graphics::drawBitmap");
    }
    al_draw_bitmap(bitmap, x + static_cast<float>(c.x_offset), y + static_cast<float>(c.y_offset), 0);
}

}  // namespace gcn
