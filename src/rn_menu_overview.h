// The overview screen: the whole map as a picture of one block per tile,
// coloured by what the player picks on the tabs beside it -- the plain map,
// desirability, the workforce, the roads, production, one goods type or one
// building type -- with markers for buildings in trouble and for the walkers
// of the chosen type. The radio buttons show by colour, visibility or state
// which types exist and whether a goods type is balanced; hovering one shows
// the type's description. A click on the picture takes the main map there.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "dax2/dax_geometry.h"
#include "dax2/dax_menu_ifc.h"
#include "dax2/dax_oid.h"
#include "dax2/dax_overlay.h"
#include "gcn/listeners.hpp"
#include "gcn/widgets/button.hpp"
#include "gcn/widgets/buttonbar.hpp"
#include "gcn/widgets/container.hpp"
#include "gcn/widgets/label.hpp"
#include "gcn/widgets/radiobutton.hpp"
#include "gcn/widgets/slider.hpp"
#include "gcn/widgets/tabbedarea.hpp"
#include "rn_mainmap_mini.h"

// A radio button that stands for a goods type (kind 0) or a road or
// building type; its hover text describes the type.
class AnnotatedRadioButton : public gcn::RadioButton, public DaxOverlayCallback {
public:
    AnnotatedRadioButton(const std::string& caption, const RnObjectTypeID& type);

    // The goods line of a goods type, the build-menu tooltip of a road or
    // building type; none for a type the tables do not hold.
    int overlayText(char* buffer, int size) override;

    const RnObjectTypeID& objectType() const { return type_; }

private:
    RnObjectTypeID type_;
};

// The overview's picture of the map.
class RnOverviewMapWidget : public RnMiniMapWithPosition, public gcn::MouseListener, public DaxOverlayCallback {
public:
    enum Mode : int {
        kPlain = 0,
        kDesirability = 1,
        kWorkforce = 2,
        kGoods = 3,         // type (0, goods type)
        kRoads = 4,         // type (1, -1)
        kBuildingType = 5,  // type (kind, type index)
        kProduction = 6,    // type (5, -1)
    };
    // A building kind and type index.
    using TypeKey = std::pair<int16_t, int16_t>;
    // A colour of the picture, each channel 0 to 1.
    struct Colour {
        float r, g, b, a;
    };

    RnOverviewMapWidget();

    // What the picture shows; asks for a full redraw.
    void setMode(int mode, const RnObjectTypeID& type);
    int mode() const { return mode_; }
    const RnObjectTypeID& selectedType() const { return type_; }
    // The building types whose markers the goods picture keeps (empty: no
    // filter); filled by the terrain pass.
    const std::set<TypeKey>& markerFilter() const { return filter_; }

    // A new size: two, three or four pixels a tile when the map fits that
    // many times (the largest that fits; else the zoom stays), then the
    // picture is centred on the main map's view.
    void setDimension(const gcn::Rectangle& dimension) override;
    // Centres the picture on the main map's view (the map's middle without
    // a main map).
    void centreOnMainMap();

    // Paint into the current target bitmap (the widget's cached layers).
    void paintTerrain(gcn::Graphics* graphics) override;
    void paintObjects(gcn::Graphics* graphics, bool status) override;

    // The mouse over the picture is remembered for the hover text; a left
    // press on the map centres the picture and the main map on that tile.
    void mouseEntered(gcn::MouseEvent& event) override;
    void mouseExited(gcn::MouseEvent& event) override;
    void mouseMoved(gcn::MouseEvent& event) override;
    void mouseDragged(gcn::MouseEvent& event) override;
    void mousePressed(gcn::MouseEvent& event) override;
    // What is on the tile under the mouse.
    int overlayText(char* buffer, int size) override;

