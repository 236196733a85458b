// The overview screen and its picture of the map.
#include "rn_menu_overview.h"

#include <allegro5/allegro.h>
#include <allegro5/allegro_primitives.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <string>

#include "dax2/dax_clock.h"
#include "dax2/dax_dialog.h"
#include "dax2/dax_error.h"
#include "dax2/dax_ini.h"
#include "gcn/key.hpp"
#include "gcn/widgets/tab.hpp"
#include "rn_bld_bldr.h"
#include "rn_bld_deco.h"
#include "rn_bld_hous.h"
#include "rn_bld_mrkt.h"
#include "rn_bld_prod.h"
#include "rn_bld_road.h"
#include "rn_bld_serv.h"
#include "rn_bld_stor.h"
#include "rn_game.h"
#include "rn_game_infostr.h"
#include "rn_mainmap.h"
#include "rn_map.h"
#include "rn_menu_game.h"
#include "rn_wlk_generic.h"

namespace {

enum : int {
    kTextBack = 1103,
    kTextTabBuildings = 2187,
    kTextTabGoods = 2188,
    kTextTabProduction = 2189,
    kTextMap = 2810,
    kTextPlain = 2811,
    kTextRoads = 2812,
    kTextDesirability = 2813,
    kTextWorkforce = 2814,
    kTextHouses = 2815,
    kTextBuildersServices = 2816,
    kTextMarketsStorages = 2817,
    kTextZoom = 2818,
    kTextAllProduction = 2819,
};

constexpr const char* kGroup = "ov";
constexpr float kMaxZoom = 4.0f;
constexpr float kGrey = 192.0f / 255.0f;

using Colour = RnOverviewMapWidget::Colour;

// The balance colours of the goods radios, by state: 0 balanced, 1 short, 2
// plentiful, 3 both.
const gcn::Color kBalanceColours[4] = {gcn::Color(192, 255, 180), gcn::Color(255, 64, 64),
                                       gcn::Color(128, 255, 128), gcn::Color(255, 255, 64)};

// A share of a whole, 0 when there is no whole, at most 1.
float share(double part, double whole) {
    if (whole <= 0.0 || part <= 0.0) return 0.0f;
    return static_cast<float>(std::min(1.0, part / whole));
}

float clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }

// The number of types of a road or building kind.
size_t typeCount(int16_t kind) {
    switch (kind) {
    case RnIdBldRoad: return grn_game.roadTypes().size();
    case RnIdBldHous: return grn_game.housTypes().size();
    case RnIdBldServ: return grn_game.servTypes().size();
    case RnIdBldStor: return grn_game.storTypes().size();
    case RnIdBldProd: return grn_game.prodTypes().size();
    case RnIdBldMrkt: return grn_game.mrktTypes().size();
    case RnIdBldDeco: return grn_game.decoTypes().size();
    case RnIdBldBldr: return grn_game.bldrTypes().size();
    default: return 0;
    }
}

