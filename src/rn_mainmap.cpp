// The main map's geometry and input.
#include "rn_mainmap.h"

#include <allegro5/allegro.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "dax2/dax_bitmap.h"
#include "dax2/dax_dialog_ifc.h"
#include "dax2/dax_error.h"
#include "dax2/dax_gameloop.h"
#include "rn.h"
#include "rn_bld_generic.h"
#include "rn_bld_texts.h"
#include "rn_game.h"
#include "rn_game_infostr.h"
#include "rn_mainmap_mini.h"
#include "rn_map.h"

RnMainMap* grn_pmainmap = nullptr;

RnMainMap::RnMainMap(int width, int height) : view_w_(width), view_h_(height) {
    addMouseListener(this);
    setBaseColor(gcn::Color(0));
    setSize(width, height);
    dax_msgmgr.setGotoCallback(this);
}

RnMainMap::~RnMainMap() {
    if (dax_msgmgr.gotoCallback() == this) dax_msgmgr.setGotoCallback(nullptr);
    if (grn_pmainmap == this) grn_pmainmap = nullptr;
}

void RnMainMap::setGeometry(int tile_w, int tile_h, int ox, int oy) {
    tw1_ = tile_w;
    th1_ = tile_h;
    hw_ = tile_w / 2;
    hh_ = tile_h / 2;
    ox_ = ox;
    oy_ = oy;
}

void RnMainMap::initView() {
    tw1_ = dax_bitmaps.tileWidth();
    th1_ = dax_bitmaps.tileHeight();
    map_n_ = grn_map.size();
    hw_ = tw1_ / 2;
    hh_ = th1_ / 2;
    if (tw1_ <= 0 || th1_ <= 0) daxRaiseError("tile width not set");
    cx_ = static_cast<float>(map_n_ / 2);
    cy_ = static_cast<float>(map_n_ / 2);
    updateView();
    mx_ = my_ = -1.0f;
    if (al_is_system_installed() && al_is_mouse_installed() && al_get_current_display()) {
        ALLEGRO_MOUSE_STATE state;
        al_get_mouse_state(&state);
        int wx = 0;
        int wy = 0;
        getAbsolutePosition(wx, wy);
        if (state.x >= wx && state.y >= wy && state.x < wx + getWidth() && state.y < wy + getHeight()) {
            screenToMap(mx_, my_, state.x - wx, state.y - wy);
        }
    }
}

void RnMainMap::updateView() {
    DAX_ASSERT(tw1_>0 && th1_>0);
    const int m = std::min(getHeight() / (2 * th1_), getWidth() / (2 * tw1_)) + 3;
    const float lo = static_cast<float>(m);
    const float hi = static_cast<float>(map_n_ - m - 1);
    // The upper bound last: on a map too small for the margins both axes end
    // at hi.
    cx_ = std::max(cx_, lo);
    if (hi <= cx_) cx_ = hi;
    cy_ = std::max(cy_, lo);
    if (hi <= cy_) cy_ = hi;
    ox_ = static_cast<int>(static_cast<float>(view_w_ / 2) - (cx_ - cy_) * static_cast<float>(hw_));
    oy_ = static_cast<int>(static_cast<float>(view_h_ / 2) - (cx_ + cy_) * static_cast<float>(hh_));

    // The bounding box of the view in map coordinates.
    const float a = static_cast<float>(view_w_ / 2 - ox_) / static_cast<float>(hw_);
    const float t = static_cast<float>(th1_) / static_cast<float>(tw1_) * 0.5f * static_cast<float>(view_w_);
    const float b = -static_cast<float>(static_cast<int>(t) + oy_) / static_cast<float>(hh_);
    const float c = static_cast<float>(static_cast<int>(t + static_cast<float>(view_h_)) - oy_) / static_cast<float>(hh_);
    first_x_ = std::max(0, static_cast<int>((a + b) * 0.5f));
    first_y_ = std::max(0, static_cast<int>((b - a) * 0.5f));
    end_x_ = std::min(map_n_, static_cast<int>((a + c) * 0.5f + 1.0f));
    end_y_ = std::min(map_n_, static_cast<int>((c - a) * 0.5f + 1.0f));

    if (grn_pminimap) grn_pminimap->setViewCentre(cx_, cy_);
}

