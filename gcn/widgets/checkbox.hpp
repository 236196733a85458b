// A square box with a tick and a caption beside it; a click, Enter or Space
// flips the tick and sends the action event.
#pragma once

#include <string>

#include "gcn/listeners.hpp"
#include "gcn/widget.hpp"

namespace gcn {

class CheckBox : public Widget, public MouseListener, public KeyListener {
public:
    CheckBox();
    // Caption (null: empty) and tick, sized to the caption.
    explicit CheckBox(const char* caption, bool selected = false);

    bool isSelected() const { return selected_; }
    // No event is sent.
    void setSelected(bool selected) { selected_ = selected; }
    void setCaption(const char* caption);
    void setCaption(const std::string& caption) { caption_ = caption; }
    const std::string& getCaption() const { return caption_; }

    // A square of the font height, then the caption and half a square.
    void adjustSize();

    void draw(Graphics* graphics) override;
    virtual void drawBox(Graphics* graphics);
    // Flips the tick and sends the action event.
    virtual void toggleSelected();

    // KeyListener
    void keyPressed(KeyEvent& event) override;
    // MouseListener
    void mouseClicked(MouseEvent& event) override;
    void mouseDragged(MouseEvent& event) override;

protected:
    bool selected_ = false;
    std::string caption_;
};

}  // namespace gcn
