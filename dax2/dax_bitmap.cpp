#include "dax2/dax_bitmap.h"

#include <allegro5/allegro.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "dax2/dax_error.h"
#include "dax2/dax_mptr.h"
#include "dax2/dax_msg.h"
#include "dax2/dax_random.h"

DaxBitmapRegistry dax_bitmaps;

bool operator<(const DaxBitmapKey& a, const DaxBitmapKey& b) {
    // std::string compares as unsigned bytes, so the order does not depend on
    // the signedness of char.
    int c = a.name_.compare(b.name_);
    if (c != 0) {
        return c < 0;
    }
    if (a.variant_ != b.variant_) {
        return a.variant_ < b.variant_;
    }
    return a.flag_ < b.flag_;
}

bool operator==(const DaxBitmapKey& a, const DaxBitmapKey& b) {
    return a.name_ == b.name_ && a.variant_ == b.variant_ && a.flag_ == b.flag_;
}

namespace {

// The export file of a bitmap, with path separators in the name replaced so
// that a script's name never writes outside the working directory.
std::string exportFileName(const DaxBitmapKey& key) {
    std::string name = key.name_;
    for (char& c : name) {
        if (c == '/' || c == '\\' || c == ':') {
            c = '_';
        }
    }
    char buf[kDaxMsgBufSize];
    std::snprintf(buf, sizeof buf, "zor_%s.%03d.%02d.png", name.c_str(), key.variant_, key.flag_);
    return buf;
}

}  // namespace

DaxBitmapRegistry::DaxBitmapRegistry() = default;

DaxBitmapRegistry::~DaxBitmapRegistry() {
    // The global registry outlives Allegro: once the system is shut down at
    // exit it has destroyed every bitmap itself, and destroying them again
    // would free them twice.
    if (al_is_system_installed()) {
        clear();
    }
}

DaxBitmapIndex DaxBitmapRegistry::add(const DaxBitmapKey& key, ALLEGRO_BITMAP* src, int hot_x, int hot_y,
                                      bool check_tile_height, int text_id) {
    const char* name = key.name_.c_str();
    auto found = index_map_.find(key);
    if (found != index_map_.end()) {
        int number = found->second / 2;
        const DaxBitmapEntry& old = entries_[static_cast<size_t>(number)];
        if (old.hot_x_ == static_cast<int16_t>(hot_x) && old.hot_y_ == static_cast<int16_t>(hot_y)) {
            daxRaiseError("bitmap %s,%d already loaded at %d with hot=%d,%d", name, key.variant_, number, hot_x,
                          hot_y);
        }
        daxRaiseError("bitmap %s,%d already loaded at %d with different hotspot! old=%d,%d new=%d,%d", name,
                      key.variant_, number, old.hot_x_, old.hot_y_, hot_x, hot_y);
    }
    if (!src) {
        daxRaiseError("bitmap %s,%d has no image", name, key.variant_);
    }
    int width = al_get_bitmap_width(src);
    int height = al_get_bitmap_height(src);
    // Sizes are kept as int16 like everywhere the images are placed.
    if (width > INT16_MAX || height > INT16_MAX) {
        daxRaiseError("bitmap %s,%d is too large: %dx%d", name, key.variant_, width, height);
    }
    if (check_tile_height && tile_mode_ != kDaxTileNone && height < tile_height_ - 1) {
        daxLogMessage(1, 1, "bitmap %s,%d has height %d which is not at least the tile height %d - 1", name,
                      key.variant_, height, tile_height_);
        return kDaxNoBitmap;
    }

    ALLEGRO_BITMAP_mptr copy;
    {
        // A memory bitmap works without a display; the convert flag lets
        // Allegro turn it into a display bitmap once one exists.
        DaxNewBitmapFlagsSaver flags;
        al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP | ALLEGRO_CONVERT_BITMAP);
        copy.reset(al_create_bitmap(width, height));
    }
    if (!copy) {
        daxRaiseError("can't create bitmap copy of %s,%d size=%d,%d", name, key.variant_, width, height);
    }
    {
        DaxAllegroStateSaver state(ALLEGRO_STATE_TARGET_BITMAP | ALLEGRO_STATE_BLENDER);
        al_set_target_bitmap(copy.get());
        al_clear_to_color(al_map_rgba(0, 0, 0, 0));
        // Plain copy: the source's pixels, alpha included, whatever blender
        // the caller left set.
        al_set_blender(ALLEGRO_ADD, ALLEGRO_ONE, ALLEGRO_ZERO);
        al_draw_bitmap(src, 0, 0, 0);
    }
    al_convert_mask_to_alpha(copy.get(), al_map_rgb(255, 0, 255));

    DaxBitmapIndex id = static_cast<DaxBitmapIndex>(entries_.size()) * 2 + (key.flag_ != 0 ? 1 : 0);
    entries_.emplace_back();
    DaxBitmapEntry& e = entries_.back();
    e.bitmap_ = copy.detach();
    e.hot_x_ = static_cast<int16_t>(hot_x);
    e.hot_y_ = static_cast<int16_t>(hot_y);
    e.width_ = static_cast<int16_t>(width);
    e.height_ = static_cast<int16_t>(height);
    e.key_ = key;
    e.text_id_ = dax_strings.hasString(text_id) ? text_id : -1;
    index_map_[key] = id;
    ++generation_;

    if (export_flag_) {
        std::string file = exportFileName(key);
        if (!al_save_bitmap(file.c_str(), e.bitmap_)) {
            daxLogMessage(1, 1, "can't save bitmap %s", file.c_str());
        }
    }
    return id;
}