void RnMainMap::screenToMap(float& x, float& y, int sx, int sy) const {
    const float X = static_cast<float>(sx - ox_) / static_cast<float>(hw_);
    const float Y = static_cast<float>(sy - oy_) / static_cast<float>(hh_);
    x = (Y + X) * 0.5f;
    y = (Y - X) * 0.5f;
}

void RnMainMap::mapToScreen(float& sx, float& sy, float x, float y) const {
    sx = (x - y) * static_cast<float>(hw_) + static_cast<float>(ox_);
    sy = (x + y) * static_cast<float>(hh_) + static_cast<float>(oy_);
}

void RnMainMap::setViewCentre(float x, float y) {
    cx_ = x;
    cy_ = y;
    updateView();
}

void RnMainMap::gotoPosition(DaxMapPositionI pos) { setViewCentre(static_cast<float>(pos.x), static_cast<float>(pos.y)); }

void RnMainMap::selectBuildingType(int kind, int type_id) {
    DAX_ASSERT(!selection_.isValid());
    phantom_.setType(kind, type_id);
    cost_ = 0;
}

void RnMainMap::startDemolition() {
    DAX_ASSERT(!phantom_.isValid());
    selection_.arm();
    cost_ = 0;
}

void RnMainMap::clearModes() {
    phantom_.clear();
    selection_.clear();
    cost_ = 0;
}

bool RnMainMap::scrollByKey(const gcn::KeyEvent& event) {
    const float s = grn_config.cursor_scroll_width_;
    float dx = 0.0f;
    float dy = 0.0f;
    switch (event.getKey().getValue()) {
    case '7':
        dx = -s;
        break;
    case '8':
    case gcn::Key::Up:
        dx = -s / 2;
        dy = -s / 2;
        break;
    case '9':
        dy = -s;
        break;
    case '4':
    case gcn::Key::Left:
        dx = -s / 2;
        dy = s / 2;
        break;
    case '6':
    case gcn::Key::Right:
        dx = s / 2;
        dy = -s / 2;
        break;
    case '1':
        dy = s;
        break;
    case '2':
    case gcn::Key::Down:
        dx = s / 2;
        dy = s / 2;
        break;
    case '3':
        dx = s;
        break;
    default:
        return false;
    }
    cx_ += dx;
    cy_ += dy;
    updateView();
    return true;
}

void RnMainMap::visibleCorners(std::vector<std::pair<float, float>>& corners) const {
    corners.resize(4);
    const int points[4][2] = {{0, 0}, {0, view_h_}, {view_w_, view_h_}, {view_w_, 0}};
    for (int i = 0; i < 4; ++i) screenToMap(corners[i].first, corners[i].second, points[i][0], points[i][1]);
}

bool RnMainMap::mouseTile(int& x, int& y) const {
    if (mx_ < 0.0f || my_ < 0.0f) return false;
    x = static_cast<int>(mx_);
    y = static_cast<int>(my_);
    return grn_map.isOnMap(x, y);
}

bool RnMainMap::keyHeld(int allegro_key) const {
    if (!al_is_system_installed() || !al_is_keyboard_installed()) return false;
    ALLEGRO_KEYBOARD_STATE state;
    al_get_keyboard_state(&state);
    return al_key_down(&state, allegro_key);
}

int RnMainMap::overlayText(char* buffer, int size) {
    int x = 0;
    int y = 0;
    if (size <= 0 || !mouseTile(x, y)) return 0;
    const RnMapTile& tile = grn_map.tile(x, y);
    std::string text;
    if (keyHeld(ALLEGRO_KEY_LSHIFT)) {
        if (cost_ >= 1 && (isBuildMode() || isDemolitionMode())) {
            rnAppendf(text, "%s: %d\n", rnMsg(2102).c_str(), cost_);
        }
        const size_t before = text.size();
        rnTileInfo(text, tile, true);
        if (text.size() > before) text += '\n';
    }
    rnTileDebugInfo(text, x, y, tile);
    const size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
    std::memcpy(buffer, text.data(), n);
    buffer[n] = 0;
    return static_cast<int>(n);
}

