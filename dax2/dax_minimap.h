// The base of the mini-map widgets: a map picture drawn from two cached
// layers, terrain and objects, that subclasses paint. The terrain is
// repainted only when told; the objects on a blink rhythm and a refresh
// period, never in two frames in a row. The cached picture is shown scaled
// by a zoom factor.
#pragma once

#include <cstdint>

#include "dax2/dax_mptr.h"
#include "gcn/graphics.hpp"
#include "gcn/widget.hpp"

class DaxMiniMapBase : public gcn::Widget {
public:
    // Periods in hundredths of a second; a refresh period of 0 or less
    // means no periodic refresh, a blink period of 0 or less no blinking.
    DaxMiniMapBase(int16_t blink_period, int16_t refresh_period);
    ~DaxMiniMapBase() override;

    // Full redraw (terrain and objects) at the next draw.
    void invalidate();
    // A change of size drops the cached pictures and asks for a full
    // redraw. Every size setter ends here.
    void setDimension(const gcn::Rectangle& dimension) override;

    // Brings the cached layers up to date, then draws terrain and objects
    // scaled by the zoom at the widget's place on the current target.
    void draw(gcn::Graphics* graphics) override;

    // Screen pixels per cache pixel; values of 0 or less count as 1.
    void setZoom(float zoom) { zoom_ = zoom; }
    float zoom() const { return zoom_; }
    // The view centre the subclass keeps (-1 until set).
    void setViewPosition(float x, float y) {
        view_x_ = x;
        view_y_ = y;
    }
    float viewX() const { return view_x_; }
    float viewY() const { return view_y_; }

    bool fullRedrawPending() const { return full_redraw_; }
    bool objectsPaintedLastDraw() const { return painted_last_; }
    bool lastBlinkPhase() const { return last_phase_; }
    uint32_t lastObjectsPaint() const { return last_paint_; }
    int16_t blinkPeriod() const { return blink_period_; }
    int16_t refreshPeriod() const { return refresh_period_; }
    // The cached layers as drawn (null until the first draw).
    ALLEGRO_BITMAP* terrainBitmap() const { return terrain_disp_.get(); }
    ALLEGRO_BITMAP* objectsBitmap() const { return objects_disp_.get(); }

protected:
    // Paints the terrain into the current target bitmap (the terrain layer,
    // cleared to transparent black); called only on a full redraw.
    virtual void paintTerrain(gcn::Graphics* graphics) = 0;
    // Paints buildings, walkers and markers into the current target bitmap
    // (the objects layer, cleared to transparent); blink is the phase.
    virtual void paintObjects(gcn::Graphics* graphics, bool blink) = 0;
    // Real time in hundredths of a second (daxRealTime); tests drive it.
    virtual uint32_t currentTime() const;

private:
    void dropCache();
    bool makeCache();
    // Clears the memory layer, has the terrain (or the objects, in blink
    // phase) painted into it and copies the result into its display layer.
    void repaintLayer(bool terrain, bool phase);

    int16_t blink_period_;
    int16_t refresh_period_;
    float view_x_ = -1.0f;
    float view_y_ = -1.0f;
    uint32_t last_paint_ = 0;
    bool full_redraw_ = true;
    bool last_phase_ = false;
    bool painted_last_ = false;
    float zoom_ = 1.0f;
    ALLEGRO_BITMAP_mptr terrain_mem_;
    ALLEGRO_BITMAP_mptr objects_mem_;
    ALLEGRO_BITMAP_mptr terrain_disp_;
    ALLEGRO_BITMAP_mptr objects_disp_;
};
