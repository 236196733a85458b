#include "gen_town.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "dax2/dax_random.h"
#include "rn_bld_bldr.h"
#include "rn_bld_deco.h"
#include "rn_bld_hous.h"
#include "rn_bld_mrkt.h"
#include "rn_bld_prod.h"
#include "rn_bld_serv.h"
#include "rn_bld_stor.h"
#include "rn_game.h"
#include "rn_lua_loader.h"
#include "rn_map.h"
#include "save_town.h"
#include "support/sample_world_ids.h"

namespace gentown {

namespace {

using namespace sample_world;

// A block of the town: 24 tiles wide and 5 deep, a road along its top row
// and down its left column, so that the blocks side by side make a grid of
// streets. Buildings stand on the two rows under its road and on the two
// rows above the road of the block below; footprints end at (dx, dy) from
// the block's corner.
constexpr int kBlockW = 24;
constexpr int kBlockH = 5;
struct Lot {
    int16_t kind;
    int32_t id;
    int dx, dy;
};
const Lot kBlock[] = {
    // Under the road: six houses with fountains, three wells, two tax
    // offices, two markets and a builder, each 1 by 1 building with a garden
    // behind it.
    {RnIdBldHous, kHouse, 2, 2},       {RnIdBldDeco, kFountain, 3, 1},    {RnIdBldDeco, kGarden, 3, 2},
    {RnIdBldHous, kHouse, 5, 2},       {RnIdBldServ, kWell, 6, 1},        {RnIdBldDeco, kGarden, 6, 2},
    {RnIdBldMrkt, kMarket, 8, 2},      {RnIdBldServ, kTaxOffice, 9, 1},   {RnIdBldDeco, kGarden, 9, 2},
    {RnIdBldHous, kHouse, 11, 2},      {RnIdBldDeco, kFountain, 12, 1},   {RnIdBldDeco, kGarden, 12, 2},
    {RnIdBldHous, kHouse, 14, 2},      {RnIdBldBldr, kBuilderYard, 15, 1}, {RnIdBldDeco, kGarden, 15, 2},
    {RnIdBldServ, kWell, 16, 1},       {RnIdBldDeco, kGarden, 16, 2},     {RnIdBldMrkt, kMarket, 18, 2},
    {RnIdBldServ, kTaxOffice, 19, 1},  {RnIdBldDeco, kGarden, 19, 2},     {RnIdBldHous, kHouse, 21, 2},
    {RnIdBldDeco, kFountain, 22, 1},   {RnIdBldDeco, kGarden, 22, 2},     {RnIdBldServ, kWell, 23, 1},
    {RnIdBldDeco, kGarden, 23, 2},
    // Above the next road: the storehouse, four farms, the sawmill, a
    // woodcutter at the edge of a wood (columns 9 to 14) and two houses.
    {RnIdBldStor, kStorehouse, 2, 4},  {RnIdBldProd, kFarm, 4, 4},        {RnIdBldProd, kFarm, 6, 4},
    {RnIdBldProd, kSawmill, 8, 4},     {RnIdBldProd, kWoodcutter, 9, 4},  {RnIdBldProd, kFarm, 16, 4},
    {RnIdBldProd, kFarm, 18, 4},       {RnIdBldHous, kHouse, 20, 4},      {RnIdBldHous, kHouse, 22, 4},
    {RnIdBldDeco, kGarden, 23, 4},
};
constexpr int kLotsPerBlock = static_cast<int>(sizeof(kBlock) / sizeof(kBlock[0]));

// Where the plan's blocks lie: cols by rows blocks (the last row may be
// short) from (x0, y0).
struct Layout {
    int blocks = 0;
    int cols = 1;
    int rows = 0;
    int x0 = 0;
    int y0 = 0;

