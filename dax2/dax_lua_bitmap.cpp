#include "dax2/dax_lua_bitmap.h"

#include <cmath>
#include <cstdint>
#include <string>

#include <allegro5/allegro.h>

extern "C" {
#include <lua.h>
}

#include "dax2/dax_bitmap.h"
#include "dax2/dax_error.h"
#include "dax2/dax_file.h"
#include "dax2/dax_lua.h"
#include "dax2/dax_lua_args.h"
#include "dax2/dax_mptr.h"

namespace {

// The sheet opened last. A plain pointer rather than an owning handle: a
// handle in static storage would destroy the bitmap after Allegro shut down.
ALLEGRO_BITMAP* g_sheet = nullptr;

// Registry sizes and hot spots are 16-bit.
constexpr int64_t kMaxImageSide = 32767;

ALLEGRO_COLOR magenta() { return al_map_rgb(255, 0, 255); }

ALLEGRO_BITMAP* requireSheet() {
    if (!g_sheet) {
        daxRaiseError("no bitmap file opened");
    }
    return g_sheet;
}

void requireTileSize() {
    if (dax_bitmaps.tileMode() == kDaxTileNone) {
        daxRaiseError("tile size not set");
    }
    if (dax_bitmaps.tileWidth() < 1) {
        daxRaiseError("tile width is not set");
    }
}

// All working bitmaps are memory bitmaps: pixel work stays fast and needs no
// display; the registry converts its own copies.
ALLEGRO_BITMAP* createMemoryBitmap(int w, int h) {
    DaxNewBitmapFlagsSaver saver;
    al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP);
    return al_create_bitmap(w, h);
}

// A piece taken straight out of the sheet must lie inside it.
void checkInSheet(ALLEGRO_BITMAP* sheet, int x, int y, int w, int h) {
    int sw = al_get_bitmap_width(sheet);
    int sh = al_get_bitmap_height(sheet);
    if (static_cast<int64_t>(x) + w > sw || static_cast<int64_t>(y) + h > sh) {
        daxRaiseError("can't create subbitmap: %d,%d size %d,%d is outside the %dx%d bitmap file", x,
                      y, w, h, sw, sh);
    }
}

// The first table argument of every reading function.
struct NameArgs {
    std::string name;
    int var = 1;
    int anim = 0;
    bool flip = false;
};

NameArgs readNameTable(lua_State* L, int table) {
    daxLuaCheckTable(L, table, 1, 1);
    NameArgs n;
    n.name = daxLuaGetTableString(L, table, 1);
    n.var = daxLuaGetFieldIntOpt(L, table, "var", Tchk_short(), 1);
    n.anim = daxLuaGetFieldIntOpt(L, table, "anim", Tchk_ge0s(), 0);
    n.flip = daxLuaGetFieldIntOpt(L, table, "flip", Tchk_bool(), 0) != 0;
    return n;
}

DaxBitmapKey keyOf(const NameArgs& n) { return DaxBitmapKey(n.name, n.var, n.anim); }

// The integer part of a computed size; NaN counts as 0 and values past the
// int range are clamped (the callers reject both).
int truncSize(double v) {
    if (!(v == v)) {
        return 0;
    }
    if (v >= 2147483647.0) {
        return 2147483647;
    }
    if (v <= -2147483648.0) {
        return -2147483647 - 1;
    }
    return static_cast<int>(v);
}

void openSheet(const char* file) {
    std::string path = file;
    daxFindFile(path);
    ALLEGRO_BITMAP* loaded = nullptr;
    {
        DaxNewBitmapFlagsSaver saver;
        al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP);
        loaded = al_load_bitmap(path.c_str());
    }
    daxLuaReleaseBitmapFile();
    g_sheet = loaded;
    if (!g_sheet) {
        daxRaiseError("can't open bitmap file %s", path.c_str());
    }
    al_convert_mask_to_alpha(g_sheet, magenta());
    daxLogMessage(2, 1, "opened bitmap file %s, %dx%d pixel", path.c_str(),
                  al_get_bitmap_width(g_sheet), al_get_bitmap_height(g_sheet));
}

