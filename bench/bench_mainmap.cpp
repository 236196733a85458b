// One frame of the main map: a full 1280 by 1024 view of the sample world
// with a town on it, drawn by RnMainMapAllegro and flipped, against a bare
// Allegro loop that draws the same images at the same places under held
// drawing and flips. Needs a display (run it under xvfb-run).
#include <benchmark/benchmark.h>

#include <allegro5/allegro.h>
#include <allegro5/allegro_image.h>
#include <allegro5/allegro_primitives.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "al5gcn/allegro5graphics.hpp"
#include "dax2/dax_bitmap.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_msg.h"
#include "rn_bld_bldr.h"
#include "rn_bld_deco.h"
#include "rn_bld_hous.h"
#include "rn_bld_mrkt.h"
#include "rn_bld_prod.h"
#include "rn_bld_road.h"
#include "rn_bld_serv.h"
#include "rn_bld_stor.h"
#include "rn_game.h"
#include "rn_lua_loader.h"
#include "rn_lua_maploader.h"
#include "rn_mainmap_allegro.h"
#include "rn_map.h"

namespace {

constexpr int kW = 1280;
constexpr int kH = 1024;

// An image drawn by the bare loop.
struct Blit {
    ALLEGRO_BITMAP* bitmap;
    float x;
    float y;
};

// Builds a type's building at (x, y) when its footprint is free land.
bool build(RnGenericBuildingType& type, int x, int y) {
    if (!grn_map.canBuildArea(x, y, type.width_, type.height_, false, 0)) return false;
    grn_game.updateQueue().schedule(0, type.createBuilding(x, y));
    return true;
}

// The sample world loaded as the loading screen loads it, with a town of
// streets every fourth row and buildings of every kind between them; every
// workplace fully staffed so that no status marker shows.
struct Town {
    Town() {
        al_init();
        al_init_image_addon();
        al_init_primitives_addon();
        al_install_mouse();
        al_install_keyboard();
        al_set_new_display_flags(ALLEGRO_WINDOWED | ALLEGRO_OPENGL);
        display = al_create_display(kW, kH);
        if (!display) {
            std::fprintf(stderr, "bench_mainmap needs a display (run it under xvfb-run)\n");
            std::exit(1);
        }
        dax_config.search_path_ = {std::string(ZOR_SOURCE_DIR) + "/data/"};
        dax_strings.loadFile((dax_config.search_path_[0] + "zor.en.txt").c_str(), false);
        grn_game.clear();
        grn_game.resetForNewGame("green_valley", "Bench");
        bool ok = true;
        {
            RnLuaPreloader icons;
            icons.init();
            ok = icons.run("load_icons.lua") == 0 && ok;
        }
        {
            RnLuaModelLoader model;
            model.init();
            ok = model.run("ddm.lua") == 0 && ok;
        }
        {
            RnLuaMapLoader map;
            map.init();
            ok = map.run("maps/green_valley.lua", nullptr) == 0 && ok;
        }
        if (!ok) {
            std::fprintf(stderr, "bench_mainmap: the sample world did not load\n");
            std::exit(1);
        }
        grn_game.validateModel();
        al_convert_memory_bitmaps();

        const int n = grn_map.size();
        std::vector<RnGenericBuildingType*> kinds;
        for (auto& t : grn_game.housTypes()) kinds.push_back(&t);
        for (auto& t : grn_game.servTypes()) kinds.push_back(&t);
        for (auto& t : grn_game.prodTypes()) kinds.push_back(&t);
        for (auto& t : grn_game.mrktTypes()) kinds.push_back(&t);
        for (auto& t : grn_game.storTypes()) kinds.push_back(&t);
        for (auto& t : grn_game.bldrTypes()) kinds.push_back(&t);
        for (auto& t : grn_game.decoTypes()) kinds.push_back(&t);
        size_t next = 0;
        for (int y = 4; y < n - 4; y += 4) {
            for (int x = 2; x < n - 2; ++x) build(grn_game.roadType(0), x, y);
            for (int x = 3; x < n - 2; x += 3) {
                if (build(*kinds[next % kinds.size()], x, y - 1)) ++next;
            }
        }
        for (RnServ& b : grn_game.servType(0).instances_) b.efficiency_ = 1.0f;
        for (auto& t : grn_game.prodTypes()) {
            for (RnProd& b : t.instances_) {
                b.worker_factor_ = 1.0f;
                b.resource_factor_ = 1.0f;
            }
        }
        for (RnMrkt& b : grn_game.mrktType(0).instances_) b.efficiency_ = 1.0f;
        for (RnStor& b : grn_game.storType(0).instances_) b.efficiency_ = 1.0f;
        for (RnBldr& b : grn_game.bldrType(0).instances_) b.efficiency_ = 1.0f;

        map = new RnMainMapAllegro(kW, kH);
        map->initView();
        map->setViewCentre(static_cast<float>(n / 2), static_cast<float>(n / 2));
    }

