// Draws the image sheets of the sample world that its scripts cannot draw
// themselves (walkers, goods, trees, icons, build-menu images, map markers)
// and its map image, and writes them as PNG files below a data folder:
//
//   images/walkers.png  64 x 96: 16 x 24 figures; rows water carrier, market,
//                       builder walker, tax collector; columns the directions
//                       ro, ru, lo, lu
//   images/goods.png    48 x 12: 16 x 12 goods; wood, planks, food
//   images/terrain.png  64 x 48: two 32 x 48 trees, their trunks ending 16
//                       rows above the bottom (the middle of a 64 x 32 tile)
//   images/gui.png    256 x 104: row 0 four 32 x 32 icons (pause, options,
//                       mini map, overview); row 1 eight 32 x 32 build-menu
//                       images (road, house, service, storage, production,
//                       market, decoration, builder); row 2 eight 16 x 16
//                       markers in the order the main map asks for them;
//                       row 3 ten 24 x 24 mouse pointers (plain, the eight
//                       build menus, demolition), their tips at (1, 1)
//   maps/green_valley.png  64 x 64 map: grass, a river, two forests
//
// Magenta (255, 0, 255) is the sheets' transparent colour. Every figure is
// drawn to be anchored at the middle of its bottom edge (the scripts keep the
// framework's default hot spot). The output is the same on every run; the
// files are committed beside this program and rebuilt with the target
// zor_images.
#include <cmath>
#include <cstdio>
#include <string>

#include <allegro5/allegro.h>
#include <allegro5/allegro_image.h>
#include <allegro5/allegro_primitives.h>

namespace {

ALLEGRO_COLOR rgb(int r, int g, int b) {
    return al_map_rgb(static_cast<unsigned char>(r), static_cast<unsigned char>(g), static_cast<unsigned char>(b));
}
const ALLEGRO_COLOR kKey = rgb(255, 0, 255);
const ALLEGRO_COLOR kBlack = rgb(0, 0, 0);

// A sheet of w by h pixels filled with the transparent colour, made the
// drawing target.
ALLEGRO_BITMAP* newSheet(int w, int h, ALLEGRO_COLOR fill = kKey) {
    ALLEGRO_BITMAP* bmp = al_create_bitmap(w, h);
    if (!bmp) return nullptr;
    al_set_target_bitmap(bmp);
    al_clear_to_color(fill);
    return bmp;
}

bool save(ALLEGRO_BITMAP* bmp, const std::string& path) {
    bool ok = bmp && al_save_bitmap(path.c_str(), bmp);
    if (!ok) std::fprintf(stderr, "zor_sheets: can't write %s\n", path.c_str());
    else std::printf("wrote %s\n", path.c_str());
    if (bmp) al_destroy_bitmap(bmp);
    return ok;
}

void rect(float x1, float y1, float x2, float y2, ALLEGRO_COLOR c) { al_draw_filled_rectangle(x1, y1, x2, y2, c); }
void frame(float x1, float y1, float x2, float y2, ALLEGRO_COLOR c) {
    al_draw_rectangle(x1 + 0.5f, y1 + 0.5f, x2 - 0.5f, y2 - 0.5f, c, 1.0f);
}

// --- walkers -----------------------------------------------------------------

// A walking figure in a 16 x 24 cell at (x, y): body in the kind's colour,
// a load on the back, and the face turned by the direction (right or left,
// up or down the screen).
void walker(int x, int y, ALLEGRO_COLOR body, ALLEGRO_COLOR load, bool right, bool up) {
    float cx = x + 8.0f;
    float s = right ? 1.0f : -1.0f;
    // Legs, a step apart.
    rect(cx - 3, y + 17, cx - 1, y + 24, rgb(60, 40, 30));
    rect(cx + 1, y + 17, cx + 3, y + 23, rgb(60, 40, 30));
    // Body and load.
    rect(cx - 4, y + 9, cx + 4, y + 18, body);
    frame(cx - 4, y + 9, cx + 4, y + 18, kBlack);
    rect(cx - s * 7, y + 8, cx - s * 4, y + 15, load);
    // Head; the nose shows where the figure looks.
    al_draw_filled_circle(cx, y + 5, 4, rgb(240, 200, 160));
    al_draw_circle(cx, y + 5, 4, kBlack, 1);
    float ny = up ? y + 3.0f : y + 6.0f;
    rect(cx + s * 3, ny, cx + s * 5, ny + 2, rgb(200, 120, 90));
}

bool drawWalkers(const std::string& dir) {
    ALLEGRO_BITMAP* bmp = newSheet(64, 96);
    const ALLEGRO_COLOR body[4] = {rgb(40, 90, 220), rgb(230, 200, 40), rgb(150, 90, 40), rgb(50, 50, 60)};
    const ALLEGRO_COLOR load[4] = {rgb(120, 180, 255), rgb(200, 60, 40), rgb(220, 180, 120), rgb(240, 200, 30)};
    const bool right[4] = {true, true, false, false};  // ro, ru, lo, lu
    const bool up[4] = {true, false, true, false};
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 4; ++col) walker(col * 16, row * 24, body[row], load[row], right[col], up[col]);
    }
    return save(bmp, dir + "images/walkers.png");
}

