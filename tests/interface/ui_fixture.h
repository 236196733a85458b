// The small world of the world tests with what the game's screens need on
// top: the tile size, the images of the run screen (icons, markers, build
// menus) as one-coloured memory bitmaps, and numbered texts that show their
// arguments plainly. No display: screens and the main map are built and
// drawn on memory bitmaps.
#pragma once

#include <gtest/gtest.h>

#include <allegro5/allegro.h>
#include <allegro5/allegro_primitives.h>

#include <string>

#include "dax2/dax_bitmap.h"
#include "dax2/dax_menu_ifc.h"
#include "dax2/dax_msg.h"
#include "rn_mainmap.h"
#include "rn_mainmap_allegro.h"
#include "rn_mainmap_mini.h"
#include "rn_menu_game.h"
#include "support/dax_probe.h"
#include "world/test_game_fixture.h"

namespace uitest {

// The colour a marker is registered with: red = 100 + its index.
inline ALLEGRO_COLOR markerColour(int i) { return al_map_rgb(static_cast<unsigned char>(100 + i), 7, 7); }

// A screen state machine whose cursor changes are remembered instead of
// shown.
class RecordingMenus : public DaxMenuHandler {
public:
    void setBusyCursor() override { cursor = "busy"; }
    void setDefaultCursor() override { cursor = "default"; }
    void setMouseCursor(int variant) override { cursor = "variant " + std::to_string(variant); }
    std::string cursor = "none";
};

class UiTest : public worldtest::WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        al_init_primitives_addon();
        dax_config.debug_enable_ = 0;
        grn_config.map_display_ = 0;
        registerScreenImages();
    }
    void TearDown() override {
        delete grn_pmenu_game;
        deleteMiniMap();
        deleteMainMap();
        WorldTest::TearDown();
    }

    // The tile size and the images the run screen and the main map take
    // from the registry.
    static void registerScreenImages() {
        if (dax_bitmaps.tileMode() == kDaxTileNone) dax_bitmaps.setIsoTileSize(64, 32);
        for (int i = 0; i < RnMainMapAllegro::kMarkerCount; ++i) {
            registerMemoryBitmap(DaxBitmapKey(RnMainMapAllegro::kMarkerNames[i], 1, 0), 8, 8, 4, 9,
                                 markerColour(i));
        }
        for (const char* icon : {"icon_pause", "icon_options", "icon_minimap", "icon_overview", "menu_a", "menu_b"}) {
            registerMemoryBitmap(DaxBitmapKey(icon, 1, 0), 32, 32, 16, 33, al_map_rgb(50, 50, 50));
        }
    }

    // A numbered text for the test, as the language file would give it.
    static void text(int number, const std::string& s) { dax_strings.addString(number, s, true); }
};

}  // namespace uitest
