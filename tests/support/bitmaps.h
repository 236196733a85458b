// Small memory bitmaps that tests make, save and read back: they need no
// display, so headless test programs can use them.
#pragma once

#include <allegro5/allegro.h>

#include <functional>
#include <ostream>
#include <string>

// One pixel's colour as 0..255 channels, comparable and printable in test
// messages.
struct Rgba {
    int r, g, b, a;
    bool operator==(const Rgba& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
};

std::ostream& operator<<(std::ostream& os, const Rgba& c);

constexpr Rgba kClear{0, 0, 0, 0};
constexpr Rgba kBlack{0, 0, 0, 255};

// The colour of the pixel (x, y) of bmp.
Rgba pixel(ALLEGRO_BITMAP* bmp, int x, int y);

// A new w by h memory bitmap (null when Allegro cannot make it), its content
// as Allegro leaves it; the new-bitmap flags stay as they were. The caller
// destroys it.
ALLEGRO_BITMAP* zorMemoryBitmap(int w, int h);
// The same, cleared to fill.
ALLEGRO_BITMAP* zorMemoryBitmap(int w, int h, ALLEGRO_COLOR fill);

// Saves a w by h image whose pixel (x, y) is at(x, y) to path (the format
// from its ending); false when the bitmap cannot be made or saved.
bool zorSaveImage(const std::string& path, int w, int h, const std::function<ALLEGRO_COLOR(int, int)>& at);
