// The goods statistics' recount (RnGame::updateGoodsStatistics), which runs
// after every building built or removed and every house level change, over
// towns of many houses; beside it a bare baseline doing the same sums over
// plain vectors.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "rn_bld_hous.h"
#include "rn_bld_prod.h"
#include "rn_game.h"

namespace {

// Three goods; a house type whose level 1 eats bread and wears planks; a
// bakery type with a building per ten houses.
void makeTown(int houses) {
    grn_game.clear();
    grn_game.addGoodsType(RnGoodsType("wood", 1, 1, 4, -2));
    grn_game.addGoodsType(RnGoodsType("planks", 2, 2, 2, -2));
    grn_game.addGoodsType(RnGoodsType("bread", 3, 3, 4, -2));
    RnProdType bakery;
    bakery.type_id_ = 10;
    bakery.output_goods_ = {{2, 2, 8}};
    grn_game.addProdType(bakery);
    RnHousType ht;
    ht.type_id_ = 20;
    ht.level_descs_.resize(3);
    ht.level_descs_[1].goods_ = {{2, 1, 24}};
    ht.level_descs_[1].material_ = {1, 2, 240};
    ht.level_descs_[2].goods_ = {{0, 1, 48}};
    grn_game.addHousType(ht);
    RnHousType& type = grn_game.housType(0);
    for (int i = 0; i < houses; ++i) {
        RnHous& h = rnAddInstance(type.instances_, type, RnHous(i % 1000, i / 1000, DaxGameTime(0)));
        h.state_ = 1u | 10u << RnHousPersData::kPeopleShift;
        RnHouseGoodsData bread;
        bread.level_ = 1;
        bread.hours_ = 24;
        h.goods_[2] = bread;
        RnHouseGoodsData wood;
        wood.level_ = 2;
        wood.hours_ = 48;
        h.goods_[0] = wood;
        h.material_in_store_[1] = RnMaterialInf();
    }
    RnProdType& prod = grn_game.prodType(0);
    for (int i = 0; i < houses / 10; ++i) rnAddInstance(prod.instances_, prod, RnProd(prod, i, 0));
}

void BM_UpdateGoodsStatistics(benchmark::State& state) {
    makeTown(static_cast<int>(state.range(0)));
    grn_game.updateGoodsStatistics();  // the day's advice, once
    for (auto _ : state) {
        grn_game.updateGoodsStatistics();
        benchmark::DoNotOptimize(grn_game.goodsType(2).rate_hous_);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    grn_game.clear();
}
BENCHMARK(BM_UpdateGoodsStatistics)->Arg(1000)->Arg(5000)->Arg(20000);

// The same sums over plain records: per house its level, people and goods
// needs, per type the counts.
struct BareNeed {
    int16_t goods;
    int16_t level;
    uint16_t hours;
};
struct BareHouse {
    int level;
    int people;
    std::vector<BareNeed> goods;
    std::vector<BareNeed> material;
};

void BM_BareStatisticsBaseline(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::vector<BareHouse> houses(static_cast<size_t>(n));
    for (BareHouse& h : houses) {
        h.level = 1;
        h.people = 10;
        h.goods = {{0, 2, 48}, {2, 1, 24}};
        h.material = {{1, 1, 240}};
    }
    const int bakeries = n / 10;
    for (auto _ : state) {
        double hous[3] = {0, 0, 0};
        double next[3] = {0, 0, 0};
        double prod[3] = {0, 0, 0};
        prod[2] += 2 * 4 * 168.0 / 8 * bakeries;
        for (const BareHouse& h : houses) {
            for (const BareNeed& g : h.goods) {
                if (h.level >= g.level) hous[g.goods] += 168.0 / g.hours * h.people;
                if (g.level == h.level + 1) next[g.goods] += 168.0 / g.hours * h.people;
            }
            for (const BareNeed& m : h.material) {
                if (m.level <= h.level) hous[m.goods] += 168.0 / m.hours;
            }
        }
        benchmark::DoNotOptimize(hous);
        benchmark::DoNotOptimize(next);
        benchmark::DoNotOptimize(prod);
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_BareStatisticsBaseline)->Arg(1000)->Arg(5000)->Arg(20000);

}  // namespace
