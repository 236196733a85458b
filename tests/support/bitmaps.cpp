#include "support/bitmaps.h"

std::ostream& operator<<(std::ostream& os, const Rgba& c) {
    return os << "(" << c.r << "," << c.g << "," << c.b << "," << c.a << ")";
}

Rgba pixel(ALLEGRO_BITMAP* bmp, int x, int y) {
    unsigned char r, g, b, a;
    al_unmap_rgba(al_get_pixel(bmp, x, y), &r, &g, &b, &a);
    return {r, g, b, a};
}

ALLEGRO_BITMAP* zorMemoryBitmap(int w, int h) {
    int flags = al_get_new_bitmap_flags();
    al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP);
    ALLEGRO_BITMAP* bmp = al_create_bitmap(w, h);
    al_set_new_bitmap_flags(flags);
    return bmp;
}

ALLEGRO_BITMAP* zorMemoryBitmap(int w, int h, ALLEGRO_COLOR fill) {
    ALLEGRO_BITMAP* bmp = zorMemoryBitmap(w, h);
    if (bmp) {
        ALLEGRO_STATE state;
        al_store_state(&state, ALLEGRO_STATE_TARGET_BITMAP);
        al_set_target_bitmap(bmp);
        al_clear_to_color(fill);
        al_restore_state(&state);
    }
    return bmp;
}

bool zorSaveImage(const std::string& path, int w, int h, const std::function<ALLEGRO_COLOR(int, int)>& at) {
    ALLEGRO_BITMAP* bmp = zorMemoryBitmap(w, h);
    if (!bmp) {
        return false;
    }
    ALLEGRO_STATE state;
    al_store_state(&state, ALLEGRO_STATE_TARGET_BITMAP);
    al_set_target_bitmap(bmp);
    al_lock_bitmap(bmp, ALLEGRO_PIXEL_FORMAT_ANY, ALLEGRO_LOCK_WRITEONLY);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            al_put_pixel(x, y, at(x, y));
        }
    }
    al_unlock_bitmap(bmp);
    al_restore_state(&state);
    bool saved = al_save_bitmap(path.c_str(), bmp);
    al_destroy_bitmap(bmp);
    return saved;
}