// Copies text into a hover-text buffer of size bytes; returns its length.
int copyText(const std::string& text, char* buffer, int size) {
    if (size <= 0) return 0;
    const size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

Colour fromFloats(const float c[4]) { return Colour{c[0], c[1], c[2], c[3]}; }

// A colour drained to a tenth of its hue: what the pictures show of the
// buildings they are not about.
Colour dimmed(Colour c) {
    const float mean = (c.r + c.g + c.b) / 3.0f;
    return Colour{c.r * 0.1f + mean * 0.9f, c.g * 0.1f + mean * 0.9f, c.b * 0.1f + mean * 0.9f, c.a};
}

Colour mix(const Colour& a, float wa, const Colour& b) {
    const float wb = 1.0f - wa;
    return Colour{a.r * wa + b.r * wb, a.g * wa + b.g * wb, a.b * wa + b.b * wb, a.a};
}

ALLEGRO_COLOR allegro(const Colour& c) { return al_map_rgba_f(clamp01(c.r), clamp01(c.g), clamp01(c.b), clamp01(c.a)); }

Colour terrainColour(const RnMapTile& tile) {
    const auto& terrains = grn_game.terrains();
    if (tile.terrain_idx_ < 0 || static_cast<size_t>(tile.terrain_idx_) >= terrains.size()) return Colour{0, 0, 0, 1};
    return fromFloats(terrains[static_cast<size_t>(tile.terrain_idx_)].colour_);
}

// The plain picture: a building's type colour, else the terrain's.
Colour plainColour(const RnMapTile& tile) {
    if (tile.oid_.isRoadOrBuilding()) return fromFloats(grn_game.buildingTypeOfTile(tile).colour_);
    return terrainColour(tile);
}

// How strongly a desirability of v shows against the greatest needed
// desirability m, with the slope starting at t: linear up to t, then
// steeper. Without a slope (m of 0) every desirability shows fully.
float desirabilityIntensity(int v, int t, int m) {
    if (v < t) return static_cast<float>(v) / 255.0f;
    if (m <= 0) return 1.0f;
    const double f = std::trunc(255.0 / m * (v - t) + t) / 255.0;
    return static_cast<float>(std::min(1.0, f));
}

Colour tintDesirability(Colour c, int d, int max_attr) {
    if (d < 0) {
        const int s = max_attr / 8;
        const float f = desirabilityIntensity(-d, s / 7, s);
        const float k = 1.0f - f / 2.0f;
        return Colour{c.r * k + f * (1.0f - c.r * k), c.g * k, c.b * k, c.a};
    }
    const float f = desirabilityIntensity(d, max_attr / 7, max_attr);
    const float k = 1.0f - f / 2.0f;
    return Colour{c.r * k, c.g * k + f * (1.0f - c.g * k), c.b * k, c.a};
}

// The greatest needed desirability of the top levels of the house types.
int maxNeededDesirability() {
    int m = 0;
    for (const RnHousType& ht : grn_game.housTypes()) {
        if (!ht.level_descs_.empty()) m = std::max(m, static_cast<int>(ht.level_descs_.back().needed_attr_));
    }
    return m;
}

// The most workers a house of any type offers at its top level.
double maxHouseWorkers() {
    double w = 0.0;
    for (const RnHousType& ht : grn_game.housTypes()) {
        if (ht.level_descs_.empty()) continue;
        w = std::max(w, ht.level_descs_.back().people_max_ * ht.percent_workers_ / 100.0);
    }
    return w;
}

// A building's workers against the most any house offers: houses in
// green (and blue where some have no job), workplaces in red the fewer
// workers they have (and green where they have all they need).
Colour workforceColour(Colour c, const RnGenericBuilding& b, double max_workers) {
    c = dimmed(c);
    if (b.oid_.kind_ == RnIdBldHous) {
        const RnHous& h = static_cast<const RnHous&>(b);
        if (h.housType().percent_workers_ == 0) return c;
        const float f = share(h.curNumWorkers(), max_workers);
        c.g += f * (1.0f - c.g);
        if (h.employed() < h.curNumWorkers()) c.b += 0.9f * f * (1.0f - c.b);
        return c;
    }
    int assigned = 0;
    int jobs = 0;
    for (const RnPeoplType& p : grn_game.peoplTypes()) {
        RnWorkforce::WorkerCounts counts;
        if (!p.workforce_.nodeCounts(b.oid_, counts)) continue;
        assigned += counts.sink_assigned_;
        jobs += counts.sink_jobs_;
    }
    const float f = share(assigned, max_workers);
    c.r += (1.0f - c.r) * (1.0f - f);
    if (assigned == jobs) c.g += 0.9f * (1.0f - c.g) * (1.0f - f);
    return c;
}

// A production or market building of the chosen type: grey, its red
// falling with a full output store, or its green and blue with a short
// input.
Colour levelColour(const RnGenericBuilding& b, float input_low, float output_high, bool input_first) {
    Colour c{kGrey, kGrey, kGrey, 1.0f};
    const float i = b.inputLevel() / 1000.0f;
    const float o = b.outputLevel() / 1000.0f;
    if (input_first) {
        if (i < input_low) {
            c.g = c.b = i;
        } else if (o > output_high) {
            c.r = 1.0f - o;
        }
    } else if (o > output_high) {
        c.r = 1.0f - o;
    } else if (i < input_low) {
        c.g = c.b = i;
    }
    return c;
}

// A building's need of the chosen builder or service type: from green (a
// little) to red (much), over a faint trace of what was there.
Colour needColour(const Colour& under, int permille) {
    const float q = clamp01((1000 - permille) / 1000.0f);
    const float k = 1.0f - q / 2.0f;
    const float w = 0.2f + 0.2f * q;
    return mix(under, w, Colour{k, q, 0.0f, under.a});
}

// Veils blend over the picture and leave it opaque; the previous blender
// is given back through the six values.
void setVeilBlender(int (&saved)[6]) {
    al_get_separate_blender(&saved[0], &saved[1], &saved[2], &saved[3], &saved[4], &saved[5]);
    al_set_separate_blender(ALLEGRO_ADD, ALLEGRO_ALPHA, ALLEGRO_INVERSE_ALPHA, ALLEGRO_ADD, ALLEGRO_ZERO, ALLEGRO_ONE);
}

}  // namespace

// ---------------------------------------------------------------------------
// Radio buttons of types

AnnotatedRadioButton::AnnotatedRadioButton(const std::string& caption, const RnObjectTypeID& type)
    : gcn::RadioButton(caption.c_str(), kGroup, false), type_(type) {
    setOverlayPlacement(kDaxOverlayLeft);
}


int AnnotatedRadioButton::overlayText(char* buffer, int size) {
    std::string text;
    const int16_t idx = type_.typeIdx();
    if (type_.id() == RnIdNone) {
        if (idx < 0 || static_cast<size_t>(idx) >= grn_game.goodsTypes().size()) return 0;
        rnGoodsLine(text, idx, RnObjectID(), true, false);
    } else {
        if (idx < 0 || static_cast<size_t>(idx) >= typeCount(type_.id())) return 0;
        const RnGenericBuildingType& type = grn_game.buildingType(type_);
        rnBuildMenuTooltip(text, type_.id(), type.type_id_, type.name_);
    }
    return copyText(text, buffer, size);
}

// ---------------------------------------------------------------------------
// The picture

RnOverviewMapWidget::RnOverviewMapWidget() {
    addMouseListener(this);
    setOverlayPlacement(kDaxOverlayAtMouse);
}

void RnOverviewMapWidget::setMode(int mode, const RnObjectTypeID& type) {
    mode_ = mode;
    type_ = type;
    invalidate();
}

