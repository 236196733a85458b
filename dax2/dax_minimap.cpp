#include "dax2/dax_minimap.h"

#include <allegro5/allegro.h>

#include "al5gcn/allegro5graphics.hpp"
#include "dax2/dax_platform.h"

namespace {

// A bitmap of the given kind, or null. Display bitmaps need a display:
// without one (tools, tests) the layer stays a memory bitmap.
ALLEGRO_BITMAP* createLayer(int w, int h, bool video) {
    DaxNewBitmapFlagsSaver flags;
    if (video) {
        al_set_new_bitmap_flags(ALLEGRO_VIDEO_BITMAP);
        if (ALLEGRO_BITMAP* b = al_create_bitmap(w, h)) {
            return b;
        }
    }
    al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP);
    return al_create_bitmap(w, h);
}

}  // namespace

DaxMiniMapBase::DaxMiniMapBase(int16_t blink_period, int16_t refresh_period)
    : blink_period_(blink_period), refresh_period_(refresh_period) {}

DaxMiniMapBase::~DaxMiniMapBase() {
    // After Allegro shut down at exit the bitmaps went with it.
    if (!al_is_system_installed()) {
        terrain_mem_.detach();
        objects_mem_.detach();
        terrain_disp_.detach();
        objects_disp_.detach();
    }
}

uint32_t DaxMiniMapBase::currentTime() const { return daxRealTime(); }

void DaxMiniMapBase::invalidate() {
    full_redraw_ = true;
    painted_last_ = false;
}

void DaxMiniMapBase::dropCache() {
    terrain_mem_.reset();
    objects_mem_.reset();
    terrain_disp_.reset();
    objects_disp_.reset();
}

void DaxMiniMapBase::setDimension(const gcn::Rectangle& dimension) {
    if (dimension.width != getWidth() || dimension.height != getHeight()) {
        full_redraw_ = true;
        dropCache();
    }
    gcn::Widget::setDimension(dimension);
}

bool DaxMiniMapBase::makeCache() {
    const int w = getWidth();
    const int h = getHeight();
    if (w <= 0 || h <= 0 || !al_is_system_installed()) {
        return false;
    }
    if (!terrain_mem_) {
        terrain_mem_.reset(createLayer(w, h, false));
    }
    if (!objects_mem_) {
        objects_mem_.reset(createLayer(w, h, false));
    }
    if (!terrain_disp_) {
        terrain_disp_.reset(createLayer(w, h, true));
    }
    if (!objects_disp_) {
        objects_disp_.reset(createLayer(w, h, true));
    }
    return terrain_mem_ && objects_mem_ && terrain_disp_ && objects_disp_;
}

void DaxMiniMapBase::repaintLayer(bool terrain, bool phase) {
    ALLEGRO_BITMAP* mem = terrain ? terrain_mem_.get() : objects_mem_.get();
    ALLEGRO_BITMAP* disp = terrain ? terrain_disp_.get() : objects_disp_.get();
    DaxAllegroStateSaver state(ALLEGRO_STATE_TARGET_BITMAP | ALLEGRO_STATE_BLENDER);
    al_set_target_bitmap(mem);
    al_clear_to_color(al_map_rgba(0, 0, 0, 0));
    {
        // The layer gets a graphics of its own: drawing through it lands at
        // layer coordinates, not at the widget's place.
        gcn::Allegro5Graphics layer;
        layer._beginDraw();
        if (terrain) {
            paintTerrain(&layer);
        } else {
            paintObjects(&layer, phase);
        }
        layer._endDraw();
    }
    al_set_target_bitmap(disp);
    // A plain copy: the layer's transparent pixels stay transparent.
    al_set_blender(ALLEGRO_ADD, ALLEGRO_ONE, ALLEGRO_ZERO);
    al_draw_bitmap(mem, 0, 0, 0);
}

void DaxMiniMapBase::draw(gcn::Graphics* graphics) {
    (void)graphics;
    if (!makeCache()) {
        return;
    }
    if (!painted_last_ || full_redraw_) {
        const uint32_t now = currentTime();
        const bool phase = blink_period_ > 0 && ((now / static_cast<uint32_t>(blink_period_)) & 1u) != 0;
        const bool full = full_redraw_;
        // Ages by unsigned difference: the real-time counter wraps.
        const bool refresh_due =
            refresh_period_ > 0 && static_cast<uint32_t>(now - last_paint_) > static_cast<uint32_t>(refresh_period_);
        const bool repaint = full || phase != last_phase_ || refresh_due;
        full_redraw_ = false;
        last_phase_ = phase;

        if (full) {
            repaintLayer(true, phase);
        }
        if (repaint) {
            repaintLayer(false, phase);
            last_paint_ = now;
            painted_last_ = true;
        }
    } else {
        // Painted in the previous frame: this one only draws.
        painted_last_ = false;
    }

    int x = 0;
    int y = 0;
    getAbsolutePosition(x, y);
    const float w = static_cast<float>(getWidth());
    const float h = static_cast<float>(getHeight());
    const float zoom = zoom_ > 0.0f ? zoom_ : 1.0f;
    const float sw = w / zoom;
    const float sh = h / zoom;
    al_draw_scaled_bitmap(terrain_disp_.get(), 0, 0, sw, sh, static_cast<float>(x), static_cast<float>(y), w, h, 0);
    al_draw_scaled_bitmap(objects_disp_.get(), 0, 0, sw, sh, static_cast<float>(x), static_cast<float>(y), w, h, 0);
}
