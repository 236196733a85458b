#include "gcn/widgets/textbox.hpp"

#include <algorithm>

#include "gcn/exception.hpp"
#include "gcn/font.hpp"
#include "gcn/graphics.hpp"
#include "gcn/key.hpp"
#include "gcn/style.hpp"
#include "gcn/widgets/utf8text.hpp"

namespace gcn {

namespace {

const std::string kEmptyRow;

}  // namespace

TextBox::TextBox() {
    setFocusable(true);
    addMouseListener(this);
    addKeyListener(this);
    adjustSize();
}

TextBox::TextBox(const char* text) {
    appendText(text);
    setFocusable(true);
    addMouseListener(this);
    addKeyListener(this);
    adjustSize();
}

void TextBox::setText(const char* text) {
    rows_.clear();
    appendText(text);
}

std::string TextBox::getText() const {
    std::string out;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (i > 0) {
            out += '\n';
        }
        out += rows_[i];
    }
    return out;
}

void TextBox::appendText(const char* text) {
    caret_row_ = 0;
    caret_column_ = 0;
    if (text && *text) {
        const std::string s(text);
        std::size_t start = 0;
        for (;;) {
            const std::size_t nl = s.find('\n', start);
            if (nl == std::string::npos) {
                rows_.push_back(s.substr(start));
                break;
            }
            rows_.push_back(s.substr(start, nl - start));
            start = nl + 1;
        }
    }
    adjustSize();
}

void TextBox::appendText(const std::string& text) {
    appendText(text.c_str());
}

void TextBox::setTextWrapped(const char* text, int width) {
    caret_row_ = 0;
    caret_column_ = 0;
    rows_.clear();
    const std::string s(text ? text : "");
    Font* font = getFont();
    std::size_t start = 0;
    for (std::size_t i = 0; i <= s.size(); ++i) {
        if (i == s.size() || s[i] == '\n') {
            rows_.push_back(s.substr(start, i - start));
            start = i + 1;
        } else if (s[i] == ' ') {
            const std::string part = s.substr(start, i - start);
            if (font->getWidth(part) >= width) {
                rows_.push_back(part);
                start = i + 1;
            }
        }
    }
    adjustSize();
}

void TextBox::setTextRow(int row, const std::string& text) {
    if (row < 0 || row >= getNumberOfRows()) {
        throw GCN_EXCEPTION("No such row.", "gcn::TextBox::setTextRow");
    }
    rows_[row] = text;
    if (row == caret_row_) {
        setCaretColumn(caret_column_);
    }
    adjustSize();
}

const std::string& TextBox::getTextRow(int row) const {
    if (row < 0 || row >= getNumberOfRows()) {
        throw GCN_EXCEPTION("No such row.", "gcn::TextBox::getTextRow");
    }
    return rows_[row];
}

const std::string& TextBox::caretRowText() const {
    return rows_.empty() ? kEmptyRow : rows_[caret_row_];
}

void TextBox::ensureRow() {
    if (rows_.empty()) {
        rows_.emplace_back();
        caret_row_ = 0;
        caret_column_ = 0;
    }
}

void TextBox::setCaretRow(int row) {
    const int last = std::max(0, getNumberOfRows() - 1);
    caret_row_ = std::clamp(row, 0, last);
    setCaretColumn(caret_column_);
}

void TextBox::setCaretColumn(int column) {
    caret_column_ = utf8::snap(caretRowText(), column);
}

void TextBox::setCaretRowColumn(int row, int column) {
    setCaretRow(row);
    setCaretColumn(column);
}

void TextBox::adjustSize() {
    Font* font = getFont();
    int widest = 0;
    for (const std::string& row : rows_) {
        widest = std::max(widest, font->getWidth(row));
    }
    setSize(widest + 1, getNumberOfRows() * font->getHeight());
}

void TextBox::scrollToCaret() {
    Font* font = getFont();
    const std::string& row = caretRowText();
    Rectangle r(font->getWidth(row.substr(0, caret_column_)), font->getHeight() * caret_row_, font->getWidth(" "),
                font->getHeight() + 2);
    showPart(r);
}

void TextBox::draw(Graphics* graphics) {
    Font* font = getFont();
    const int fh = font->getHeight();
    if (opaque_) {
        graphics->setColor(getBackgroundColor());
        graphics->fillRectangle(Rectangle(0, 0, getWidth(), getHeight()));
    }
    if (isFocused() && editable_) {
        drawCaret(graphics, font->getWidth(caretRowText().substr(0, caret_column_)), caret_row_ * fh);
    }
    graphics->setColor(getForegroundColor());
    graphics->setFont(font);
    for (int i = 0; i < getNumberOfRows(); ++i) {
        graphics->drawText(rows_[i], 1, i * fh);
    }
}

