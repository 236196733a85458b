// One frame of the main map through Allegro. Every image goes through
// Allegro's held (deferred) bitmap drawing; a building strip is drawn as a
// region of its image instead of under a clipping rectangle, so nothing in the
// frame breaks the batch.
#include "rn_mainmap_allegro.h"

#include <allegro5/allegro.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "dax2/dax_clock.h"
#include "dax2/dax_error.h"
#include "gcn/font.hpp"
#include "gcn/graphics.hpp"
#include "rn.h"
#include "rn_bld_bldr.h"
#include "rn_bld_deco.h"
#include "rn_bld_generic.h"
#include "rn_bld_mrkt.h"
#include "rn_bld_prod.h"
#include "rn_bld_serv.h"
#include "rn_bld_stor.h"
#include "rn_bld_texts.h"
#include "rn_game.h"
#include "rn_map.h"
#include "rn_wlk_generic.h"

const char* const RnMainMapAllegro::kMarkerNames[kMarkerCount] = {
    "walker_direct_marker", "walker_second_marker", "red_alert_marker", "orange_alert_marker",
    "people_unhappy_marker", "people_yellow_marker", "no_people_marker", "no_goods_marker",
};

namespace {

// The fatal check that names a missing marker.
const char* const kMarkerChecks[RnMainMapAllegro::kMarkerCount] = {
    "direct_idx.isValid()",  "second_idx.isValid()",  "alert_red_idx.isValid()", "alert_orange_idx.isValid()",
    "unhappy_idx.isValid()", "people_yellow_idx.isValid()", "no_people_idx.isValid()", "no_goods_idx.isValid()",
};

ALLEGRO_COLOR rgba(int r, int g, int b, int a) {
    return al_map_rgba(static_cast<unsigned char>(r), static_cast<unsigned char>(g), static_cast<unsigned char>(b),
                       static_cast<unsigned char>(a));
}

bool holdsRoadOrBuilding(const RnMapTile& t) { return t.oid_.isRoadOrBuilding(); }

bool validBitmap(int32_t id) { return id >= 0 && static_cast<size_t>(id / 2) < dax_bitmaps.size(); }

}  // namespace

RnMainMapAllegro::RnMainMapAllegro(int width, int height) : RnMainMap(width, height) {
    for (int i = 0; i < kMarkerCount; ++i) {
        DaxBitmapIndex id = dax_bitmaps.findVariant(kMarkerNames[i], 0);
        if (id < 0) daxAssertFailed(__FILE__, __LINE__, kMarkerChecks[i]);
        markers_[i] = dax_bitmaps.entry(id);
    }
}

void RnMainMapAllegro::blit(const DaxBitmapEntry& e, int x, int y, const ALLEGRO_COLOR* tint, const Strip& strip) {
    if (!e.bitmap_) return;
    ++images_;
    if (strip.x0 >= strip.x1) {
        if (tint) {
            al_draw_tinted_bitmap(e.bitmap_, *tint, static_cast<float>(x), static_cast<float>(y), 0);
        } else {
            al_draw_bitmap(e.bitmap_, static_cast<float>(x), static_cast<float>(y), 0);
        }
        return;
    }
    const int from = std::max(0, strip.x0 - x);
    const int to = std::min(static_cast<int>(e.width_), strip.x1 - x);
    if (to <= from) return;
    const float fx = static_cast<float>(from);
    const float fw = static_cast<float>(to - from);
    const float fh = static_cast<float>(e.height_);
    if (tint) {
        al_draw_tinted_bitmap_region(e.bitmap_, *tint, fx, 0.0f, fw, fh, static_cast<float>(x + from),
                                     static_cast<float>(y), 0);
    } else {
        al_draw_bitmap_region(e.bitmap_, fx, 0.0f, fw, fh, static_cast<float>(x + from), static_cast<float>(y), 0);
    }
}

