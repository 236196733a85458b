#include "gcn/widgets/radiobutton.hpp"

#include <map>
#include <vector>

#include "gcn/font.hpp"
#include "gcn/graphics.hpp"
#include "gcn/key.hpp"
#include "gcn/style.hpp"

namespace gcn {

namespace {

using GroupMap = std::multimap<std::string, RadioButton*>;

// The buttons of every named group in the program; not owned.
GroupMap& groups() {
    static GroupMap map;
    return map;
}

}  // namespace

RadioButton::RadioButton() {
    setFocusable(true);
    addMouseListener(this);
    addKeyListener(this);
}

RadioButton::RadioButton(const char* caption, const char* group, bool selected) : caption_(caption ? caption : "") {
    setGroup(group);
    setSelected(selected);
    setFocusable(true);
    addMouseListener(this);
    addKeyListener(this);
    adjustSize();
}

RadioButton::~RadioButton() {
    setGroup(std::string());
}

void RadioButton::setSelected(bool selected) {
    if (selected && !group_.empty()) {
        // Collected first: clearing a button never changes the map, but
        // walking a range while calling out is fragile.
        std::vector<RadioButton*> members;
        auto range = groups().equal_range(group_);
        for (auto it = range.first; it != range.second; ++it) {
            members.push_back(it->second);
        }
        for (RadioButton* b : members) {
            if (b->isSelected()) {
                b->setSelected(false);
            }
        }
    }
    selected_ = selected;
}

void RadioButton::setCaption(const char* caption) {
    caption_ = caption ? caption : "";
}

void RadioButton::setGroup(const std::string& group) {
    if (!group_.empty()) {
        auto range = groups().equal_range(group_);
        for (auto it = range.first; it != range.second; ++it) {
            if (it->second == this) {
                groups().erase(it);
                break;
            }
        }
    }
    if (!group.empty()) {
        groups().insert(GroupMap::value_type(group, this));
    }
    group_ = group;
}

void RadioButton::setGroup(const char* group) {
    setGroup(std::string(group ? group : ""));
}

void RadioButton::adjustSize() {
    Font* font = getFont();
    const int h = font->getHeight();
    setSize(h + font->getWidth(caption_) + h / 2, h);
}

void RadioButton::drawBox(Graphics* graphics) {
    const Style* style = Style::getCurrent();
    const int big_h = getHeight();
    const int h = (big_h % 2 == 0) ? big_h - 4 : big_h - 3;
    const int hh = (h + 1) / 2;
    const Color& base = getBaseColor();
    const Color highlight = style->highlightColor(base);
    const Color shadow = style->shadowColor(base);
    const Color inside =
        isEnabled() ? getBackgroundColor() : style->blendColor(getBackgroundColor(), getForegroundColor());

    graphics->setColor(inside);
    for (int i = 1; i <= hh; ++i) {
        graphics->drawLine(hh - i + 1, i, hh + i - 1, i);
    }
    for (int i = 1; i < hh; ++i) {
        graphics->drawLine(hh - i + 1, h - i, hh + i - 1, h - i);
    }

    graphics->setColor(shadow);
    graphics->drawLine(hh, 0, 0, hh);
    graphics->drawLine(hh + 1, 1, h - 1, hh - 1);

    graphics->setColor(highlight);
    graphics->drawLine(1, hh + 1, hh, h);
    graphics->drawLine(hh + 1, h - 1, h, hh);

    graphics->setColor(getForegroundColor());
    if (selected_) {
        const int k = hh - 3;
        for (int i = 0; i < k; ++i) {
            graphics->drawLine(hh - i, 4 + i, hh + i, 4 + i);
        }
        for (int i = 0; i < k; ++i) {
            graphics->drawLine(hh - i, h - 4 - i, hh + i, h - 4 - i);
        }
    }
}

void RadioButton::draw(Graphics* graphics) {
    const int big_h = getHeight();
    graphics->pushClipArea(Rectangle(1, 1, getWidth() - 1, big_h - 1));
    drawBox(graphics);
    graphics->popClipArea();

    Font* font = getFont();
    graphics->setFont(font);
    graphics->setColor(getForegroundColor());
    if (isFocused()) {
        const int fh = (big_h % 2 == 0) ? big_h - 4 : big_h - 3;
        const int k = (fh + 1) / 2;
        graphics->drawLine(0, k + 1, k + 1, 0);
        graphics->drawLine(k + 2, 1, fh + 2, k + 1);
        graphics->drawLine(fh + 1, k + 2, k + 1, fh + 2);
        graphics->drawLine(k + 1, fh + 2, 1, k + 2);
    }
    Color text = getForegroundColor();
    if (!isEnabled()) {
        text.a = static_cast<int16_t>(text.a / 2);
    }
    graphics->setColor(text);
    graphics->drawText(caption_, big_h + big_h / 2 - 2, 0);
}

void RadioButton::keyPressed(KeyEvent& event) {
    const int v = event.getKey().getValue();
    if (v == Key::Enter || v == Key::Space) {
        event.consume();
        setSelected(true);
        distributeActionEvent();
    }
}

void RadioButton::mouseClicked(MouseEvent& event) {
    if (event.getButton() == MouseEvent::Left) {
        setSelected(true);
        distributeActionEvent();
    }
}

void RadioButton::mouseDragged(MouseEvent& event) {
    event.consume();
}

}  // namespace gcn
