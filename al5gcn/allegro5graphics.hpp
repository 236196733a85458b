// The drawing back end on Allegro 5: draws on Allegro's current target
// bitmap (the display's back buffer during a frame) and applies clip areas
// through Allegro's clipping rectangle.
#pragma once

#include <allegro5/allegro.h>

#include "gcn/graphics.hpp"

namespace gcn {

class Allegro5Graphics : public Graphics {
public:
    Allegro5Graphics();
    ~Allegro5Graphics() override = default;

    // Pushes the whole target bitmap; raises when there is no target.
    void _beginDraw() override;
    void _endDraw() override;
    bool pushClipArea(Rectangle area) override;
    void popClipArea() override;

    using Graphics::drawImage;
    // The image must be an Allegro5Image.
    void drawImage(const Image* image, int src_x, int src_y, int src_width, int src_height, int dst_x, int dst_y,
                   int dst_width, int dst_height) override;
    void drawPoint(int x, int y) override;
    // A one-pixel-wide quad reaching half a pixel beyond both end points.
    void drawLine(int x1, int y1, int x2, int y2) override;
    void drawRectangle(const Rectangle& rectangle) override;
    void fillRectangle(const Rectangle& rectangle) override;
    void setColor(const Color& color) override;
    const Color& getColor() const override { return color_; }

    // An Allegro bitmap drawn straight at (x, y) of the current clip area.
    virtual void drawBitmap(ALLEGRO_BITMAP* bitmap, float x, float y);

    // The current colour as Allegro maps it (fonts draw with it).
    const ALLEGRO_COLOR& getAllegroColor() const { return al_color_; }

private:
    // The top clip area; raises when drawing happens outside a frame.
    const ClipRectangle& top(const char* function) const;
    void applyClip();

    ALLEGRO_COLOR al_color_;
    Color color_;
};

}  // namespace gcn
