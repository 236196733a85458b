// The main map's frame on a memory bitmap: buildings cut into column strips,
// the status markers, the walkers' markers, goods piles and their lanes in a
// storage, the faded drawing of the 't' key, and which buildings the frame
// tints or lights up: the demolition selection, the building under the mouse
// with what stands in front of it, the storage links, the placement preview;
// and the debug line.
#include <allegro5/allegro.h>
#include <allegro5/allegro_font.h>

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <ostream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "al5gcn/allegro5font.hpp"
#include "al5gcn/allegro5graphics.hpp"
#include "rn_bld_deco.h"
#include "rn_bld_hous.h"
#include "rn_bld_prod.h"
#include "rn_bld_serv.h"
#include "rn_bld_stor.h"
#include "rn_wlk_serv.h"
#include "support/bitmaps.h"
#include "ui_fixture.h"

using namespace uitest;

namespace {

constexpr int kW = 800;
constexpr int kH = 600;

// A main map whose keyboard is the test's.
class KeyMap : public RnMainMapAllegro {
public:
    using RnMainMapAllegro::RnMainMapAllegro;
    bool b_held = false;

protected:
    bool keyHeld(int key) const override { return b_held && key == ALLEGRO_KEY_B; }
};

Rgba rgb(int r, int g, int b) { return Rgba{r, g, b, 255}; }

// The graphics of the frame, remembering the rectangles it fills and the
// texts it writes, each with its colour.
class RecordingGraphics : public gcn::Allegro5Graphics {
public:
    struct Fill {
        gcn::Rectangle rect;
        gcn::Color color;
    };
    struct Text {
        std::string text;
        int x, y;
        gcn::Color color;
    };
    void fillRectangle(const gcn::Rectangle& rect) override {
        fills.push_back(Fill{rect, getColor()});
        gcn::Allegro5Graphics::fillRectangle(rect);
    }
    void drawText(const std::string& text, int x, int y, int alignment) override {
        texts.push_back(Text{text, x, y, getColor()});
        gcn::Allegro5Graphics::drawText(text, x, y, alignment);
    }
    std::vector<Fill> fills;
    std::vector<Text> texts;
};

// How a building's grey image was drawn, told by one of its pixels.
enum class Look { kNothing, kPlain, kDemolition, kHighlight, kFaded, kPreviewOk, kPreviewBad, kOther };

void PrintTo(Look look, std::ostream* os) {
    const char* const names[] = {"nothing", "plain", "demolition", "highlight", "faded", "preview ok", "preview bad",
                                 "other"};
    *os << names[static_cast<int>(look)];
}

const ALLEGRO_COLOR kGrey = al_map_rgb(120, 120, 120);

class MapDrawTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        target_ = zorMemoryBitmap(kW, kH);
        ASSERT_NE(target_, nullptr);
        // The tints the frame draws with, as they turn a grey image over
        // the black background.
        const ALLEGRO_COLOR red = al_map_rgba(255, 96, 96, 192);
        const ALLEGRO_COLOR blue = al_map_rgba(60, 60, 255, 0);
        const ALLEGRO_COLOR grey = al_map_rgba(90, 90, 90, 64);
        const ALLEGRO_COLOR green = al_map_rgba(180, 255, 180, 180);
        const ALLEGRO_COLOR pink = al_map_rgba(255, 140, 140, 140);
        looks_ = {
            {Look::kPlain, greyDrawn({nullptr})},      {Look::kDemolition, greyDrawn({&red})},
            {Look::kHighlight, greyDrawn({nullptr, &blue})}, {Look::kFaded, greyDrawn({&grey})},
            {Look::kPreviewOk, greyDrawn({&green})},   {Look::kPreviewBad, greyDrawn({&pink})},
        };
    }
    void TearDown() override {
        map_.reset();
        al_destroy_bitmap(target_);
        UiTest::TearDown();
    }
    void makeView(int n) {
        makeMap(n);
        map_ = std::make_unique<KeyMap>(kW, kH);
        map_->initView();
    }
    void draw() {
        ALLEGRO_BITMAP* old = al_get_target_bitmap();
        al_set_target_bitmap(target_);
        graphics_.fills.clear();
        graphics_.texts.clear();
        graphics_._beginDraw();
        graphics_.pushClipArea(gcn::Rectangle(0, 0, kW, kH));
        map_->draw(&graphics_);
        graphics_.popClipArea();
        graphics_._endDraw();
        al_set_target_bitmap(old);
    }
    // One pixel of a grey image drawn over black once per tint (null:
    // untinted).
    static Rgba greyDrawn(std::initializer_list<const ALLEGRO_COLOR*> tints) {
        ALLEGRO_BITMAP* image = zorMemoryBitmap(1, 1, kGrey);
        ALLEGRO_BITMAP* dst = zorMemoryBitmap(1, 1, al_map_rgb(0, 0, 0));
        ALLEGRO_BITMAP* old = al_get_target_bitmap();
        al_set_target_bitmap(dst);
        for (const ALLEGRO_COLOR* tint : tints) {
            if (tint) {
                al_draw_tinted_bitmap(image, *tint, 0, 0, 0);
            } else {
                al_draw_bitmap(image, 0, 0, 0);
            }
        }
        al_set_target_bitmap(old);
        const Rgba seen = pixel(dst, 0, 0);
        al_destroy_bitmap(image);
        al_destroy_bitmap(dst);
        return seen;
    }
    // How the frame drew the grey image that covers the point.
    Look lookAt(int x, int y) const {
        const Rgba seen = at(x, y);
        if (seen == kBlack) return Look::kNothing;
        for (const auto& [look, colour] : looks_) {
            if (std::abs(seen.r - colour.r) <= 1 && std::abs(seen.g - colour.g) <= 1 &&
                std::abs(seen.b - colour.b) <= 1) {
                return look;
            }
        }
        return Look::kOther;
    }
    // How the grey image drawn at tile (x, y) looks dx pixels right of the
    // tile's top corner, above the tile's status marker and goods.
    Look lookOf(int x, int y, int dx = 16) const {
        int sx = 0, sy = 0;
        corner(x, y, sx, sy);
        return lookAt(sx + dx, sy + 4);
    }
    // A decoration of size by size tiles whose grey image, 64 pixels wide
    // a tile and 40 high, stands on its image tile (x, y), the footprint's
    // bottom corner (a type per size, made with the first).
    RnObjectID addGrey(int x, int y, int size = 1) {
        const std::string image = "grey" + std::to_string(size);
        const int32_t id = 710 + size;
        if (dax_bitmaps.findVariant(image, 0) < 0) {
            registerMemoryBitmap(DaxBitmapKey(image, 1, 0), 64 * size, 40, 32 * size, 40, kGrey);
            RnDecoType dt;
            dt.type_id_ = id;
            dt.name_ = image;
            dt.width_ = dt.height_ = static_cast<int16_t>(size);
            dt.image_ = dt.image_defunc_ = image;
            grn_game.addDecoType(dt);
        }
        for (RnDecoType& t : grn_game.decoTypes()) {
            if (t.type_id_ == id) return t.createBuilding(x, y);
        }
        return RnObjectID();
    }
    // A 1 by 1 service building of a grey image that needs three of a goods
    // type from a storage; with three in store (what a walker needs) it
    // shows three goods piles and no status marker (the types are made with
    // the first).
    RnServ& addGreyService(int x, int y, int stock) {
        if (grn_game.servTypes().empty()) {
            registerMemoryBitmap(DaxBitmapKey("serv_grey", 1, 0), 64, 40, 32, 40, kGrey);
            registerMemoryBitmap(DaxBitmapKey("goods_img", 1, 0), 6, 4, 3, 5, al_map_rgb(250, 250, 0));
            grn_game.addGoodsType(RnGoodsType("water", 800, 1, 1, dax_bitmaps.findVariant("goods_img", 0)));
            const int16_t st = addServType(300, 1, 1);
            grn_game.servType(st).image_ = "serv_grey";
            grn_game.servType(st).needs_.push_back(RnGoodsAmount{0, 3});
            grn_game.servType(st).worker_reqs_ = workersInReach();
        }
        RnServ& s = grn_game.servByOid(grn_game.servType(0).createBuilding(x, y));
        s.efficiency_ = 1.0f;
        s.goods_stored_[0].amt_.stored_ = stock;
        return s;
    }
    gcn::MouseEvent mouseAt(int type, int button, int x, int y) const {
        float fx = 0, fy = 0;
        map_->mapToScreen(fx, fy, x + 0.5f, y + 0.5f);
        return gcn::MouseEvent(map_.get(), map_.get(), false, false, false, false, type, button,
                               static_cast<int>(fx), static_cast<int>(fy), 1);
    }
    Rgba at(int x, int y) const { return pixel(target_, x, y); }
    // Screen position of the top corner of tile (x, y).
    void corner(int x, int y, int& sx, int& sy) const {
        float fx = 0, fy = 0;
        map_->mapToScreen(fx, fy, static_cast<float>(x), static_cast<float>(y));
        sx = static_cast<int>(fx);
        sy = static_cast<int>(fy);
    }
    void hover(int x, int y) {
        gcn::MouseEvent e = mouseAt(gcn::MouseEvent::Moved, 0, x, y);
        map_->mouseMoved(e);
    }
    // A worker requirement every workplace of the map reaches, and people
    // for it: a house in the map's corner (drawn without images) with a
    // worker, so that the workplaces have workers within reach.
    static std::vector<RnWorkerReq> workersInReach() {
        if (grn_game.peoplTypes().empty()) {
            int16_t p = grn_game.addPeoplType(RnPeoplType(900, "people"));
            RnHousType ht;
            ht.type_id_ = 901;
            ht.ppl_type_idx_ = p;
            ht.level_descs_.push_back(RnHousLevelDesc());
            RnHousType& type = grn_game.housType(grn_game.addHousType(ht));
            grn_game.housByOid(type.createBuilding(0, 0)).offerWorkers(type, 1);
        }
        return {RnWorkerReq{0, 1, 40}};
    }
    // A 1 by 1 production building of colour (0, 0, 200), 64 by 40 pixels
    // (its type is made with the first).
    RnProd& addProduction(int x, int y) {
        if (grn_game.prodTypes().empty()) {
            registerMemoryBitmap(DaxBitmapKey("prod_img", 1, 0), 64, 40, 32, 40, al_map_rgb(0, 0, 200));
            RnProdType pt;
            pt.type_id_ = 500;
            pt.name_ = "prod";
            pt.image_ = "prod_img";
            pt.worker_reqs_ = workersInReach();
            grn_game.addProdType(pt);
        }
        RnObjectID id = grn_game.prodType(0).createBuilding(x, y);
        return grn_game.prodByOid(id);
    }

    ALLEGRO_BITMAP* target_ = nullptr;
    std::unique_ptr<KeyMap> map_;
    RecordingGraphics graphics_;
    std::vector<std::pair<Look, Rgba>> looks_;
};

