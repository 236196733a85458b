// Program start on Allegro: DaxDisplay starts Allegro and its addons, reads
// the framework settings and the language, and opens the window with a
// chain of fallbacks; DaxScreenResolutionsList offers the display modes to
// the options screens.
#pragma once

#include <allegro5/allegro.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gcn/listmodel.hpp"

namespace gcn {
class Allegro5ImageLoader;
}

// Full screen (a real mode or a full-screen window).
bool daxIsFullscreenFlags(int flags);
// OpenGL (any version).
bool daxIsOpenGLFlags(int flags);

// Owns the display and the gui image loader from main's start to its end.
class DaxDisplay {
public:
    // Starts Allegro (the linked version, shut down at exit), the keyboard,
    // the mouse and the image, primitives, font and TrueType addons, and the
    // native-dialog addon when message boxes are native; from then on native
    // message boxes are Allegro's.
    DaxDisplay();
    // Deletes the screens still held, releases the fonts, the background
    // image, the registered bitmaps and the image loader, then the display.
    ~DaxDisplay();
    DaxDisplay(const DaxDisplay&) = delete;
    DaxDisplay& operator=(const DaxDisplay&) = delete;

    // Reads the settings (ini_path as base ini) and loads the fonts they
    // name, reads the language and the clock settings, and opens the window.
    // Raises "can't find file %s in <folder>: ..." when there is no ini_path,
    // and "can't initialize display" when not even a 1024 x 768 window opens. A resolution that is not two numbers
    // from 1 to 32767 is a fatal check naming its file and key.
    void create(const char* program_path, const char* ini_path);

    ALLEGRO_DISPLAY* display() const { return display_; }
    // "OpenGL 3.0", "OpenGL", "Direct3D" or "Unknown".
    const std::string& rendererName() const { return renderer_name_; }

    // One attempt of the creation loop: the new-display flags and size.
    struct Attempt {
        int flags = 0;
        int width = 0;
        int height = 0;
    };
    // The attempts the creation loop makes, in order, when every one fails
    // (the last one failing raises). gl3: "gl" was asked for.
    static std::vector<Attempt> fallbackChain(bool gl3, bool fullscreen, int width, int height);
    // The renderer name of a created display's flags.
    static const char* rendererOf(int flags);
    // "Allegro 5.2.8" for the linked library.
    static std::string allegroVersionText();

private:
    std::string renderer_name_ = "Unknown";
    ALLEGRO_DISPLAY* display_ = nullptr;
    std::unique_ptr<gcn::Allegro5ImageLoader> image_loader_;
};

// The display modes the adapter offers for the renderer the new-display
// flags choose (none before Allegro starts).
std::vector<ALLEGRO_DISPLAY_MODE> daxDisplayModes();

// A display size.
struct DaxScreenResolution {
    int16_t width = 0;
    int16_t height = 0;
};

// The distinct display sizes of the renderer the new-display flags choose,
// sorted by width and then height.
class DaxScreenResolutionsList : public gcn::ListModel {
public:
    // Fills the list at once.
    DaxScreenResolutionsList();

    int getNumberOfElements() override;
    // "%d %d" of width and height; i must be valid.
    std::string getElementAt(int i) override;

    // Refills from the adapter's modes.
    void refresh();
    // Refills from the given modes (what refresh does with the adapter's).
    void refreshFrom(const std::vector<ALLEGRO_DISPLAY_MODE>& modes);
    // The index of a size, -1 when absent.
    int indexOf(int16_t width, int16_t height) const;
    int indexOf(const DaxScreenResolution& r) const { return indexOf(r.width, r.height); }
    const std::vector<DaxScreenResolution>& modes() const { return modes_; }

private:
    bool logged_gl_ = false;
    bool logged_dx_ = false;
    std::vector<DaxScreenResolution> modes_;
};