// --- goods -------------------------------------------------------------------

bool drawGoods(const std::string& dir) {
    ALLEGRO_BITMAP* bmp = newSheet(48, 12);
    // Wood: three logs.
    for (int i = 0; i < 3; ++i) {
        float y = 3.0f + i * 3.0f;
        rect(1, y, 14, y + 3, rgb(120, 70, 30));
        al_draw_filled_circle(13, y + 1.5f, 1.5f, rgb(200, 150, 90));
    }
    // Planks: a stack of light boards.
    for (int i = 0; i < 4; ++i) {
        float y = 2.0f + i * 2.5f;
        rect(17, y, 31, y + 2, rgb(225, 190, 130));
        al_draw_line(17, y + 2.25f, 31, y + 2.25f, rgb(150, 110, 60), 1);
    }
    // Food: a loaf of bread.
    al_draw_filled_ellipse(40, 7, 7, 4, rgb(210, 150, 60));
    al_draw_ellipse(40, 7, 7, 4, rgb(120, 70, 20), 1);
    al_draw_line(37, 5, 38, 9, rgb(150, 90, 30), 1);
    al_draw_line(41, 5, 42, 9, rgb(150, 90, 30), 1);
    return save(bmp, dir + "images/goods.png");
}

// --- trees -------------------------------------------------------------------

bool drawTrees(const std::string& dir) {
    ALLEGRO_BITMAP* bmp = newSheet(64, 48);
    // A leafy tree and a fir; trunks end at row 31.
    rect(14, 20, 18, 32, rgb(100, 60, 30));
    al_draw_filled_circle(16, 13, 11, rgb(30, 120, 40));
    al_draw_filled_circle(11, 16, 6, rgb(40, 140, 50));
    al_draw_filled_circle(21, 10, 6, rgb(50, 150, 60));
    rect(46, 24, 50, 32, rgb(90, 55, 30));
    al_draw_filled_triangle(48, 1, 37, 26, 59, 26, rgb(20, 100, 50));
    al_draw_filled_triangle(48, 8, 40, 20, 56, 20, rgb(30, 120, 60));
    return save(bmp, dir + "images/terrain.png");
}

// --- icons, build-menu images and markers -------------------------------------

void icons(int y) {
    const ALLEGRO_COLOR back = rgb(220, 220, 200);
    for (int i = 0; i < 4; ++i) {
        rect(i * 32 + 1, y + 1, i * 32 + 31, y + 31, back);
        frame(i * 32 + 1, y + 1, i * 32 + 31, y + 31, kBlack);
    }
    // Pause: two bars.
    rect(10, y + 8, 14, y + 24, kBlack);
    rect(18, y + 8, 22, y + 24, kBlack);
    // Options: a gear.
    for (int k = 0; k < 8; ++k) {
        double a = k * 3.14159265358979 / 4.0;
        al_draw_line(48, y + 16, 48 + 11 * std::cos(a), y + 16 + 11 * std::sin(a), rgb(90, 90, 90), 3);
    }
    al_draw_filled_circle(48, y + 16, 7, rgb(120, 120, 120));
    al_draw_filled_circle(48, y + 16, 3, back);
    // Mini map: a small map with a frame inside.
    rect(70, y + 6, 90, y + 26, rgb(60, 150, 60));
    rect(80, y + 6, 84, y + 26, rgb(40, 80, 200));
    frame(73, y + 10, 81, y + 18, rgb(255, 255, 255));
    // Overview: a bar chart.
    rect(102, y + 18, 107, y + 26, rgb(200, 60, 60));
    rect(110, y + 10, 115, y + 26, rgb(60, 160, 60));
    rect(118, y + 14, 123, y + 26, rgb(60, 90, 200));
}

