#include "dax2/dax_ini.h"

#include <allegro5/allegro.h>
#include <allegro5/allegro_ttf.h>

#include <cstdio>
#include <string>

#include "al5gcn/allegro5font.hpp"
#include "dax2/dax_error.h"
#include "dax2/dax_file.h"
#include "dax2/dax_mptr.h"
#include "dax2/dax_platform.h"
#include "gcn/exception.hpp"
#include "gcn/font.hpp"
#include "gcn/image.hpp"
#include "gcn/widget.hpp"

DaxConfig dax_config;

namespace {

DaxIniFile g_base;
DaxIniFile g_overlay;

const char* lookup(const char* section, const char* key) {
    if (g_overlay.config()) {
        if (const char* v = al_get_config_value(g_overlay.config(), section, key)) {
            return v;
        }
    }
    if (g_base.config()) {
        return al_get_config_value(g_base.config(), section, key);
    }
    return nullptr;
}

}  // namespace

DaxIniFile::~DaxIniFile() {
    if (config_) {
        al_destroy_config(config_);
    }
}

namespace {

// Loads a config file. Allegro's reader never returns from a file in which a
// name holding the bytes F4 90..BF 80..BF 80..BF (past the last code point of
// Unicode) comes twice; a damaged file can hold that, so those lead bytes are
// read as '?' (and logged) from a copy of the file.
ALLEGRO_CONFIG* loadConfig(const char* path) {
    std::string text;
    {
        FILE_mptr file(std::fopen(path, "rb"));
        if (!file) return nullptr;
        char buf[4096];
        size_t got;
        while ((got = std::fread(buf, 1, sizeof buf, file.get())) > 0) text.append(buf, got);
    }
    auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    int replaced = 0;
    for (size_t i = 0; i + 3 < text.size(); ++i) {
        if (byte(i) == 0xF4 && byte(i + 1) >= 0x90 && byte(i + 1) <= 0xBF && (byte(i + 2) & 0xC0) == 0x80 &&
            (byte(i + 3) & 0xC0) == 0x80) {
            text[i] = '?';
            ++replaced;
        }
    }
    if (replaced == 0) return al_load_config_file(path);
    daxLogMessage(1, 1, "config file %s holds %d byte sequences that are no text, read as '?'", path, replaced);
    ALLEGRO_PATH* temp_path = nullptr;
    ALLEGRO_FILE* temp = al_make_temp_file("zorXXXXXX.ini", &temp_path);
    if (!temp) return nullptr;
    ALLEGRO_CONFIG* config = nullptr;
    if (al_fwrite(temp, text.data(), text.size()) == text.size() && al_fseek(temp, 0, ALLEGRO_SEEK_SET)) {
        config = al_load_config_file_f(temp);
    }
    al_fclose(temp);
    std::remove(al_path_cstr(temp_path, ALLEGRO_NATIVE_PATH_SEP));
    al_destroy_path(temp_path);
    return config;
}

}  // namespace

void DaxIniFile::open(const char* path) {
    if (config_) {
        if (dirty_) {
            save();
        }
        al_destroy_config(config_);
        config_ = nullptr;
    }
    path_.clear();
    dirty_ = false;
    if (!path) {
        return;
    }
    config_ = loadConfig(path);
    daxLogMessage(2, 1, "open config file %s %p", path, static_cast<void*>(config_));
    path_ = path;
}

void DaxIniFile::save() {
    if (config_) {
        daxLogMessage(2, 1, "save config file %s %p", path_.c_str(), static_cast<void*>(config_));
        if (!al_save_config_file(path_.c_str(), config_)) {
            daxLogMessage(1, 1, "can't save config file %s", path_.c_str());
        }
    }
    dirty_ = false;
}

void DaxIniFile::create() {
    if (path_.empty()) {
        daxRaiseError("can't create config, no name given");
    }
    if (!config_) {
        config_ = al_create_config();
    }
    daxLogMessage(2, 1, "create config file %s %p", path_.c_str(), static_cast<void*>(config_));
}

DaxIniFile& daxIniBase() { return g_base; }
DaxIniFile& daxIniOverlay() { return g_overlay; }

int daxIniGetInt(const char* section, const char* key, int def) {
    const char* v = lookup(section, key);
    if (!v) {
        return def;
    }
    int value = 0;
    if (std::sscanf(v, "%d", &value) != 1) {
        daxRaiseError("value for [%s].%s not an int", section, key);
    }
    return value;
}

float daxIniGetFloat(const char* section, const char* key, float def) {
    const char* v = lookup(section, key);
    if (!v) {
        return def;
    }
    float value = 0;
    if (std::sscanf(v, "%f", &value) != 1) {
        daxRaiseError("value for [%s].%s not a float", section, key);
    }
    return value;
}

const char* daxIniGetString(const char* section, const char* key, const char* def) {
    const char* v = lookup(section, key);
    return v ? v : def;
}

