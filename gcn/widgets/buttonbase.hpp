// What every push button does apart from drawing and sizing: the pressed
// state, mouse, key and focus handling, and the caption alignment and
// spacing. A button sends its action when it is released, never on press.
#pragma once

#include "gcn/listeners.hpp"
#include "gcn/widget.hpp"

namespace gcn {

class ButtonBase : public Widget, public MouseListener, public KeyListener, public FocusListener {
public:
    ButtonBase();

    // 0 left, 1 centre, 2 right (the text alignments of Graphics).
    void setAlignment(int alignment) { alignment_ = alignment; }
    int getAlignment() const { return alignment_; }
    // Pixels between the caption or image and the border.
    void setSpacing(int spacing) { spacing_ = spacing; }
    int getSpacing() const { return spacing_; }

    // A mouse press shows only while the mouse stays over the button.
    bool isPressed() const;

    // MouseListener
    void mouseEntered(MouseEvent& event) override;
    void mouseExited(MouseEvent& event) override;
    void mousePressed(MouseEvent& event) override;
    void mouseReleased(MouseEvent& event) override;
    void mouseDragged(MouseEvent& event) override;
    // KeyListener
    void keyPressed(KeyEvent& event) override;
    void keyReleased(KeyEvent& event) override;
    // FocusListener: losing the focus cancels both kinds of press.
    void focusLost(const Event& event) override;

protected:
    // The raised or (when pressed) sunken face shared by the buttons.
    void drawBevel(Graphics* graphics);
    // The face colour drawBevel used: the base colour, or its pressed shade.
    Color faceColor() const;

    bool has_mouse_ = false;
    bool key_pressed_ = false;
    bool mouse_pressed_ = false;
    int alignment_ = 1;
    int spacing_ = 4;
};

}  // namespace gcn
