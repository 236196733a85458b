#include "dax2/dax_display.h"

#include <allegro5/allegro_font.h>
#include <allegro5/allegro_image.h>
#include <allegro5/allegro_native_dialog.h>
#include <allegro5/allegro_primitives.h>
#include <allegro5/allegro_ttf.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "al5gcn/allegro5font.hpp"
#include "al5gcn/allegro5image.hpp"
#include "dax2/dax_bitmap.h"
#include "dax2/dax_clock.h"
#include "dax2/dax_error.h"
#include "dax2/dax_file.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_menu_ifc.h"
#include "dax2/dax_msg.h"
#include "dax2/dax_platform.h"
#include "gcn/color.hpp"
#include "gcn/exception.hpp"
#include "gcn/font.hpp"
#include "gcn/image.hpp"
#include "gcn/widget.hpp"

namespace {

const char* const kDisplaySrc = "dax2\\dax_display";

// What the creation loop asks for. There is no Direct3D here: the "dx"
// setting means OpenGL, and the chain has no Direct3D stage.
struct DisplayRequest {
    bool gl3 = false;
    bool fullscreen = false;
    int width = 1024;
    int height = 768;

    int flags() const {
        int f = gl3 ? (ALLEGRO_OPENGL_3_0 | ALLEGRO_OPENGL) : ALLEGRO_OPENGL;
        return f | (fullscreen ? ALLEGRO_FULLSCREEN : ALLEGRO_WINDOWED);
    }
};

// Steps down the fallback chain after a failed attempt, logging why; false
// when only the failed 1024 x 768 window was left.
bool fallBack(DisplayRequest& r, bool log) {
    if (r.gl3) {
        r.gl3 = false;
        if (log) {
            daxLogMessage(2, 1, "can't initialize opengl 3.0, retry opengl");
        }
        return true;
    }
    if (r.fullscreen) {
        r.fullscreen = false;
        if (log) {
            daxLogMessage(2, 1, "can't initialize fullscreen, retry windowed");
        }
        return true;
    }
    if (r.width == 1024 && r.height == 768) {
        return false;
    }
    if (log) {
        daxLogMessage(2, 1, "can't initialize resolution %d %d, retry 1024 768", r.width, r.height);
    }
    r.width = 1024;
    r.height = 768;
    return true;
}

// "<width> <height>": two whole numbers from 1 to 32767 (display sizes are
// kept in 16 bits) and nothing else.
bool parseResolution(const char* text, int& width, int& height) {
    const char* p = text;
    int* fields[2] = {&width, &height};
    for (int* field : fields) {
        char* end = nullptr;
        errno = 0;
        const long v = std::strtol(p, &end, 10);
        if (end == p || errno == ERANGE || v < 1 || v > 32767) {
            return false;
        }
        *field = static_cast<int>(v);
        p = end;
    }
    return p[std::strspn(p, " \t")] == 0;
}

// The base ini holds the program's names and folders: without it every
// default would turn into a file and folder name.
void requireBaseIni(const char* ini_path) {
    const DaxIniFile& base = daxIniBase();
    if (base.config()) {
        return;
    }
    std::string where;
    if (ini_path[0] != '/') {
        char cwd[4096];
        where = std::string(" in ") + (getcwd(cwd, sizeof(cwd)) ? cwd : "the working folder") + "/";
    }
    if (base.loadError() == ENOENT) {
        daxRaiseError("can't find file %s%s: expected the program's settings there", ini_path, where.c_str());
    }
    daxRaiseError("can't read file %s%s: %s", ini_path, where.c_str(), std::strerror(base.loadError()));
}

void initOrLog(bool ok, const char* what) {
    if (!ok) {
        daxLogMessage(1, 1, "can't initialize %s", what);
    }
}

int allegroBoxFlags(int flags) {
    int f = 0;
    if (flags & kDaxMsgBoxWarn) f |= ALLEGRO_MESSAGEBOX_WARN;
    if (flags & kDaxMsgBoxError) f |= ALLEGRO_MESSAGEBOX_ERROR;
    if (flags & kDaxMsgBoxOkCancel) f |= ALLEGRO_MESSAGEBOX_OK_CANCEL;
    if (flags & kDaxMsgBoxYesNo) f |= ALLEGRO_MESSAGEBOX_YES_NO;
    if (flags & kDaxMsgBoxQuestion) f |= ALLEGRO_MESSAGEBOX_QUESTION;
    return f;
}

// Allegro's modal box on the current display (none is fine). It needs a
// running Allegro and its dialog addon; without them it shows nothing and
// the text goes to stderr instead.
int nativeMessageBox(const char* title, const char* heading, const char* text, int flags) {
    if (!al_is_system_installed() || (!al_is_native_dialog_addon_initialized() && !al_init_native_dialog_addon())) {
        return kDaxMsgBoxNotShown;
    }
    return al_show_native_message_box(al_get_current_display(), title, heading, text, nullptr,
                                      allegroBoxFlags(flags));
}

// The key that named a font file: the key whose file it took over when its
// own key is not set and the files match, else its own.
const char* fontKey(const char* key, const std::string& file, const char* taken_from, const std::string& taken_file) {
    return !daxIniGetString("daxk_fonts", key, nullptr) && file == taken_file ? taken_from : key;
}

// The key and value as error messages show them.
std::string fontKeyText(const char* key, const std::string& name) {
    return daxIniKeyText("daxk_fonts", key, name.empty() ? nullptr : name.c_str());
}

// A TrueType font from a file on the search path; null when the file is
// found but cannot be loaded. A file that is not found raises, naming the
// key that gave it.
std::unique_ptr<gcn::Font> loadFont(const char* key, const std::string& name, int w, int h) {
    if (name.empty()) {
        daxRaiseError("%s: expected the name of a TrueType font file", fontKeyText(key, name).c_str());
    }
    const std::string path = daxFindSettingFile(fontKeyText(key, name), name);
    try {
        return std::make_unique<gcn::Allegro5Font>(path, w, h);
    } catch (const gcn::Exception&) {
        return nullptr;
    }
}

[[noreturn]] void fontFailed(const char* key, const std::string& name, const char* what) {
    daxRaiseError("%s: %s %s: expected a TrueType font file", fontKeyText(key, name).c_str(), what, name.c_str());
}

}  // namespace

