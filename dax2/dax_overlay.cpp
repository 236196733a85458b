#include "dax2/dax_overlay.h"

#include <cstring>

#include "dax2/dax_ini.h"
#include "dax2/dax_msg.h"

namespace {

// Hover texts are made into a buffer of this size.
constexpr int kOverlayBufSize = 2048;

}  // namespace

DaxOverlayPlugin::DaxOverlayPlugin()
    : border_(dax_config.overlay_border_), offset_(dax_config.overlay_offset_) {
    overlay_.setBaseColor(dax_config.back_color_);
    overlay_.setBackgroundColor(dax_config.back_color_);
    text_box_.setEditable(false);
    // A hover text must never take the keyboard from the screen.
    text_box_.setFocusable(false);
    text_box_.setBackgroundColor(dax_config.button_color_);
    text_box_.setBaseColor(dax_config.button_color_);
    overlay_.add(&text_box_, border_, border_);
    overlay_.setVisible(false);
    setSize(0, 0);
}

DaxOverlayPlugin::~DaxOverlayPlugin() {
    detach();
    for (auto& entry : table_) {
        if (gcn::Widget::widgetExists(entry.first)) {
            entry.first->removeDeathListener(this);
        }
    }
    table_.clear();
}

void DaxOverlayPlugin::detach() {
    if (!owner_ || !gcn::Widget::widgetExists(owner_)) {
        owner_ = nullptr;
        return;
    }
    owner_->removeMouseListener(this);
    if (overlay_.getParent() == owner_) {
        owner_->remove(&overlay_);
    }
    if (getParent() == owner_) {
        owner_->remove(this);
    }
    owner_ = nullptr;
}

void DaxOverlayPlugin::setOwner(gcn::Container* owner) {
    detach();
    owner_ = owner;
    if (!owner_) {
        return;
    }
    owner_->addMouseListener(this);
    owner_->add(&overlay_);
    owner_->add(this);
    text_box_.setPosition(border_, border_);
    overlay_.setVisible(false);
}

void DaxOverlayPlugin::setWidgetText(gcn::Widget* widget, int text_number, int placement) {
    if (!widget) {
        return;
    }
    auto it = table_.find(widget);
    if (it == table_.end()) {
        // A widget address may be reused by a later widget: the entry goes
        // with the widget.
        widget->addDeathListener(this);
    }
    table_[widget] = std::make_pair(text_number, placement);
}

bool DaxOverlayPlugin::isOwnWidget(const gcn::Widget* w) const {
    return w == &overlay_ || w == &text_box_ || w == this;
}

void DaxOverlayPlugin::hover(gcn::MouseEvent& event) {
    gcn::Widget* source = event.getSource();
    // The box itself under the mouse says nothing about what it explains.
    if (isOwnWidget(source)) {
        return;
    }
    hovered_ = source;
    mouse_x_ = event.getX();
    mouse_y_ = event.getY();
    update();
}

void DaxOverlayPlugin::mouseMoved(gcn::MouseEvent& event) { hover(event); }

void DaxOverlayPlugin::mouseReleased(gcn::MouseEvent& event) { hover(event); }

void DaxOverlayPlugin::mouseExited(gcn::MouseEvent& event) {
    if (event.getSource() != owner_) {
        return;
    }
    hovered_ = nullptr;
    hide();
}

void DaxOverlayPlugin::logic() {
    if (hovered_) {
        update();
    }
}

void DaxOverlayPlugin::death(const gcn::Event& event) {
    gcn::Widget* w = event.getSource();
    table_.erase(w);
    if (w == hovered_) {
        hovered_ = nullptr;
        hide();
    }
}

void DaxOverlayPlugin::hide() {
    text_box_.setText("");
    overlay_.setVisible(false);
}

std::string DaxOverlayPlugin::shownText() const { return overlay_.isVisible() ? text_box_.getText() : std::string(); }

void DaxOverlayPlugin::update() {
    text_box_.setText("");
    // A hovered widget that was destroyed since the last mouse event is
    // forgotten, not asked for its text.
    if (hovered_ && !gcn::Widget::widgetExists(hovered_)) {
        hovered_ = nullptr;
    }
    if (!hovered_ || !owner_) {
        hide();
        return;
    }

    std::string text;
    int placement = kDaxOverlayAtMouse;
    gcn::Widget* about = hovered_;
    if (auto* cb = dynamic_cast<DaxOverlayCallback*>(hovered_)) {
        char buffer[kOverlayBufSize];
        std::memset(buffer, 0, sizeof(buffer));
        if (cb->overlayText(buffer, kOverlayBufSize) != 0) {
            // A callback that filled the whole buffer still gives a
            // terminated text.
            buffer[kOverlayBufSize - 1] = '\0';
            text = buffer;
            placement = cb->overlayPlacement();
        }
    }
    if (text.empty()) {
        for (gcn::Widget* w = hovered_; w; w = w->getParent()) {
            auto it = table_.find(w);
            if (it == table_.end()) {
                continue;
            }
            const int number = it->second.first;
            // A missing text must not stop the game over a hover.
            if (number > 0 && dax_strings.hasString(number)) {
                text = dax_strings.get(number);
                placement = it->second.second;
                about = w;
            }
            break;
        }
    }
    if (text.empty()) {
        hide();
        return;
    }

    text_box_.setText(text);
    text_box_.setPosition(border_, border_);
    const int cw = text_box_.getWidth() + 2 * border_;
    const int ch = text_box_.getHeight() + 2 * border_;
    overlay_.setSize(cw, ch);

    // The widget's rectangle relative to the owner, the box's parent.
    int ox = 0;
    int oy = 0;
    owner_->getAbsolutePosition(ox, oy);
    int ax = 0;
    int ay = 0;
    about->getAbsolutePosition(ax, ay);
    const gcn::Rectangle wr(ax - ox, ay - oy, about->getWidth(), about->getHeight());
    int x = 0;
    int y = 0;
    placeBox(placement, cw, ch, wr, offset_, owner_->getWidth(), owner_->getHeight(), mouse_x_, mouse_y_, x, y);
    overlay_.setPosition(x, y);
    overlay_.setVisible(true);
    // Above everything the screen added after attaching the plug-in.
    const auto& children = owner_->getChildren();
    if (!children.empty() && children.back() != &overlay_) {
        owner_->moveToTop(&overlay_);
    }
}

void DaxOverlayPlugin::placeBox(int placement, int cw, int ch, const gcn::Rectangle& w, int o, int W, int H, int mx,
                                int my, int& x, int& y) {
    bool at_mouse = true;
    switch (placement) {
    case kDaxOverlayLeft:
        x = w.x - o - cw;
        at_mouse = x < o;
        break;
    case kDaxOverlayRight:
        x = w.x + w.width + o;
        at_mouse = x + cw + o > W;
        break;
    case kDaxOverlayAbove:
    case kDaxOverlayBelow:
        x = w.x;
        at_mouse = false;
        break;
    default:
        break;
    }
    if (at_mouse) {
        x = mx + o + cw + o > W ? W - o - cw : mx + o;
    }

    at_mouse = true;
    switch (placement) {
    case kDaxOverlayLeft:
    case kDaxOverlayRight:
        y = w.y;
        at_mouse = false;
        break;
    case kDaxOverlayAbove:
        y = w.y - o - ch;
        at_mouse = y < o;
        break;
    case kDaxOverlayBelow:
        y = w.y + w.height + o;
        at_mouse = y + ch + o > H;
        break;
    default:
        break;
    }
    if (at_mouse) {
        y = my + o + ch + o > H ? H - o - ch : my + o;
    }
}