void RnMainMap::setMouse(const gcn::MouseEvent& event) { screenToMap(mx_, my_, event.getX(), event.getY()); }

void RnMainMap::preview(int x0, int y0, int x1, int y1) {
    if (isBuildMode()) {
        cost_ = grn_game.addPhantom(phantom_, x0, y0, x1, y1);
    } else if (isDemolitionMode()) {
        cost_ = grn_game.selectBuildingsInRect(selection_, x0, y0, x1, y1);
    }
}

void RnMainMap::mouseEntered(gcn::MouseEvent& event) {
    if (!dragging_) setMouse(event);
}

void RnMainMap::mouseExited(gcn::MouseEvent& /*event*/) {
    mx_ = -1.0f;
    my_ = -1.0f;
}

void RnMainMap::mousePressed(gcn::MouseEvent& event) {
    setMouse(event);
    last_x_ = event.getX();
    last_y_ = event.getY();
    if (event.getButton() == gcn::MouseEvent::Right) event.consume();
}

void RnMainMap::mouseMoved(gcn::MouseEvent& event) {
    setMouse(event);
    if (event.getButton() == gcn::MouseEvent::Right &&
        (std::abs(event.getX() - last_x_) > 2 || std::abs(event.getY() - last_y_) > 2)) {
        dragging_ = true;
    } else {
        last_x_ = event.getX();
        last_y_ = event.getY();
    }
    const int x = static_cast<int>(mx_);
    const int y = static_cast<int>(my_);
    preview(x, y, x, y);
}

void RnMainMap::mouseDragged(gcn::MouseEvent& event) {
    setMouse(event);
    if (event.getButton() == gcn::MouseEvent::Right) {
        const int dx = event.getX() - last_x_;
        const int dy = event.getY() - last_y_;
        if (std::abs(dx) > 2 || std::abs(dy) > 2) dragging_ = true;
        if (dragging_) {
            const float s = grn_config.mouse_sensitivity_;
            const float a = static_cast<float>(dx) / static_cast<float>(hw_);
            const float b = static_cast<float>(dy) / static_cast<float>(hh_);
            cx_ += (a + b) * 0.5f * s;
            cy_ += (b - a) * 0.5f * s;
            updateView();
            last_x_ = event.getX();
            last_y_ = event.getY();
            screenToMap(anchor_x_, anchor_y_, last_x_, last_y_);
            event.consume();
        }
        return;
    }
    if (event.getButton() != gcn::MouseEvent::Left) return;
    if (!dragging_) {
        // The rectangle starts where the button went down.
        dragging_ = true;
        screenToMap(anchor_x_, anchor_y_, last_x_, last_y_);
    }
    if (isBuildMode() || isDemolitionMode()) {
        event.consume();
        preview(static_cast<int>(anchor_x_), static_cast<int>(anchor_y_), static_cast<int>(mx_), static_cast<int>(my_));
    }
}

void RnMainMap::mouseReleased(gcn::MouseEvent& event) {
    setMouse(event);
    int x = 0;
    int y = 0;
    const bool on_map = mouseTile(x, y);
    if (event.getButton() == gcn::MouseEvent::Right) {
        if (dragging_) {
            event.consume();
            dragging_ = false;
        } else if (isBuildMode()) {
            // Not consumed: the run screen's own handler ends its modes too.
            clearModes();
        } else if (on_map && grn_map.tile(x, y).oid_.isRoadOrBuilding()) {
            DaxDialogIfc* dialog = grn_game.buildingByOid(grn_map.tile(x, y).oid_).createDialog();
            if (dialog && dax_game_loop) {
                dax_game_loop->pushDialog(dialog);
            } else {
                delete dialog;
            }
        }
        return;
    }
    if (event.getButton() != gcn::MouseEvent::Left) return;
    event.consume();
    dragging_ = false;
    if (cost_ < 0 || cost_ > grn_game.money_) return;
    if (isBuildMode()) {
        // The position is tested before the tile is read.
        if (!on_map || !grn_map.tile(x, y).isTileFree()) return;
        grn_game.placeBuildings(phantom_, x, y);
        preview(x, y, x, y);
    } else if (isDemolitionMode()) {
        grn_game.demolishSelection(selection_);
        if (on_map) preview(x, y, x, y);
    }
}
