// The main map of the run screen: the widget that shows the isometric tile
// map and turns mouse and keys into scrolling, hover texts, placement
// previews, building, demolition and building dialogs. It owns the view
// geometry and the two modes of the map: build mode (a building type from
// the build menu, previewed under the mouse) and demolition mode. Drawing is
// the subclass RnMainMapAllegro's.
#pragma once

#include <utility>
#include <vector>

#include "dax2/dax_msg.h"
#include "dax2/dax_overlay.h"
#include "gcn/events.hpp"
#include "gcn/listeners.hpp"
#include "gcn/widget.hpp"
#include "rn_placement.h"

class RnMainMap : public gcn::Widget, public gcn::MouseListener, public DaxOverlayCallback, public DaxMsgGotoCallback {
public:
    // A view of width by height pixels; it becomes the message manager's
    // goto target.
    RnMainMap(int width, int height);
    ~RnMainMap() override;
    RnMainMap(const RnMainMap&) = delete;
    RnMainMap& operator=(const RnMainMap&) = delete;

    // Takes the tile size of the bitmap registry and the map's side, centres
    // the view on the map and reads where the mouse is. Raises "tile width
    // not set" without a tile size.
    void initView();
    // Keeps the centre within the map's margins and recomputes the origin
    // and the visible range (fatal before initView).
    void updateView();

    // The map position at a point of the widget.
    void screenToMap(float& x, float& y, int sx, int sy) const;
    // The point of the widget where a map position is drawn (before the
    // drawing truncates it).
    void mapToScreen(float& sx, float& sy, float x, float y) const;

    std::pair<float, float> viewCentre() const { return {cx_, cy_}; }
    void setViewCentre(float x, float y);
    // DaxMsgGotoCallback: centres the view on a message's tile.
    void gotoPosition(DaxMapPositionI pos) override;

    // Arms build mode for a building type (fatal while demolition is armed).
    void selectBuildingType(int kind, int type_id);
    // Arms demolition mode (fatal while build mode is armed).
    void startDemolition();
    // Ends either mode and forgets the preview or selection.
    void clearModes();
    bool isBuildMode() const { return phantom_.isValid(); }
    bool isDemolitionMode() const { return selection_.isValid(); }
    // A drag, build mode or demolition mode is under way: dialogs wait.
    bool isModeActive() const { return dragging_ || isBuildMode() || isDemolitionMode(); }

    // Scrolls for the keys 1 to 9 and the arrows; false for any other key.
    bool scrollByKey(const gcn::KeyEvent& event);

    // The map positions of the corners top-left, bottom-left, bottom-right,
    // top-right of the view (the mini map draws the outline from them).
    void visibleCorners(std::vector<std::pair<float, float>>& corners) const;

    // DaxOverlayCallback: what is on the tile under the mouse; the walkers'
    // lines always, with the left Shift key held first the cost of the
    // preview and the tile's own text.
    int overlayText(char* buffer, int size) override;

    // gcn::MouseListener
    void mouseEntered(gcn::MouseEvent& event) override;
    void mouseExited(gcn::MouseEvent& event) override;
    void mousePressed(gcn::MouseEvent& event) override;
    void mouseReleased(gcn::MouseEvent& event) override;
    void mouseMoved(gcn::MouseEvent& event) override;
    void mouseDragged(gcn::MouseEvent& event) override;

    // The 't' key of the run screen: buildings that are not flat are drawn
    // faded so that what is behind them shows.
    bool seeThrough() const { return see_through_; }
    void setSeeThrough(bool on) { see_through_ = on; }

    // Geometry, for the drawing and for tests.
    int tileWidth() const { return tw1_; }
    int tileHeight() const { return th1_; }
    int originX() const { return ox_; }
    int originY() const { return oy_; }
    int viewWidth() const { return view_w_; }
    int viewHeight() const { return view_h_; }
    int firstX() const { return first_x_; }
    int endX() const { return end_x_; }
    int firstY() const { return first_y_; }
    int endY() const { return end_y_; }
    float mouseX() const { return mx_; }
    float mouseY() const { return my_; }
    bool isDragging() const { return dragging_; }
    // Where the last press or scroll step was.
    int lastMouseX() const { return last_x_; }
    int lastMouseY() const { return last_y_; }
    int placementCost() const { return cost_; }
    const RnPhantomList& phantom() const { return phantom_; }
    const RnSelection& selection() const { return selection_; }
    // The tile under the mouse; false when the mouse is off the map.
    bool mouseTile(int& x, int& y) const;

    // Sets the geometry directly (tests of the projection).
    void setGeometry(int tile_w, int tile_h, int ox, int oy);

protected:
    // Whether a key of the keyboard (an Allegro key code) is held now; false
    // without a keyboard.
    virtual bool keyHeld(int allegro_key) const;

private:
    void setMouse(const gcn::MouseEvent& event);
    // Previews the placement or selects for demolition over the rectangle
    // between two tiles; the cost goes to cost_.
    void preview(int x0, int y0, int x1, int y1);

    int view_w_;
    int view_h_;
    int tw1_ = 0;
    int th1_ = 0;
    int map_n_ = 0;
    int hw_ = 0;
    int hh_ = 0;
    int ox_ = 0;
    int oy_ = 0;
    int first_x_ = 0;
    int end_x_ = 0;
    int first_y_ = 0;
    int end_y_ = 0;
    float cx_ = -1.0f;
    float cy_ = -1.0f;
    float mx_ = -1.0f;
    float my_ = -1.0f;
    bool dragging_ = false;
    int last_x_ = -1;
    int last_y_ = -1;
    float anchor_x_ = -1.0f;
    float anchor_y_ = -1.0f;
    RnPhantomList phantom_;
    RnSelection selection_;
    int cost_ = 0;
    bool see_through_ = false;
};

// The one main map while the run screen lives; null otherwise.
extern RnMainMap* grn_pmainmap;
