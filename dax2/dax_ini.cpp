#include "dax2/dax_ini.h"

#include <allegro5/allegro.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "dax2/dax_error.h"
#include "dax2/dax_file.h"
#include "dax2/dax_platform.h"

DaxConfig dax_config;

namespace {

DaxIniFile g_base;
DaxIniFile g_overlay;

// A value and the layer it was read from.
struct Found {
    const DaxIniFile* file = nullptr;
    const char* value = nullptr;
};

Found find(const char* section, const char* key) {
    for (const DaxIniFile* f : {&g_overlay, &g_base}) {
        if (f->config()) {
            if (const char* v = al_get_config_value(f->config(), section, key)) {
                return Found{f, v};
            }
        }
    }
    return Found{};
}

const char* lookup(const char* section, const char* key) { return find(section, key).value; }

const char* const kBlanks = " \t\r\v\f";

std::string trimmed(const std::string& text) {
    size_t b = text.find_first_not_of(kBlanks);
    if (b == std::string::npos) {
        return std::string();
    }
    size_t e = text.find_last_not_of(kBlanks);
    return text.substr(b, e - b + 1);
}

// The whole file, or false with errno set when it cannot be read.
bool readWholeFile(const char* path, std::string& text) {
    FILE* f = std::fopen(path, "rb");
    if (!f) {
        return false;
    }
    text.clear();
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof(buf), f)) > 0) {
        text.append(buf, n);
    }
    // A folder opens but does not read (EISDIR).
    const bool failed = std::ferror(f) != 0;
    const int err = errno;
    std::fclose(f);
    errno = err;
    return !failed;
}

// Allegro's config never returns from a file in which a name holding the
// bytes F4 90..BF 80..BF 80..BF (past the last code point of Unicode) comes
// twice; a damaged file can hold that, so those lead bytes are read as '?'
// (and logged).
void replaceUnreadableBytes(const char* path, std::string& text) {
    auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    int replaced = 0;
    for (size_t i = 0; i + 3 < text.size(); ++i) {
        if (byte(i) == 0xF4 && byte(i + 1) >= 0x90 && byte(i + 1) <= 0xBF && (byte(i + 2) & 0xC0) == 0x80 &&
            (byte(i + 3) & 0xC0) == 0x80) {
            text[i] = '?';
            ++replaced;
        }
    }
    if (replaced > 0) {
        daxLogMessage(1, 1, "config file %s holds %d byte sequences that are no text, read as '?'", path, replaced);
    }
}

// Says once per process that a line of an ini file is skipped: the same
// file is opened again and again while the program runs.
void reportSkippedLine(const std::string& path, int line, const std::string& text, const char* expected) {
    static std::set<std::string> reported;
    const std::string where = path + ":" + std::to_string(line);
    if (!reported.insert(where + "\n" + text).second) {
        return;
    }
    daxReportError("%s: \"%s\": expected %s; the line is skipped", where.c_str(), text.c_str(), expected);
}

// What a line that is neither blank, comment, section nor key=value lacks;
// null for a good line.
const char* malformed(const std::string& line) {
    if (line[0] == '[') {
        size_t close = line.find(']');
        if (close == std::string::npos) {
            return "\"]\" at the end of the section name";
        }
        if (trimmed(line.substr(1, close - 1)).empty()) {
            return "a section name between \"[\" and \"]\"";
        }
        std::string rest = trimmed(line.substr(close + 1));
        if (!rest.empty() && rest[0] != '#') {
            return "nothing but a \"#\" comment after \"]\"";
        }
        return nullptr;
    }
    size_t eq = line.find('=');
    if (eq == std::string::npos) {
        return "\"key=value\", \"[section]\" or a \"#\" comment";
    }
    if (trimmed(line.substr(0, eq)).empty()) {
        return "a key before \"=\"";
    }
    return nullptr;
}