void TextBox::drawCaret(Graphics* graphics, int x, int y) {
    const Style* style = Style::getCurrent();
    if (style->blinkPhase()) {
        return;
    }
    const int fh = getFont()->getHeight();
    graphics->setColor(getForegroundColor());
    for (int i = 0; i < style->caretWidth(); ++i) {
        graphics->drawLine(x + i, y + fh, x + i, y);
    }
}

void TextBox::mousePressed(MouseEvent& event) {
    if (event.getButton() != MouseEvent::Left) {
        return;
    }
    Font* font = getFont();
    const int fh = std::max(1, font->getHeight());
    const int last = std::max(0, getNumberOfRows() - 1);
    caret_row_ = std::clamp(event.getY() / fh, 0, last);
    caret_column_ = utf8::snap(caretRowText(), font->getStringIndexAt(caretRowText(), event.getX()));
}

void TextBox::mouseDragged(MouseEvent& event) {
    event.consume();
}

void TextBox::keyPressed(KeyEvent& event) {
    const Key& key = event.getKey();
    const int v = key.getValue();
    const int rows = getNumberOfRows();
    const int len = static_cast<int>(caretRowText().size());

    if (v == Key::Left) {
        if (caret_column_ > 0) {
            caret_column_ = utf8::previous(caretRowText(), caret_column_);
        } else if (caret_row_ > 0) {
            --caret_row_;
            caret_column_ = static_cast<int>(rows_[caret_row_].size());
        }
    } else if (v == Key::Right) {
        if (caret_column_ < len) {
            caret_column_ = utf8::next(caretRowText(), caret_column_);
        } else if (caret_row_ < rows - 1) {
            ++caret_row_;
            caret_column_ = 0;
        }
    } else if (v == Key::Down) {
        setCaretRow(caret_row_ + 1);
    } else if (v == Key::Up) {
        setCaretRow(caret_row_ - 1);
    } else if (v == Key::Home) {
        caret_column_ = 0;
    } else if (v == Key::End) {
        caret_column_ = len;
    } else if (v == Key::Enter && editable_) {
        ensureRow();
        std::string& row = rows_[caret_row_];
        const std::string tail = row.substr(caret_column_);
        row.erase(caret_column_);
        rows_.insert(rows_.begin() + caret_row_ + 1, tail);
        ++caret_row_;
        caret_column_ = 0;
    } else if (v == Key::Backspace && editable_) {
        if (caret_column_ > 0) {
            const int from = utf8::previous(rows_[caret_row_], caret_column_);
            rows_[caret_row_].erase(from, caret_column_ - from);
            caret_column_ = from;
        } else if (caret_row_ > 0) {
            const int joined = static_cast<int>(rows_[caret_row_ - 1].size());
            rows_[caret_row_ - 1] += rows_[caret_row_];
            rows_.erase(rows_.begin() + caret_row_);
            --caret_row_;
            caret_column_ = joined;
        }
    } else if (v == Key::Delete && editable_) {
        if (caret_column_ < len) {
            const int to = utf8::next(rows_[caret_row_], caret_column_);
            rows_[caret_row_].erase(caret_column_, to - caret_column_);
        } else if (caret_row_ < rows - 1) {
            rows_[caret_row_] += rows_[caret_row_ + 1];
            rows_.erase(rows_.begin() + caret_row_ + 1);
        }
    } else if (v == Key::PageUp || v == Key::PageDown) {
        if (Widget* parent = getParent()) {
            const int fh = std::max(1, getFont()->getHeight());
            const int page = parent->getChildrenArea().height / fh;
            // The row moves by a page; the column then is clamped to the new
            // row, as for the other vertical moves.
            setCaretRow(v == Key::PageUp ? caret_row_ - page : caret_row_ + page);
        }
    } else if (v == Key::Tab && editable_) {
        ensureRow();
        rows_[caret_row_].insert(caret_column_, "    ");
        caret_column_ += 4;
    } else if (utf8::isTypedCharacter(v) && editable_) {
        ensureRow();
        const std::string bytes = utf8::encode(v);
        rows_[caret_row_].insert(caret_column_, bytes);
        caret_column_ += static_cast<int>(bytes.size());
    }

    adjustSize();
    scrollToCaret();
    event.consume();
}

}  // namespace gcn