    explicit Layout(const Plan& plan) {
        blocks = (plan.buildings + kLotsPerBlock - 1) / kLotsPerBlock;
        while (cols * kBlockW < plan.side - 2 && static_cast<long>(cols) * cols * kBlockW / kBlockH < blocks) ++cols;
        rows = (blocks + cols - 1) / cols;
        x0 = (plan.side - cols * kBlockW) / 2;
        y0 = (plan.side - rows * kBlockH) / 2;
    }
    bool fits() const { return x0 >= 1 && y0 >= 1; }
    int blockX(int b) const { return x0 + (b % cols) * kBlockW; }
    int blockY(int b) const { return y0 + (b / cols) * kBlockH; }
};

std::string describe(const Site& s) {
    return "kind " + std::to_string(s.kind) + " type " + std::to_string(s.id) + " at " + std::to_string(s.x) + "," +
           std::to_string(s.y);
}

bool stands(const Site& s) {
    const RnObjectID& oid = grn_map.tile(s.x, s.y).oid_;
    return oid.kind_ == s.kind && oid.bld_idx_ != -1;
}

}  // namespace

bool place(const Site& site) { return savetown::place(site.kind, site.id, site.x, site.y, site.x2, site.y2); }

std::string makeLand(const Plan& plan) {
    const Layout layout(plan);
    if (!layout.fits())
        return std::to_string(layout.blocks) + " blocks do not fit a map of side " + std::to_string(plan.side);
    grn_game.clear();
    grn_game.resetForNewGame("bench", "Bench");
    dax_random.seed(4357u);
    {
        RnLuaPreloader icons;
        icons.init();
        if (icons.run("load_icons.lua") != 0) return "load_icons.lua";
    }
    {
        RnLuaModelLoader model;
        model.init();
        if (model.run("ddm.lua") != 0) return "ddm.lua";
    }

    grn_map.createEmpty(static_cast<unsigned>(plan.side));
    const int16_t grass = grn_game.terrainIdx(kGrass);
    const int16_t forest = grn_game.terrainIdx(kForest);
    for (int x = 0; x < plan.side; ++x) {
        for (int y = 0; y < plan.side; ++y) {
            RnMapTile& t = grn_map.tile(x, y);
            t.terrain_idx_ = grass;
            t.resetToTerrain();
        }
    }
    for (int b = 0; b < layout.blocks; ++b) {
        const int bx = layout.blockX(b);
        const int by = layout.blockY(b);
        for (int x = bx + 9; x <= bx + 14; ++x) {
            for (int y = by + 3; y <= by + 4; ++y) {
                RnMapTile& t = grn_map.tile(x, y);
                t.terrain_idx_ = forest;
                t.resetToTerrain();
            }
        }
    }
    grn_game.clearTerrainOnMapMarks();
    grn_game.terrain(grass).flags_ |= kRnTerrainOnMap;
    grn_game.terrain(forest).flags_ |= kRnTerrainOnMap;
    grn_game.validateModel();

    if (plan.busy) {
        for (RnServType& t : grn_game.servTypes()) {
            t.req_num_serv_walkers_ = 7;
            t.hours_respawn_ = 1;
        }
        for (RnMrktType& t : grn_game.mrktTypes()) {
            t.num_walkers_ = 12;
            t.hours_respawn_ = 1;
        }
        for (RnBldrType& t : grn_game.bldrTypes()) {
            t.req_num_bldr_walkers_ = 7;
            t.hours_respawn_ = 1;
        }
        for (RnProdType& t : grn_game.prodTypes()) t.num_walkers_ = 5;
        for (RnStorType& t : grn_game.storTypes()) {
            t.num_prod_walkers_ = 15;
            t.num_stor_walkers_ = 15;
        }
    }
    grn_game.money_ = 1000000000;
    return "";
}

std::string placeTown(const Plan& plan) {
    const Layout layout(plan);
    const int x1 = layout.x0 + layout.cols * kBlockW;
    const int y1 = layout.y0 + layout.rows * kBlockH;
    std::vector<Site> sites;
    for (int r = 0; r <= layout.rows; ++r) {
        const int y = layout.y0 + r * kBlockH;
        sites.push_back({RnIdBldRoad, kRoad, layout.x0, y, x1, y});
    }
    for (int c = 0; c <= layout.cols; ++c) {
        const int x = layout.x0 + c * kBlockW;
        sites.push_back({RnIdBldRoad, kRoad, x, layout.y0, x, y1});
    }
    for (const Site& s : lots(plan)) sites.push_back(s);
    for (const Site& s : sites) {
        if (!place(s)) return describe(s) + " does not fit";
    }
    return "";
}

std::vector<Site> lots(const Plan& plan) {
    const Layout layout(plan);
    std::vector<Site> out;
    for (int b = 0; b < layout.blocks; ++b) {
        const int bx = layout.blockX(b);
        const int by = layout.blockY(b);
        for (const Lot& lot : kBlock) {
            const int x = bx + lot.dx;
            const int y = by + lot.dy;
            out.push_back({lot.kind, lot.id, x, y, x, y});
        }
    }
    return out;
}

std::vector<Site> roadPieces(const Plan& plan) {
    const Layout layout(plan);
    std::vector<Site> out;
    for (int b = 0; b < layout.blocks; ++b) {
        const int bx = layout.blockX(b);
        const int by = layout.blockY(b);
        out.push_back({RnIdBldRoad, kRoad, bx + 13, by, bx + 13, by});
        out.push_back({RnIdBldRoad, kRoad, bx, by + 2, bx, by + 2});
    }
    return out;
}

Changes::Changes(std::vector<Site> buildings, std::vector<Site> roads, uint32_t seed, size_t most_down)
    : roads_(std::move(roads)), rng_(seed), most_down_(most_down) {
    std::map<int16_t, std::vector<Site>> by_kind;
    for (const Site& s : buildings) by_kind[s.kind].push_back(s);
    for (auto& entry : by_kind) kinds_.push_back(std::move(entry.second));
}

std::string Changes::step() {
    // Put one back half of the time, and always when as many are down as
    // may be.
    if (!down_.empty() && (down_.size() >= most_down_ || below(2) == 0)) {
        const size_t i = below(down_.size());
        const Site s = down_[i];
        if (!place(s)) return "";
        down_.erase(down_.begin() + static_cast<std::ptrdiff_t>(i));
        return describe(s) + " put up again";
    }
    const bool road = !roads_.empty() && (kinds_.empty() || below(3) == 0);
    if (!road && kinds_.empty()) return "";
    const std::vector<Site>& from = road ? roads_ : kinds_[below(kinds_.size())];
    const Site s = from[below(from.size())];
    if (!stands(s) || !savetown::demolish(s.x, s.y)) return "";
    down_.push_back(s);
    return describe(s) + " taken down";
}

int countBuildings() {
    int n = 0;
    auto add = [&n](auto& types) {
        for (auto& t : types) n += t.instanceCount();
    };
    add(grn_game.housTypes());
    add(grn_game.servTypes());
    add(grn_game.storTypes());
    add(grn_game.prodTypes());
    add(grn_game.mrktTypes());
    add(grn_game.decoTypes());
    add(grn_game.bldrTypes());
    return n;
}

}  // namespace gentown
