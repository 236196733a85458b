// Two layers of ini files (a base file and an overlay searched first) read
// through getters with defaults, and the framework settings holder dax_config
// that the settings reader fills from them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct ALLEGRO_CONFIG;
namespace gcn {
class Color;
class Font;
class Image;
}  // namespace gcn

// One ini layer: the loaded configuration (null when none), the path it was
// opened from (kept when loading failed, so that a write can create the file)
// and whether it changed since it was loaded or saved.
class DaxIniFile {
public:
    DaxIniFile() = default;
    ~DaxIniFile();
    DaxIniFile(const DaxIniFile&) = delete;
    DaxIniFile& operator=(const DaxIniFile&) = delete;

    // Saves and drops the loaded configuration, then loads path (null:
    // closed). A missing file leaves no configuration but keeps the path.
    void open(const char* path);
    // Writes the configuration to its path when one is loaded; clears dirty.
    void save();
    // Makes an empty configuration for the remembered path.
    void create();

    ALLEGRO_CONFIG* config() const { return config_; }
    const std::string& path() const { return path_; }
    bool dirty() const { return dirty_; }
    void setDirty() { dirty_ = true; }

private:
    ALLEGRO_CONFIG* config_ = nullptr;
    std::string path_;
    bool dirty_ = false;
};

DaxIniFile& daxIniBase();
DaxIniFile& daxIniOverlay();

// Readers: the overlay first, then the base, then the default. Numbers that
// do not parse raise "value for [%s].%s not an int" / "... not a float".
int daxIniGetInt(const char* section, const char* key, int def);
float daxIniGetFloat(const char* section, const char* key, float def);
// The stored text, valid while its file stays open; def when not found.
const char* daxIniGetString(const char* section, const char* key, const char* def);

// Writers: into the overlay (created for its path when needed), else the
// base; the file written is marked dirty.
void daxIniSetString(const char* section, const char* key, const char* text);
void daxIniSetInt(const char* section, const char* key, int value);

// Opens the base file after closing (and saving) the overlay.
void daxIniOpenBase(const char* path);
// Opens the overlay; null closes it, saving it when dirty.
void daxIniOpenOverlay(const char* path);
// Saves the overlay and then the base when dirty.
void daxIniSaveAll();

// A colour of the settings: four 16-bit channels like the widgets' colour,
// which it turns into where the display part uses it (the settings reader
// stays free of widget code).
struct DaxColor {
    constexpr DaxColor(int red, int green, int blue, int alpha = 255)
        : r(static_cast<int16_t>(red)), g(static_cast<int16_t>(green)), b(static_cast<int16_t>(blue)),
          a(static_cast<int16_t>(alpha)) {}
    // Defined by the display part.
    operator gcn::Color() const;

    int16_t r;
    int16_t g;
    int16_t b;
    int16_t a;
};

// The framework settings: names, directories, search path, colours, message
// and overlay placement, log filter and fonts. The fonts and the background
// image are widget objects the display part makes and releases; they are held
// as shared pointers so that the settings can drop them without knowing
// their types.
class DaxConfig {
public:
    DaxConfig();
    ~DaxConfig();
    DaxConfig(const DaxConfig&) = delete;
    DaxConfig& operator=(const DaxConfig&) = delete;

    // Reads every framework setting; the base ini must be open. The font
    // keys are read here; display creation then loads the fonts they name.
    void read();
    // Appends a directory to the search path unless it is already there.
    void addSearchDir(const std::string& dir);
    // Drops the fonts and the background image (before the display goes).
    // Defined by the display part.
    void releaseFonts();
    // The log filter: level <= debug_level_ and kind shares a bit with
    // debug_ltype_; always true for level 0 with kind 0.
    bool logEnabled(int level, int kind) const;
    // Reads the font keys of section daxk_fonts into the fields below.
    void readFontKeys();
    // Loads the four fonts from those keys (files on the search path) and
    // makes the default font the widgets' global font. Raises "can't load
    // default font %s", "can't create headline font from %s" and, for the
    // system and overlay fonts, "can't load font %s". Defined by the display
    // part.
    void loadFonts();

    std::string exe_fullpath_;
    std::string long_name_;
    std::string shrt_name_;
    std::string version_;
    std::string window_title_;
    std::string log_path_;
    std::string language_ = "en";
    std::string exe_dir_;
    std::string second_dir_;
    std::string user_dir_;
    std::string save_dir_;
    std::string screenshot_dir_;
    std::string screenshot_suffix_ = "jpg";
    std::string usr_ini_ = "user.ini";
    std::string msg_ini_ = "msg.ini";
    std::string initial_loader_ = "initial_load.lua";
    std::string icon_loader_ = "load_icons.lua";
    std::vector<std::string> search_path_;
    DaxColor back_color_{10, 130, 20, 255};
    DaxColor button_color_{100, 150, 0, 255};
    std::shared_ptr<gcn::Image> back_image_;
    int msg_num_lines_ = 4;
    int msg_show_timeout_ = 20;
    int msg_show_x_ = 0;
    int msg_show_y_ = 0;
    int overlay_border_ = 4;
    int overlay_offset_ = 16;
    int console_show_ = 1;
    int debug_enable_ = 0;
    int debug_level_ = 1;
    int debug_ltype_ = 1;
    // Font files and sizes of section daxk_fonts; display creation loads the
    // four fonts from them (tools and tests that only read settings get the
    // keys alone).
    std::string default_font_file_;
    int default_fontw_ = 20;
    int default_fonth_ = 20;
    std::string system_font_file_;
    int system_fontw_ = 10;
    int system_fonth_ = 10;
    std::string overlay_font_file_;
    int overlay_fontw_ = 10;
    int overlay_fonth_ = 10;

    std::shared_ptr<gcn::Font> default_font_;
    std::shared_ptr<gcn::Font> system_font_;
    std::shared_ptr<gcn::Font> overlay_font_;
    std::shared_ptr<gcn::Font> headline_font_;
};

extern DaxConfig dax_config;
