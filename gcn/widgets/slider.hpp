// Picks a value on a continuous scale by dragging a marker, with the mouse
// wheel or with the arrow keys; every change sends the action event.
#pragma once

#include "gcn/listeners.hpp"
#include "gcn/widget.hpp"

namespace gcn {

class Slider : public Widget, public MouseListener, public KeyListener {
public:
    enum Orientation : int { Horizontal = 0, Vertical = 1 };

    // Scale 0 ... scale end, value 0 (clamped), step a tenth of the end.
    explicit Slider(double scale_end = 1.0);
    // Scale start ... end, value the start, step a tenth of the range.
    Slider(double scale_start, double scale_end);

    // The value is not re-clamped.
    void setScale(double scale_start, double scale_end);
    double getScaleStart() const { return scale_start_; }
    double getScaleEnd() const { return scale_end_; }
    // Clamped to the scale.
    void setValue(double value);
    double getValue() const { return value_; }
    void setStepLength(double length) { step_length_ = length; }
    double getStepLength() const { return step_length_; }
    void setMarkerLength(int length) { marker_length_ = length; }
    int getMarkerLength() const { return marker_length_; }
    void setOrientation(int orientation) { orientation_ = orientation; }
    int getOrientation() const { return orientation_; }

    virtual void drawMarker(Graphics* graphics);
    // A slider with an empty scale or no room beside its marker keeps its
    // marker at 0 and maps every position to the scale start.
    virtual double markerPositionToValue(int position);
    virtual int valueToMarkerPosition(double value);
    virtual int getMarkerPosition();

    void draw(Graphics* graphics) override;

    // MouseListener
    void mousePressed(MouseEvent& event) override;
    void mouseDragged(MouseEvent& event) override;
    void mouseWheelMovedUp(MouseEvent& event) override;
    void mouseWheelMovedDown(MouseEvent& event) override;
    // KeyListener
    void keyPressed(KeyEvent& event) override;

protected:
    // Width or height, whichever the marker runs along.
    int length() const;
    // The value taken from a mouse position relative to the slider.
    void setValueFromMouse(int x, int y);

    double value_ = 0.0;
    double step_length_ = 0.0;
    int marker_length_ = 10;
    double scale_start_ = 0.0;
    double scale_end_ = 1.0;
    int orientation_ = Horizontal;
};

}  // namespace gcn