void RnOverviewMapWidget::setDimension(const gcn::Rectangle& dimension) {
    RnMiniMapWithPosition::setDimension(dimension);
    const int n = grn_map.size();
    if (n <= 0) return;
    float z = zoom();
    for (int k = 2; k <= static_cast<int>(kMaxZoom); ++k) {
        if (k * n < getWidth() && k * n < getHeight()) z = static_cast<float>(k);
    }
    setZoom(z);
    centreOnMainMap();
}

void RnOverviewMapWidget::centreOnMainMap() {
    if (grn_pmainmap) {
        const auto c = grn_pmainmap->viewCentre();
        setViewCentre(c.first, c.second);
    } else {
        const float half = static_cast<float>(grn_map.size()) / 2.0f;
        setViewCentre(half, half);
    }
}

bool RnOverviewMapWidget::isSelected(const RnObjectTypeID& type) const {
    // A type index of -1 stands for every type of the kind.
    return type.id() == type_.id() && (type_.typeIdx() < 0 || type.typeIdx() == type_.typeIdx());
}

RnOverviewMapWidget::Colour RnOverviewMapWidget::baseColour(int x, int y, float max_desirability,
                                                            float max_workers) const {
    const RnMapTile& tile = grn_map.tile(x, y);
    Colour c = plainColour(tile);
    if (mode_ == kDesirability && tile.desirability_ != 0) {
        c = tintDesirability(c, tile.desirability_, static_cast<int>(max_desirability));
    } else if (mode_ == kWorkforce && tile.oid_.isBuilding()) {
        c = workforceColour(c, grn_game.buildingByOid(tile.oid_), max_workers);
    }
    return c;
}

RnOverviewMapWidget::Colour RnOverviewMapWidget::typeAwareColour(int x, int y) const {
    const RnMapTile& tile = grn_map.tile(x, y);
    if (!tile.oid_.isRoadOrBuilding()) return terrainColour(tile);
    const RnGenericBuildingType& type = grn_game.buildingTypeOfTile(tile);
    if (tile.oid_.kind_ == RnIdBldRoad) return mode_ == kRoads ? Colour{1, 1, 1, 1} : fromFloats(type.colour_);
    const RnGenericBuilding& b = grn_game.buildingByOid(tile.oid_);
    const Colour faint = dimmed(fromFloats(type.colour_));
    const int16_t kind = tile.oid_.kind_;
    if (mode_ == kProduction) return kind == RnIdBldProd ? levelColour(b, 0.7f, 0.3f, false) : faint;
    if (mode_ != kBuildingType) return faint;
    if (isSelected(tile.oid_.typeId())) {
        if (kind == RnIdBldProd || kind == RnIdBldMrkt) return levelColour(b, 0.6f, 0.4f, true);
        if (kind == RnIdBldHous) {
            const RnHous& h = static_cast<const RnHous&>(b);
            const size_t levels = h.housType().level_descs_.size();
            // A type of a single level is always at its full level.
            const float l = levels > 1 ? clamp01(static_cast<float>(h.curLevel()) / (levels - 1)) : 1.0f;
            return Colour{1.0f - l, 1.0f, l, 1.0f};
        }
        return Colour{1, 1, 1, 1};
    }
    int need = 0;
    if (type_.id() == RnIdBldBldr) {
        need = b.materialNeed(rnNow(), RnObjectID(type_, -1));
    } else if (type_.id() == RnIdBldServ) {
        need = b.serviceNeed(rnNow(), type_.typeIdx(), 0);
    }
    return need > 0 ? needColour(faint, need) : faint;
}