DaxColor::operator gcn::Color() const { return gcn::Color(r, g, b, a); }

void DaxConfig::loadFonts() {
    const char* system_key = fontKey("system_font", system_font_file_, "default_font", default_font_file_);
    const char* overlay_key = fontKey("overlay_font", overlay_font_file_, system_key, system_font_file_);
    std::unique_ptr<gcn::Font> def = loadFont("default_font", default_font_file_, default_fontw_, default_fonth_);
    if (!def) {
        fontFailed("default_font", default_font_file_, "can't load default font");
    }
    std::unique_ptr<gcn::Font> headline =
        loadFont("default_font", default_font_file_, default_fontw_ * 2, default_fonth_ * 2);
    if (!headline) {
        fontFailed("default_font", default_font_file_, "can't create headline font from");
    }
    // A broken system or overlay font would only show later as missing
    // text; say so now.
    std::unique_ptr<gcn::Font> system = loadFont(system_key, system_font_file_, system_fontw_, system_fonth_);
    if (!system) {
        fontFailed(system_key, system_font_file_, "can't load font");
    }
    std::unique_ptr<gcn::Font> overlay = loadFont(overlay_key, overlay_font_file_, overlay_fontw_, overlay_fonth_);
    if (!overlay) {
        fontFailed(overlay_key, overlay_font_file_, "can't load font");
    }
    if (gcn::Widget::getGlobalFont() == default_font_.get()) {
        gcn::Widget::setGlobalFont(nullptr);
    }
    default_font_ = std::move(def);
    headline_font_ = std::move(headline);
    system_font_ = std::move(system);
    overlay_font_ = std::move(overlay);
    gcn::Widget::setGlobalFont(default_font_.get());
}

void DaxConfig::releaseFonts() {
    // Widgets must not keep drawing with a font that is gone.
    if (gcn::Widget::getGlobalFont() == default_font_.get()) {
        gcn::Widget::setGlobalFont(nullptr);
    }
    default_font_.reset();
    system_font_.reset();
    overlay_font_.reset();
    headline_font_.reset();
    back_image_.reset();
}

bool daxIsFullscreenFlags(int flags) { return (flags & (ALLEGRO_FULLSCREEN | ALLEGRO_FULLSCREEN_WINDOW)) != 0; }

bool daxIsOpenGLFlags(int flags) { return (flags & (ALLEGRO_OPENGL | ALLEGRO_OPENGL_3_0)) != 0; }