    // The images of a frame in the order the map draws them: the ground,
    // then the objects back to front, each image whole.
    std::vector<Blit> sameImages() const {
        std::vector<Blit> out;
        const int th = map->tileHeight();
        auto add = [&](int32_t id, int x, int y) {
            const DaxBitmapEntry& e = dax_bitmaps.entry(id);
            float sx = 0, sy = 0;
            map->mapToScreen(sx, sy, static_cast<float>(x), static_cast<float>(y));
            const int ix = static_cast<int>(sx) - e.hot_x_;
            if (ix + e.width_ < 0 || ix > kW) return;
            out.push_back(Blit{e.bitmap_, static_cast<float>(ix), static_cast<float>(static_cast<int>(sy) - e.hot_y_ + th)});
        };
        for (int x = map->firstX(); x < map->endX(); ++x) {
            for (int y = map->firstY(); y < map->endY(); ++y) {
                if (grn_map.tile(x, y).gnd_bmp_idx_ >= 0) add(grn_map.tile(x, y).gnd_bmp_idx_, x, y);
            }
        }
        for (int x = map->firstX(); x < map->endX(); ++x) {
            for (int y = map->firstY(); y < map->endY(); ++y) {
                if (grn_map.tile(x, y).second_bmp_idx_ >= 0) add(grn_map.tile(x, y).second_bmp_idx_, x, y);
            }
        }
        return out;
    }

    ALLEGRO_DISPLAY* display = nullptr;
    RnMainMapAllegro* map = nullptr;
};

Town& town() {
    static Town t;
    return t;
}

void BM_MainMapFrame(benchmark::State& state) {
    Town& t = town();
    al_set_target_backbuffer(t.display);
    gcn::Allegro5Graphics graphics;
    auto frame = [&] {
        graphics._beginDraw();
        graphics.pushClipArea(gcn::Rectangle(0, 0, kW, kH));
        t.map->draw(&graphics);
        graphics.popClipArea();
        graphics._endDraw();
        al_flip_display();
    };
    // The renderer's first frames upload the images: not part of a frame.
    for (int i = 0; i < 3; ++i) frame();
    for (auto _ : state) frame();
    state.counters["images"] = t.map->imagesDrawn();
    state.counters["tiles"] = t.map->tilesVisited();
}
BENCHMARK(BM_MainMapFrame)->Unit(benchmark::kMillisecond);

void BM_BareAllegroFrame(benchmark::State& state) {
    Town& t = town();
    const std::vector<Blit> blits = t.sameImages();
    al_set_target_backbuffer(t.display);
    auto frame = [&] {
        al_clear_to_color(al_map_rgb(0, 0, 0));
        al_hold_bitmap_drawing(true);
        for (const Blit& b : blits) al_draw_bitmap(b.bitmap, b.x, b.y, 0);
        al_hold_bitmap_drawing(false);
        al_flip_display();
    };
    for (int i = 0; i < 3; ++i) frame();
    for (auto _ : state) frame();
    state.counters["images"] = static_cast<double>(blits.size());
}
BENCHMARK(BM_BareAllegroFrame)->Unit(benchmark::kMillisecond);

}  // namespace