void RnOverviewMapWidget::goodsFootprints(const std::vector<Colour>& grid,
                                          std::vector<std::pair<DaxMapPositionI, Colour>>& pixels) {
    const int16_t g = type_.typeIdx();
    const DaxGameTime now = rnNow();
    const int rows = endY() - firstY();
    // Each tile of a building's footprint that the picture shows, recoloured
    // from what it shows so far.
    auto paint = [&](const RnGenericBuilding& b, auto recolour) {
        const RnGenericBuildingType& type = b.buildingType();
        for (int x = b.pos_on_map_.x - type.width_ + 1; x <= b.pos_on_map_.x; ++x) {
            for (int y = b.pos_on_map_.y - type.height_ + 1; y <= b.pos_on_map_.y; ++y) {
                if (x < firstX() || x >= endX() || y < firstY() || y >= endY()) continue;
                const Colour& under = grid[static_cast<size_t>((x - firstX()) * rows + (y - firstY()))];
                pixels.emplace_back(DaxMapPositionI(x, y), recolour(under));
            }
        }
    };
    auto fixed = [](Colour c) { return [c](const Colour&) { return c; }; };
    auto note = [&](int16_t kind, size_t idx) { filter_.insert(TypeKey(kind, static_cast<int16_t>(idx))); };
    const int lot = grn_game.goodsType(g).lot_size_;

    if (grn_game.goodsType(g).used_hous_) {
        const auto& types = grn_game.housTypes();
        for (size_t i = 0; i < types.size(); ++i) {
            bool lists = false;
            for (const RnHousLevelDesc& level : types[i].level_descs_) {
                for (const RnHousGoodsNeed& need : level.goods_) lists = lists || need.good_type_idx_ == g;
            }
            if (!lists) continue;
            note(RnIdBldHous, i);
            for (const RnHous& h : types[i].instances_) {
                auto it = h.goods_.find(g);
                if (it == h.goods_.end()) continue;
                const int capacity = h.people() * it->second.cap_;
                const int stock = it->second.amountAt(now);
                if (capacity == 0 || (stock == 0 && !h.canLevelUp(now))) continue;
                const float f = share(stock, capacity);
                const float w = 0.3f + 0.3f * f;
                paint(h, [&](const Colour& c) { return mix(c, w, Colour{1.0f, f, 0.0f, c.a}); });
            }
        }
    }
    const auto& stor_types = grn_game.storTypes();
    for (size_t i = 0; i < stor_types.size(); ++i) {
        if (stor_types[i].capacityForGoods(g) == 0) continue;
        note(RnIdBldStor, i);
        for (const RnStor& s : stor_types[i].instances_) {
            auto it = s.goods_stored_.find(g);
            if (it == s.goods_stored_.end()) continue;
            const float f = share(it->second.stored_nlots_, stor_types[i].capacity_);
            paint(s, fixed(Colour{0.0f, 0.6f + 0.4f * f, f, 1.0f}));
        }
    }
    const auto& prod_types = grn_game.prodTypes();
    for (size_t i = 0; i < prod_types.size(); ++i) {
        const RnProdType& pt = prod_types[i];
        if (pt.inputAmountForGoods(g) == 0 && pt.outputAmountForGoods(g) == 0) continue;
        note(RnIdBldProd, i);
        for (const RnProd& p : pt.instances_) {
            Colour c{0.0f, 0.0f, 0.0f, 1.0f};
            auto out = p.output_goods_in_store_.find(g);
            if (out != p.output_goods_in_store_.end()) {
                const float f = share(out->second.stored_ & RnProdOutInf::kAmountMask, pt.out_capa_);
                c.g = 0.6f + 0.4f * f;
                c.b = f;
            }
            auto in = p.input_goods_.find(g);
            if (in != p.input_goods_.end()) {
                c.r = 1.0f;
                c.g = 0.6f + 0.4f * share(in->second.stored_, pt.in_capa_);
            }
            paint(p, fixed(c));
        }
    }
    // Buildings that use the goods up: yellow the fuller their store, red
    // the emptier.
    auto users = [&](const auto& types, int16_t kind, auto uses, auto stored, auto capacity) {
        for (size_t i = 0; i < types.size(); ++i) {
            if (!uses(types[i])) continue;
            note(kind, i);
            for (const auto& b : types[i].instances_) {
                const float f = share(stored(b), capacity(types[i]));
                paint(b, fixed(Colour{1.0f, 0.6f + 0.4f * f, 0.0f, 1.0f}));
            }
        }
    };
    users(
        grn_game.servTypes(), RnIdBldServ, [&](const RnServType& t) { return t.neededAmount(g) != 0; },
        [&](const RnServ& s) {
            auto it = s.goods_stored_.find(g);
            return it != s.goods_stored_.end() ? it->second.amt_.stored_ : 0;
        },
        [](const RnServType& t) { return t.in_capa_; });
    users(
        grn_game.decoTypes(), RnIdBldDeco, [&](const RnDecoType& t) { return t.amountForGoods(g) != 0; },
        [&](const RnDeco& d) {
            auto it = d.goods_.find(g);
            return it != d.goods_.end() ? it->second.stored_ : 0;
        },
        [](const RnDecoType& t) { return t.in_capa_; });
    users(
        grn_game.bldrTypes(), RnIdBldBldr, [&](const RnBldrType& t) { return t.capacityForGoods(g) != 0; },
        [&](const RnBldr& b) {
            auto it = b.goods_stored_.find(g);
            return it != b.goods_stored_.end() ? it->second.stored_ : 0;
        },
        [](const RnBldrType& t) { return t.capacity_; });
    const auto& mrkt_types = grn_game.mrktTypes();
    for (size_t i = 0; i < mrkt_types.size(); ++i) {
        if (mrkt_types[i].distribute_goods_.count(g) == 0) continue;
        note(RnIdBldMrkt, i);
        for (const RnMrkt& m : mrkt_types[i].instances_) {
            auto it = m.goods_stored_.find(g);
            const int amount = it != m.goods_stored_.end() ? it->second.amount_ : 0;
            // From red (empty) over yellow to cyan (full).
            const float f = share(amount, static_cast<double>(lot) * mrkt_types[i].capacity_);
            Colour c{0.0f, 1.0f, 3.0f * f - 2.0f, 1.0f};
            if (f < 0.33f) {
                c = Colour{1.0f, 3.0f * f, 0.0f, 1.0f};
            } else if (f < 0.67f) {
                c = Colour{2.0f - 3.0f * f, 1.0f, 0.0f, 1.0f};
            }
            paint(m, fixed(c));
        }
    }
}

void RnOverviewMapWidget::paintDemandCircles() const {
    const int16_t g = type_.typeIdx();
    int saved[6] = {};
    setVeilBlender(saved);
    for (const RnStorType& st : grn_game.storTypes()) {
        if (st.capacityForGoods(g) == 0) continue;
        for (const RnStor& s : st.instances_) {
            auto it = s.goods_stored_.find(g);
            if (it == s.goods_stored_.end() || it->second.demand_ == 0) continue;
            const int d = it->second.demand_;
            const int n = std::min(6, std::abs(d));
            // Red where the buildings around need the goods, green where
            // they bring them.
            const ALLEGRO_COLOR c = d < 0 ? al_map_rgba(static_cast<unsigned char>(16 * n + 30), 0, 0, 60)
                                          : al_map_rgba(0, static_cast<unsigned char>(13 * n + 30), 0, 50);
            const DaxMapPositionF centre = s.centreOnMap();
            al_draw_filled_circle(centre.x + offsetX() + 0.5f, centre.y + offsetY() + 0.5f, 3.0f * st.width_, c);
        }
    }
    al_set_separate_blender(saved[0], saved[1], saved[2], saved[3], saved[4], saved[5]);
}