void daxIniSetString(const char* section, const char* key, const char* text) {
    DaxIniFile* file = nullptr;
    if (g_overlay.config()) {
        file = &g_overlay;
    } else if (!g_overlay.path().empty()) {
        g_overlay.create();
        file = &g_overlay;
    } else {
        if (!g_base.config()) {
            g_base.create();
        }
        if (!g_base.config()) {
            daxRaiseError("can't set config value if no config file is opened");
        }
        file = &g_base;
    }
    al_set_config_value(file->config(), section, key, text);
    file->setDirty();
}

void daxIniSetInt(const char* section, const char* key, int value) {
    char buf[80];
    std::snprintf(buf, sizeof(buf), "%d", value);
    daxIniSetString(section, key, buf);
}

void daxIniOpenBase(const char* path) {
    g_overlay.open(nullptr);
    g_base.open(path);
}

void daxIniOpenOverlay(const char* path) { g_overlay.open(path); }

void daxIniSaveAll() {
    if (g_overlay.dirty()) {
        g_overlay.save();
    }
    if (g_base.dirty()) {
        g_base.save();
    }
}

DaxConfig::DaxConfig() = default;
DaxConfig::~DaxConfig() = default;

bool DaxConfig::logEnabled(int level, int kind) const {
    if (level == 0 && kind == 0) {
        return true;
    }
    return level <= debug_level_ && (kind & debug_ltype_) != 0;
}

