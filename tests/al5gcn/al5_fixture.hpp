// Allegro without a display for the back-end tests: the system and the
// addons the widget back end uses, memory bitmaps as drawing targets.
#pragma once

#include <allegro5/allegro.h>
#include <allegro5/allegro_font.h>
#include <allegro5/allegro_image.h>
#include <allegro5/allegro_primitives.h>
#include <allegro5/allegro_ttf.h>
#include <gtest/gtest.h>

#include "gcn/color.hpp"

namespace al5test {

inline const char* const kFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// Starts Allegro and its addons once per test program and shuts them down
// at the end, so that nothing of Allegro's is left when the program exits.
class AllegroEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_TRUE(al_init());
        ASSERT_TRUE(al_init_primitives_addon());
        ASSERT_TRUE(al_init_image_addon());
        ASSERT_TRUE(al_init_font_addon());
        ASSERT_TRUE(al_init_ttf_addon());
        al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP);
    }
    void TearDown() override {
        al_set_target_bitmap(nullptr);
        al_uninstall_system();
    }
};

// A memory bitmap cleared to transparent black, made the target.
class Canvas {
public:
    Canvas(int w, int h) : bitmap_(al_create_bitmap(w, h)) {
        al_set_target_bitmap(bitmap_);
        al_clear_to_color(al_map_rgba(0, 0, 0, 0));
    }
    ~Canvas() {
        if (al_get_target_bitmap() == bitmap_) {
            al_set_target_bitmap(nullptr);
        }
        al_destroy_bitmap(bitmap_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    ALLEGRO_BITMAP* bitmap() const { return bitmap_; }

    gcn::Color at(int x, int y) const {
        unsigned char r = 0;
        unsigned char g = 0;
        unsigned char b = 0;
        unsigned char a = 0;
        al_unmap_rgba(al_get_pixel(bitmap_, x, y), &r, &g, &b, &a);
        return gcn::Color(r, g, b, a);
    }
    // Pixels with any alpha: what was drawn on.
    int drawnCount() const {
        int n = 0;
        for (int y = 0; y < al_get_bitmap_height(bitmap_); ++y) {
            for (int x = 0; x < al_get_bitmap_width(bitmap_); ++x) {
                n += at(x, y).a != 0 ? 1 : 0;
            }
        }
        return n;
    }
    bool drawn(int x, int y) const { return at(x, y).a != 0; }

private:
    ALLEGRO_BITMAP* bitmap_;
};

}  // namespace al5test