DaxDisplay::DaxDisplay() {
    // The version check wants the library's own version, not the one this
    // code was first written for.
    if (!al_install_system(ALLEGRO_VERSION_INT, std::atexit)) {
        daxAssertFailed(kDisplaySrc, __LINE__, "can't start Allegro");
    }
    initOrLog(al_install_keyboard(), "keyboard");
    initOrLog(al_install_mouse(), "mouse");
    initOrLog(al_init_image_addon(), "image addon");
    initOrLog(al_init_primitives_addon(), "primitives addon");
    initOrLog(al_init_font_addon(), "font addon");
    initOrLog(al_init_ttf_addon(), "ttf addon");
    // The dialog addon talks to the desktop; boxes that go to stderr (tests,
    // headless runs) must not start it.
    if (daxMsgBoxMode() == DaxMsgBoxMode::Native) {
        initOrLog(al_init_native_dialog_addon(), "native dialog addon");
    }
    daxSetNativeMsgBox(nativeMessageBox);
    dax_bitmaps.clear();
}

DaxDisplay::~DaxDisplay() {
    // Screens, fonts and registered bitmaps hold Allegro bitmaps: free them
    // while the display and Allegro still exist.
    if (dax_menu_handler) {
        dax_menu_handler->deleteAllInstances();
        dax_menu_handler->releaseCursor();
    }
    dax_config.releaseFonts();
    dax_bitmaps.clear();
    if (gcn::Image::getImageLoader() == image_loader_.get()) {
        gcn::Image::setImageLoader(nullptr);
    }
    image_loader_.reset();
    if (display_) {
        al_destroy_display(display_);
        display_ = nullptr;
    }
}

std::vector<DaxDisplay::Attempt> DaxDisplay::fallbackChain(bool gl3, bool fullscreen, int width, int height) {
    DisplayRequest r;
    r.gl3 = gl3;
    r.fullscreen = fullscreen;
    r.width = width;
    r.height = height;
    std::vector<Attempt> chain;
    do {
        chain.push_back(Attempt{r.flags(), r.width, r.height});
    } while (fallBack(r, false));
    return chain;
}

const char* DaxDisplay::rendererOf(int flags) {
    if (flags & ALLEGRO_OPENGL_3_0) {
        return "OpenGL 3.0";
    }
    if (flags & ALLEGRO_OPENGL) {
        return "OpenGL";
    }
    if (flags & ALLEGRO_DIRECT3D_INTERNAL) {
        return "Direct3D";
    }
    return "Unknown";
}

std::string DaxDisplay::allegroVersionText() {
    const uint32_t v = al_get_allegro_version();
    char buf[64];
    std::snprintf(buf, sizeof(buf), "Allegro %u.%u.%u", v >> 24, (v >> 16) & 255u, (v >> 8) & 255u);
    return buf;
}