void DaxConfig::addSearchDir(const std::string& dir) {
    for (const std::string& d : search_path_) {
        if (d == dir) {
            return;
        }
    }
    search_path_.push_back(dir);
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

namespace {

std::string underDir(const std::string& dir, const char* sub) { return *sub ? dir + sub : dir; }

// The folder below which the user's files go: the user's data folder of
// the desktop, else (no home at all) the program's own folder.
std::string userBaseDir(const std::string& exe_dir) {
    std::string docs = daxGetDocumentsDir();
    return docs.empty() ? exe_dir : docs;
}

void readColor(const char* key, gcn::Color& color) {
    const char* v = daxIniGetString("daxk", key, nullptr);
    int r = 0, g = 0, b = 0;
    if (v && std::sscanf(v, "%d %d %d", &r, &g, &b) == 3) {
        color = gcn::Color(r, g, b, 255);
    }
}

}  // namespace

void DaxConfig::read() {
    shrt_name_ = daxIniGetString("daxk", "shrt_name", "?daxk?");
    long_name_ = daxIniGetString("daxk", "long_name", shrt_name_.c_str());
    if (al_is_system_installed()) {
        al_set_app_name(long_name_.c_str());
    }

    std::string usr_save_dir = daxIniGetString("daxk", "usr_save_dir", "saves/");
    std::string usr_screenshot_dir = daxIniGetString("daxk", "usr_screenshot_dir", "screenshots/");
    std::string app_data_dir = daxIniGetString("daxk", "app_data_dir", "data/");
    std::string usr_data_dir = daxIniGetString("daxk", "usr_data_dir", "data/");
    std::string dev_data_dir = daxIniGetString("daxk", "dev_data_dir", "devd/");

    exe_dir_.clear();
    if (al_is_system_installed()) {
        if (ALLEGRO_PATH* p = al_get_standard_path(ALLEGRO_RESOURCES_PATH)) {
            exe_dir_ = al_path_cstr(p, '/');
            al_destroy_path(p);
        }
    }
    if (exe_dir_.empty()) {
        exe_dir_ = daxExecutableDir();
    }
    if (exe_dir_.empty()) {
        daxRaiseError("can't determine exe_path");
    }
    if (exe_dir_.back() != '/') {
        exe_dir_ += '/';
    }

    daxIniOpenOverlay("dev.ini");
    int local_res_dir = daxIniGetInt("daxk", "local_res_dir", 0);
    daxIniOpenOverlay(nullptr);

    if (local_res_dir != 0) {
        user_dir_ = exe_dir_;
        second_dir_ = exe_dir_;
    } else {
        user_dir_ = userBaseDir(exe_dir_) + long_name_ + "/";
        std::string common = daxGetCommonAppDataDir();
        second_dir_ = common.empty() ? user_dir_ : common + long_name_ + "/";
    }

    log_path_ = user_dir_ + shrt_name_ + ".log";
    save_dir_ = underDir(user_dir_, usr_save_dir.c_str());
    screenshot_dir_ = underDir(user_dir_, usr_screenshot_dir.c_str());

    // Computed afresh, so that reading again never keeps folders of the
    // settings read before.
    search_path_.clear();
    if (!dev_data_dir.empty()) {
        addSearchDir(user_dir_ + dev_data_dir);
    }
    if (!usr_data_dir.empty()) {
        addSearchDir(user_dir_ + usr_data_dir);
        if (second_dir_ != user_dir_) {
            addSearchDir(second_dir_ + usr_data_dir);
        }
    }
    if (!app_data_dir.empty()) {
        addSearchDir(exe_dir_ + app_data_dir);
    }
    if (search_path_.empty()) {
        daxRaiseError("no directories for searching files");
    }

    usr_ini_ = daxIniGetString("daxk", "usr_ini", usr_ini_.c_str());
    msg_ini_ = daxIniGetString("daxk", "msg_ini", msg_ini_.c_str());
    initial_loader_ = daxIniGetString("daxk", "initial_loader", initial_loader_.c_str());
    icon_loader_ = daxIniGetString("daxk", "icon_loader", icon_loader_.c_str());
    screenshot_suffix_ = daxIniGetString("daxk", "screenshot_suffix", screenshot_suffix_.c_str());

    readColor("back_color", back_color_);
    readColor("button_color", button_color_);

    daxIniOpenOverlay((user_dir_ + usr_ini_).c_str());
    console_show_ = daxIniGetInt("daxk_debug", "console_show", console_show_);
    debug_enable_ = daxIniGetInt("daxk_debug", "debug_enable", debug_enable_);
    if (debug_enable_ != 0) {
        debug_level_ = daxIniGetInt("daxk_debug", "debug_level", debug_level_);
        debug_ltype_ = daxIniGetInt("daxk_debug", "debug_ltype", debug_ltype_);
    }
    msg_num_lines_ = daxIniGetInt("daxk", "msg_num_lines", msg_num_lines_);
    msg_show_timeout_ = daxIniGetInt("daxk", "msg_show_timeout", msg_show_timeout_);
    msg_show_x_ = daxIniGetInt("daxk", "msg_show_x", msg_show_x_);
    msg_show_y_ = daxIniGetInt("daxk", "msg_show_y", msg_show_y_);
    overlay_border_ = daxIniGetInt("daxk", "overlay_border", overlay_border_);
    overlay_offset_ = daxIniGetInt("daxk", "overlay_offset", overlay_offset_);
    daxIniOpenOverlay(nullptr);

    readFontKeys();
    if (al_is_system_installed() && al_is_ttf_addon_initialized()) {
        loadFonts();
    }

    if (debug_level_ > 1 && (debug_ltype_ & 1)) {
        daxLogMessage(2, 1, "data search path: %d", static_cast<int>(search_path_.size()));
        for (size_t i = 0; i < search_path_.size(); ++i) {
            daxLogMessage(2, 1, "%d: %s", static_cast<int>(i), search_path_[i].c_str());
        }
    }
}

void DaxConfig::readFontKeys() {
    default_font_file_ = daxIniGetString("daxk_fonts", "default_font", "");
    default_fontw_ = daxIniGetInt("daxk_fonts", "default_fontw", 20);
    default_fonth_ = daxIniGetInt("daxk_fonts", "default_fonth", 20);
    system_font_file_ = daxIniGetString("daxk_fonts", "system_font", default_font_file_.c_str());
    system_fontw_ = daxIniGetInt("daxk_fonts", "system_fontw", 10);
    system_fonth_ = daxIniGetInt("daxk_fonts", "system_fonth", 10);
    overlay_font_file_ = daxIniGetString("daxk_fonts", "overlay_font", system_font_file_.c_str());
    overlay_fontw_ = daxIniGetInt("daxk_fonts", "overlay_fontw", 10);
    overlay_fonth_ = daxIniGetInt("daxk_fonts", "overlay_fonth", 10);
}

namespace {

// A TrueType font from a file on the search path; null when the file is
// found but cannot be loaded (a missing file raises "can't find file %s").
std::unique_ptr<gcn::Font> loadFont(const std::string& name, int w, int h) {
    std::string path = name;
    daxFindFile(path);
    try {
        return std::make_unique<gcn::Allegro5Font>(path, w, h);
    } catch (const gcn::Exception&) {
        return nullptr;
    }
}

}  // namespace

void DaxConfig::loadFonts() {
    std::unique_ptr<gcn::Font> def = loadFont(default_font_file_, default_fontw_, default_fonth_);
    if (!def) {
        daxRaiseError("can't load default font %s", default_font_file_.c_str());
    }
    std::unique_ptr<gcn::Font> headline = loadFont(default_font_file_, default_fontw_ * 2, default_fonth_ * 2);
    if (!headline) {
        daxRaiseError("can't create headline font from %s", default_font_file_.c_str());
    }
    // A broken system or overlay font would only show later as missing
    // text; say so now.
    std::unique_ptr<gcn::Font> system = loadFont(system_font_file_, system_fontw_, system_fonth_);
    if (!system) {
        daxRaiseError("can't load font %s", system_font_file_.c_str());
    }
    std::unique_ptr<gcn::Font> overlay = loadFont(overlay_font_file_, overlay_fontw_, overlay_fonth_);
    if (!overlay) {
        daxRaiseError("can't load font %s", overlay_font_file_.c_str());
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
