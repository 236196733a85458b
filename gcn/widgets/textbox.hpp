// Multi-line text held as rows (no line breaks inside a row) with a caret,
// usually shown in a scroll area. Dialogs use it read-only for word-wrapped
// messages. Texts are UTF-8; the caret column is a byte index that always
// sits on a character boundary.
#pragma once

#include <string>
#include <vector>

#include "gcn/listeners.hpp"
#include "gcn/widget.hpp"

namespace gcn {

class TextBox : public Widget, public MouseListener, public KeyListener {
public:
    // No rows at all (width 1, height 0).
    TextBox();
    explicit TextBox(const char* text);

    // Removes every row, then appendText.
    void setText(const char* text);
    void setText(const std::string& text) { setText(text.c_str()); }
    // The rows joined with newlines.
    std::string getText() const;
    // Breaks the text into rows at the first space where a row reaches the
    // width (so a row may pass it by the word that crossed it) and at every
    // newline. An empty text gives one empty row.
    void setTextWrapped(const char* text, int width);
    // Replaces one row; raises "No such row." for a row that is not there.
    void setTextRow(int row, const std::string& text);
    const std::string& getTextRow(int row) const;
    int getNumberOfRows() const { return static_cast<int>(rows_.size()); }

    int getCaretRow() const { return caret_row_; }
    int getCaretColumn() const { return caret_column_; }
    // Row clamped to the rows there are, then the column to that row.
    void setCaretRow(int row);
    // Clamped to the caret row.
    void setCaretColumn(int column);
    void setCaretRowColumn(int row, int column);

    void setEditable(bool editable) { editable_ = editable; }
    bool isEditable() const { return editable_; }
    void setOpaque(bool opaque) { opaque_ = opaque; }
    bool isOpaque() const { return opaque_; }

    // Asks the parent to bring the caret into view.
    virtual void scrollToCaret();
    // Caret to (0, 0), then the text's lines added after the existing rows
    // (null or empty: nothing); then adjustSize.
    virtual void appendText(const char* text);
    virtual void appendText(const std::string& text);
    virtual void drawCaret(Graphics* graphics, int x, int y);
    // Widest row + 1 by the number of rows times the font height.
    virtual void adjustSize();

    void draw(Graphics* graphics) override;
    void fontChanged() override { adjustSize(); }

    // MouseListener
    void mousePressed(MouseEvent& event) override;
    void mouseDragged(MouseEvent& event) override;
    // KeyListener: every key is consumed.
    void keyPressed(KeyEvent& event) override;

protected:
    // The caret row's text; a box without rows acts on an empty row.
    const std::string& caretRowText() const;
    // Gives a box without rows its first (empty) row before text goes in.
    void ensureRow();

    std::vector<std::string> rows_;
    int caret_column_ = 0;
    int caret_row_ = 0;
    bool editable_ = true;
    bool opaque_ = true;
};

}  // namespace gcn
