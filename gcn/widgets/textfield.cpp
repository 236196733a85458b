#include "gcn/widgets/textfield.hpp"

#include "gcn/font.hpp"
#include "gcn/graphics.hpp"
#include "gcn/key.hpp"
#include "gcn/style.hpp"
#include "gcn/widgets/utf8text.hpp"

namespace gcn {

TextField::TextField() {
    setFocusable(true);
    addMouseListener(this);
    addKeyListener(this);
}

TextField::TextField(const std::string& text) : TextField() {
    text_ = text;
    adjustSize();
}

void TextField::setText(const std::string& text) {
    if (text.size() < caret_position_) {
        caret_position_ = static_cast<unsigned>(text.size());
    }
    text_ = text;
    caret_position_ = static_cast<unsigned>(utf8::snap(text_, static_cast<int>(caret_position_)));
    fixScroll();
}

void TextField::setCaretPosition(unsigned position) {
    const int p = position > text_.size() ? static_cast<int>(text_.size()) : static_cast<int>(position);
    caret_position_ = static_cast<unsigned>(utf8::snap(text_, p));
    fixScroll();
}

void TextField::adjustSize() {
    Font* font = getFont();
    setSize(font->getWidth(text_) + 6, font->getHeight() + 4);
    fixScroll();
}

void TextField::adjustHeight() {
    setHeight(getFont()->getHeight() + 4);
}

int TextField::caretX() const {
    return getFont()->getWidth(text_.substr(0, caret_position_));
}

void TextField::fixScroll() {
    const int text_width = getFont()->getWidth(text_);
    const int w = getWidth();
    switch (alignment_) {
    case 1:
        align_offset_ = static_cast<int16_t>((text_width - w) / 2);
        break;
    case 2:
        align_offset_ = static_cast<int16_t>(text_width - w);
        break;
    default:
        align_offset_ = 0;
        break;
    }
    if (!isFocused()) {
        return;
    }
    const int cx = caretX();
    const int d = cx - align_offset_ - x_scroll_;
    if (d >= w - 4) {
        x_scroll_ = static_cast<int16_t>(cx - align_offset_ - w + 4);
    } else if (d <= 0) {
        int s = cx - w / 2 - align_offset_;
        if (s < -align_offset_) {
            s = -align_offset_;
        }
        x_scroll_ = static_cast<int16_t>(s);
    }
}

void TextField::draw(Graphics* graphics) {
    const Style* style = Style::getCurrent();
    const int w = getWidth();
    const int h = getHeight();
    const Color& base = getBaseColor();
    graphics->setColor(style->shadowColor(base));
    graphics->drawLine(0, 0, w - 1, 0);
    graphics->drawLine(0, 1, 0, h - 2);
    graphics->setColor(style->highlightColor(base));
    graphics->drawLine(w - 1, 1, w - 1, h - 1);
    graphics->drawLine(0, h - 1, w - 1, h - 1);

    graphics->pushClipArea(Rectangle(1, 1, w - 2, h - 2));
    graphics->setColor(getBackgroundColor());
    graphics->fillRectangle(Rectangle(0, 0, w, h));
    if (isFocused()) {
        graphics->setColor(getSelectionColor());
        graphics->drawRectangle(Rectangle(0, 0, w - 2, h - 2));
        graphics->drawRectangle(Rectangle(1, 1, w - 4, h - 4));
    }
    if (isFocused() && editable_) {
        drawCaret(graphics, caretX() - align_offset_ - x_scroll_);
    }
    Font* font = getFont();
    graphics->setColor(getForegroundColor());
    graphics->setFont(font);
    graphics->drawText(text_, 1 - align_offset_ - x_scroll_, 1);
    graphics->popClipArea();
}

void TextField::drawCaret(Graphics* graphics, int x) {
    const Style* style = Style::getCurrent();
    if (style->blinkPhase()) {
        return;
    }
    const int clip_height = graphics->getCurrentClipArea().height;
    graphics->setColor(getForegroundColor());
    for (int i = 0; i < style->caretWidth(); ++i) {
        graphics->drawLine(x + i, clip_height - 2, x + i, 1);
    }
}

void TextField::mousePressed(MouseEvent& event) {
    if (event.getButton() != MouseEvent::Left) {
        return;
    }
    const int i = getFont()->getStringIndexAt(text_, event.getX() + x_scroll_ + align_offset_);
    caret_position_ = static_cast<unsigned>(utf8::snap(text_, i));
    fixScroll();
}

void TextField::mouseDragged(MouseEvent& event) {
    event.consume();
}

void TextField::keyPressed(KeyEvent& event) {
    const Key& key = event.getKey();
    const int v = key.getValue();
    const int caret = static_cast<int>(caret_position_);
    const int len = static_cast<int>(text_.size());

    if (v == Key::Left && caret > 0) {
        caret_position_ = static_cast<unsigned>(utf8::previous(text_, caret));
    } else if (v == Key::Right && caret < len) {
        caret_position_ = static_cast<unsigned>(utf8::next(text_, caret));
    } else if (v == Key::Delete && caret < len && editable_) {
        text_.erase(caret, utf8::next(text_, caret) - caret);
    } else if (v == Key::Backspace && caret > 0 && editable_) {
        const int from = utf8::previous(text_, caret);
        text_.erase(from, caret - from);
        caret_position_ = static_cast<unsigned>(from);
    } else if (v == Key::Enter) {
        // Consumed before the action: a listener may close the dialog and
        // destroy this field.
        event.consume();
        distributeActionEvent();
        if (!Widget::widgetExists(this)) {
            return;
        }
        fixScroll();
        return;
    } else if (v == Key::Home) {
        caret_position_ = 0;
    } else if (v == Key::End) {
        caret_position_ = static_cast<unsigned>(len);
    } else if (utf8::isTypedCharacter(v) && editable_) {
        const std::string bytes = utf8::encode(v);
        text_.insert(caret, bytes);
        caret_position_ += static_cast<unsigned>(bytes.size());
    }

    if (v != Key::Tab) {
        event.consume();
    }
    fixScroll();
}

}  // namespace gcn
