#include "gcn/widgets/slider.hpp"

#include "gcn/graphics.hpp"
#include "gcn/key.hpp"
#include "gcn/style.hpp"

namespace gcn {

Slider::Slider(double scale_end) : Slider(0.0, scale_end) {}

Slider::Slider(double scale_start, double scale_end)
    : step_length_((scale_end - scale_start) / 10), scale_start_(scale_start), scale_end_(scale_end) {
    setValue(scale_start);
    setFrameSize(Style::getCurrent()->listFrameSize());
    setFocusable(true);
    addMouseListener(this);
    addKeyListener(this);
}

void Slider::setScale(double scale_start, double scale_end) {
    scale_start_ = scale_start;
    scale_end_ = scale_end;
}

void Slider::setValue(double value) {
    if (value > scale_end_) {
        value_ = scale_end_;
    } else if (value < scale_start_) {
        value_ = scale_start_;
    } else {
        value_ = value;
    }
}

int Slider::length() const {
    return orientation_ == Vertical ? getHeight() : getWidth();
}

double Slider::markerPositionToValue(int position) {
    const int range = length() - marker_length_;
    if (range <= 0) {
        return scale_start_;
    }
    const double x = static_cast<double>(position) / range;
    return (1.0 - x) * scale_start_ + x * scale_end_;
}

int Slider::valueToMarkerPosition(double value) {
    const int range = length() - marker_length_;
    if (range <= 0 || scale_end_ == scale_start_) {
        return 0;
    }
    // Clamped before the conversion: a value far off a tiny scale (or not a
    // number) does not fit an int.
    const double p = (value - scale_start_) * range / (scale_end_ - scale_start_);
    if (!(p > 0.0)) {
        return 0;
    }
    if (p >= range) {
        return range;
    }
    return static_cast<int>(p);
}

int Slider::getMarkerPosition() {
    return valueToMarkerPosition(value_);
}

void Slider::draw(Graphics* graphics) {
    graphics->setColor(Style::getCurrent()->sliderColor(getBaseColor()));
    graphics->fillRectangle(Rectangle(0, 0, getWidth(), getHeight()));
    drawMarker(graphics);
}

void Slider::drawMarker(Graphics* graphics) {
    const Style* style = Style::getCurrent();
    const Color& face = getBaseColor();
    const Color highlight = style->highlightColor(face);
    const Color shadow = style->shadowColor(face);
    const int m = marker_length_;
    const int w = getWidth();
    const int h = getHeight();
    if (orientation_ == Horizontal) {
        const int v = getMarkerPosition();
        graphics->setColor(face);
        graphics->fillRectangle(Rectangle(v + 1, 1, m - 2, h - 2));
        graphics->setColor(highlight);
        graphics->drawLine(v, 0, v + m - 1, 0);
        graphics->drawLine(v, 0, v, h - 1);
        graphics->setColor(shadow);
        graphics->drawLine(v + m - 1, 1, v + m - 1, h - 1);
        graphics->drawLine(v + 1, h - 1, v + m - 1, h - 1);
        if (isFocused()) {
            graphics->setColor(getForegroundColor());
            graphics->drawRectangle(Rectangle(v + 2, 2, m - 4, h - 4));
        }
    } else {
        const int v = h - m - getMarkerPosition();
        graphics->setColor(face);
        graphics->fillRectangle(Rectangle(1, v + 1, w - 2, m - 2));
        graphics->setColor(highlight);
        graphics->drawLine(0, v, 0, v + m - 1);
        graphics->drawLine(0, v, w - 1, v);
        graphics->setColor(shadow);
        graphics->drawLine(1, v + m - 1, w - 1, v + m - 1);
        graphics->drawLine(w - 1, v + 1, w - 1, v + m - 1);
        if (isFocused()) {
            graphics->setColor(getForegroundColor());
            graphics->drawRectangle(Rectangle(2, v + 2, w - 4, m - 4));
        }
    }
}

void Slider::setValueFromMouse(int x, int y) {
    if (orientation_ == Horizontal) {
        setValue(markerPositionToValue(x - marker_length_ / 2));
    } else {
        setValue(markerPositionToValue(getHeight() - marker_length_ / 2 - y));
    }
}

void Slider::mousePressed(MouseEvent& event) {
    const int x = event.getX();
    const int y = event.getY();
    if (event.getButton() == MouseEvent::Left && x >= 0 && x <= getWidth() && y >= 0 && y <= getHeight()) {
        setValueFromMouse(x, y);
        distributeActionEvent();
    }
}

void Slider::mouseDragged(MouseEvent& event) {
    setValueFromMouse(event.getX(), event.getY());
    event.consume();
    distributeActionEvent();
}

void Slider::mouseWheelMovedUp(MouseEvent& event) {
    setValue(value_ + step_length_);
    event.consume();
    distributeActionEvent();
}

void Slider::mouseWheelMovedDown(MouseEvent& event) {
    setValue(value_ - step_length_);
    event.consume();
    distributeActionEvent();
}

void Slider::keyPressed(KeyEvent& event) {
    const int v = event.getKey().getValue();
    double delta = 0.0;
    if (orientation_ == Horizontal && v == Key::Right) {
        delta = step_length_;
    } else if (orientation_ == Horizontal && v == Key::Left) {
        delta = -step_length_;
    } else if (orientation_ == Vertical && v == Key::Up) {
        delta = step_length_;
    } else if (orientation_ == Vertical && v == Key::Down) {
        delta = -step_length_;
    } else {
        return;
    }
    setValue(value_ + delta);
    event.consume();
    distributeActionEvent();
}

}  // namespace gcn
