// The mini map's window, painting and click.
#include "rn_mainmap_mini.h"

#include <allegro5/allegro.h>
#include <allegro5/allegro_primitives.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "dax2/dax_error.h"
#include "rn_bld_generic.h"
#include "rn_game.h"
#include "rn_mainmap.h"
#include "rn_map.h"

RnMiniMap* grn_pminimap = nullptr;

namespace {

// Blink and refresh periods of the objects layer, in hundredths of a second.
constexpr int16_t kBlinkPeriod = 70;
constexpr int16_t kRefreshPeriod = 22;

// One axis of the window: the first and end tile and the offset of tile 0
// for a map of n tiles shown on `pixels` widget pixels at zoom z around
// centre c.
void windowAxis(int n, float z, int pixels, float c, int& first, int& end, int& off) {
    const float f = static_cast<float>(n) * z;
    const float w = static_cast<float>(pixels);
    if (w >= f) {
        first = 0;
        end = n;
        off = static_cast<int>((w - f) / (2.0f * z));
        return;
    }
    first = static_cast<int>(c - w / (2.0f * z));
    const int count = std::min(n, static_cast<int>(w / z));
    end = first + count;
    if (first < 0) {
        first = 0;
        end = count;
    }
    if (end > n) {
        first = n - count;
        end = n;
    }
    off = -first;
}

ALLEGRO_COLOR floatColour(const float c[4]) { return al_map_rgba_f(c[0], c[1], c[2], c[3]); }

}  // namespace

RnMiniMapWithPosition::RnMiniMapWithPosition() : DaxMiniMapBase(kBlinkPeriod, kRefreshPeriod) {}

void RnMiniMapWithPosition::setViewCentre(float cx, float cy) {
    setViewPosition(cx, cy);
    invalidate();
    const int n = grn_map.size();
    const float z = zoom() > 0.0f ? zoom() : 1.0f;
    windowAxis(n, z, getWidth(), cx, first_x_, end_x_, off_x_);
    windowAxis(n, z, getHeight(), cy, first_y_, end_y_, off_y_);
}

bool RnMiniMapWithPosition::tileAt(int px, int py, int& x, int& y) const {
    const float z = zoom() > 0.0f ? zoom() : 1.0f;
    x = static_cast<int>(std::floor(static_cast<float>(px) / z)) - off_x_;
    y = static_cast<int>(std::floor(static_cast<float>(py) / z)) - off_y_;
    return x >= first_x_ && x < end_x_ && y >= first_y_ && y < end_y_ && grn_map.isOnMap(x, y);
}

RnMiniMap::RnMiniMap(int width, int height) {
    setSize(width, height);
    addMouseListener(this);
    DAX_ASSERT(grn_pmainmap);
}

void RnMiniMap::paintTerrain(gcn::Graphics* /*graphics*/) {
    ALLEGRO_BITMAP* target = al_get_target_bitmap();
    if (!target) return;
    const auto& terrains = grn_game.terrains();
    al_lock_bitmap(target, ALLEGRO_PIXEL_FORMAT_ANY, ALLEGRO_LOCK_READWRITE);
    for (int i = firstX(); i < endX(); ++i) {
        for (int j = firstY(); j < endY(); ++j) {
            const int16_t t = grn_map.tile(i, j).terrain_idx_;
            if (t < 0 || static_cast<size_t>(t) >= terrains.size()) continue;
            al_put_pixel(i + offsetX(), j + offsetY(), floatColour(terrains[static_cast<size_t>(t)].colour_));
        }
    }
    al_unlock_bitmap(target);
}

void RnMiniMap::paintObjects(gcn::Graphics* /*graphics*/, bool status) {
    ALLEGRO_BITMAP* target = al_get_target_bitmap();
    if (!target) return;
    const ALLEGRO_COLOR white = al_map_rgb(255, 255, 255);
    const ALLEGRO_COLOR orange = al_map_rgb(255, 64, 0);
    const ALLEGRO_COLOR red = al_map_rgb(255, 0, 0);
    al_lock_bitmap(target, ALLEGRO_PIXEL_FORMAT_ANY, ALLEGRO_LOCK_READWRITE);
    for (int i = firstX(); i < endX(); ++i) {
        for (int j = firstY(); j < endY(); ++j) {
            const RnMapTile& tile = grn_map.tile(i, j);
            ALLEGRO_COLOR c;
            if (tile.walker_head_.isWalker()) {
                c = white;
            } else if (tile.oid_.isRoadOrBuilding()) {
                const RnGenericBuildingType& type = grn_game.buildingTypeOfTile(tile);
                c = floatColour(type.colour_);
                if (status) {
                    const RnGenericBuilding& b = grn_game.buildingByOid(tile.oid_);
                    if (b.isDestroyed() || !b.hasWorkers() || b.problemFlags() != 0 || b.efficiency() < 0.1f ||
                        b.shortMaterial() != 0) {
                        c = red;
                    } else if (b.hasUnmetNeeds() || !b.inputsAvailable() || b.efficiency() < 0.9f) {
                        c = orange;
                    }
                }
            } else {
                continue;
            }
            al_put_pixel(i + offsetX(), j + offsetY(), c);
        }
    }
    al_unlock_bitmap(target);
    paintViewOutline();
}

void RnMiniMapWithPosition::paintViewOutline() const {
    if (!grn_pmainmap) return;
    const ALLEGRO_COLOR white = al_map_rgb(255, 255, 255);
    std::vector<std::pair<float, float>> corners;
    grn_pmainmap->visibleCorners(corners);
    float pts[8];
    for (int k = 0; k < 4; ++k) {
        pts[2 * k] = corners[k].first + static_cast<float>(offsetX());
        pts[2 * k + 1] = corners[k].second + static_cast<float>(offsetY());
    }
    int op = 0;
    int src = 0;
    int dst = 0;
    al_get_blender(&op, &src, &dst);
    al_set_blender(ALLEGRO_ADD, ALLEGRO_ALPHA, ALLEGRO_INVERSE_ALPHA);
    const ALLEGRO_COLOR veil = al_map_rgba(255, 255, 255, 30);
    al_draw_filled_triangle(pts[0], pts[1], pts[2], pts[3], pts[4], pts[5], veil);
    al_draw_filled_triangle(pts[0], pts[1], pts[4], pts[5], pts[6], pts[7], veil);
    al_set_blender(op, src, dst);
    for (int k = 0; k < 4; ++k) {
        const int prev = (k + 3) % 4;
        al_draw_line(pts[2 * prev], pts[2 * prev + 1], pts[2 * k], pts[2 * k + 1], white, 0.0f);
    }
}

void RnMiniMap::mousePressed(gcn::MouseEvent& event) {
    event.consume();
    int x = 0;
    int y = 0;
    if (grn_pmainmap && tileAt(event.getX(), event.getY(), x, y)) {
        grn_pmainmap->setViewCentre(static_cast<float>(x), static_cast<float>(y));
    }
}

void createMiniMap(int width, int height) {
    DAX_ASSERT(!grn_pminimap);
    grn_pminimap = new RnMiniMap(width, height);
    DAX_ASSERT(grn_pminimap);
}

void deleteMiniMap() {
    delete grn_pminimap;
    grn_pminimap = nullptr;
}
