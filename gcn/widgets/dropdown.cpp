#include "gcn/widgets/dropdown.hpp"

#include <algorithm>

#include "gcn/exception.hpp"
#include "gcn/font.hpp"
#include "gcn/graphics.hpp"
#include "gcn/key.hpp"
#include "gcn/listmodel.hpp"
#include "gcn/style.hpp"
#include "gcn/widgets/listbox.hpp"
#include "gcn/widgets/scrollarea.hpp"

namespace gcn {

namespace {

const char* const kFile = "gcn\\widgets\\dropdown";

}  // namespace

DropDown::DropDown(ListModel* model, ScrollArea* scroll_area, ListBox* list_box) {
    if (!scroll_area) {
        scroll_area = new ScrollArea();
        owns_scroll_area_ = true;
    }
    if (!list_box) {
        list_box = new ListBox();
        owns_list_box_ = true;
    }
    scroll_area_ = scroll_area;
    list_box_ = list_box;

    setFrameSize(Style::getCurrent()->listFrameSize());
    setFocusable(true);
    setInternalFocusHandler(&own_focus_handler_);
    scroll_area_->setContent(list_box_);
    add(scroll_area_);
    list_box_->addActionListener(this);
    list_box_->addSelectionListener(this);
    // The list box is not a child (it sits in the scroll area), so its death
    // has to be asked for to keep the pointer from dangling.
    list_box_->addDeathListener(this);
    setListModel(model);
    if (list_box_->getSelected() < 0) {
        list_box_->setSelected(0);
    }
    adjustHeight();
    addMouseListener(this);
    addKeyListener(this);
    addFocusListener(this);
    adjustHeight();
}

DropDown::~DropDown() {
    if (Widget::widgetExists(list_box_)) {
        list_box_->removeActionListener(this);
        list_box_->removeSelectionListener(this);
        list_box_->removeDeathListener(this);
    }
    if (owns_scroll_area_ && scroll_area_) {
        ScrollArea* sa = scroll_area_;
        delete sa;
    }
    if (owns_list_box_ && list_box_) {
        ListBox* lb = list_box_;
        delete lb;
    }
    // A scroll area of the caller's must not keep the focus handler that
    // dies with this drop-down.
    clear();
    setInternalFocusHandler(nullptr);
}

int DropDown::getSelected() const {
    return list_box_ ? list_box_->getSelected() : -1;
}

void DropDown::setSelected(int selected) {
    if (selected >= 0 && list_box_) {
        list_box_->setSelected(selected);
    }
}

void DropDown::setListModel(ListModel* model) {
    if (!list_box_) {
        throw Exception("List box has been deleted.", "gcn::DropDown::setListModel", kFile, __LINE__);
    }
    list_box_->setListModel(model);
    if (list_box_->getSelected() < 0) {
        list_box_->setSelected(0);
    }
    adjustHeight();
}

ListModel* DropDown::getListModel() const {
    return list_box_ ? list_box_->getListModel() : nullptr;
}

void DropDown::removeSelectionListener(SelectionListener* listener) {
    selection_listeners_.erase(std::remove(selection_listeners_.begin(), selection_listeners_.end(), listener),
                               selection_listeners_.end());
}

void DropDown::adjustHeight() {
    if (!scroll_area_) {
        throw Exception("Scroll area has been deleted.", "gcn::DropDown::adjustHeight", kFile, 405);
    }
    if (!list_box_) {
        throw Exception("List box has been deleted.", "gcn::DropDown::adjustHeight", kFile, 410);
    }
    const int list_height = list_box_->getHeight();
    const int h2 = getFont()->getHeight() + 2;
    setHeight(h2);
    if (dropped_down_ && getParent()) {
        const int h = getParent()->getChildrenArea().height - getY();
        if (list_height > h - h2 - 2) {
            scroll_area_->setHeight(h - h2 - 2);
            setHeight(h);
        } else {
            setHeight(list_height + h2 + 2);
            scroll_area_->setHeight(list_height);
        }
    }
    scroll_area_->setWidth(getWidth());
    list_box_->setWidth(scroll_area_->getChildrenArea().width);
    scroll_area_->setPosition(0, 0);
}

void DropDown::dropDown() {
    if (!dropped_down_) {
        dropped_down_ = true;
        folded_up_height_ = getHeight();
        adjustHeight();
        requestMoveToTop();
    }
    if (list_box_) {
        list_box_->requestFocus();
    }
}

void DropDown::foldUp() {
    if (dropped_down_) {
        dropped_down_ = false;
        adjustHeight();
        own_focus_handler_.focusNone();
    }
}

void DropDown::action(const ActionEvent&) {
    foldUp();
    releaseModalMouseInputFocus();
    distributeActionEvent();
}

void DropDown::valueChanged(const SelectionEvent&) {
    distributeValueChangedEvent();
}

void DropDown::distributeValueChangedEvent() {
    const std::vector<SelectionListener*> listeners = selection_listeners_;
    const SelectionEvent event(this);
    for (SelectionListener* l : listeners) {
        l->valueChanged(event);
    }
}

void DropDown::death(const Event& event) {
    if (event.getSource() == scroll_area_) {
        scroll_area_ = nullptr;
    }
    if (event.getSource() == list_box_) {
        list_box_ = nullptr;
    }
    BasicContainer::death(event);
}

void DropDown::focusLost(const Event&) {
    foldUp();
    own_focus_handler_.focusNone();
}

bool DropDown::holdsModalMouseInputFocus() const {
    return focus_handler_ != nullptr && focus_handler_->getModalMouseInputFocused() == this;
}

void DropDown::keyPressed(KeyEvent& event) {
    if (event.isConsumed()) {
        return;
    }
    const int v = event.getKey().getValue();
    if ((v == Key::Enter || v == Key::Space) && !dropped_down_) {
        event.consume();
        dropDown();
    } else if (v == Key::Up || v == Key::Down) {
        event.consume();
        const int s = getSelected() + (v == Key::Up ? -1 : 1);
        if (s >= 0 && list_box_) {
            list_box_->setSelected(s);
        }
    }
}

void DropDown::mousePressed(MouseEvent& event) {
    const int x = event.getX();
    const int y = event.getY();
    const int w = getWidth();
    const bool left = event.getButton() == MouseEvent::Left;
    const bool from_self = event.getSource() == this;
    if (left && !dropped_down_ && from_self && y >= 0 && y < getHeight() && x >= 0 && x < w) {
        pushed_ = true;
        dropDown();
        requestModalMouseInputFocus();
    } else if (left && dropped_down_ && from_self && y >= 0 && y < folded_up_height_ && x >= 0 && x < w) {
        pushed_ = false;
        foldUp();
        releaseModalMouseInputFocus();
    } else if (y < 0 || y >= getHeight() || x < 0 || x >= w) {
        pushed_ = false;
        foldUp();
    }
}

void DropDown::mouseReleased(MouseEvent& event) {
    if (dragged_) {
        pushed_ = false;
    }
    const int x = event.getX();
    const int y = event.getY();
    const bool outside = y < 0 || y >= getHeight() || x < 0 || x >= getWidth();
    if (event.getButton() == MouseEvent::Left && outside && holdsModalMouseInputFocus()) {
        releaseModalMouseInputFocus();
        if (dragged_) {
            foldUp();
        }
    } else if (event.getButton() == MouseEvent::Left) {
        pushed_ = false;
    }
    dragged_ = false;
}

void DropDown::mouseDragged(MouseEvent& event) {
    dragged_ = true;
    event.consume();
}

void DropDown::mouseWheelMovedUp(MouseEvent& event) {
    if (!isFocused() || event.getSource() != this) {
        return;
    }
    event.consume();
    if (list_box_ && list_box_->getSelected() > 0) {
        list_box_->setSelected(list_box_->getSelected() - 1);
    }
}

void DropDown::mouseWheelMovedDown(MouseEvent& event) {
    if (!isFocused() || event.getSource() != this) {
        return;
    }
    event.consume();
    if (list_box_) {
        list_box_->setSelected(list_box_->getSelected() + 1);
    }
}

Rectangle DropDown::getChildrenArea() {
    if (dropped_down_) {
        return Rectangle(1, folded_up_height_ + 1, getWidth() - 2, getHeight() - folded_up_height_ - 2);
    }
    return Rectangle();
}

void DropDown::draw(Graphics* graphics) {
    const ClipRectangle clip = graphics->getCurrentClipArea();
    const int cw = clip.width;
    const int ch = clip.height;
    const int w = getWidth();
    const int h = dropped_down_ ? folded_up_height_ : getHeight();

    graphics->setColor(getBackgroundColor());
    graphics->fillRectangle(Rectangle(0, 0, cw, ch));
    if (isFocused()) {
        graphics->setColor(getSelectionColor());
        graphics->fillRectangle(Rectangle(0, 0, cw - ch, ch));
        graphics->setColor(getForegroundColor());
    }
    if (list_box_ && list_box_->getListModel() && list_box_->getSelected() >= 0) {
        graphics->setColor(getForegroundColor());
        graphics->setFont(getFont());
        graphics->drawText(list_box_->getListModel()->getElementAt(list_box_->getSelected()), 1, 0);
    }
    graphics->pushClipArea(Rectangle(w - h, 0, h, h));
    drawButton(graphics);
    graphics->popClipArea();

    if (dropped_down_) {
        graphics->setColor(Style::getCurrent()->shadowColor(getBaseColor()));
        graphics->drawRectangle(Rectangle(0, folded_up_height_, w, getHeight() - folded_up_height_));
        drawChildren(graphics);
    }
}

void DropDown::drawButton(Graphics* graphics) {
    const Style* style = Style::getCurrent();
    const ClipRectangle clip = graphics->getCurrentClipArea();
    const int d = clip.height;
    const int cw = clip.width;
    const Color& base = getBaseColor();
    Color face;
    Color top_left;
    Color bottom_right;
    int o = 0;
    if (pushed_) {
        face = style->pressedColor(base);
        top_left = style->shadowColor(face);
        bottom_right = style->highlightColor(face);
        o = 1;
    } else {
        face = base;
        top_left = style->highlightColor(base);
        bottom_right = style->shadowColor(base);
    }
    graphics->setColor(top_left);
    graphics->drawLine(0, 0, cw - 1, 0);
    graphics->drawLine(0, 1, 0, d - 1);
    graphics->setColor(bottom_right);
    graphics->drawLine(cw - 1, 1, cw - 1, d - 1);
    graphics->drawLine(1, d - 1, cw - 2, d - 1);
    graphics->setColor(face);
    graphics->fillRectangle(Rectangle(1, 1, cw - 2, d - 2));

    graphics->setColor(getForegroundColor());
    const int n = d / 3;
    const int dx = d / 2;
    const int dy = 2 * d / 3;
    if (!dropped_down_) {
        for (int i = 0; i < n; ++i) {
            graphics->drawLine(dx - i + o, dy - i + o, dx + i + o, dy - i + o);
        }
    } else {
        const int y0 = o + dy - n - 1;
        for (int j = 0; j < n; ++j) {
            graphics->drawLine(dx - j + o, y0 + j, dx + j + o, y0 + j);
        }
    }
}

}  // namespace gcn