void RnMainMapAllegro::draw(gcn::Graphics* graphics) {
    const gcn::ClipRectangle clip = graphics->getCurrentClipArea();
    const int wx = clip.x_offset;
    const int wy = clip.y_offset;
    // Allegro's clipping rectangle is the widget's visible area already.
    al_clear_to_color(al_map_rgb(0, 0, 0));
    tiles_ = 0;
    images_ = 0;
    if (tileWidth() <= 0 || tileHeight() <= 0 || grn_map.size() == 0) return;

    const int tw = tileWidth();
    const int th = tileHeight();
    const float hw = static_cast<float>(tw / 2);
    const float hh = static_cast<float>(th / 2);
    const float ox = static_cast<float>(originX());
    const float oy = static_cast<float>(originY());
    const int vw = viewWidth();
    const int vh = viewHeight();
    auto screenX = [&](int x, int y) { return static_cast<int>(static_cast<float>(x - y) * hw + ox); };
    auto screenY = [&](int x, int y) { return static_cast<int>(static_cast<float>(x + y) * hh + oy); };
    const bool held = al_is_bitmap_drawing_held();
    al_hold_bitmap_drawing(true);

    // Ground.
    for (int x = firstX(); x < endX(); ++x) {
        for (int y = firstY(); y < endY(); ++y) {
            const int32_t id = grn_map.tile(x, y).gnd_bmp_idx_;
            if (id < 0) continue;
            const DaxBitmapEntry& e = dax_bitmaps.entry(id);
            const int sx = screenX(x, y);
            if (sx - e.hot_x_ + e.width_ < 0 || sx - e.hot_x_ > vw) continue;
            blit(e, sx - e.hot_x_ + wx, screenY(x, y) - e.hot_y_ + th + wy, nullptr, Strip());
        }
    }

    // The building under the mouse, for its walkers' markers and its links.
    hovered_.setNull();
    int mtx = 0;
    int mty = 0;
    if (mouseTile(mtx, mty) && holdsRoadOrBuilding(grn_map.tile(mtx, mty))) hovered_ = grn_map.tile(mtx, mty).oid_;

    // Objects, back to front.
    const float L = -ox / hw;
    const float T = -oy / hh;
    const float R = (static_cast<float>(vw) - ox) / hw;
    const float B = (static_cast<float>(vh) - oy) / hh;
    const RnPhantomList& ph = phantom();
    const RnBoundingBox& box = ph.box();
    int visited = 0;
    for (int x = static_cast<int>((T + L) * 0.5f); static_cast<float>(x) < (B + R) * 0.5f + 3.0f; ++x) {
        for (int y = static_cast<int>((T - R) * 0.5f); static_cast<float>(y) < (B - L) * 0.5f + 3.0f; ++y) {
            if (!grn_map.isOnMap(x, y)) continue;
            const int rsx = screenX(x, y);
            const int sx = rsx + wx;
            const int sy = screenY(x, y) + wy;
            if (sy < 0) continue;
            ++visited;
            const RnMapTile& tile = grn_map.tile(x, y);
            if (tile.oid_.isBuilding()) {
                if (tile.second_bmp_idx_ >= 0) {
                    const DaxBitmapEntry& e = dax_bitmaps.entry(tile.second_bmp_idx_);
                    if (rsx - tw / 2 + e.width_ >= 0 && rsx - tw / 2 <= vw) {
                        Strip strip;
                        strip.x0 = sx - tw / 2;
                        strip.x1 = strip.x0 + e.width_;
                        drawBuilding(tile.oid_, e, sx, sy, x, y, strip);
                    }
                    continue;
                }
                // A footprint tile on the image tile's row adds the left half
                // of its own column, cut from the image drawn at the image
                // tile.
                for (int x2 = x + 1; grn_map.isOnMap(x2, y) && grn_map.tile(x2, y).oid_ == tile.oid_; ++x2) {
                    const RnMapTile& anchor = grn_map.tile(x2, y);
                    if (anchor.second_bmp_idx_ < 0) continue;
                    Strip strip;
                    strip.x0 = sx - tw / 2;
                    strip.x1 = strip.x0 + tw / 2;
                    drawBuilding(tile.oid_, dax_bitmaps.entry(anchor.second_bmp_idx_), screenX(x2, y) + wx,
                                 screenY(x2, y) + wy, x2, y, strip);
                    break;
                }
            } else if (tile.second_bmp_idx_ >= 0) {
                drawBuilding(tile.oid_, dax_bitmaps.entry(tile.second_bmp_idx_), sx, sy, x, y, Strip());
            }
            if (rsx < -tw || rsx > vw + tw) continue;
            if (tile.walker_head_.isWalker()) drawWalkers(tile, wx, wy);
            if (isBuildMode() && !ph.entries().empty() && x >= box.min_x_ && x <= box.max_x_ && y >= box.min_y_ &&
                y <= box.max_y_) {
                const int32_t img = ph.imageAt(x, y);
                if (img >= 0) {
                    const DaxBitmapEntry& p = dax_bitmaps.entry(img);
                    const ALLEGRO_COLOR tint = placementCost() < 0 ? rgba(255, 140, 140, 140) : rgba(180, 255, 180, 180);
                    blit(p, sx - p.hot_x_, sy - p.hot_y_ + th, &tint, Strip());
                }
            }
        }
    }
    tiles_ = visited;
    al_hold_bitmap_drawing(held);
    drawDebugLine(graphics, tiles_, images_);
}