TEST_F(MapDrawTest, ABuildingIsDrawnInColumnStripsWithoutGapOrOverlap) {
    makeView(20);
    registerMemoryBitmap(DaxBitmapKey("deco_img", 1, 0), 128, 50, 64, 50, al_map_rgb(200, 0, 0));
    RnDecoType dt;
    dt.type_id_ = 700;
    dt.name_ = "deco";
    dt.width_ = 2;
    dt.height_ = 2;
    dt.image_ = dt.image_defunc_ = "deco_img";
    grn_game.addDecoType(dt);
    grn_game.decoType(0).createBuilding(10, 10);
    draw();
    // One strip from the tile left of the image tile on its row, one from
    // the image tile; the other footprint row adds none.
    EXPECT_EQ(map_->imagesDrawn(), 2);
    int sx = 0, sy = 0;
    corner(10, 10, sx, sy);
    const int top = sy + 32 - 50;
    for (int x = sx - 64; x < sx + 64; ++x) EXPECT_EQ(at(x, top + 10), rgb(200, 0, 0)) << x - sx;
    EXPECT_EQ(at(sx - 65, top + 10), kBlack);
    EXPECT_EQ(at(sx + 64, top + 10), kBlack);
}

TEST_F(MapDrawTest, TheStatusMarkerFollowsTheWorkersAndTheResource) {
    makeView(20);
    RnProd& p = addProduction(10, 10);
    int sx = 0, sy = 0;
    corner(10, 10, sx, sy);
    // bx = (w + h) * tw / 4 - anchor x + sx; by = (1.5 - (w + h) / 2.5) * th + sy
    const int bx = 2 * 64 / 4 - 32 + sx;
    const int by = static_cast<int>((1.5 - 2 / 2.5) * 32 + sy);
    struct Case {
        float workers, resource;
        int marker;  // -1: none
    } cases[] = {
        {1.0f, 0.5f, RnMainMapAllegro::kOrangeAlert},
        {0.005f, 1.0f, RnMainMapAllegro::kRedAlert},
        {0.5f, 1.0f, RnMainMapAllegro::kNoPeople},
        {1.0f, 1.0f, -1},
    };
    for (const Case& c : cases) {
        p.worker_factor_ = c.workers;
        p.resource_factor_ = c.resource;
        draw();
        // Markers are 8 by 8 with their anchor at (4, 9).
        const Rgba seen = at(bx, by - 5);
        if (c.marker < 0) {
            EXPECT_EQ(seen, rgb(0, 0, 200)) << c.workers << " " << c.resource;
        } else {
            EXPECT_EQ(seen, rgb(100 + c.marker, 7, 7)) << c.workers << " " << c.resource;
        }
    }
}