// Every transparent pixel and every pixel of the key colour becomes opaque
// magenta, which the registry turns back into transparency.
void applyColourKey(ALLEGRO_BITMAP* bmp, int xtrans, int ytrans) {
    int w = al_get_bitmap_width(bmp);
    int h = al_get_bitmap_height(bmp);
    DaxPixelWork work(bmp);
    unsigned char kr = 255, kg = 0, kb = 255, ka = 255;
    if (xtrans >= 0 && ytrans >= 0) {
        al_unmap_rgba(al_get_pixel(bmp, xtrans, ytrans), &kr, &kg, &kb, &ka);
    }
    const ALLEGRO_COLOR mask = magenta();
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            unsigned char r, g, b, a;
            al_unmap_rgba(al_get_pixel(bmp, x, y), &r, &g, &b, &a);
            if (a == 0 || (r == kr && g == kg && b == kb && a == ka)) {
                al_put_pixel(x, y, mask);
            }
        }
    }
}

// A new bitmap of the same size holding bmp mirrored left to right; the
// background shows where bmp is transparent.
ALLEGRO_BITMAP* mirrored(ALLEGRO_BITMAP* bmp, ALLEGRO_COLOR background, const char* error) {
    int w = al_get_bitmap_width(bmp);
    int h = al_get_bitmap_height(bmp);
    ALLEGRO_BITMAP* out = createMemoryBitmap(w, h);
    if (!out) {
        daxRaiseError("%s", error);
    }
    DaxDrawInto draw(out);
    al_clear_to_color(background);
    al_draw_bitmap(bmp, 0, 0, ALLEGRO_FLIP_HORIZONTAL);
    return out;
}

