// The registry of every image the game draws: bitmaps registered under a key
// (name, variant, flag) get a small integer id that tiles, walkers and save
// games store; the registry also keeps the tile size of the map grid.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <utility>

struct ALLEGRO_BITMAP;

// Key of a registered bitmap; ordered by name (byte-wise), variant, flag.
struct DaxBitmapKey {
    DaxBitmapKey() = default;
    DaxBitmapKey(std::string name, int variant, int flag)
        : name_(std::move(name)), variant_(static_cast<int16_t>(variant)), flag_(static_cast<int16_t>(flag)) {}

    std::string name_;
    int16_t variant_ = 0;
    int16_t flag_ = 0;
};

bool operator<(const DaxBitmapKey& a, const DaxBitmapKey& b);
bool operator==(const DaxBitmapKey& a, const DaxBitmapKey& b);
inline bool operator!=(const DaxBitmapKey& a, const DaxBitmapKey& b) { return !(a == b); }

// Bitmap id: entry number * 2 + (1 when the key's flag is nonzero). Valid
// when not negative.
using DaxBitmapIndex = int;
constexpr DaxBitmapIndex kDaxNoBitmap = -2;

// One registered bitmap. The bitmap belongs to the registry, which destroys
// it in clear() and when it goes.
struct DaxBitmapEntry {
    ALLEGRO_BITMAP* bitmap_ = nullptr;
    int16_t hot_x_ = 0;
    int16_t hot_y_ = 0;
    int16_t width_ = 0;
    int16_t height_ = 0;
    DaxBitmapKey key_;
    int text_id_ = -1;  // a known text number, or -1
};

// Tile modes of the map grid.
enum : int {
    kDaxTileNone = 0,
    kDaxTileIso = 1,
    kDaxTileRect = 2,
};

class DaxBitmapRegistry {
public:
    DaxBitmapRegistry();
    ~DaxBitmapRegistry();
    DaxBitmapRegistry(const DaxBitmapRegistry&) = delete;
    DaxBitmapRegistry& operator=(const DaxBitmapRegistry&) = delete;

    // Registers a copy of src under key (magenta made transparent; a memory
    // bitmap that Allegro converts to a display bitmap when it can). text_id
    // is kept only when dax_strings knows it. Returns the new id, or -2 when
    // check_tile_height is set, a tile mode is set and src is lower than the
    // tile height - 1 (logged, nothing registered). Raises for a key that is
    // registered already, a null src or a copy that cannot be made. With the
    // export flag on, the copy is also saved as "zor_%s.%03d.%02d.png" in
    // the working directory.
    DaxBitmapIndex add(const DaxBitmapKey& key, ALLEGRO_BITMAP* src, int hot_x, int hot_y,
                       bool check_tile_height, int text_id);

    // The id of key, or -2.
    DaxBitmapIndex find(const DaxBitmapKey& key) const;

    // Look-ups by id raise "bmp index out of range 0..%d: %d" (entry count,
    // id / 2) for a negative id or one past the entries.
    const DaxBitmapEntry& entry(DaxBitmapIndex id) const;
    const DaxBitmapKey& name(DaxBitmapIndex id) const;
    int textId(DaxBitmapIndex id) const;

    // Variants of a name: its keys with flag 0, in key order (by variant
    // number). findVariant gives the id of the n-th (from 0), -2 when there
    // are fewer.
    DaxBitmapIndex findVariant(const std::string& name, int n) const;
    int variantCount(const std::string& name) const;
    // A variant drawn with dax_random: -2 for none, the only one for one
    // (no number drawn).
    DaxBitmapIndex randomVariant(const std::string& name) const;
    // The drawn variant's position: -1 for none, 0 for one (no number drawn).
    int randomVariantNumber(const std::string& name) const;
    // The variant position for a random number r in [0, 1] and count > 0
    // variants: trunc(r * count), kept below count (r may be exactly 1.0).
    static int variantFromReal(double r, int count);

    // Set the tile size once per registry lifetime. Iso: no mode set yet,
    // both positive and even, h < w. Rect: the same without h < w. A refused
    // size returns false and changes nothing.
    bool setIsoTileSize(int w, int h);
    bool setRectTileSize(int w, int h);
    int tileMode() const { return tile_mode_; }
    int tileWidth() const { return tile_width_; }
    int tileHeight() const { return tile_height_; }

    // Whether the first variant of name is the image of a w by h tile
    // building: exactly (w + h) * (tile width / 2) wide and at least
    // (w + h) * (tile height / 2) - 1 high. Raises "tile size not set"
    // without a tile mode and the range error for an unknown name.
    bool fitsTileArea(const std::string& name, int w, int h) const;

    // Empties out, then counts the entries per text number above 0.
    void countTextIds(std::map<int, int>& out) const;
    // Every key with its id (the save-game writer stores it).
    const std::map<DaxBitmapKey, DaxBitmapIndex>& indexMap() const { return index_map_; }
    size_t size() const { return entries_.size(); }
    // Changes whenever a key is added or the registry is cleared, so that a
    // caller may keep what it looked up by name until then.
    uint64_t generation() const { return generation_; }

    // Destroys every bitmap, forgets every key and unsets the tile size. The
    // export flag stays.
    void clear();

    // Export of newly registered bitmaps to PNG files (script "save_images").
    void setExportFlag(bool on) { export_flag_ = on; }
    bool exportFlag() const { return export_flag_; }

private:
    void checkId(DaxBitmapIndex id) const;

    std::deque<DaxBitmapEntry> entries_;
    std::map<DaxBitmapKey, DaxBitmapIndex> index_map_;
    int tile_mode_ = kDaxTileNone;
    int tile_width_ = 0;
    int tile_height_ = 0;
    bool export_flag_ = false;
    uint64_t generation_ = 1;
};

extern DaxBitmapRegistry dax_bitmaps;
