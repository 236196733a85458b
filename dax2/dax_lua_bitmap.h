// Script functions that cut images out of sheet files and register them in
// the bitmap registry: free-form bitmaps with a hot spot, flip, scaling and
// colour key, and isometric or rectangular tiles sized by the tile size.
#pragma once

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