    float mouseTileX() const { return mouse_x_; }
    float mouseTileY() const { return mouse_y_; }

private:
    void rememberMouse(const gcn::MouseEvent& event);
    Colour baseColour(int x, int y, float max_desirability, float max_workers) const;
    Colour typeAwareColour(int x, int y) const;
    // Goods mode: the buildings that handle the goods, each tile of their
    // footprints as (x, y, colour) from the colours painted so far, and the
    // storages' demand circles.
    void goodsFootprints(const std::vector<Colour>& grid, std::vector<std::pair<DaxMapPositionI, Colour>>& pixels);
    void paintDemandCircles() const;
    // The links of a storage type's network, as lines between the centres
    // of the storages (fatal for another kind).
    void paintStorageNetwork(const RnObjectTypeID& otx, const Colour& colour) const;
    bool isSelected(const RnObjectTypeID& type) const;

    int mode_ = kPlain;
    RnObjectTypeID type_;
    std::set<TypeKey> filter_;
    float mouse_x_ = -1.0f;
    float mouse_y_ = -1.0f;
};

class RnOverviewMenu : public DaxSubMenuIfc, public gcn::Container, public gcn::ActionListener {
public:
    // The fixed radio buttons.
    enum Fixed : int { kFixedPlain, kFixedRoads, kFixedProduction, kFixedDesirability, kFixedWorkforce, kFixedCount };

    RnOverviewMenu(int width, int height);
    ~RnOverviewMenu() override;
    RnOverviewMenu(const RnOverviewMenu&) = delete;
    RnOverviewMenu& operator=(const RnOverviewMenu&) = delete;

    // Refreshes the radio buttons and centres the picture on the main map.
    gcn::Container* getContainer() override;
    // Escape goes back; other keys as on every screen.
    void keyPressed(gcn::KeyEvent& event) override;
    void action(const gcn::ActionEvent& event) override;

    // Which goods and building types show and how: goods types with
    // statistics, coloured by their balance; service types enabled while
    // one is built; production, market and storage types shown while one is
    // built.
    void refreshRadios();

    RnOverviewMapWidget& picture() { return picture_; }
    gcn::TabbedArea& tabs() { return tabs_; }
    gcn::Label& zoomLabel() { return zoom_label_; }
    gcn::Slider& zoomSlider() { return zoom_slider_; }
    gcn::Button& backButton() { return back_; }
    gcn::RadioButton& fixedRadio(Fixed f);
    // The radio of a goods type (kind 0) or building type; null when none.
    AnnotatedRadioButton* typeRadio(int16_t kind, int16_t type_idx);

private:
    using RadioMap = std::map<AnnotatedRadioButton*, int16_t>;
    // A new radio of a type in its kind's map, in the column.
    AnnotatedRadioButton* addTypeRadio(RadioMap& map, gcn::ButtonVBar& column, const std::string& caption,
                                       int16_t kind, int16_t type_idx);
    gcn::Label* addSection(gcn::ButtonVBar& column, int text);
    // Lays out the tabs and the right-hand column (after a refresh changed
    // what is visible).
    void layoutPanel();

    RnOverviewMapWidget picture_;
    gcn::ButtonVBar right_;
    gcn::TabbedArea tabs_;
    gcn::Label zoom_label_;
    gcn::Slider zoom_slider_;
    gcn::Button back_;
    gcn::ButtonHBar tab_bars_[3];
    gcn::ButtonVBar columns_[5];  // tab 1; tab 2 two; tab 3 two
    std::vector<std::unique_ptr<gcn::Label>> sections_;
    gcn::RadioButton plain_;
    AnnotatedRadioButton roads_;
    gcn::RadioButton production_;
    gcn::RadioButton desirability_;
    gcn::RadioButton workforce_;
    std::vector<std::unique_ptr<AnnotatedRadioButton>> radios_;
    RadioMap goods_radios_;
    RadioMap hous_radios_;
    RadioMap bldr_radios_;
    RadioMap prod_radios_;
    RadioMap serv_radios_;
    RadioMap mrkt_radios_;
    RadioMap stor_radios_;
    DaxOverlayPlugin overlay_;
    int width_;
    int height_;
};

// The screen creator of state 9.
DaxSubMenuIfc* rnCreateOverviewMenu(int id);
