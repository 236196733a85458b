// The mini map: the whole map, or the window of it that fits, at one pixel
// per tile (times the zoom), with terrain colours, buildings in their type
// colour or their status colour, walkers in white and the outline of what the
// main map shows. A click centres the main map on the clicked tile.
#pragma once

#include "dax2/dax_minimap.h"
#include "gcn/listeners.hpp"

// The window computation over the framework's cached mini map: which tiles
// fit the widget around the view centre, and where tile (0, 0) is drawn.
class RnMiniMapWithPosition : public DaxMiniMapBase {
public:
    RnMiniMapWithPosition();

    // Keeps the centre, asks for a redraw and recomputes the window: a map
    // smaller than the widget is centred in it; a larger one shows the
    // tiles around the centre, kept within the map.
    void setViewCentre(float cx, float cy);

    int firstX() const { return first_x_; }
    int firstY() const { return first_y_; }
    int endX() const { return end_x_; }
    int endY() const { return end_y_; }
    // The pixel of the cached picture (before the zoom) where tile (i, j)
    // goes is (i + offsetX(), j + offsetY()).
    int offsetX() const { return off_x_; }
    int offsetY() const { return off_y_; }

    // The tile drawn at a point of the widget; false outside the map.
    bool tileAt(int px, int py, int& x, int& y) const;

protected:
    // Veils what the main map shows and outlines it in white, into the
    // current target bitmap; nothing without a main map.
    void paintViewOutline() const;

private:
    int first_x_ = 0;
    int first_y_ = 0;
    int end_x_ = 0;
    int end_y_ = 0;
    int off_x_ = 0;
    int off_y_ = 0;
};

// The run screen's mini map.
class RnMiniMap : public RnMiniMapWithPosition, public gcn::MouseListener {
public:
    // A widget of width by height pixels; the main map must exist.
    RnMiniMap(int width, int height);

    // A press on the map centres the main map on the tile under it.
    void mousePressed(gcn::MouseEvent& event) override;

    // Paint into the current target bitmap: the terrain colours; the
    // walkers, the buildings (in their type colour, or in red and orange
    // for trouble when status is set) and the outline of the main map's
    // view.
    void paintTerrain(gcn::Graphics* graphics) override;
    void paintObjects(gcn::Graphics* graphics, bool status) override;
};

// The one run-screen mini map; null while there is none.
extern RnMiniMap* grn_pminimap;

// Makes the mini map (fatal when one exists) and deletes it.
void createMiniMap(int width, int height);
void deleteMiniMap();
