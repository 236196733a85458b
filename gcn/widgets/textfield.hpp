// One line of editable text that scrolls sideways to keep the caret in
// view; Enter sends the action event. Text is UTF-8 and the caret a byte
// index on a character boundary.
#pragma once

#include <cstdint>
#include <string>

#include "gcn/listeners.hpp"
#include "gcn/widget.hpp"

namespace gcn {

class TextField : public Widget, public MouseListener, public KeyListener {
public:
    TextField();
    // Starts with a text, sized to it.
    explicit TextField(const std::string& text);

    // A caret past the new text's end moves to its end.
    void setText(const std::string& text);
    const std::string& getText() const { return text_; }
    unsigned getCaretPosition() const { return caret_position_; }
    // Clamped to the text.
    void setCaretPosition(unsigned position);
    void setEditable(bool editable) { editable_ = editable; }
    bool isEditable() const { return editable_; }
    // 0 left, 1 centre, 2 right; only the alignment offset depends on it.
    void setAlignment(int alignment) { alignment_ = alignment; }
    int getAlignment() const { return alignment_; }
    // Pixels of text hidden on the left.
    int getScroll() const { return x_scroll_; }

    // Text width + 6 by font height + 4.
    void adjustSize();
    // Font height + 4; the width stays.
    void adjustHeight();
    // Recomputes the alignment offset and, while focused, scrolls so that
    // the caret stays inside.
    void fixScroll();

    virtual void drawCaret(Graphics* graphics, int x);
    void draw(Graphics* graphics) override;
    void fontChanged() override { fixScroll(); }

    // MouseListener
    void mousePressed(MouseEvent& event) override;
    void mouseDragged(MouseEvent& event) override;
    // KeyListener: every key but Tab is consumed.
    void keyPressed(KeyEvent& event) override;

protected:
    int caretX() const;

    std::string text_;
    unsigned caret_position_ = 0;
    int16_t x_scroll_ = 0;
    int16_t align_offset_ = 0;
    bool editable_ = true;
    int alignment_ = 0;
};

}  // namespace gcn