void DaxDisplay::create(const char* program_path, const char* ini_path) {
    daxIniOpenBase(ini_path);
    requireBaseIni(ini_path);
    dax_config.exe_fullpath_ = program_path ? program_path : "";
    dax_config.read();
    if (al_is_ttf_addon_initialized()) {
        dax_config.loadFonts();
    }

    dax_strings.loadLanguage("lang.ini");
    daxIniOpenBase(ini_path);

    dax_gameclock.readConfig();

    std::string user_ini = dax_config.user_dir_ + dax_config.usr_ini_;
    daxIniOpenOverlay(user_ini.c_str());
    DisplayRequest request;
    {
        const char* resolution = daxIniGetString("daxk", "resolution", "1024 768");
        if (!parseResolution(resolution, request.width, request.height)) {
            int w = 0, h = 0;
            int n = std::sscanf(resolution, "%d %d", &w, &h);
            if (n != 2) {
                daxLogMessage(1, 1, "Found %i parameters in graphics.mode instead of 2 expected: w h.\n", n);
            }
            const std::string text = "Can't get screen resolution: " + daxIniKeyText("daxk", "resolution") +
                                     ": expected two numbers, width and height, each from 1 to 32767";
            daxAssertFailed(kDisplaySrc, 79, text.c_str());
        }
    }
    request.gl3 = std::string(daxIniGetString("daxk", "render", "dx")) == "gl";
    request.fullscreen = daxIniGetInt("daxk", "window_mode", 1) == 0;
    daxIniOpenOverlay(nullptr);

    for (;;) {
        al_set_new_display_flags(request.flags());
        display_ = al_create_display(request.width, request.height);
        if (display_) {
            break;
        }
        if (!fallBack(request, true)) {
            daxRaiseError("can't initialize display");
        }
    }

    renderer_name_ = rendererOf(al_get_display_flags(display_));

    std::string title = dax_config.long_name_;
    if (!dax_config.version_.empty()) {
        title += " " + dax_config.version_;
    }
    title += " - " + allegroVersionText() + " - " + renderer_name_;
    dax_config.window_title_ = title;
    daxLogMessage(0, 0, "%s", title.c_str());
    al_set_window_title(display_, title.c_str());

    image_loader_ = std::make_unique<gcn::Allegro5ImageLoader>();
    gcn::Image::setImageLoader(image_loader_.get());

    // The overlay is closed: the background image comes from the base file.
    const char* back_image = daxIniGetString("daxk", "back_image", nullptr);
    if (back_image && *back_image) {
        const std::string origin = daxIniKeyText("daxk", "back_image");
        const std::string file = daxFindSettingFile(origin, back_image);
        try {
            dax_config.back_image_ = gcn::Image::load(file, true);
        } catch (const gcn::Exception& e) {
            daxRaiseError("%s: %s", origin.c_str(), e.getMessage().c_str());
        }
    }

    // Bitmaps carry premultiplied alpha.
    al_set_blender(ALLEGRO_ADD, ALLEGRO_ONE, ALLEGRO_INVERSE_ALPHA);
}

DaxScreenResolutionsList::DaxScreenResolutionsList() { refresh(); }

int DaxScreenResolutionsList::getNumberOfElements() { return static_cast<int>(modes_.size()); }

std::string DaxScreenResolutionsList::getElementAt(int i) {
    DAX_ASSERT(i >= 0 && i < static_cast<int>(modes_.size()));
    char buf[32];
    std::snprintf(buf, sizeof(buf), "%d %d", modes_[i].width, modes_[i].height);
    return buf;
}

std::vector<ALLEGRO_DISPLAY_MODE> daxDisplayModes() {
    std::vector<ALLEGRO_DISPLAY_MODE> modes;
    const int n = al_is_system_installed() ? al_get_num_display_modes() : 0;
    for (int i = 0; i < n; ++i) {
        ALLEGRO_DISPLAY_MODE m;
        if (al_get_display_mode(i, &m)) {
            modes.push_back(m);
        }
    }
    return modes;
}

void DaxScreenResolutionsList::refresh() { refreshFrom(daxDisplayModes()); }

void DaxScreenResolutionsList::refreshFrom(const std::vector<ALLEGRO_DISPLAY_MODE>& modes) {
    modes_.clear();
    const int flags = al_is_system_installed() ? al_get_new_display_flags() : 0;
    bool log = false;
    if (daxIsOpenGLFlags(flags)) {
        if (!logged_gl_) {
            daxLogMessage(2, 1, "Open GL");
            logged_gl_ = log = true;
        }
    } else if (!logged_dx_) {
        daxLogMessage(2, 1, "DirectX");
        logged_dx_ = log = true;
    }
    for (size_t i = 0; i < modes.size(); ++i) {
        const ALLEGRO_DISPLAY_MODE& m = modes[i];
        if (indexOf(static_cast<int16_t>(m.width), static_cast<int16_t>(m.height)) >= 0) {
            continue;
        }
        modes_.push_back(DaxScreenResolution{static_cast<int16_t>(m.width), static_cast<int16_t>(m.height)});
        if (log) {
            daxLogMessage(2, 1, "display mode %d: %d x %d at %d Hz, format %d = %d bits", static_cast<int>(i), m.width,
                          m.height, m.refresh_rate, m.format, al_get_pixel_size(m.format) * 8);
        }
    }
    std::sort(modes_.begin(), modes_.end(), [](const DaxScreenResolution& a, const DaxScreenResolution& b) {
        return a.width != b.width ? a.width < b.width : a.height < b.height;
    });
}

int DaxScreenResolutionsList::indexOf(int16_t width, int16_t height) const {
    for (size_t i = 0; i < modes_.size(); ++i) {
        if (modes_[i].width == width && modes_[i].height == height) {
            return static_cast<int>(i);
        }
    }
    return -1;
}
