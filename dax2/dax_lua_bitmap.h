// Script functions that cut images out of sheet files and register them in
// the bitmap registry: free-form bitmaps with a hot spot, flip, scaling and
// colour key, and isometric or rectangular tiles sized by the tile size.
#pragma once

#include <cstdint>

struct ALLEGRO_BITMAP;
class DaxLua;

// Registers open_file, read_file and read_bitmap (DaxLua::init calls it).
void daxLuaRegisterBitmapFunctions(DaxLua& lua);
// Registers set_iso_tile_size, set_rect_tile_size, read_ground_tile,
// read_1tile__ and read_mtile__ (DaxLua::registerTileFunctions).
void daxLuaRegisterTileFunctions(DaxLua& lua);

// The sheet opened last (magenta already turned transparent), or null.
ALLEGRO_BITMAP* daxLuaBitmapFile();
// Destroys the current sheet (once Allegro has shut down it is only
// forgotten: Allegro destroyed it).
void daxLuaReleaseBitmapFile();

// Bounds of the images script calls make, so that a script value cannot ask
// for gigabytes: a footprint is at most this many tiles a side, and an image
// at most 32767 pixels a side (the registry's sizes are 16-bit) and this
// many pixels in all (64 MB).
constexpr int kDaxMaxFootprintTiles = 64;
constexpr int64_t kDaxMaxImagePixels = int64_t(1) << 24;
// Raises "<what> of WxH pixels is out of range ..." unless both sides are at
// least 1 and the image keeps to the bounds above.
void daxCheckImageSize(const char* what, int64_t w, int64_t h);
// Raises "footprint AxB is out of range ..." unless both sides are in
// min_side..kDaxMaxFootprintTiles and together at least 1.
void daxCheckFootprint(int64_t a, int64_t b, int min_side);