// "index" of read_bitmap / read_file is the text number the registry keeps
// with the bitmap (-1: none).
int readBitmap(lua_State* L, int index, int name_table, int geom) {
    ALLEGRO_BITMAP* sheet = requireSheet();
    NameArgs n = readNameTable(L, name_table);

    int len = daxLuaCheckTable(L, geom, 0, 2);
    if (len == 1) {
        daxRaiseError("missing parameter table %d", geom);
    }
    int x = 0, y = 0, w = 0, h = 0;
    if (len == 2) {
        x = daxLuaGetTableInt(L, geom, 1, Tchk_ge0s());
        y = daxLuaGetTableInt(L, geom, 2, Tchk_ge0s());
        w = daxLuaGetFieldInt(L, geom, "w", Tchk_gt0s());
        h = daxLuaGetFieldInt(L, geom, "h", Tchk_gt0s());
    } else {
        w = al_get_bitmap_width(sheet);
        h = al_get_bitmap_height(sheet);
    }
    if (w <= 0) {
        daxRaiseError("w must be >= 0, is %d", w);
    }
    if (h <= 0) {
        daxRaiseError("h must be >= 0, is %d", h);
    }
    int xhot = daxLuaGetFieldIntOpt(L, geom, "xhot", Tchk_short(), w / 2);
    int yhot = daxLuaGetFieldIntOpt(L, geom, "yhot", Tchk_short(), h + 1);
    int ws_arg = daxLuaGetFieldIntOpt(L, geom, "ws", Tchk_gt0s(), 0);
    int hs_arg = daxLuaGetFieldIntOpt(L, geom, "hs", Tchk_gt0s(), 0);
    double hw = daxLuaGetFieldNumberOpt(L, geom, "hw", Tchk_none(), 1.0);
    int yhot_offset = daxLuaGetFieldIntOpt(L, geom, "yhot_offset", Tchk_short(), 0);
    // The key pixel must lie inside the piece: its last column is w - 1.
    int xtrans = daxLuaGetFieldIntOpt(L, geom, "xtrans", Tchk_range(0, w - 1), -1);
    int ytrans = daxLuaGetFieldIntOpt(L, geom, "ytrans", Tchk_range(0, h - 1), -1);

    double ws_f = w, hs_f = h;
    if (ws_arg > 0 && hs_arg == 0) {
        ws_f = ws_arg;
        hs_f = std::trunc(hw * (static_cast<double>(ws_arg) / w * h));
    } else if (ws_arg == 0 && hs_arg > 0) {
        hs_f = hs_arg;
        ws_f = std::trunc(static_cast<double>(hs_arg) / h * w / hw);
    }
    if (!(ws_f > 0)) {
        daxRaiseError("width (ws) must be >= 0, is %d", truncSize(ws_f));
    }
    if (!(hs_f > 0)) {
        daxRaiseError("height (hs) must be >= 0, is %d", truncSize(hs_f));
    }
    if (ws_f > kMaxImageSide || hs_f > kMaxImageSide) {
        daxRaiseError("scaled size %.0f,%.0f is larger than 32767", ws_f, hs_f);
    }
    int ws = static_cast<int>(ws_f);
    int hs = static_cast<int>(hs_f);
    daxCheckImageSize("scaled bitmap", ws, hs);

    // A copy of the piece: the colour key must not change the sheet, which
    // later pieces are cut from.
    checkInSheet(sheet, x, y, w, h);
    ALLEGRO_BITMAP_mptr piece(createMemoryBitmap(w, h));
    if (!piece) {
        daxRaiseError("can't create subbitmap");
    }
    {
        DaxDrawInto draw(piece.get());
        al_draw_bitmap_region(sheet, x, y, w, h, 0, 0, 0);
    }
    applyColourKey(piece.get(), xtrans, ytrans);

    if (n.flip) {
        piece.reset(mirrored(piece.get(), magenta(), "can't create bitmap for flip"));
    }
    if (ws != w || hs != h) {
        ALLEGRO_BITMAP_mptr scaled(createMemoryBitmap(ws, hs));
        if (!scaled) {
            daxRaiseError("can't create bitmap for scale");
        }
        {
            DaxDrawInto draw(scaled.get());
            al_draw_scaled_bitmap(piece.get(), 0, 0, w, h, 0, 0, ws, hs, 0);
        }
        piece.reset(scaled.detach());
    }

    if (ws != w) {
        xhot = truncSize(static_cast<double>(ws) / w * xhot);
    }
    if (hs != h) {
        yhot = truncSize(static_cast<double>(hs) / h * yhot - yhot_offset);
    }
    if (xhot < -32768 || xhot > 32767 || yhot < -32768 || yhot > 32767) {
        daxRaiseError("hotspot %d,%d of bitmap %s,%d is out of range", xhot, yhot, n.name.c_str(),
                      n.var);
    }

    DaxBitmapIndex id = dax_bitmaps.add(keyOf(n), piece.get(), xhot, yhot, false, index);
    if (id < 0) {
        daxRaiseError("error loading subbitmap %s,%d from current file hotspot=%d,%d size=%d,%d",
                      n.name.c_str(), n.var, xhot, yhot, ws, hs);
    }
    daxLogMessage(2, 1, "loaded bitmap %s,%d from current file hotspot=%d,%d size=%d,%d at index=%d",
                  n.name.c_str(), n.var, xhot, yhot, ws, hs, id / 2);
    return 0;
}

int luaOpenFile(lua_State* L) {
    daxLuaCheckArgCount(L, lua_gettop(L), 1);
    openSheet(daxLuaGetString(L, 1));
    return 0;
}

int luaReadFile(lua_State* L) {
    int argc = daxLuaCheckArgRange(L, lua_gettop(L), 3, 4);
    openSheet(daxLuaGetString(L, 1));
    if (argc == 4) {
        return readBitmap(L, daxLuaGetInt(L, 2, Tchk_gt0s()), 3, 4);
    }
    return readBitmap(L, -1, 2, 3);
}

int luaReadBitmap(lua_State* L) {
    int argc = daxLuaCheckArgRange(L, lua_gettop(L), 2, 3);
    if (argc == 3) {
        return readBitmap(L, daxLuaGetInt(L, 1, Tchk_gt0s()), 2, 3);
    }
    return readBitmap(L, -1, 1, 2);
}