void RnOverviewMapWidget::paintStorageNetwork(const RnObjectTypeID& otx, const Colour& colour) const {
    DAX_ASSERT(otx.id() == RnIdBldStor);
    const RnStorageNetwork& net = grn_game.storType(otx.typeIdx()).network_;
    const ALLEGRO_COLOR c = allegro(colour);
    for (int32_t e = net.gr_.firstEdge(); e != 0; e = net.gr_.nextEdge(e)) {
        const RnObjectID& from = net.nodeObject(net.gr_.edgeSource(e));
        const RnObjectID& to = net.nodeObject(net.gr_.edgeTarget(e));
        if (!grn_game.isObjectAlive(from) || !grn_game.isObjectAlive(to)) continue;
        const DaxMapPositionF a = grn_game.buildingByOid(from).centreOnMap();
        const DaxMapPositionF b = grn_game.buildingByOid(to).centreOnMap();
        const float ox = offsetX() + 0.5f;
        const float oy = offsetY() + 0.5f;
        al_draw_line(a.x + ox, a.y + oy, b.x + ox, b.y + oy, c, 0.0f);
    }
}

void RnOverviewMapWidget::paintTerrain(gcn::Graphics* /*graphics*/) {
    filter_.clear();
    ALLEGRO_BITMAP* target = al_get_target_bitmap();
    const int cols = endX() - firstX();
    const int rows = endY() - firstY();
    if (!target || cols <= 0 || rows <= 0) return;
    const float max_desirability = static_cast<float>(maxNeededDesirability());
    const float max_workers = static_cast<float>(maxHouseWorkers());
    std::vector<Colour> grid(static_cast<size_t>(cols) * static_cast<size_t>(rows));
    for (int i = 0; i < cols; ++i) {
        for (int j = 0; j < rows; ++j) {
            const int x = firstX() + i;
            const int y = firstY() + j;
            grid[static_cast<size_t>(i * rows + j)] =
                mode_ <= kWorkforce ? baseColour(x, y, max_desirability, max_workers) : typeAwareColour(x, y);
        }
    }
    al_lock_bitmap(target, ALLEGRO_PIXEL_FORMAT_ANY, ALLEGRO_LOCK_READWRITE);
    for (int i = 0; i < cols; ++i) {
        for (int j = 0; j < rows; ++j) {
            al_put_pixel(firstX() + i + offsetX(), firstY() + j + offsetY(),
                         allegro(grid[static_cast<size_t>(i * rows + j)]));
        }
    }
    al_unlock_bitmap(target);

    const bool goods = mode_ == kGoods && type_.typeIdx() >= 0 &&
                       static_cast<size_t>(type_.typeIdx()) < grn_game.goodsTypes().size();
    if (goods) {
        // The networks that carry the goods first, then the buildings that
        // handle them over it, then the storages' demand.
        const auto& stor_types = grn_game.storTypes();
        for (size_t i = 0; i < stor_types.size(); ++i) {
            if (stor_types[i].capacityForGoods(type_.typeIdx()) == 0) continue;
            paintStorageNetwork(RnObjectTypeID(RnIdBldStor, static_cast<int16_t>(i)),
                                Colour{180 / 255.0f, 180 / 255.0f, 180 / 255.0f, 1.0f});
        }
        std::vector<std::pair<DaxMapPositionI, Colour>> pixels;
        goodsFootprints(grid, pixels);
        al_lock_bitmap(target, ALLEGRO_PIXEL_FORMAT_ANY, ALLEGRO_LOCK_READWRITE);
        for (const auto& [pos, c] : pixels) al_put_pixel(pos.x + offsetX(), pos.y + offsetY(), allegro(c));
        al_unlock_bitmap(target);
        paintDemandCircles();
    }
    if (mode_ == kBuildingType && type_.id() == RnIdBldStor && type_.typeIdx() >= 0 &&
        static_cast<size_t>(type_.typeIdx()) < grn_game.storTypes().size()) {
        paintStorageNetwork(type_, Colour{1.0f, 1.0f, 1.0f, 1.0f});
    }
}