DaxBitmapIndex DaxBitmapRegistry::find(const DaxBitmapKey& key) const {
    auto it = index_map_.find(key);
    return it != index_map_.end() ? it->second : kDaxNoBitmap;
}

void DaxBitmapRegistry::checkId(DaxBitmapIndex id) const {
    if (id < 0 || static_cast<size_t>(id / 2) >= entries_.size()) {
        daxRaiseError("bmp index out of range 0..%d: %d", static_cast<int>(entries_.size()), id / 2);
    }
}

const DaxBitmapEntry& DaxBitmapRegistry::entry(DaxBitmapIndex id) const {
    checkId(id);
    return entries_[static_cast<size_t>(id / 2)];
}

const DaxBitmapKey& DaxBitmapRegistry::name(DaxBitmapIndex id) const { return entry(id).key_; }

int DaxBitmapRegistry::textId(DaxBitmapIndex id) const { return entry(id).text_id_; }

DaxBitmapIndex DaxBitmapRegistry::findVariant(const std::string& name, int n) const {
    if (n < 0) {
        return kDaxNoBitmap;
    }
    for (auto it = index_map_.lower_bound(DaxBitmapKey(name, INT16_MIN, INT16_MIN));
         it != index_map_.end() && it->first.name_ == name; ++it) {
        if (it->first.flag_ == 0) {
            if (n == 0) {
                return it->second;
            }
            --n;
        }
    }
    return kDaxNoBitmap;
}

int DaxBitmapRegistry::variantCount(const std::string& name) const {
    int count = 0;
    for (auto it = index_map_.lower_bound(DaxBitmapKey(name, INT16_MIN, INT16_MIN));
         it != index_map_.end() && it->first.name_ == name; ++it) {
        if (it->first.flag_ == 0) {
            ++count;
        }
    }
    return count;
}

int DaxBitmapRegistry::variantFromReal(double r, int count) {
    if (count <= 0 || !(r > 0.0)) {
        return 0;
    }
    double k = r * count;
    // The generator's real() includes 1.0, which would give count itself.
    if (k >= count) {
        return count - 1;
    }
    return static_cast<int>(k);
}

DaxBitmapIndex DaxBitmapRegistry::randomVariant(const std::string& name) const {
    int count = variantCount(name);
    if (count == 0) {
        return kDaxNoBitmap;
    }
    if (count == 1) {
        return findVariant(name, 0);
    }
    return findVariant(name, variantFromReal(dax_random.real(), count));
}

int DaxBitmapRegistry::randomVariantNumber(const std::string& name) const {
    int count = variantCount(name);
    if (count == 0) {
        return -1;
    }
    if (count == 1) {
        return 0;
    }
    return variantFromReal(dax_random.real(), count);
}

bool DaxBitmapRegistry::setIsoTileSize(int w, int h) {
    if (tile_mode_ != kDaxTileNone || w <= 0 || h <= 0 || w % 2 != 0 || h % 2 != 0 || h >= w) {
        return false;
    }
    tile_mode_ = kDaxTileIso;
    tile_width_ = w;
    tile_height_ = h;
    return true;
}

bool DaxBitmapRegistry::setRectTileSize(int w, int h) {
    if (tile_mode_ != kDaxTileNone || w <= 0 || h <= 0 || w % 2 != 0 || h % 2 != 0) {
        return false;
    }
    tile_mode_ = kDaxTileRect;
    tile_width_ = w;
    tile_height_ = h;
    return true;
}

bool DaxBitmapRegistry::fitsTileArea(const std::string& name, int w, int h) const {
    if (tile_mode_ == kDaxTileNone) {
        daxRaiseError("tile size not set");
    }
    const DaxBitmapEntry& e = entry(findVariant(name, 0));
    // 64-bit so that a script's absurd footprint cannot overflow into a fit.
    int64_t tiles = static_cast<int64_t>(w) + h;
    return e.width_ == tiles * (tile_width_ / 2) && e.height_ >= tiles * (tile_height_ / 2) - 1;
}

void DaxBitmapRegistry::countTextIds(std::map<int, int>& out) const {
    out.clear();
    for (const DaxBitmapEntry& e : entries_) {
        if (e.text_id_ > 0) {
            ++out[e.text_id_];
        }
    }
}

void DaxBitmapRegistry::clear() {
    for (DaxBitmapEntry& e : entries_) {
        if (e.bitmap_) {
            al_destroy_bitmap(e.bitmap_);
            e.bitmap_ = nullptr;
        }
    }
    entries_.clear();
    index_map_.clear();
    ++generation_;
    tile_mode_ = kDaxTileNone;
    tile_width_ = 0;
    tile_height_ = 0;
}