void RnMainMapAllegro::drawWalkers(const RnMapTile& tile, int wx, int wy) {
    const DaxGameTime now = dax_gameclock.gameTime();
    const float hw = static_cast<float>(tileWidth() / 2);
    const float hh = static_cast<float>(tileHeight() / 2);
    walkers_.clear();
    RnObjectID id = tile.walker_head_;
    // A list that loops back on itself stops after a bound.
    for (int n = 0; id.isWalker() && n < 1000; ++n) {
        const RnWalkerGeneric& w = grn_game.walkerByOid(id);
        id = w.next_walker_;
        if (!validBitmap(w.image_)) continue;
        const DaxBitmapEntry& e = dax_bitmaps.entry(w.image_);
        const DaxMapPositionF p = w.interpolatedPos(now);
        const int wsx = static_cast<int16_t>(static_cast<int>((p.x - p.y) * hw + static_cast<float>(originX())) + wx);
        const int wsy = static_cast<int16_t>(static_cast<int>((p.x + p.y) * hh + static_cast<float>(originY())) + wy);
        int mark = 0;
        if (!hovered_.isNull() && w.home_oid_ == hovered_) {
            mark = 1;
        } else if (!hovered_.isNull() && w.target_building_oid_ == hovered_) {
            mark = 2;
        }
        walkers_.push_back(WalkerImage{wsx - e.hot_x_, wsy - e.hot_y_, e.bitmap_, wsx, mark});
    }
    std::stable_sort(walkers_.begin(), walkers_.end(), [](const WalkerImage& a, const WalkerImage& b) {
        return a.y != b.y ? a.y < b.y : a.x < b.x;
    });
    for (const WalkerImage& w : walkers_) {
        if (w.mark != 0) {
            const DaxBitmapEntry& m = markers_[w.mark == 1 ? kWalkerSecond : kWalkerDirect];
            blit(m, w.sx - m.hot_x_, w.y - m.hot_y_ - 30, nullptr, Strip());
        }
        if (w.bitmap) {
            ++images_;
            al_draw_bitmap(w.bitmap, static_cast<float>(w.x), static_cast<float>(w.y), 0);
        }
    }
}

void RnMainMapAllegro::drawBuilding(const RnObjectID& oid, const DaxBitmapEntry& e, int sx, int sy, int x, int y,
                                    const Strip& strip) {
    const int th = tileHeight();
    const int ix = sx - e.hot_x_;
    const int iy = sy - e.hot_y_ + th;
    const RnSelection& sel = selection();
    if (isDemolitionMode() && x >= sel.box().min_x_ && x <= sel.box().max_x_ && y >= sel.box().min_y_ &&
        y <= sel.box().max_y_ && sel.contains(oid)) {
        const ALLEGRO_COLOR red = rgba(255, 96, 96, 192);
        blit(e, ix, iy, &red, strip);
        return;
    }

    const RnGenericBuilding* b = oid.isRoadOrBuilding() ? &grn_game.buildingByOid(oid) : nullptr;
    const RnGenericBuildingType* type = b ? &b->buildingType() : nullptr;
    const bool building = b && oid.isBuilding();
    auto terrainFlat = [&]() {
        const RnMapTile& t = grn_map.tile(x, y);
        const auto& terrains = grn_game.terrains();
        return t.terrain_idx_ < 0 || static_cast<size_t>(t.terrain_idx_) >= terrains.size() ||
               terrains[static_cast<size_t>(t.terrain_idx_)].isFlat();
    };
    bool highlight = false;
    bool faded = false;
    if (!seeThrough()) {
        int mtx = 0;
        int mty = 0;
        if (mouseTile(mtx, mty)) {
            const RnMapTile& mt = grn_map.tile(mtx, mty);
            const float mx = mouseX();
            const float my = mouseY();
            const float fx = static_cast<float>(x);
            const float fy = static_cast<float>(y);
            if (!oid.isNull() && oid == mt.oid_) {
                highlight = true;
            } else if (holdsRoadOrBuilding(mt) || isBuildMode()) {
                if (building) {
                    faded = type->flat_ == 0 && mx - 1 <= fx && fx < mx + type->width_ && my - 1 <= fy &&
                            fy < my + type->height_;
                } else if (oid.isNull()) {
                    faded = !terrainFlat() && mx - 1 <= fx && my - 1 <= fy &&
                            (fx - mx) + (fy - my) <= static_cast<float>((e.height_ - 1 + th) / th + 1);
                }
            }
        }
        if (!highlight && building && hovered_.isBuilding()) {
            if (oid.kind_ == RnIdBldStor) {
                highlight = grn_game.buildingByOid(hovered_).refersTo(oid);
            } else if (hovered_.kind_ == RnIdBldStor) {
                highlight = b->refersTo(hovered_);
            }
        }
    } else {
        faded = building ? type->flat_ == 0 : (oid.isNull() && !terrainFlat());
    }
    if (faded && !highlight) {
        const ALLEGRO_COLOR grey = rgba(90, 90, 90, 64);
        blit(e, ix, iy, &grey, strip);
    } else {
        blit(e, ix, iy, nullptr, strip);
        if (highlight) {
            const ALLEGRO_COLOR blue = rgba(60, 60, 255, 0);
            blit(e, ix, iy, &blue, strip);
        }
    }

    if (!building || b->isDestroyed()) return;
    drawStatusMarker(*b, e, sx, sy, strip);
    if (!keyHeld(ALLEGRO_KEY_B)) drawGoodsPiles(*b, e, sx, sy, strip);
}

