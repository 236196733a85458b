// Shows one content widget through a window of its own size, with a
// vertical and a horizontal scroll bar (arrow buttons, track, draggable
// marker) each shown always, never or when needed.
#pragma once

#include "gcn/listeners.hpp"
#include "gcn/widgets/container.hpp"

namespace gcn {

class ScrollArea : public BasicContainer, public MouseListener {
public:
    enum ScrollPolicy : int { ShowAlways = 0, ShowNever = 1, ShowAuto = 2 };

    ScrollArea();
    // The content (null: none) at (0, 0) and both policies.
    ScrollArea(Widget* content, int h_policy = ShowAuto, int v_policy = ShowAuto);
    // Lets go of the content; it is not deleted.
    ~ScrollArea() override;

    // Replaces the content (null: none); the old one is not deleted.
    void setContent(Widget* widget);
    Widget* getContent() const;

    // A policy other than 0, 1 and 2 raises on the next checkPolicies.
    void setHorizontalScrollPolicy(int policy);
    int getHorizontalScrollPolicy() const { return h_policy_; }
    void setVerticalScrollPolicy(int policy);
    int getVerticalScrollPolicy() const { return v_policy_; }
    void setScrollPolicy(int h_policy, int v_policy);

    // Clamped to 0 ... the maximum of the direction.
    void setVerticalScrollAmount(int amount);
    int getVerticalScrollAmount() const { return v_scroll_; }
    void setHorizontalScrollAmount(int amount);
    int getHorizontalScrollAmount() const { return h_scroll_; }
    void setScrollAmount(int h_amount, int v_amount);
    int getVerticalMaxScroll();
    int getHorizontalMaxScroll();

    void setScrollbarWidth(int width) { scrollbar_width_ = width; }
    int getScrollbarWidth() const { return scrollbar_width_; }
    // Pixels one press of an arrow button scrolls.
    void setUpButtonScrollAmount(int amount) { up_amount_ = amount; }
    void setDownButtonScrollAmount(int amount) { down_amount_ = amount; }
    void setLeftButtonScrollAmount(int amount) { left_amount_ = amount; }
    void setRightButtonScrollAmount(int amount) { right_amount_ = amount; }
    void setOpaque(bool opaque) { opaque_ = opaque; }
    bool isOpaque() const { return opaque_; }
    bool isVerticalBarVisible() const { return v_bar_visible_; }
    bool isHorizontalBarVisible() const { return h_bar_visible_; }

    // Every size change re-checks which bars show.
    void setDimension(const Rectangle& dimension) override;

    virtual void drawBackground(Graphics* graphics);
    virtual void drawUpButton(Graphics* graphics);
    virtual void drawDownButton(Graphics* graphics);
    virtual void drawLeftButton(Graphics* graphics);
    virtual void drawRightButton(Graphics* graphics);
    virtual void drawVBar(Graphics* graphics);
    virtual void drawHBar(Graphics* graphics);
    virtual void drawVMarker(Graphics* graphics);
    virtual void drawHMarker(Graphics* graphics);
    // Decides which bars show; raises for an invalid policy.
    virtual void checkPolicies();

    void draw(Graphics* graphics) override;
    void logic() override;
    Widget* getWidgetAt(int x, int y) override;
    Rectangle getChildrenArea() override;
    // Raises "Widget not content widget" for any other widget.
    void showWidgetPart(Widget* widget, Rectangle area) override;

    // The parts of the bars, relative to the area; (0, 0, 0, 0) while the
    // bar is hidden.
    Rectangle getUpButtonDimension();
    Rectangle getDownButtonDimension();
    Rectangle getLeftButtonDimension();
    Rectangle getRightButtonDimension();
    Rectangle getVerticalBarDimension();
    Rectangle getHorizontalBarDimension();
    Rectangle getVerticalMarkerDimension();
    Rectangle getHorizontalMarkerDimension();

    // MouseListener
    void mousePressed(MouseEvent& event) override;
    void mouseReleased(MouseEvent& event) override;
    void mouseWheelMovedUp(MouseEvent& event) override;
    void mouseWheelMovedDown(MouseEvent& event) override;
    void mouseDragged(MouseEvent& event) override;

protected:
    // Arrow buttons share their face; the arrow is drawn by the caller.
    void drawArrowButtonFace(Graphics* graphics, const Rectangle& dim, bool pressed, int& offset);
    void drawMarker(Graphics* graphics, const Rectangle& dim);

    int v_scroll_ = 0;
    int h_scroll_ = 0;
    int scrollbar_width_ = 12;
    int h_policy_ = ShowAuto;
    int v_policy_ = ShowAuto;
    bool v_bar_visible_ = false;
    bool h_bar_visible_ = false;
    bool up_pressed_ = false;
    bool down_pressed_ = false;
    bool left_pressed_ = false;
    bool right_pressed_ = false;
    int up_amount_ = 10;
    int down_amount_ = 10;
    int left_amount_ = 10;
    int right_amount_ = 10;
    bool v_marker_dragged_ = false;
    bool h_marker_dragged_ = false;
    int h_marker_drag_offset_ = 0;
    int v_marker_drag_offset_ = 0;
    bool opaque_ = true;
};

}  // namespace gcn
