#include "gcn/graphics.hpp"

#include "gcn/exception.hpp"
#include "gcn/font.hpp"
#include "gcn/image.hpp"

namespace gcn {

bool Graphics::pushClipArea(Rectangle area) {
    if (area.isEmpty()) {
        // Everything zero, offsets included: whatever is drawn inside an
        // empty widget is clipped away.
        clip_stack_.push_back(ClipRectangle());
        return true;
    }
    if (clip_stack_.empty()) {
        clip_stack_.push_back(ClipRectangle(area.x, area.y, area.width, area.height, area.x, area.y));
        return true;
    }
    const ClipRectangle top = clip_stack_.back();
    const Rectangle moved(area.x + top.x_offset, area.y + top.y_offset, area.width, area.height);
    const Rectangle r = moved.intersection(top);
    const ClipRectangle c(r.x, r.y, r.width, r.height, top.x_offset + area.x, top.y_offset + area.y);
    clip_stack_.push_back(c);
    return !c.isEmpty();
}

void Graphics::popClipArea() {
    if (clip_stack_.empty()) {
        throw GCN_EXCEPTION("Tried to pop clip area from empty stack.", "gcn::Graphics::popClipArea");
    }
    clip_stack_.pop_back();
}

ClipRectangle Graphics::getCurrentClipArea() {
    if (clip_stack_.empty()) {
        throw GCN_EXCEPTION("The clip area stack is empty.", "gcn::Graphics::getCurrentClipArea");
    }
    return clip_stack_.back();
}

void Graphics::drawImage(const Image* image, int dst_x, int dst_y) {
    if (!image) {
        throw GCN_EXCEPTION("Trying to draw a null image.", "gcn::Graphics::drawImage");
    }
    const int w = image->getWidth();
    const int h = image->getHeight();
    drawImage(image, 0, 0, w, h, dst_x, dst_y, w, h);
}

void Graphics::drawText(const std::string& text, int x, int y, int alignment) {
    if (!font_) {
        throw GCN_EXCEPTION("No font set.", "gcn::Graphics::drawText");
    }
    switch (alignment) {
    case Left:
        font_->drawString(this, text, x, y);
        break;
    case Center:
        font_->drawString(this, text, x - font_->getWidth(text) / 2, y);
        break;
    case Right:
        font_->drawString(this, text, x - font_->getWidth(text), y);
        break;
    default:
        throw GCN_EXCEPTION("Unknown alignment.", "gcn::Graphics::drawText");
    }
}

}  // namespace gcn
