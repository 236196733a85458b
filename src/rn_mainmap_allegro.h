// The main map drawn through Allegro: every frame the ground, then the tiles
// back to front with the buildings cut into column strips along their image
// row, the walkers at their positions between tiles (marked when they belong
// to the building under the mouse), the placement preview, the status markers
// over buildings and the goods piles they hold.
#pragma once

#include <allegro5/allegro.h>

#include <vector>

#include "dax2/dax_bitmap.h"
#include "dax2/dax_oid.h"
#include "rn_mainmap.h"

class RnGenericBuilding;
struct RnMapTile;

class RnMainMapAllegro : public RnMainMap {
public:
    // The markers are taken from the bitmap registry; a marker name without
    // a first variant is a fatal check.
    RnMainMapAllegro(int width, int height);

    void draw(gcn::Graphics* graphics) override;

    // What the last frame did: tiles visited and images drawn.
    int tilesVisited() const { return tiles_; }
    int imagesDrawn() const { return images_; }

    // The markers, in the order of kMarkerNames.
    enum Marker {
        kWalkerDirect,
        kWalkerSecond,
        kRedAlert,
        kOrangeAlert,
        kPeopleUnhappy,
        kPeopleYellow,
        kNoPeople,
        kNoGoods,
        kMarkerCount,
    };
    static const char* const kMarkerNames[kMarkerCount];
    const DaxBitmapEntry& marker(Marker m) const { return markers_[m]; }

private:
    // A horizontal range of the screen that a building strip may cover;
    // x0 >= x1 means no limit.
    struct Strip {
        int x0 = 0;
        int x1 = 0;
    };
    // A walker to draw on the current tile.
    struct WalkerImage {
        int x;
        int y;
        ALLEGRO_BITMAP* bitmap;
        int sx;
        int mark;
    };

    // One image at (x, y), tinted when tint is given, cut to the strip.
    void blit(const DaxBitmapEntry& e, int x, int y, const ALLEGRO_COLOR* tint, const Strip& strip);
    // A building's (or a tile's) image with its tint, status marker and
    // goods piles; (sx, sy) is the screen position of tile (x, y).
    void drawBuilding(const RnObjectID& oid, const DaxBitmapEntry& e, int sx, int sy, int x, int y,
                      const Strip& strip);
    void drawStatusMarker(const RnGenericBuilding& b, const DaxBitmapEntry& e, int sx, int sy, const Strip& strip);
    void drawGoodsPiles(const RnGenericBuilding& b, const DaxBitmapEntry& e, int sx, int sy, const Strip& strip);
    void drawWalkers(const RnMapTile& tile, int wx, int wy);
    void drawDebugLine(gcn::Graphics* graphics, int tiles, int images);

    DaxBitmapEntry markers_[kMarkerCount];
    RnObjectID hovered_;
    std::vector<WalkerImage> walkers_;
    int tiles_ = 0;
    int images_ = 0;
};

// Makes the main map (fatal when one exists) and deletes it.
void createMainMap(int width, int height);
void deleteMainMap();
