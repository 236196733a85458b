// A container with a caption in a title bar by which the user drags it. A
// press anywhere on it brings it to the top of its parent.
#pragma once

#include <string>

#include "gcn/listeners.hpp"
#include "gcn/widgets/container.hpp"

namespace gcn {

class Window : public Container, public MouseListener {
public:
    // The caption may be null (empty).
    explicit Window(const char* caption = nullptr);

    void setCaption(const char* caption);
    void setCaption(const std::string& caption) { caption_ = caption; }
    const std::string& getCaption() const { return caption_; }
    // 0 left, 1 centre, 2 right.
    void setAlignment(int alignment) { alignment_ = alignment; }
    int getAlignment() const { return alignment_; }
    // Space between the frame and the children area on the left, right and
    // bottom; nothing is laid out again.
    void setPadding(unsigned padding) { padding_ = padding; }
    unsigned getPadding() const { return padding_; }
    void setTitleBarHeight(unsigned height) { title_bar_height_ = height; }
    unsigned getTitleBarHeight() const { return title_bar_height_; }
    void setMovable(bool movable) { movable_ = movable; }
    bool isMovable() const { return movable_; }
    // setOpaque and isOpaque are the container's: an opaque window fills its
    // children area with the base colour.

    // Fits the window round its children, borders and title bar included.
    virtual void resizeToContent();

    // Raises "Unknown alignment." for an alignment other than 0, 1 and 2.
    void draw(Graphics* graphics) override;
    Rectangle getChildrenArea() override;

    // MouseListener
    void mousePressed(MouseEvent& event) override;
    void mouseReleased(MouseEvent& event) override;
    void mouseDragged(MouseEvent& event) override;

protected:
    std::string caption_;
    int alignment_ = 1;
    unsigned padding_ = 2;
    unsigned title_bar_height_ = 16;
    bool movable_ = true;
    int drag_offset_x_ = 0;
    int drag_offset_y_ = 0;
    bool moved_ = false;
};

}  // namespace gcn