void RnOverviewMapWidget::paintObjects(gcn::Graphics* /*graphics*/, bool status) {
    ALLEGRO_BITMAP* target = al_get_target_bitmap();
    if (!target) return;
    const ALLEGRO_COLOR white = al_map_rgb(255, 255, 255);
    const ALLEGRO_COLOR red = al_map_rgb(255, 0, 0);
    const ALLEGRO_COLOR orange = al_map_rgb(255, 64, 0);
    const ALLEGRO_COLOR green = al_map_rgb(0, 255, 0);
    const ALLEGRO_COLOR yellow = al_map_rgb(255, 255, 0);
    const bool any_type = type_.id() <= 0;
    al_lock_bitmap(target, ALLEGRO_PIXEL_FORMAT_ANY, ALLEGRO_LOCK_READWRITE);
    for (int x = firstX(); x < endX(); ++x) {
        for (int y = firstY(); y < endY(); ++y) {
            const RnMapTile& tile = grn_map.tile(x, y);
            const ALLEGRO_COLOR* c = nullptr;
            if (tile.walker_head_.isWalker()) {
                const RnWalkerGeneric& w = grn_game.walkerByOid(tile.walker_head_);
                if (any_type) {
                    // The goods picture shows only the walkers carrying its
                    // goods.
                    const bool carrier = w.oid_.kind_ == RnIdWlkProd || w.oid_.kind_ == RnIdWlkStor;
                    if (mode_ != kGoods || (carrier && w.oid_.type_idx_ == type_.typeIdx())) c = &white;
                } else if (isSelected(w.home_oid_.typeId())) {
                    c = &green;
                } else if (isSelected(w.target_building_oid_.typeId())) {
                    c = &yellow;
                }
            }
            if (!c && status && tile.oid_.isRoadOrBuilding()) {
                const TypeKey key(tile.oid_.kind_, tile.oid_.type_idx_);
                if (!filter_.empty() && filter_.count(key) == 0) continue;
                const RnGenericBuilding& b = grn_game.buildingByOid(tile.oid_);
                const bool ruin = b.isDestroyed();
                if (mode_ == kWorkforce) {
                    if (!ruin && !b.hasWorkers()) c = &white;
                } else if (mode_ == kRoads) {
                    if (!ruin && b.problemFlags() != 0) c = &red;
                } else if (mode_ == kDesirability) {
                    if (ruin) c = &white;
                } else if (any_type || isSelected(tile.oid_.typeId())) {
                    const float eff = b.efficiency();
                    if (ruin || !b.hasWorkers() || b.problemFlags() != 0 || eff < 0.1f || b.shortMaterial() != 0) {
                        c = &red;
                    } else if (b.hasUnmetNeeds() || !b.inputsAvailable() || eff < 0.9f) {
                        c = &orange;
                    }
                }
            }
            if (c) al_put_pixel(x + offsetX(), y + offsetY(), *c);
        }
    }
    al_unlock_bitmap(target);
    paintViewOutline();
}

void RnOverviewMapWidget::rememberMouse(const gcn::MouseEvent& event) {
    const float z = zoom() > 0.0f ? zoom() : 1.0f;
    mouse_x_ = static_cast<float>(event.getX()) / z - static_cast<float>(offsetX());
    mouse_y_ = static_cast<float>(event.getY()) / z - static_cast<float>(offsetY());
}

void RnOverviewMapWidget::mouseEntered(gcn::MouseEvent& event) { rememberMouse(event); }
void RnOverviewMapWidget::mouseMoved(gcn::MouseEvent& event) { rememberMouse(event); }
void RnOverviewMapWidget::mouseDragged(gcn::MouseEvent& event) { rememberMouse(event); }

void RnOverviewMapWidget::mouseExited(gcn::MouseEvent& /*event*/) {
    mouse_x_ = -1.0f;
    mouse_y_ = -1.0f;
}

void RnOverviewMapWidget::mousePressed(gcn::MouseEvent& event) {
    int x = 0;
    int y = 0;
    if (event.getButton() != gcn::MouseEvent::Left || !tileAt(event.getX(), event.getY(), x, y)) return;
    setViewCentre(static_cast<float>(x), static_cast<float>(y));
    if (grn_pmainmap) grn_pmainmap->setViewCentre(static_cast<float>(x), static_cast<float>(y));
    event.consume();
}

int RnOverviewMapWidget::overlayText(char* buffer, int size) {
    const int x = static_cast<int>(std::floor(mouse_x_));
    const int y = static_cast<int>(std::floor(mouse_y_));
    if (mouse_x_ < 0.0f || mouse_y_ < 0.0f || !grn_map.isOnMap(x, y)) return 0;
    std::string text;
    rnTileInfo(text, grn_map.tile(x, y), false);
    return copyText(text, buffer, size);
}

// ---------------------------------------------------------------------------
// The screen

