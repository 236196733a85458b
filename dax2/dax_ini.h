// Two layers of ini files (a base file and an overlay searched first) read
// through getters with defaults, and the framework settings holder dax_config
// that the settings reader fills from them.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
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
//
// The file holds "[section]" lines, "key=value" lines (blanks around key and
// value do not count), "#" comments and blank lines; a NUL byte ends its
// line. Any other line is reported once per process with its file and line
// ("zor.ini:5: ...") and skipped: the keys below it stay in the section
// before it, also when the line is a refused section header ("[name"
// without "]", "[]", "[name] text"). It is kept as a comment, so that
// saving the file loses none of the user's text.
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
    // Why the last open loaded nothing: the errno of opening or reading the
    // file (ENOENT: it does not exist); 0 after a load or a close.
    int loadError() const { return load_error_; }
    // The line of the file that gave the key its value; 0 when the file did
    // not (the key is absent or was written since).
    int lineOf(const char* section, const char* key) const;
    // Sets a value and marks the file dirty; the key no longer has a line.
    void setValue(const char* section, const char* key, const char* text);

private:
    ALLEGRO_CONFIG* config_ = nullptr;
    std::string path_;
    bool dirty_ = false;
    int load_error_ = 0;
    std::map<std::pair<std::string, std::string>, int> lines_;
};

DaxIniFile& daxIniBase();
DaxIniFile& daxIniOverlay();

// Readers: the overlay first, then the base, then the default. A number
// must be the whole value (blanks around it aside): a whole number in int
// range, or a finite real. Anything else raises with the key's origin, e.g.
// "zor.ini:12: [menu] game_mini_size=big: expected a whole number".
int daxIniGetInt(const char* section, const char* key, int def);
float daxIniGetFloat(const char* section, const char* key, float def);
// The stored text, valid while its file stays open; def when not found.
const char* daxIniGetString(const char* section, const char* key, const char* def);

// Where a key's value comes from, for error messages: "<file>:<line>:
// [<section>] <key>=<value>" from the layer a read takes it from (without
// the line for a value written since loading). A key no open file holds
// gives "[<section>] <key>", with "=<absent_value>" when one is given.
std::string daxIniKeyText(const char* section, const char* key, const char* absent_value = nullptr);
// Raises "<daxIniKeyText>: expected <expected>".
[[noreturn]] void daxIniRaiseBadValue(const char* section, const char* key, const char* expected);
// Why a file looked up on the search path was not found: "can't find file
// <name> in <search path>" (without the folders for an absolute name).
std::string daxFileNotFoundText(const std::string& name);
// The full path of a file that a setting names, looked up on the search
// path. When no folder holds it, raises "<origin>: " and the text of
// daxFileNotFoundText; origin says which setting gave the name
// (daxIniKeyText).
std::string daxFindSettingFile(const std::string& origin, const std::string& name);

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
    // makes the default font the widgets' global font. Every error names the
    // key that gave the file (daxIniKeyText) and then says "can't find file
    // %s in <search path>", "can't load default font %s", "can't create
    // headline font from %s" or, for the system and overlay fonts, "can't
    // load font %s". Defined by the display part.
    void loadFonts();
    // The search path for messages: "a/, b/ or c/".
    std::string searchPathText() const;

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