TEST_F(MapDrawTest, WalkersOfTheHoveredBuildingCarryTheirMarker) {
    makeView(20);
    RnProd& home = addProduction(10, 10);
    home.worker_factor_ = 1.0f;
    RnProd& other = addProduction(4, 4);
    registerMemoryBitmap(DaxBitmapKey("walker_img", 1, 0), 8, 16, 4, 17, al_map_rgb(0, 200, 0));
    const DaxBitmapIndex img = dax_bitmaps.findVariant("walker_img", 0);
    auto walker = [&](int x, int y) -> RnWalkerGeneric& {
        RnObjectID id = addWalker();
        RnWalkerGeneric& w = grn_game.walkerByOid(id);
        w.at_ = RnWalkerWaypoint{x + 0.5f, y + 0.5f, 0};
        w.image_ = img;
        grn_map.tile(x, y).addWalker(id);
        return w;
    };
    walker(12, 12).home_oid_ = home.oid_;
    RnWalkerGeneric& visitor = walker(6, 14);
    visitor.home_oid_ = other.oid_;
    visitor.target_building_oid_ = home.oid_;
    walker(8, 14).home_oid_ = other.oid_;
    hover(10, 10);
    draw();
    auto markerAt = [&](int tx, int ty) {
        float fx = 0, fy = 0;
        map_->mapToScreen(fx, fy, tx + 0.5f, ty + 0.5f);
        const int wsx = static_cast<int>(fx);
        const int top = static_cast<int>(fy) - 17;
        EXPECT_EQ(at(wsx, top + 5), rgb(0, 200, 0));  // the walker itself
        return at(wsx, top - 30 - 5);
    };
    EXPECT_EQ(markerAt(12, 12), rgb(100 + RnMainMapAllegro::kWalkerSecond, 7, 7));
    EXPECT_EQ(markerAt(6, 14), rgb(100 + RnMainMapAllegro::kWalkerDirect, 7, 7));
    EXPECT_EQ(markerAt(8, 14), kBlack);
}