void RnMainMapAllegro::drawStatusMarker(const RnGenericBuilding& b, const DaxBitmapEntry& e, int sx, int sy,
                                        const Strip& strip) {
    const RnGenericBuildingType& type = b.buildingType();
    const int tw = tileWidth();
    const int th = tileHeight();
    const int wh = type.width_ + type.height_;
    const int bx = wh * tw / 4 - e.hot_x_ + sx;
    int by = static_cast<int>((1.5f - static_cast<float>(wh) / 2.5f) * static_cast<float>(th) + static_cast<float>(sy));
    int m = -1;
    if (b.efficiency() < 0.01f || !b.hasWorkers() || b.problemFlags() != 0) {
        m = kRedAlert;
    } else if (b.oid_.kind_ == RnIdBldHous) {
        if (b.hasUnmetNeeds()) {
            m = kPeopleUnhappy;
        } else if (!b.inputsAvailable() || b.shortMaterial() != 0) {
            m = kPeopleYellow;
        }
    } else {
        if (!b.inputsAvailable() || b.shortMaterial() != 0) {
            const DaxBitmapEntry& g = markers_[kNoGoods];
            blit(g, bx - g.hot_x_, by - g.hot_y_, nullptr, strip);
            by -= g.height_;
        }
        if (b.oid_.kind_ == RnIdBldProd) {
            if (static_cast<const RnProd&>(b).worker_factor_ >= 0.98f) {
                if (b.efficiency() < 0.98f) m = kOrangeAlert;
            } else {
                m = kNoPeople;
            }
        } else if (b.efficiency() < 0.98f) {
            m = kNoPeople;
        }
    }
    if (m < 0) return;
    const DaxBitmapEntry& mk = markers_[m];
    blit(mk, bx - mk.hot_x_, by - mk.hot_y_, nullptr, strip);
}

