#include "dax2/dax_ini.h"

#include <allegro5/allegro.h>

#include <cstdio>

#include "dax2/dax_error.h"
#include "dax2/dax_file.h"
#include "dax2/dax_platform.h"

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
    config_ = al_load_config_file(path);
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

namespace {

std::string underDir(const std::string& dir, const char* sub) { return *sub ? dir + sub : dir; }

// The folder below which the user's files go: the user's data folder of
// the desktop, else (no home at all) the program's own folder.
std::string userBaseDir(const std::string& exe_dir) {
    std::string docs = daxGetDocumentsDir();
    return docs.empty() ? exe_dir : docs;
}

void readColor(const char* key, DaxColor& color) {
    const char* v = daxIniGetString("daxk", key, nullptr);
    int r = 0, g = 0, b = 0;
    if (v && std::sscanf(v, "%d %d %d", &r, &g, &b) == 3) {
        color = DaxColor(r, g, b, 255);
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
