// Widgets with children. BasicContainer keeps the ordered children (drawn
// in list order, the last on top), draws, runs and finds them and passes
// its focus handler down; Container is the plain panel that fills its
// background (base colour or a stretched image) and tells container
// listeners about added and removed children. Children are never owned.
#pragma once

#include <string>
#include <vector>

#include "gcn/listeners.hpp"
#include "gcn/widget.hpp"

namespace gcn {

class Image;

class BasicContainer : public Widget, public DeathListener {
public:
    using Widgets = std::vector<Widget*>;

    BasicContainer() = default;
    // Clears the container (children lose parent, focus handler and the
    // death registration); no child is deleted.
    ~BasicContainer() override;

    // Widget
    void logic() override;
    void _setFocusHandler(FocusHandler* focus_handler) override;
    Widget* getWidgetAt(int x, int y) override;
    Rectangle getChildrenArea() override;
    // Outside a logic pass the widget moves at once; during one the last
    // request is carried out after every child ran its logic.
    void moveToTop(Widget* widget) override;
    void moveToBottom(Widget* widget) override;
    void focusNext() override;
    void focusPrevious() override;
    void showWidgetPart(Widget* widget, Rectangle area) override;

    // DeathListener: a dying child leaves the list; a notice for a widget
    // that is not a child is ignored.
    void death(const Event& event) override;

    // Takes out the first occurrence of a child; raises when it is none.
    virtual void remove(Widget* widget);
    virtual void clear();
    virtual void drawChildren(Graphics* graphics);
    virtual void logicChildren();
    // Depth-first search of the children for an exact id.
    virtual Widget* findWidgetById(const std::string& id);

    // Appends a child: it joins this container's internal focus handler
    // (or else its focus handler) and gets this container as parent.
    void add(Widget* widget);
    // Installs the handler given to the children instead of this
    // container's own (null: the own one again).
    void setInternalFocusHandler(FocusHandler* focus_handler);
    // Width and height to the right and bottom extent of the children.
    void resizeToContent();

    const Widgets& getChildren() const { return children_; }

protected:
    bool isChild(const Widget* widget) const;
    // Raises the container's "no such widget" error for an operation.
    [[noreturn]] static void noSuchWidget(const char* function);
    // Takes one entry out of the list and forgets a pending move of the
    // widget once no entry is left.
    void eraseChild(Widget* widget);

    Widgets children_;
    Widget* pending_move_to_top_ = nullptr;
    Widget* pending_move_to_bottom_ = nullptr;
    bool in_logic_ = false;
};

class Container : public BasicContainer {
public:
    using ContainerListeners = std::vector<ContainerListener*>;

    Container() = default;
    ~Container() override = default;

    // The background image stretched over the container, else the base
    // colour when opaque; then the children.
    void draw(Graphics* graphics) override;

    // Basic removal, then a widget-removed event.
    void remove(Widget* widget) override;
    // Basic clearing; no events.
    void clear() override;
    Widget* findWidgetById(const std::string& id) override;

    // Basic add, then a widget-added event.
    virtual void add(Widget* widget);
    // Positions the widget first.
    virtual void add(Widget* widget, int x, int y);

    void setOpaque(bool opaque) { opaque_ = opaque; }
    bool isOpaque() const { return opaque_; }
    // Not owned; null for none.
    void setBackgroundImage(const Image* image) { background_image_ = image; }
    const Image* getBackgroundImage() const { return background_image_; }

    void addContainerListener(ContainerListener* l) { container_listeners_.push_back(l); }
    void removeContainerListener(ContainerListener* l);

protected:
    void distributeWidgetAddedEvent(Widget* source);
    void distributeWidgetRemovedEvent(Widget* source);

    bool opaque_ = true;
    const Image* background_image_ = nullptr;
    ContainerListeners container_listeners_;
};

}  // namespace gcn