// Builds the configuration of an ini file's text, noting each key's line.
ALLEGRO_CONFIG* parseIni(const std::string& path, const std::string& text,
                         std::map<std::pair<std::string, std::string>, int>& lines) {
    ALLEGRO_CONFIG* config = al_create_config();
    std::string section;
    size_t pos = 0;
    int number = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string raw = text.substr(pos, end - pos);
        pos = end + 1;
        ++number;
        // A NUL byte ends the line, as in every reader of C strings: a
        // damaged file (a crash can leave blocks of them) is read as far as
        // it is text, and a key or value never holds one.
        const size_t nul = raw.find('\0');
        if (nul != std::string::npos) {
            raw.resize(nul);
        }
        // Editors on some systems start UTF-8 files with a byte-order mark.
        if (number == 1 && raw.compare(0, 3, "\xEF\xBB\xBF") == 0) {
            raw.erase(0, 3);
        }
        const std::string line = trimmed(raw);
        if (line.empty() || line[0] == '#') {
            al_add_config_comment(config, section.c_str(), line.c_str());
            continue;
        }
        if (const char* expected = malformed(line)) {
            reportSkippedLine(path, number, line, expected);
            // Kept (as a comment) so that a save of the file loses nothing.
            al_add_config_comment(config, section.c_str(), line.c_str());
            continue;
        }
        if (line[0] == '[') {
            section = trimmed(line.substr(1, line.find(']') - 1));
            al_add_config_section(config, section.c_str());
            continue;
        }
        size_t eq = line.find('=');
        std::string key = trimmed(line.substr(0, eq));
        al_set_config_value(config, section.c_str(), key.c_str(), trimmed(line.substr(eq + 1)).c_str());
        lines[{section, key}] = number;
    }
    return config;
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
    load_error_ = 0;
    lines_.clear();
    if (!path) {
        return;
    }
    path_ = path;
    std::string text;
    if (readWholeFile(path, text)) {
        replaceUnreadableBytes(path, text);
        config_ = parseIni(path_, text, lines_);
    } else {
        load_error_ = errno != 0 ? errno : EIO;
    }
    daxLogMessage(2, 1, "open config file %s %p", path, static_cast<void*>(config_));
}

int DaxIniFile::lineOf(const char* section, const char* key) const {
    auto it = lines_.find({section, key});
    return it == lines_.end() ? 0 : it->second;
}

void DaxIniFile::setValue(const char* section, const char* key, const char* text) {
    al_set_config_value(config_, section, key, text);
    lines_.erase({section, key});
    dirty_ = true;
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

namespace {

// Whether only blanks follow end.
bool onlyBlanksAfter(const char* end) { return end[std::strspn(end, kBlanks)] == 0; }

}  // namespace

int daxIniGetInt(const char* section, const char* key, int def) {
    const char* v = lookup(section, key);
    if (!v) {
        return def;
    }
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(v, &end, 10);
    if (end == v || !onlyBlanksAfter(end) || errno == ERANGE || value < INT_MIN || value > INT_MAX) {
        daxIniRaiseBadValue(section, key, "a whole number");
    }
    return static_cast<int>(value);
}

float daxIniGetFloat(const char* section, const char* key, float def) {
    const char* v = lookup(section, key);
    if (!v) {
        return def;
    }
    char* end = nullptr;
    const float value = std::strtof(v, &end);
    if (end == v || !onlyBlanksAfter(end) || !std::isfinite(value)) {
        daxIniRaiseBadValue(section, key, "a number");
    }
    return value;
}

std::string daxIniKeyText(const char* section, const char* key, const char* absent_value) {
    const std::string name = std::string("[") + section + "] " + key;
    const Found found = find(section, key);
    if (!found.value) {
        return absent_value ? name + "=" + absent_value : name;
    }
    std::string where = found.file->path();
    if (int line = found.file->lineOf(section, key)) {
        where += ":" + std::to_string(line);
    }
    return where + ": " + name + "=" + found.value;
}

void daxIniRaiseBadValue(const char* section, const char* key, const char* expected) {
    daxRaiseError("%s: expected %s", daxIniKeyText(section, key).c_str(), expected);
}

std::string daxFileNotFoundText(const std::string& name) {
    std::string text = "can't find file " + name;
    if ((name.empty() || name[0] != '/') && !dax_config.search_path_.empty()) {
        text += " in " + dax_config.searchPathText();
    }
    return text;
}

std::string daxFindSettingFile(const std::string& origin, const std::string& name) {
    std::string path;
    if (!daxSearchFile(name, &path)) {
        daxRaiseError("%s: %s", origin.c_str(), daxFileNotFoundText(name).c_str());
    }
    return path;
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
    file->setValue(section, key, text);
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
        daxRaiseError("no directories for searching files: %s: [daxk] app_data_dir, usr_data_dir and dev_data_dir "
                      "are all empty",
                      daxIniBase().path().c_str());
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

std::string DaxConfig::searchPathText() const {
    std::string text;
    for (size_t i = 0; i < search_path_.size(); ++i) {
        if (i > 0) {
            text += i + 1 == search_path_.size() ? " or " : ", ";
        }
        text += search_path_[i];
    }
    return text;
}