void menuImages(int y) {
    const ALLEGRO_COLOR back = rgb(200, 210, 230);
    for (int i = 0; i < 8; ++i) {
        rect(i * 32 + 1, y + 1, i * 32 + 31, y + 31, back);
        frame(i * 32 + 1, y + 1, i * 32 + 31, y + 31, kBlack);
    }
    // Road: a diamond of gravel.
    al_draw_filled_triangle(16, y + 8, 4, y + 16, 28, y + 16, rgb(170, 150, 110));
    al_draw_filled_triangle(16, y + 24, 4, y + 16, 28, y + 16, rgb(170, 150, 110));
    // House: walls and a roof.
    rect(38, y + 16, 58, y + 28, rgb(230, 210, 170));
    al_draw_filled_triangle(48, y + 5, 35, y + 16, 61, y + 16, rgb(180, 50, 40));
    // Service (well): a round wall with water.
    al_draw_filled_ellipse(80, y + 20, 10, 6, rgb(150, 150, 150));
    al_draw_filled_ellipse(80, y + 19, 7, 3, rgb(60, 100, 230));
    al_draw_line(72, y + 8, 88, y + 8, rgb(100, 60, 30), 2);
    // Storage: crates.
    rect(100, y + 14, 112, y + 26, rgb(170, 120, 60));
    rect(113, y + 18, 123, y + 26, rgb(190, 140, 70));
    rect(104, y + 6, 116, y + 14, rgb(160, 110, 50));
    // Production: a saw blade.
    al_draw_filled_circle(144, y + 16, 9, rgb(180, 180, 190));
    al_draw_filled_circle(144, y + 16, 3, rgb(90, 90, 90));
    // Market: a stall with an awning.
    rect(164, y + 16, 188, y + 27, rgb(200, 170, 120));
    for (int i = 0; i < 4; ++i) rect(164 + i * 6, y + 8, 167 + i * 6, y + 15, rgb(220, 40, 40));
    // Decoration: a flower.
    al_draw_line(208, y + 27, 208, y + 15, rgb(40, 140, 40), 2);
    al_draw_filled_circle(208, y + 12, 6, rgb(240, 120, 200));
    al_draw_filled_circle(208, y + 12, 2, rgb(250, 230, 60));
    // Builder: a hammer.
    al_draw_line(230, y + 26, 242, y + 12, rgb(120, 80, 40), 3);
    rect(236, y + 6, 248, y + 12, rgb(100, 100, 110));
}

void markers(int y) {
    // walker_direct_marker, walker_second_marker: arrows pointing down.
    al_draw_filled_triangle(8, y + 15, 2, y + 7, 14, y + 7, rgb(40, 200, 40));
    rect(6, y + 1, 10, y + 7, rgb(40, 200, 40));
    al_draw_filled_triangle(24, y + 15, 18, y + 7, 30, y + 7, rgb(60, 120, 255));
    rect(22, y + 1, 26, y + 7, rgb(60, 120, 255));
    // red_alert_marker, orange_alert_marker: a disc with an exclamation mark.
    const ALLEGRO_COLOR alert[2] = {rgb(230, 30, 30), rgb(250, 150, 20)};
    for (int i = 0; i < 2; ++i) {
        float cx = 40.0f + i * 16.0f;
        al_draw_filled_circle(cx, y + 8, 7, alert[i]);
        rect(cx - 1, y + 3, cx + 1, y + 10, rgb(255, 255, 255));
        rect(cx - 1, y + 11, cx + 1, y + 13, rgb(255, 255, 255));
    }
    // people_unhappy_marker (red face), people_yellow_marker (yellow face).
    const ALLEGRO_COLOR face[2] = {rgb(230, 80, 60), rgb(240, 220, 40)};
    for (int i = 0; i < 2; ++i) {
        float cx = 72.0f + i * 16.0f;
        al_draw_filled_circle(cx, y + 8, 7, face[i]);
        rect(cx - 3, y + 5, cx - 1, y + 7, kBlack);
        rect(cx + 1, y + 5, cx + 3, y + 7, kBlack);
        al_draw_line(cx - 3, y + 12, cx + 3, y + 12, kBlack, 1);
    }
    // no_people_marker: a grey figure, crossed.
    al_draw_filled_circle(104, y + 4, 3, rgb(150, 150, 150));
    rect(101, y + 7, 107, y + 15, rgb(150, 150, 150));
    al_draw_line(97, y + 15, 111, y + 1, rgb(230, 30, 30), 2);
    // no_goods_marker: a crate, crossed.
    rect(114, y + 4, 126, y + 14, rgb(170, 120, 60));
    frame(114, y + 4, 126, y + 14, kBlack);
    al_draw_line(113, y + 15, 127, y + 1, rgb(230, 30, 30), 2);
}