int luaSetIsoTileSize(lua_State* L) {
    daxLuaCheckArgCount(L, lua_gettop(L), 2);
    int w = daxLuaGetInt(L, 1, Tchk_gt0s());
    int h = daxLuaGetInt(L, 2, Tchk_gt0s());
    if (!dax_bitmaps.setIsoTileSize(w, h)) {
        daxRaiseError("cannot set iso tile size %d,%d", w, h);
    }
    return 0;
}

int luaSetRectTileSize(lua_State* L) {
    daxLuaCheckArgCount(L, lua_gettop(L), 2);
    int w = daxLuaGetInt(L, 1, Tchk_gt0s());
    int h = daxLuaGetInt(L, 2, Tchk_gt0s());
    if (!dax_bitmaps.setRectTileSize(w, h)) {
        daxRaiseError("cannot set rect tile size %d,%d", w, h);
    }
    return 0;
}

// Clears the pixels outside the diamond of an a by b isometric tile area;
// with border, the pixels just inside its edge become opaque black.
void maskDiamond(ALLEGRO_BITMAP* bmp, int a, int b, int tw, int th, bool border) {
    const int W = al_get_bitmap_width(bmp);
    const int H = al_get_bitmap_height(bmp);
    const double s = static_cast<double>(W) / (H + 1);
    auto D = [s](int p, int q) { return static_cast<int>(q * s + 0.5 + p); };
    const ALLEGRO_COLOR clear = al_map_rgba(0, 0, 0, 0);
    const ALLEGRO_COLOR black = al_map_rgba(0, 0, 0, 255);
    DaxPixelWork work(bmp);
    auto apply = [&](int x, int y, int d, int bound) {
        if (d < bound) {
            al_put_pixel(x, y, clear);
        } else if (border && d < bound + 1) {
            al_put_pixel(x, y, black);
        }
    };
    const int bw = b * tw / 2, bh = b * th / 2;
    const int aw = a * tw / 2, ah = a * th / 2;
    for (int y = 0; y < H && y < bh; ++y) {
        for (int x = 0; x < W && x < bw; ++x) {
            apply(x, y, D(x, y), bw - 2);
        }
    }
    for (int y = 0; y < H && y < ah; ++y) {
        for (int x = bw < 0 ? 0 : bw; x < W; ++x) {
            apply(x, y, D(W - x, y), W - bw - 1);
        }
    }
    for (int y = bh < 0 ? 0 : bh; y < H; ++y) {
        for (int x = 0; x < W && x < aw; ++x) {
            apply(x, y, D(x, H + 1 - y), aw + 2);
        }
    }
    for (int y = ah < 0 ? 0 : ah; y < H; ++y) {
        for (int x = aw < 0 ? 0 : aw; x < W; ++x) {
            apply(x, y, D(W - x, H + 1 - y), W - aw + 3);
        }
    }
}

// A dotted black frame: left and right edges on alternate rows, top and
// bottom edges on alternate columns.
void dottedFrame(ALLEGRO_BITMAP* bmp) {
    const int W = al_get_bitmap_width(bmp);
    const int H = al_get_bitmap_height(bmp);
    const ALLEGRO_COLOR black = al_map_rgba(0, 0, 0, 255);
    DaxPixelWork work(bmp);
    for (int y = 0; y < H; ++y) {
        al_put_pixel(y % 2 == 0 ? 0 : W - 1, y, black);
    }
    for (int x = 0; x < W; ++x) {
        al_put_pixel(x, x % 2 == 0 ? 0 : H - 1, black);
    }
}

DaxBitmapIndex addTile(const NameArgs& n, ALLEGRO_BITMAP* bmp, int hot_x, int hot_y) {
    DaxBitmapIndex id = dax_bitmaps.add(keyOf(n), bmp, hot_x, hot_y, true, -1);
    if (id < 0) {
        daxRaiseError("error loading subbitmap %s,%d from current file size=%d,%d", n.name.c_str(),
                      n.var, al_get_bitmap_width(bmp), al_get_bitmap_height(bmp));
    }
    return id;
}

