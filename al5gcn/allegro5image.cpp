#include "al5gcn/allegro5image.hpp"

#include "gcn/exception.hpp"

namespace gcn {

Allegro5Image::Allegro5Image(ALLEGRO_BITMAP* bitmap, bool auto_free) : bitmap_(bitmap), auto_free_(auto_free) {}

Allegro5Image::~Allegro5Image() {
    if (auto_free_ && bitmap_) {
        al_destroy_bitmap(bitmap_);
    }
}

void Allegro5Image::free() {
    if (bitmap_) {
        al_destroy_bitmap(bitmap_);
        bitmap_ = nullptr;
    }
}

void Allegro5Image::setBitmap(ALLEGRO_BITMAP* bitmap, bool auto_free) {
    // A bitmap the image merely borrowed (one of the bitmap registry's, say)
    // belongs to someone else and must survive.
    if (auto_free_ && bitmap_ && bitmap_ != bitmap) {
        al_destroy_bitmap(bitmap_);
    }
    bitmap_ = bitmap;
    auto_free_ = auto_free;
}

int Allegro5Image::getWidth() const {
    if (!bitmap_) {
        throw GCN_EXCEPTION("Trying to get the width of a non loaded image.", "gcn::Allegro5Image::getWidth");
    }
    return al_get_bitmap_width(bitmap_);
}

int Allegro5Image::getHeight() const {
    if (!bitmap_) {
        throw GCN_EXCEPTION("Trying to get the height of a non loaded image.", "gcn::Allegro5Image::getHeight");
    }
    return al_get_bitmap_height(bitmap_);
}

Color Allegro5Image::getPixel(int x, int y) {
    if (!bitmap_) {
        throw GCN_EXCEPTION("Trying to get a pixel from a non loaded image.", "gcn::Allegro5Image::getPixel");
    }
    unsigned char r = 0;
    unsigned char g = 0;
    unsigned char b = 0;
    unsigned char a = 0;
    al_unmap_rgba(al_get_pixel(bitmap_, x, y), &r, &g, &b, &a);
    return Color(r, g, b, a);
}

void Allegro5Image::putPixel(int x, int y, const Color& color) {
    if (!bitmap_) {
        throw GCN_EXCEPTION("Trying to put a pixel in a non loaded image.", "gcn::Allegro5Image::putPixel");
    }
    const ALLEGRO_COLOR c = al_map_rgba(static_cast<unsigned char>(color.r), static_cast<unsigned char>(color.g),
                                        static_cast<unsigned char>(color.b), static_cast<unsigned char>(color.a));
    ALLEGRO_BITMAP* previous = al_get_target_bitmap();
    al_set_target_bitmap(bitmap_);
    al_put_pixel(x, y, c);
    al_set_target_bitmap(previous);
}

void Allegro5Image::convertToDisplayFormat() {
    if (!bitmap_) {
        throw GCN_EXCEPTION("Trying to convert a non loaded image to display format.",
                            "gcn::Allegro5Image::convertToDisplayFormat");
    }
}

std::unique_ptr<Image> Allegro5ImageLoader::load(const std::string& file_name, bool convert_to_display_format) {
    ALLEGRO_BITMAP* bitmap = loadBitmap(file_name);
    if (!bitmap) {
        throw GCN_EXCEPTION("Unable to load: " + file_name, "gcn::Allegro5ImageLoader::load");
    }
    al_convert_mask_to_alpha(bitmap, al_map_rgb(255, 0, 255));
    auto image = std::make_unique<Allegro5Image>(bitmap, true);
    if (convert_to_display_format) {
        image->convertToDisplayFormat();
    }
    return image;
}

ALLEGRO_BITMAP* Allegro5ImageLoader::loadBitmap(const std::string& file_name) {
    return al_load_bitmap(file_name.c_str());
}

}  // namespace gcn