// A pointer's arrow with its tip at (x + 1, y + 1).
void arrow(float x, float y) {
    const float pts[] = {x + 1, y + 1, x + 1, y + 17, x + 5, y + 13, x + 8, y + 20,
                         x + 10, y + 19, x + 7, y + 12, x + 12, y + 12};
    al_draw_filled_polygon(pts, 7, rgb(255, 255, 255));
    al_draw_polygon(pts, 7, ALLEGRO_LINE_JOIN_MITER, kBlack, 1, 4);
}

// The pointers: plain, then with a small image of build menu 1 to 8 (taken
// from row 1 of the sheet), then for demolition with a red cross.
void pointers(ALLEGRO_BITMAP* sheet, int y) {
    ALLEGRO_BITMAP* row = al_create_bitmap(256, 32);
    al_set_target_bitmap(row);
    al_draw_bitmap_region(sheet, 0, 32, 256, 32, 0, 0, 0);
    al_set_target_bitmap(sheet);
    for (int i = 1; i <= 8; ++i) {
        al_draw_scaled_bitmap(row, (i - 1) * 32, 0, 32, 32, i * 24 + 10, y + 10, 14, 14, 0);
    }
    al_destroy_bitmap(row);
    const float dx = 9 * 24;
    rect(dx + 10, y + 10, dx + 24, y + 24, rgb(250, 230, 200));
    al_draw_line(dx + 12, y + 12, dx + 22, y + 22, rgb(220, 20, 20), 3);
    al_draw_line(dx + 22, y + 12, dx + 12, y + 22, rgb(220, 20, 20), 3);
    for (int i = 0; i < 10; ++i) arrow(static_cast<float>(i * 24), static_cast<float>(y));
}

bool drawGui(const std::string& dir) {
    ALLEGRO_BITMAP* bmp = newSheet(256, 104);
    icons(0);
    menuImages(32);
    markers(64);
    pointers(bmp, 80);
    return save(bmp, dir + "images/gui.png");
}

// --- the map -------------------------------------------------------------------

// Grass (0, 160, 0), water (0, 0, 200), forest (0, 90, 20): the colours of
// maps/green_valley.lua.
bool drawMap(const std::string& dir) {
    const int n = 64;
    ALLEGRO_BITMAP* bmp = newSheet(n, n, rgb(0, 160, 0));
    al_lock_bitmap(bmp, ALLEGRO_PIXEL_FORMAT_ANY, ALLEGRO_LOCK_READWRITE);
    for (int y = 0; y < n; ++y) {
        // A river winding from the top edge to the bottom edge.
        int river = 44 + static_cast<int>(std::lround(5.0 * std::sin(y / 7.0)));
        for (int x = 0; x < n; ++x) {
            int dx1 = x - 14, dy1 = y - 14;
            int dx2 = x - 24, dy2 = y - 50;
            bool forest = dx1 * dx1 + dy1 * dy1 < 64 || dx2 * dx2 + 2 * dy2 * dy2 < 90;
            if (x >= river && x < river + 3) {
                al_put_pixel(x, y, rgb(0, 0, 200));
            } else if (forest) {
                al_put_pixel(x, y, rgb(0, 90, 20));
            }
        }
    }
    al_unlock_bitmap(bmp);
    return save(bmp, dir + "maps/green_valley.png");
}

}  // namespace

int main(int argc, char** argv) {
    std::string dir = argc > 1 ? argv[1] : "data";
    if (!dir.empty() && dir.back() != '/') dir += '/';
    if (!al_init() || !al_init_image_addon() || !al_init_primitives_addon()) {
        std::fprintf(stderr, "zor_sheets: can't start Allegro\n");
        return 1;
    }
    al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP);
    // A new data folder gets its two subfolders.
    for (const char* sub : {"images", "maps"}) {
        if (!al_make_directory((dir + sub).c_str())) {
            std::fprintf(stderr, "zor_sheets: can't make the folder %s%s\n", dir.c_str(), sub);
            return 1;
        }
    }
    bool ok = drawWalkers(dir);
    ok = drawGoods(dir) && ok;
    ok = drawTrees(dir) && ok;
    ok = drawGui(dir) && ok;
    ok = drawMap(dir) && ok;
    al_shutdown_primitives_addon();
    al_shutdown_image_addon();
    return ok ? 0 : 1;
}