RnOverviewMenu::RnOverviewMenu(int width, int height)
    : roads_(daxTextOr(kTextRoads, "roads"), RnObjectTypeID(RnIdBldRoad, 0)), width_(width), height_(height) {
    setDimension(gcn::Rectangle(0, 0, width, height));
    setBaseColor(dax_config.back_color_);
    setBackgroundColor(dax_config.back_color_);
    setOpaque(true);

    // Tab 1: the building types by group, then the map pictures.
    gcn::ButtonVBar& buildings = columns_[0];
    addSection(buildings, kTextHouses);
    const auto& houses = grn_game.housTypes();
    for (size_t i = 0; i < houses.size(); ++i) {
        addTypeRadio(hous_radios_, buildings, houses[i].name_, RnIdBldHous, static_cast<int16_t>(i));
    }
    addSection(buildings, kTextBuildersServices);
    const auto& builders = grn_game.bldrTypes();
    for (size_t i = 0; i < builders.size(); ++i) {
        addTypeRadio(bldr_radios_, buildings, builders[i].name_, RnIdBldBldr, static_cast<int16_t>(i));
    }
    const auto& services = grn_game.servTypes();
    for (size_t i = 0; i < services.size(); ++i) {
        addTypeRadio(serv_radios_, buildings, services[i].name_, RnIdBldServ, static_cast<int16_t>(i));
    }
    addSection(buildings, kTextMarketsStorages);
    const auto& markets = grn_game.mrktTypes();
    for (size_t i = 0; i < markets.size(); ++i) {
        addTypeRadio(mrkt_radios_, buildings, markets[i].name_, RnIdBldMrkt, static_cast<int16_t>(i));
    }
    const auto& storages = grn_game.storTypes();
    for (size_t i = 0; i < storages.size(); ++i) {
        addTypeRadio(stor_radios_, buildings, storages[i].name_, RnIdBldStor, static_cast<int16_t>(i));
    }
    addSection(buildings, kTextMap);
    plain_.setCaption(daxTextOr(kTextPlain, "plain map"));
    production_.setCaption(daxTextOr(kTextAllProduction, "all production"));
    desirability_.setCaption(daxTextOr(kTextDesirability, "desirability"));
    workforce_.setCaption(daxTextOr(kTextWorkforce, "workforce"));
    for (gcn::RadioButton* r : {&plain_, static_cast<gcn::RadioButton*>(&roads_), &production_, &desirability_,
                                &workforce_}) {
        r->setGroup(kGroup);
        r->setBaseColor(dax_config.button_color_);
        r->adjustSize();
        r->addActionListener(this);
        buildings.add(r);
    }
    tab_bars_[0].add(&buildings);

    // Tab 2: goods, those of the houses first.
    const auto& goods = grn_game.goodsTypes();
    for (size_t i = 0; i < goods.size(); ++i) {
        addTypeRadio(goods_radios_, columns_[goods[i].used_hous_ ? 1 : 2], goods[i].name_, RnIdNone,
                     static_cast<int16_t>(i));
    }
    tab_bars_[1].add(&columns_[1]);
    tab_bars_[1].add(&columns_[2]);

    // Tab 3: production types in two columns.
    const auto& prods = grn_game.prodTypes();
    for (size_t i = 0; i < prods.size(); ++i) {
        addTypeRadio(prod_radios_, columns_[3 + i % 2], prods[i].name_, RnIdBldProd, static_cast<int16_t>(i));
    }
    tab_bars_[2].add(&columns_[3]);
    tab_bars_[2].add(&columns_[4]);

    for (gcn::ButtonVBar& c : columns_) c.setSpacingAndMargin(2, 4);
    for (gcn::ButtonHBar& bar : tab_bars_) bar.setSpacingAndMargin(8, 0);
    tabs_.addTab(daxTextOr(kTextTabBuildings, "Buildings").c_str(), &tab_bars_[0]);
    tabs_.addTab(daxTextOr(kTextTabGoods, "Goods").c_str(), &tab_bars_[1]);
    tabs_.addTab(daxTextOr(kTextTabProduction, "Production").c_str(), &tab_bars_[2]);
    tabs_.setBaseColor(dax_config.button_color_);

    zoom_label_.setCaption(daxTextOr(kTextZoom, "Zoom"));
    zoom_label_.adjustSize();
    back_.setCaption(daxTextOr(kTextBack, "Back"));
    back_.adjustSize();
    back_.setBaseColor(dax_config.button_color_);
    back_.addActionListener(this);
    zoom_slider_.setScale(0.0, 1.0);
    zoom_slider_.setHeight(back_.getHeight());
    zoom_slider_.setMarkerLength(back_.getHeight());
    zoom_slider_.setBaseColor(dax_config.button_color_);
    zoom_slider_.addActionListener(this);
    right_.setSpacingAndMargin(4, 4);
    right_.add(&tabs_);
    right_.add(&zoom_label_);
    right_.add(&zoom_slider_);
    right_.add(&back_);
    add(&right_);
    refreshRadios();
    layoutPanel();

    // The picture takes the rest of the screen; its zoom follows from its
    // size.
    picture_.setSize(width - right_.getWidth(), height);
    add(&picture_, 0, 0);
    if (picture_.zoom() >= kMaxZoom) {
        zoom_label_.setVisible(false);
        zoom_slider_.setVisible(false);
    } else {
        zoom_slider_.setScale(picture_.zoom(), kMaxZoom);
        zoom_slider_.setStepLength(1.0);
        zoom_slider_.setValue(picture_.zoom());
    }
    overlay_.setOwner(this);
}

RnOverviewMenu::~RnOverviewMenu() { overlay_.setOwner(nullptr); }

gcn::Label* RnOverviewMenu::addSection(gcn::ButtonVBar& column, int text) {
    sections_.push_back(std::make_unique<gcn::Label>(daxTextOr(text, "").c_str()));
    column.add(sections_.back().get());
    return sections_.back().get();
}

AnnotatedRadioButton* RnOverviewMenu::addTypeRadio(RadioMap& map, gcn::ButtonVBar& column,
                                                   const std::string& caption, int16_t kind, int16_t type_idx) {
    radios_.push_back(std::make_unique<AnnotatedRadioButton>(caption, RnObjectTypeID(kind, type_idx)));
    AnnotatedRadioButton* r = radios_.back().get();
    r->setBaseColor(dax_config.button_color_);
    r->addActionListener(this);
    map.emplace(r, type_idx);
    column.add(r);
    return r;
}