void RnMainMapAllegro::drawGoodsPiles(const RnGenericBuilding& b, const DaxBitmapEntry& e, int sx, int sy,
                                      const Strip& strip) {
    const int th = tileHeight();
    auto goodsImage = [](int16_t g) -> const DaxBitmapEntry* {
        if (g < 0 || static_cast<size_t>(g) >= grn_game.goodsTypes().size()) return nullptr;
        const int32_t img = grn_game.goodsType(g).image_;
        return validBitmap(img) ? &dax_bitmaps.entry(img) : nullptr;
    };
    auto lot = [](int16_t g) {
        const int l = g >= 0 && static_cast<size_t>(g) < grn_game.goodsTypes().size() ? grn_game.goodsType(g).lot_size_
                                                                                      : 1;
        return l > 0 ? l : 1;
    };
    int k = 0;
    // One pile of u units as the k-th pile; piles of more than lim units
    // stand closer.
    auto pile = [&](int16_t g, int u, int lim) {
        --k;
        const DaxBitmapEntry* img = goodsImage(g);
        if (!img || u <= 0) return;
        const int s = u <= lim ? 2 : 1;
        for (int j = u - 1; j >= 0; --j) {
            blit(*img, sx + (j - k) * 2 * s - img->hot_x_, sy + th - img->hot_y_ - 4 - (j + k) * s, nullptr, strip);
        }
    };
    switch (b.oid_.kind_) {
    case RnIdBldProd: {
        const RnProd& p = static_cast<const RnProd&>(b);
        k = static_cast<int>(p.input_goods_.size() + p.output_goods_in_store_.size());
        for (const auto& [g, in] : p.input_goods_) pile(g, in.stored_, 4);
        for (const auto& [g, out] : p.output_goods_in_store_) pile(g, out.stored_ & RnProdOutInf::kAmountMask, 4);
        break;
    }
    case RnIdBldServ: {
        const RnServ& s = static_cast<const RnServ&>(b);
        k = static_cast<int>(s.goods_stored_.size());
        for (const auto& [g, en] : s.goods_stored_) pile(g, en.amt_.stored_, 4);
        break;
    }
    case RnIdBldDeco: {
        const RnDeco& d = static_cast<const RnDeco&>(b);
        k = static_cast<int>(d.goods_.size());
        for (const auto& [g, en] : d.goods_) pile(g, en.stored_, 4);
        break;
    }
    case RnIdBldMrkt: {
        const RnMrkt& m = static_cast<const RnMrkt&>(b);
        k = static_cast<int>(m.goods_stored_.size());
        for (const auto& [g, en] : m.goods_stored_) pile(g, en.amount_ / lot(g), 6);
        break;
    }
    case RnIdBldBldr: {
        const RnBldr& d = static_cast<const RnBldr&>(b);
        k = static_cast<int>(d.goods_stored_.size());
        for (const auto& [g, en] : d.goods_stored_) pile(g, en.stored_ / lot(g), 6);
        break;
    }
    case RnIdBldStor: {
        // Lanes side by side across the image, one per goods type.
        const RnStor& s = static_cast<const RnStor&>(b);
        const int n = static_cast<int>(s.goods_stored_.size());
        if (n == 0) break;
        const int a = static_cast<int>(e.width_ / (n * 4.5));
        int lane = n * a;
        for (const auto& [g, en] : s.goods_stored_) {
            lane -= a;
            const DaxBitmapEntry* img = goodsImage(g);
            if (!img) continue;
            for (int i = en.stored_nlots_ - 1; i >= 0; --i) {
                blit(*img, sx - (lane - i) - img->hot_x_,
                     static_cast<int>((sy + th - 10) - (lane + i) * 0.5) - img->hot_y_, nullptr, strip);
            }
        }
        break;
    }
    default:
        break;
    }
}

void RnMainMapAllegro::drawDebugLine(gcn::Graphics* graphics, int tiles, int images) {
    if (grn_config.map_display_ == 0) return;
    gcn::Font* font = getFont();
    if (!font) return;
    std::string text;
    rnAppendf(text, "%d-%d tiles, %.2f, %.2f, mouse=(%d, %d), ", tiles, images, static_cast<double>(mouseX()),
              static_cast<double>(mouseY()), lastMouseX(), lastMouseY());
    const int d = font->getWidth(text);
    const int fh = font->getHeight();
    const int x = grn_config.map_x_ >= 0 ? grn_config.map_x_ : getWidth() + grn_config.map_x_ - d - 4;
    const int y = grn_config.map_y_ >= 0 ? grn_config.map_y_ : getHeight() + grn_config.map_y_ - fh;
    graphics->setColor(gcn::Color(0, 0, 0, 180));
    graphics->fillRectangle(gcn::Rectangle(x, y, d + 4, fh));
    graphics->setColor(gcn::Color(255, 255, 255, 255));
    graphics->setFont(font);
    graphics->drawText(text, x + 2, y, gcn::Graphics::Left);
}

void createMainMap(int width, int height) {
    DAX_ASSERT(!grn_pmainmap);
    grn_pmainmap = new RnMainMapAllegro(width, height);
    DAX_ASSERT(grn_pmainmap);
}

void deleteMainMap() {
    delete grn_pmainmap;
    grn_pmainmap = nullptr;
}