int luaReadGroundTile(lua_State* L) {
    daxLuaCheckArgCount(L, lua_gettop(L), 4);
    ALLEGRO_BITMAP* sheet = requireSheet();
    requireTileSize();
    NameArgs n = readNameTable(L, 1);
    int a = daxLuaGetInt(L, 2, Tchk_ge0s());
    int b = daxLuaGetInt(L, 3, Tchk_ge0s());
    daxLuaCheckTable(L, 4, 2, 2);
    int x = daxLuaGetTableInt(L, 4, 1, Tchk_ge0s());
    int y = daxLuaGetTableInt(L, 4, 2, Tchk_ge0s());
    bool border = daxLuaGetFieldIntOpt(L, 4, "border", Tchk_bool(), 0) != 0;

    const int tw = dax_bitmaps.tileWidth();
    const int th = dax_bitmaps.tileHeight();
    daxCheckFootprint(a, b, 0);
    const int64_t count = static_cast<int64_t>(a) + b;
    const int64_t width = (tw / 2) * count;
    const int64_t height = (th / 2) * count - 1;
    daxCheckImageSize("ground tile", width, height);
    const int W = static_cast<int>(width);
    const int H = static_cast<int>(height);

    ALLEGRO_BITMAP_mptr tile(createMemoryBitmap(W, H));
    if (!tile) {
        daxRaiseError("can't create subbitmap");
    }
    {
        // A region reaching past the sheet is clipped: the rest stays clear.
        DaxDrawInto draw(tile.get());
        al_clear_to_color(al_map_rgba(0, 0, 0, 0));
        al_draw_bitmap_region(sheet, x, y, W, H, 0, 0, n.flip ? ALLEGRO_FLIP_HORIZONTAL : 0);
    }
    int hot_x = 0;
    int hot_y = (th / 2) * static_cast<int>(count);
    if (dax_bitmaps.tileMode() == kDaxTileIso) {
        maskDiamond(tile.get(), a, b, tw, th, border);
        hot_x = (tw / 2) * a;
    } else if (border) {
        dottedFrame(tile.get());
    }
    DaxBitmapIndex id = addTile(n, tile.get(), hot_x, hot_y);
    daxLogMessage(2, 1, "loaded ground tile %s,%d from current file size=%d,%d at index=%d",
                  n.name.c_str(), n.var, W, H, id / 2);
    return 0;
}

// The piece (x, y, w, h) of the sheet, or with flip a mirrored copy on
// transparent magenta. piece holds the result.
void cutTile(ALLEGRO_BITMAP_mptr& piece, ALLEGRO_BITMAP* sheet, const NameArgs& n, int x, int y,
             int w, int h) {
    daxCheckImageSize("tile", w, h);
    checkInSheet(sheet, x, y, w, h);
    piece.reset(al_create_sub_bitmap(sheet, x, y, w, h));
    if (!piece) {
        daxRaiseError("can't create subbitmap");
    }
    if (n.flip) {
        piece.reset(mirrored(piece.get(), al_map_rgba(255, 0, 255, 0), "can't create subbitmap"));
    }
}

int luaRead1Tile(lua_State* L) {
    daxLuaCheckArgCount(L, lua_gettop(L), 3);
    ALLEGRO_BITMAP* sheet = requireSheet();
    requireTileSize();
    NameArgs n = readNameTable(L, 1);
    int x = daxLuaGetInt(L, 2, Tchk_ge0s());
    int y = daxLuaGetInt(L, 3, Tchk_ge0s());
    const int tw = dax_bitmaps.tileWidth();
    const int th = dax_bitmaps.tileHeight();

    ALLEGRO_BITMAP_mptr piece;
    cutTile(piece, sheet, n, x, y, tw, th - 1);
    const int height = th - 1;
    DaxBitmapIndex id = addTile(n, piece.get(), tw / 2, height - th + 1);
    daxLogMessage(2, 1, "loaded 1tile %s,%d from current file size=%d,%d at index=%d", n.name.c_str(),
                  n.var, tw, height, id / 2);
    return 0;
}

