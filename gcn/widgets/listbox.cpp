#include "gcn/widgets/listbox.hpp"

#include <algorithm>

#include "gcn/font.hpp"
#include "gcn/graphics.hpp"
#include "gcn/key.hpp"
#include "gcn/listmodel.hpp"
#include "gcn/style.hpp"

namespace gcn {

ListBox::ListBox() {
    setFrameSize(Style::getCurrent()->listFrameSize());
    setFocusable(true);
    addMouseListener(this);
    addKeyListener(this);
}

ListBox::ListBox(ListModel* model) : ListBox() {
    list_model_ = model;
    adjustSize();
}

int ListBox::rowCount() const {
    return list_model_ ? list_model_->getNumberOfElements() : 0;
}

void ListBox::setListModel(ListModel* model) {
    selected_ = -1;
    list_model_ = model;
    adjustSize();
}

void ListBox::adjustSize() {
    if (list_model_) {
        setHeight(rowCount() * getRowHeight());
    }
}

int ListBox::getRowHeight() const {
    return getFont()->getHeight();
}

void ListBox::removeSelectionListener(SelectionListener* listener) {
    selection_listeners_.erase(std::remove(selection_listeners_.begin(), selection_listeners_.end(), listener),
                               selection_listeners_.end());
}

void ListBox::setSelected(int selected) {
    const int n = rowCount();
    if (!list_model_ || selected < 0) {
        selected_ = -1;
    } else if (selected >= n) {
        selected_ = n - 1;
    } else {
        selected_ = selected;
    }
    const int row_height = getRowHeight();
    const int y = selected_ < 0 ? 0 : selected_ * row_height;
    showPart(Rectangle(0, y, 0, row_height));
    distributeValueChangedEvent();
}

void ListBox::distributeValueChangedEvent() {
    const std::vector<SelectionListener*> listeners = selection_listeners_;
    const SelectionEvent event(this);
    for (SelectionListener* l : listeners) {
        l->valueChanged(event);
    }
}

void ListBox::draw(Graphics* graphics) {
    graphics->setColor(getBackgroundColor());
    graphics->fillRectangle(Rectangle(0, 0, getWidth(), getHeight()));
    if (!list_model_) {
        return;
    }
    Font* font = getFont();
    graphics->setColor(getForegroundColor());
    graphics->setFont(font);
    const int row_height = std::max(1, getRowHeight());
    const int font_height = font->getHeight();
    const int n = rowCount();
    const int rows = std::min(graphics->getCurrentClipArea().height / row_height + 2, n);
    const int first = getY() < 0 ? -(getY() / row_height) : 0;
    for (int i = first; i < first + rows && i < n; ++i) {
        const int top = i * row_height;
        if (i == selected_) {
            graphics->setColor(getSelectionColor());
            graphics->fillRectangle(Rectangle(0, top, getWidth(), row_height));
            graphics->setColor(getForegroundColor());
        }
        const int text_y = row_height > font_height ? top + row_height / 2 - font_height / 2 : top;
        graphics->drawText(list_model_->getElementAt(i), 1, text_y);
    }
}

void ListBox::mousePressed(MouseEvent& event) {
    if (event.getButton() != MouseEvent::Left) {
        return;
    }
    setSelected(event.getY() / std::max(1, getRowHeight()));
    distributeActionEvent();
}

void ListBox::mouseWheelMovedUp(MouseEvent& event) {
    if (!isFocused()) {
        return;
    }
    if (selected_ > 0) {
        setSelected(selected_ - 1);
    }
    event.consume();
}

void ListBox::mouseWheelMovedDown(MouseEvent& event) {
    if (!isFocused()) {
        return;
    }
    setSelected(selected_ + 1);
    event.consume();
}

void ListBox::mouseDragged(MouseEvent& event) {
    event.consume();
}

void ListBox::keyPressed(KeyEvent& event) {
    const int v = event.getKey().getValue();
    if (v == Key::Enter || v == Key::Space) {
        event.consume();
        distributeActionEvent();
    } else if (v == Key::Up) {
        setSelected(selected_ - 1);
        if (selected_ == -1) {
            setSelected(wrapping_ ? rowCount() - 1 : 0);
        }
        event.consume();
    } else if (v == Key::Down) {
        if (wrapping_ && selected_ == rowCount() - 1) {
            setSelected(0);
        } else {
            setSelected(selected_ + 1);
        }
        event.consume();
    } else if (v == Key::Home) {
        setSelected(0);
        event.consume();
    } else if (v == Key::End) {
        setSelected(rowCount() - 1);
        event.consume();
    }
}

}  // namespace gcn
