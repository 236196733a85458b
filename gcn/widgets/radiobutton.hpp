// A diamond-shaped box with a dot and a caption. Buttons that share a
// non-empty group name are exclusive: selecting one clears the others.
#pragma once

#include <string>

#include "gcn/listeners.hpp"
#include "gcn/widget.hpp"

namespace gcn {

class RadioButton : public Widget, public MouseListener, public KeyListener {
public:
    RadioButton();
    // Caption (null: empty), group (null: none) and selection, sized to the
    // caption.
    RadioButton(const char* caption, const char* group, bool selected = false);
    // Leaves its group.
    ~RadioButton() override;

    bool isSelected() const { return selected_; }
    // Selecting clears every other selected button of the group; no event
    // is sent.
    void setSelected(bool selected);
    void setCaption(const char* caption);
    void setCaption(const std::string& caption) { caption_ = caption; }
    const std::string& getCaption() const { return caption_; }
    // Moves the button to another group (empty: none); the selection stays.
    void setGroup(const std::string& group);
    void setGroup(const char* group);
    const std::string& getGroup() const { return group_; }

    // A square of the font height, then the caption and half a square.
    void adjustSize();

    void draw(Graphics* graphics) override;
    virtual void drawBox(Graphics* graphics);

    // KeyListener
    void keyPressed(KeyEvent& event) override;
    // MouseListener
    void mouseClicked(MouseEvent& event) override;
    void mouseDragged(MouseEvent& event) override;

protected:
    bool selected_ = false;
    std::string caption_;
    std::string group_;
};

}  // namespace gcn