int luaReadMTile(lua_State* L) {
    daxLuaCheckArgCount(L, lua_gettop(L), 6);
    ALLEGRO_BITMAP* sheet = requireSheet();
    requireTileSize();
    NameArgs n = readNameTable(L, 1);
    int x = daxLuaGetInt(L, 2, Tchk_ge0s());
    int y = daxLuaGetInt(L, 3, Tchk_ge0s());
    int sx = daxLuaGetInt(L, 4, Tchk_gt0s());
    int sy = daxLuaGetInt(L, 5, Tchk_gt0s());
    int height = daxLuaGetInt(L, 6, Tchk_ge0s());
    const int tw = dax_bitmaps.tileWidth();
    const int th = dax_bitmaps.tileHeight();

    daxCheckFootprint(sx, sy, 1);
    const int64_t width = (static_cast<int64_t>(sx) + sy) * (tw / 2);
    const int64_t min_height = (static_cast<int64_t>(sx) + sy) * (th / 2) - 1;
    daxCheckImageSize("multi-tile", width, min_height);
    if (height != 0 && height < min_height) {
        daxRaiseError("height (%d) is too small, needs to be at least %d", height,
                      static_cast<int>(min_height));
    }
    if (height == 0) {
        height = static_cast<int>(min_height);
    }
    ALLEGRO_BITMAP_mptr piece;
    cutTile(piece, sheet, n, x, y, static_cast<int>(width), height);
    DaxBitmapIndex id = addTile(n, piece.get(), (tw / 2) * sx, height - (th - 1));
    daxLogMessage(2, 1, "loaded %dx%d mtile %s,%d from current file size=%d,%d at index=%d", sx, sy,
                  n.name.c_str(), n.var, static_cast<int>(width), height, id / 2);
    return 0;
}

}  // namespace

void daxCheckImageSize(const char* what, int64_t w, int64_t h) {
    if (w < 1 || h < 1 || w > kMaxImageSide || h > kMaxImageSide || w * h > kDaxMaxImagePixels) {
        daxRaiseError("%s of %lldx%lld pixels is out of range: 1..%lld a side, at most %lld pixels", what,
                      static_cast<long long>(w), static_cast<long long>(h), static_cast<long long>(kMaxImageSide),
                      static_cast<long long>(kDaxMaxImagePixels));
    }
}

void daxCheckFootprint(int64_t a, int64_t b, int min_side) {
    if (a < min_side || b < min_side || a > kDaxMaxFootprintTiles || b > kDaxMaxFootprintTiles || a + b < 1) {
        daxRaiseError("footprint %lldx%lld is out of range: %d..%d tiles a side", static_cast<long long>(a),
                      static_cast<long long>(b), min_side, kDaxMaxFootprintTiles);
    }
}

void daxLuaRegisterBitmapFunctions(DaxLua& lua) {
    lua.registerLoggedFunction("open_file", luaOpenFile);
    lua.registerLoggedFunction("read_file", luaReadFile);
    lua.registerLoggedFunction("read_bitmap", luaReadBitmap);
}

void daxLuaRegisterTileFunctions(DaxLua& lua) {
    lua.registerLoggedFunction("set_iso_tile_size", luaSetIsoTileSize);
    lua.registerLoggedFunction("set_rect_tile_size", luaSetRectTileSize);
    lua.registerLoggedFunction("read_ground_tile", luaReadGroundTile);
    lua.registerLoggedFunction("read_1tile__", luaRead1Tile);
    lua.registerLoggedFunction("read_mtile__", luaReadMTile);
}

ALLEGRO_BITMAP* daxLuaBitmapFile() { return g_sheet; }

void daxLuaReleaseBitmapFile() {
    // After Allegro shut down (a runner held by a global object ends after
    // it) the sheet went with every other bitmap: only forget it.
    if (g_sheet && al_is_system_installed()) {
        al_destroy_bitmap(g_sheet);
    }
    g_sheet = nullptr;
}