TEST_F(MapDrawTest, HoldingBHidesTheGoodsPiles) {
    makeView(20);
    addGreyService(10, 10, 3);
    draw();
    EXPECT_EQ(map_->imagesDrawn(), 1 + 3);
    map_->b_held = true;
    draw();
    EXPECT_EQ(map_->imagesDrawn(), 1);
}

TEST_F(MapDrawTest, AStorageLaysOneLanePerGoodsType) {
    makeView(20);
    registerMemoryBitmap(DaxBitmapKey("stor_img", 1, 0), 90, 40, 45, 40, al_map_rgb(0, 0, 200));
    for (int g = 0; g < 3; ++g) {
        const std::string name = "goods" + std::to_string(g);
        registerMemoryBitmap(DaxBitmapKey(name, 1, 0), 2, 2, 1, 2, al_map_rgb(250, static_cast<unsigned char>(g), 0));
        grn_game.addGoodsType(RnGoodsType(name, 800 + g, 1, 1, dax_bitmaps.findVariant(name, 0)));
    }
    RnStorType t;
    t.type_id_ = 600;
    t.name_ = "stor";
    t.image_ = "stor_img";
    t.distribute_goods_ = {0, 1, 2};
    grn_game.addStorType(t);
    RnStor& s = grn_game.storByOid(grn_game.storType(0).createBuilding(10, 10));
    s.efficiency_ = 1.0f;
    s.goods_stored_[0].stored_nlots_ = 1;
    draw();
    // Lanes trunc(90 / 13.5) = 6 pixels apart; the first starts at 12.
    int sx = 0, sy = 0;
    corner(10, 10, sx, sy);
    const int x = sx - 12 - 1;
    const int y = static_cast<int>((sy + 32 - 10) - 12 * 0.5) - 2;
    EXPECT_EQ(at(x, y), rgb(250, 0, 0));
    EXPECT_EQ(at(x + 1, y + 1), rgb(250, 0, 0));
}