void RnOverviewMenu::layoutPanel() {
    for (gcn::ButtonHBar& bar : tab_bars_) bar.layout(gcn::kLayoutVisible);
    tabs_.resizeToContent();
    // Wide enough for the tabs' captions too.
    int captions = 2;
    for (int i = 0; i < tabs_.getNumberOfTabs(); ++i) captions += tabs_.getTab(i)->getWidth();
    if (tabs_.getWidth() < captions) tabs_.setWidth(captions);
    right_.layout(gcn::kLayoutVisible);
    right_.setPosition(width_ - right_.getWidth(), 0);
}

void RnOverviewMenu::refreshRadios() {
    for (auto& [radio, g] : goods_radios_) {
        const RnGoodsType& gt = grn_game.goodsType(g);
        radio->setVisible(gt.production_sites_ + gt.market_instances_ + gt.builder_instances_ != 0);
        const double made = gt.rate_prod_;
        const double used = gt.rate_hous_ + gt.rate_deco_ + gt.rate_serv_ + gt.rate_p_in_ + gt.rate_other_;
        int state = 0;
        if (made > 0.0 || used > 0.0) {
            if (made > 1.2 * used) {
                state = 2;
            } else if (made < 0.99 * used) {
                state = 1;
            }
        }
        int stock = 0;
        int need = 0;
        rnGoodsBalance(g, stock, need);
        if (stock > 0 || need > 0) {
            if (need > 0.5 * stock) {
                state |= 1;
            } else if (need < 0.1 * stock) {
                state |= 2;
            }
        }
        radio->setBackgroundColor(kBalanceColours[state]);
    }
    for (auto& [radio, idx] : serv_radios_) radio->setEnabled(grn_game.servType(idx).instanceCount() > 0);
    for (auto& [radio, idx] : prod_radios_) radio->setVisible(grn_game.prodType(idx).instanceCount() > 0);
    for (auto& [radio, idx] : mrkt_radios_) radio->setVisible(grn_game.mrktType(idx).instanceCount() > 0);
    for (auto& [radio, idx] : stor_radios_) radio->setVisible(grn_game.storType(idx).instanceCount() > 0);
}

gcn::Container* RnOverviewMenu::getContainer() {
    refreshRadios();
    layoutPanel();
    picture_.centreOnMainMap();
    picture_.invalidate();
    return this;
}

void RnOverviewMenu::keyPressed(gcn::KeyEvent& event) {
    if (!event.isConsumed() && event.getKey().getValue() == gcn::Key::Escape) back_.fireActionAndConsume(event);
    if (!event.isConsumed()) DaxSubMenuIfc::keyPressed(event);
}

void RnOverviewMenu::action(const gcn::ActionEvent& event) {
    gcn::Widget* src = event.getSource();
    if (src == &back_) {
        if (dax_menu_handler) dax_menu_handler->backToCaller();
        return;
    }
    struct FixedMode {
        gcn::RadioButton* radio;
        int mode;
        RnObjectTypeID type;
    };
    const FixedMode fixed[] = {
        {&plain_, RnOverviewMapWidget::kPlain, RnObjectTypeID()},
        {&desirability_, RnOverviewMapWidget::kDesirability, RnObjectTypeID()},
        {&workforce_, RnOverviewMapWidget::kWorkforce, RnObjectTypeID()},
        {&roads_, RnOverviewMapWidget::kRoads, RnObjectTypeID(RnIdBldRoad, -1)},
        {&production_, RnOverviewMapWidget::kProduction, RnObjectTypeID(RnIdBldProd, -1)},
    };
    for (const FixedMode& f : fixed) {
        if (src != f.radio) continue;
        if (f.radio->isSelected()) picture_.setMode(f.mode, f.type);
        return;
    }
    if (src == &zoom_slider_) {
        picture_.setZoom(static_cast<float>(zoom_slider_.getValue()));
        picture_.setViewCentre(picture_.viewX(), picture_.viewY());
        return;
    }
    const std::pair<RadioMap*, int16_t> maps[] = {
        {&goods_radios_, RnIdNone},    {&hous_radios_, RnIdBldHous}, {&bldr_radios_, RnIdBldBldr},
        {&prod_radios_, RnIdBldProd},  {&serv_radios_, RnIdBldServ}, {&mrkt_radios_, RnIdBldMrkt},
        {&stor_radios_, RnIdBldStor},
    };
    for (const auto& [map, kind] : maps) {
        for (const auto& [radio, idx] : *map) {
            if (src != radio) continue;
            picture_.setMode(kind == RnIdNone ? RnOverviewMapWidget::kGoods : RnOverviewMapWidget::kBuildingType,
                             RnObjectTypeID(kind, idx));
            return;
        }
    }
    picture_.setMode(RnOverviewMapWidget::kPlain, RnObjectTypeID());
}

gcn::RadioButton& RnOverviewMenu::fixedRadio(Fixed f) {
    switch (f) {
    case kFixedRoads: return roads_;
    case kFixedProduction: return production_;
    case kFixedDesirability: return desirability_;
    case kFixedWorkforce: return workforce_;
    default: return plain_;
    }
}

AnnotatedRadioButton* RnOverviewMenu::typeRadio(int16_t kind, int16_t type_idx) {
    for (const auto& r : radios_) {
        if (r->objectType() == RnObjectTypeID(kind, type_idx)) return r.get();
    }
    return nullptr;
}

DaxSubMenuIfc* rnCreateOverviewMenu(int /*id*/) {
    int width = 0;
    int height = 0;
    daxDialogDisplaySize(width, height);
    return new (std::nothrow) RnOverviewMenu(width, height);
}
