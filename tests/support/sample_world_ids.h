// Script ids of the sample world's types (data/ddm.lua), for the tests and
// benchmarks that build towns on it. Each id is also the number of the
// type's name in the language file.
#pragma once

#include <cstdint>

namespace sample_world {

enum : int32_t {
    kGrass = 5101,
    kForest = 5102,
    kWood = 5311,
    kPlanks = 5312,
    kBread = 5313,
    kRoad = 5501,
    kHouse = 5601,
    kWell = 5701,
    kTaxOffice = 5702,
    kStorehouse = 5751,
    kMarket = 5801,
    kBuilderYard = 5851,
    kWoodcutter = 5901,
    kSawmill = 5902,
    kFarm = 5903,
    kGarden = 5951,
    kFountain = 5952,
};

}  // namespace sample_world