TEST_F(MapDrawTest, SeeThroughFadesBuildingsThatAreNotFlat) {
    makeView(20);
    RnProd& p = addProduction(10, 10);
    p.worker_factor_ = 1.0f;
    int sx = 0, sy = 0;
    corner(10, 10, sx, sy);
    draw();
    EXPECT_EQ(at(sx, sy - 4), rgb(0, 0, 200));
    map_->setSeeThrough(true);
    draw();
    const Rgba faded = at(sx, sy - 4);
    EXPECT_LT(faded.b, 200);
    grn_game.prodType(0).flat_ = 1;
    draw();
    EXPECT_EQ(at(sx, sy - 4), rgb(0, 0, 200));
}

TEST_F(MapDrawTest, DemolitionTintsTheSelectionAloneWithoutMarksOrGoods) {
    makeView(20);
    addGrey(6, 10);
    addGrey(9, 10, 2);  // footprint 8-9 by 9-10
    addGreyService(8, 13, 3);
    addGrey(13, 10);
    draw();
    EXPECT_EQ(map_->imagesDrawn(), 1 + 2 + (1 + 3) + 1);

    // Dragged over the rectangle from (6, 10) to (10, 14).
    map_->startDemolition();
    gcn::MouseEvent press = mouseAt(gcn::MouseEvent::Pressed, gcn::MouseEvent::Left, 6, 10);
    map_->mousePressed(press);
    gcn::MouseEvent drag = mouseAt(gcn::MouseEvent::Dragged, gcn::MouseEvent::Left, 10, 14);
    map_->mouseDragged(drag);
    ASSERT_EQ(map_->selection().entries().size(), 3u);
    draw();
    struct Case {
        const char* what;
        int x, y, dx;
        Look look;
    } cases[] = {
        {"selected", 6, 10, 16, Look::kDemolition},
        {"selected 2 by 2, left strip", 9, 10, -48, Look::kDemolition},
        {"selected 2 by 2, image tile", 9, 10, 16, Look::kDemolition},
        {"selected service", 8, 13, 16, Look::kDemolition},
        {"outside", 13, 10, 16, Look::kPlain},
    };
    for (const Case& c : cases) EXPECT_EQ(lookOf(c.x, c.y, c.dx), c.look) << c.what;
    // The service's goods piles are not drawn while it is selected.
    EXPECT_EQ(map_->imagesDrawn(), 1 + 2 + 1 + 1);

    map_->clearModes();
    draw();
    for (const Case& c : cases) EXPECT_EQ(lookOf(c.x, c.y, c.dx), Look::kPlain) << c.what;
}

