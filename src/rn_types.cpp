// Constructors of the plain type records.
#include "rn_types.h"

RnTerrain::RnTerrain(std::string name, int32_t id, std::string floor_name, std::string image_name,
                     const float colour[4], int16_t resource_mask, bool walkable, bool roads, bool buildings,
                     bool flat)
    : id_(id),
      name_(std::move(name)),
      floor_name_(std::move(floor_name)),
      image_name_(std::move(image_name)),
      resource_mask_(resource_mask) {
    if (colour) {
        for (int i = 0; i < 4; ++i) colour_[i] = colour[i];
    }
    flags_ = static_cast<int16_t>((walkable ? kRnTerrainWalkable : 0) | (roads ? kRnTerrainRoads : 0) |
                                  (buildings ? kRnTerrainBuildings : 0) | (flat ? kRnTerrainFlat : 0));
}

RnGoodsType::RnGoodsType(std::string name, int32_t id, int16_t goods_class, uint16_t lot_size, int32_t image)
    : id_(id), name_(std::move(name)), class_(goods_class), lot_size_(lot_size), image_(image) {}

bool RnGoodsType::isUsed() const {
    return used_hous_ || used_p_in_ || used_prod_ || used_harv_ || used_serv_ || used_deco_ || used_mat_ ||
           used_bldr_;
}
