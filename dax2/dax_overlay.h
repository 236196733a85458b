// Hover texts (tooltips) of a screen: DaxOverlayPlugin shows, near the
// widget under the mouse, the text the widget gives itself through
// DaxOverlayCallback or else a numbered text registered for it or for one of
// its parents.
#pragma once

#include <map>
#include <string>
#include <utility>

#include "gcn/listeners.hpp"
#include "gcn/rectangle.hpp"
#include "gcn/widget.hpp"
#include "gcn/widgets/container.hpp"
#include "gcn/widgets/textbox.hpp"

// Where a hover text goes.
enum : int {
    kDaxOverlayAtMouse = 0,
    kDaxOverlayLeft = 1,   // left of the widget
    kDaxOverlayRight = 2,  // right of the widget
    kDaxOverlayAbove = 3,
    kDaxOverlayBelow = 4,
};

// Implemented by widgets that make their own hover text.
class DaxOverlayCallback {
public:
    virtual ~DaxOverlayCallback() = default;
    // Writes the hover text, terminated, into buffer (size bytes, zeroed by
    // the caller) and returns its length; 0 when there is none.
    virtual int overlayText(char* buffer, int size) = 0;

    // Where the plug-in puts this widget's text (kDaxOverlay...).
    int overlayPlacement() const { return overlay_placement_; }
    void setOverlayPlacement(int placement) { overlay_placement_ = placement; }

protected:
    int overlay_placement_ = kDaxOverlayAtMouse;
};

// The hover-text plug-in of one screen. It is an invisible widget that
// setOwner adds, with its text box, to the screen's top container; it
// follows the mouse through the container's mouse events.
class DaxOverlayPlugin : public gcn::Widget, public gcn::MouseListener, public gcn::DeathListener {
public:
    // Border and offset from overlay_border and overlay_offset.
    DaxOverlayPlugin();
    // Leaves the owner's mouse listeners and the registered widgets' death
    // listeners.
    ~DaxOverlayPlugin() override;
    DaxOverlayPlugin(const DaxOverlayPlugin&) = delete;
    DaxOverlayPlugin& operator=(const DaxOverlayPlugin&) = delete;

    // Attaches to a container (detaching from the previous one): listens to
    // its mouse events and adds the hidden text box and the plug-in to it.
    void setOwner(gcn::Container* owner);
    // The numbered hover text of a widget and its placement; replaces an
    // earlier entry. Text number 0 registers "no text": the search through
    // the parents stops there.
    void setWidgetText(gcn::Widget* widget, int text_number, int placement);

    // gcn::MouseListener (events of the owner and of everything in it).
    void mouseMoved(gcn::MouseEvent& event) override;
    void mouseReleased(gcn::MouseEvent& event) override;
    void mouseExited(gcn::MouseEvent& event) override;
    // gcn::Widget: refreshes the text while a widget is hovered.
    void logic() override;
    // Draws nothing: the text box is the owner's child.
    void draw(gcn::Graphics*) override {}
    // gcn::DeathListener: a registered or hovered widget went.
    void death(const gcn::Event& event) override;

    // The position, relative to the owner, of a box of size (cw, ch) for a
    // widget at rectangle w (relative to the owner), with offset o, the
    // owner's size (W, H) and the mouse at (mx, my).
    static void placeBox(int placement, int cw, int ch, const gcn::Rectangle& w, int o, int W, int H, int mx,
                         int my, int& x, int& y);

    gcn::Container* owner() const { return owner_; }
    gcn::Container& overlayContainer() { return overlay_; }
    gcn::TextBox& textBox() { return text_box_; }
    gcn::Widget* hoveredWidget() const { return hovered_; }
    // The text shown now ("" when the box is hidden).
    std::string shownText() const;

private:
    void hover(gcn::MouseEvent& event);
    void update();
    void hide();
    void detach();
    bool isOwnWidget(const gcn::Widget* w) const;

    gcn::Container* owner_ = nullptr;
    gcn::Container overlay_;
    gcn::TextBox text_box_;
    std::map<gcn::Widget*, std::pair<int, int>> table_;  // text number, placement
    int border_ = 0;
    int offset_ = 0;
    gcn::Widget* hovered_ = nullptr;
    int mouse_x_ = 0;
    int mouse_y_ = 0;
};