TEST_F(MapDrawTest, TheBuildingUnderTheMouseLightsUpAndWhatStandsInFrontFades) {
    makeView(20);
    addGrey(10, 10, 2);  // footprint 9-10 by 9-10
    addGrey(11, 11);     // in front of the mouse tile below
    addGrey(11, 8);      // behind it
    addGrey(5, 5);
    struct Case {
        const char* what;
        int x, y, dx;
        Look look;
    };
    // The mouse on the 2 by 2's image tile, then on another of its tiles:
    // both of its strips light up either way.
    for (const auto& [mx, my] : {std::pair{10, 10}, std::pair{9, 9}}) {
        hover(mx, my);
        draw();
        const bool on_image_tile = mx == 10;
        const Case cases[] = {
            {"hovered, left strip", 10, 10, -48, Look::kHighlight},
            {"hovered, image tile", 10, 10, 16, Look::kHighlight},
            // Within the hovered tile's reach to the front only.
            {"in front", 11, 11, 16, on_image_tile ? Look::kFaded : Look::kPlain},
            {"behind", 11, 8, 16, Look::kPlain},
            {"away", 5, 5, 16, Look::kPlain},
        };
        for (const Case& c : cases) EXPECT_EQ(lookOf(c.x, c.y, c.dx), c.look) << c.what << " " << mx;
    }
    // An empty tile under the mouse lights up nothing and fades nothing.
    hover(10, 12);
    draw();
    for (const auto& [x, y, dx] : {std::tuple{10, 10, -48}, std::tuple{10, 10, 16}, std::tuple{11, 11, 16}}) {
        EXPECT_EQ(lookOf(x, y, dx), Look::kPlain) << x << "," << y << " " << dx;
    }
}

TEST_F(MapDrawTest, AStorageAndTheBuildingsItServesLightUpEachOther) {
    makeView(20);
    RnServ& linked = addGreyService(10, 10, 0);
    addGreyService(14, 10, 0);
    registerMemoryBitmap(DaxBitmapKey("stor_grey", 1, 0), 64, 40, 32, 40, kGrey);
    RnStorType t;
    t.type_id_ = 600;
    t.name_ = "stor";
    t.image_ = "stor_grey";
    t.distribute_goods_ = {0};
    grn_game.addStorType(t);
    const RnObjectID stor = grn_game.storType(0).createBuilding(6, 10);
    linked.goods_stored_[0].near_storage_ = stor;
    addGrey(10, 14);
    // How each building looks with the mouse over the service, then over
    // the storage.
    struct Case {
        const char* what;
        int x, y;
        Look over_service, over_storage;
    } cases[] = {
        {"the storage", 6, 10, Look::kHighlight, Look::kHighlight},
        {"the service it serves", 10, 10, Look::kHighlight, Look::kHighlight},
        {"another service", 14, 10, Look::kPlain, Look::kPlain},
        {"a decoration", 10, 14, Look::kPlain, Look::kPlain},
    };
    hover(10, 10);
    draw();
    for (const Case& c : cases) EXPECT_EQ(lookOf(c.x, c.y), c.over_service) << "over the service: " << c.what;
    hover(6, 10);
    draw();
    for (const Case& c : cases) EXPECT_EQ(lookOf(c.x, c.y), c.over_storage) << "over the storage: " << c.what;
}

TEST_F(MapDrawTest, ThePlacementPreviewShowsWhetherTheBuildingFits) {
    makeView(20);
    addGrey(5, 5);
    setTerrain(12, 12, worldtest::kWater);
    map_->selectBuildingType(RnIdBldDeco, 711);
    struct Case {
        const char* what;
        int x, y;
        Look there;
    } cases[] = {
        {"free grass", 8, 8, Look::kPreviewOk},
        {"water", 12, 12, Look::kPreviewBad},
        // No preview over a building: it lights up as the one under the
        // mouse.
        {"a building", 5, 5, Look::kHighlight},
    };
    for (const Case& c : cases) {
        hover(c.x, c.y);
        draw();
        EXPECT_EQ(lookOf(c.x, c.y), c.there) << c.what;
        // Nowhere else.
        for (const Case& other : cases) {
            if (&other == &c) continue;
            const Look elsewhere = lookOf(other.x, other.y);
            EXPECT_TRUE(elsewhere == Look::kNothing || elsewhere == Look::kPlain) << c.what << ": " << other.what;
        }
    }
    map_->clearModes();
    hover(8, 8);
    draw();
    EXPECT_EQ(lookOf(8, 8), Look::kNothing);
}

TEST_F(MapDrawTest, TheDebugLineSaysWhatTheFrameDrewWhereTheSettingsPutIt) {
    ASSERT_TRUE(al_init_font_addon());
    ALLEGRO_FONT* builtin = al_create_builtin_font();
    ASSERT_NE(builtin, nullptr);
    gcn::Allegro5Font font(builtin);
    makeView(20);
    addGrey(10, 10);
    map_->setFont(&font);
    hover(7, 9);
    const int fh = font.getHeight();
    struct Case {
        int display, map_x, map_y;
        bool shown;
        int x, y;  // the box; the text starts 2 pixels right of it; -1: from the width
    } cases[] = {
        {0, 10, 20, false, 0, 0},
        {1, 10, 20, true, 10, 20},
        {2, -5, -3, true, -1, kH - 3 - fh},
    };
    for (const Case& c : cases) {
        grn_config.map_display_ = c.display;
        grn_config.map_x_ = c.map_x;
        grn_config.map_y_ = c.map_y;
        draw();
        if (!c.shown) {
            EXPECT_TRUE(graphics_.texts.empty());
            EXPECT_TRUE(graphics_.fills.empty());
            continue;
        }
        char expected[128];
        std::snprintf(expected, sizeof(expected), "%d-%d tiles, 7.50, 9.50, mouse=(%d, %d), ", map_->tilesVisited(),
                      map_->imagesDrawn(), map_->lastMouseX(), map_->lastMouseY());
        ASSERT_EQ(graphics_.texts.size(), 1u);
        ASSERT_EQ(graphics_.fills.size(), 1u);
        const auto& text = graphics_.texts[0];
        const auto& box = graphics_.fills[0];
        EXPECT_EQ(text.text, expected);
        const int d = font.getWidth(text.text);
        const int x = c.x >= 0 ? c.x : kW - 5 - d - 4;
        EXPECT_EQ(box.rect, gcn::Rectangle(x, c.y, d + 4, fh));
        EXPECT_EQ(box.color, gcn::Color(0, 0, 0, 180));
        EXPECT_EQ(text.x, x + 2);
        EXPECT_EQ(text.y, c.y);
        EXPECT_EQ(text.color, gcn::Color(255, 255, 255, 255));
    }
    map_->setFont(nullptr);
    grn_config.map_display_ = 0;
}

}  // namespace
