#include "dax2/dax_msg.h"

#include <climits>
#include <cstdio>
#include <cstdlib>

#include "dax2/dax_error.h"
#include "dax2/dax_file.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_mptr.h"
#include "dax2/dax_platform.h"

DaxStringMgr dax_strings;
DaxMsgMgr dax_msgmgr;

// ---------------------------------------------------------------------------
// Numbered texts

class DaxStringMgr::Impl {
public:
    std::map<int, std::string> language_;
    std::map<int, std::string> imported_;
};

namespace {

// The number of a line's first token by the atoi rule (leading blanks, a
// sign, digits, anything after them ignored), kept within int.
int tokenNumber(const std::string& token) {
    long v = std::strtol(token.c_str(), nullptr, 10);
    if (v > INT_MAX) {
        return INT_MAX;
    }
    if (v < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(v);
}

// Reads one line without its end: LF, CRLF and a lone CR at the end all
// end the line. Returns false at end of file with nothing read. Lines of any
// length are read whole, so the tail of a long text never turns into a line
// of its own.
bool readLine(FILE* f, std::string& line) {
    line.clear();
    int c;
    bool any = false;
    while ((c = std::fgetc(f)) != EOF) {
        any = true;
        if (c == '\n') {
            break;
        }
        line.push_back(static_cast<char>(c));
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return any;
}

}  // namespace

DaxStringMgr::DaxStringMgr() = default;
DaxStringMgr::~DaxStringMgr() = default;

DaxStringMgr::Impl& DaxStringMgr::impl() {
    if (!impl_) {
        impl_ = std::make_unique<Impl>();
    }
    return *impl_;
}

const std::string& DaxStringMgr::get(int number) const {
    if (!impl_) {
        daxRaiseError("DaxStringMgr has no implementation object");
    }
    auto it = impl_->imported_.find(number);
    if (it != impl_->imported_.end()) {
        return it->second;
    }
    it = impl_->language_.find(number);
    if (it != impl_->language_.end()) {
        return it->second;
    }
    daxRaiseError("string %d not found", number);
}

bool DaxStringMgr::hasString(int number) const {
    return impl_ && (impl_->imported_.count(number) != 0 || impl_->language_.count(number) != 0);
}

void DaxStringMgr::loadLanguage(const char* lang_ini) {
    daxIniOpenBase(lang_ini);
    std::string user_ini = dax_config.user_dir_ + dax_config.usr_ini_;
    daxIniOpenOverlay(user_ini.c_str());
    // Copied before the overlay closes: the getter's text lives in its file.
    std::string language = daxIniGetString("system", "language", "en");
    const std::string language_key = daxIniKeyText("system", "language", language.c_str());
    daxIniOpenOverlay(nullptr);

    dax_config.language_ = language;
    const std::string name = dax_config.shrt_name_ + "." + language + ".txt";
    std::string path;
    if (!daxSearchFile(name, &path)) {
        // The name is made of the program's short name and the language:
        // say which setting chose the language and where the file was sought.
        daxRaiseError("%s: can't find file %s ([daxk] shrt_name.language.txt) in %s", language_key.c_str(),
                      name.c_str(), dax_config.searchPathText().c_str());
    }
    loadFile(path.c_str(), false);
}

void DaxStringMgr::loadFile(const char* path, bool imported) {
    FILE_mptr file(std::fopen(path, "rb"));
    if (!file) {
        daxRaiseError("cannot open file %s", path);
    }
    daxLogMessage(2, 1, "read strings from %s", path);
    std::map<int, std::string>& texts = imported ? impl().imported_ : impl().language_;

    std::string line;
    bool first = true;
    while (readLine(file.get(), line)) {
        if (first) {
            first = false;
            // Editors on some systems start UTF-8 files with a byte-order
            // mark; left in, it would hide the first line's number.
            if (line.compare(0, 3, "\xEF\xBB\xBF") == 0) {
                line.erase(0, 3);
            }
        }
        if (line.empty() || line[0] == '#') {
            continue;
        }
        size_t sep = line.find_first_of(" \t");
        if (sep == std::string::npos) {
            continue;
        }
        int number = tokenNumber(line.substr(0, sep));
        std::string text = line.substr(sep + 1);
        if (number < 1 || text.empty()) {
            continue;
        }
        for (char& c : text) {
            if (c == '\\') {
                c = '\n';
            }
        }
        daxLogMessage(4, 1, "read %d: %s", number, text.c_str());
        texts[number] = std::move(text);
    }
}

bool DaxStringMgr::addString(int number, const std::string& text, bool imported) {
    Impl& d = impl();
    if (d.imported_.count(number) != 0 || d.language_.count(number) != 0) {
        return false;
    }
    (imported ? d.imported_ : d.language_)[number] = text;
    return true;
}

void DaxStringMgr::clearImported() {
    if (impl_) {
        impl_->imported_.clear();
    }
}

// ---------------------------------------------------------------------------
// Messages

namespace {

std::string msgIniPath() { return dax_config.user_dir_ + dax_config.msg_ini_; }

// Classes 2 and 3 are kept; everything else means a dialog.
int normalMode(int mode) { return (mode == kDaxMsgScreen || mode == kDaxMsgLogOnly) ? mode : kDaxMsgDialog; }

// A stored class by the atoi rule, so that a hand-edited msg.ini with a
// stray word never stops a game: it reads as 0 and so as a dialog.
int parseMode(const char* text) {
    if (!text) {
        return 0;
    }
    return tokenNumber(text);
}

}  // namespace

DaxMsgMgr::DaxMsgMgr() = default;
DaxMsgMgr::~DaxMsgMgr() = default;

void DaxMsgMgr::post(int number, const std::string& text, DaxMapPositionI pos) {
    DaxMessage msg;
    msg.real_time_ = daxRealTime();
    msg.game_time_ = dax_gameclock.gameTime();
    msg.number_ = number;
    msg.text_ = text;
    msg.pos_ = pos;
    history_.push_back(msg);

    const DaxGameTime& gt = msg.game_time_;
    daxLogMessage(2, 1, "m: %d rt=%u gt=%04d/%02d/%02d-%02d:%02d %s", number, msg.real_time_, gt.year(),
                  gt.month(), gt.dayOfMonth(), gt.hour(), gt.minute(), text.c_str());

    switch (modeOf(number)) {
    case kDaxMsgDialog:
        if (dialog_sink_) {
            dialog_sink_->showMessageDialog(*this, msg);
        } else {
            daxLogMessage(3, 1, "m: %d no message dialog can be shown", number);
        }
        break;
    case kDaxMsgScreen: {
        screen_queue_.push_back(std::move(msg));
        size_t limit = dax_config.msg_num_lines_ > 0 ? static_cast<size_t>(dax_config.msg_num_lines_) : 0;
        while (screen_queue_.size() > limit) {
            screen_queue_.pop_front();
        }
        break;
    }
    default:
        break;
    }
}

void DaxMsgMgr::postNoPos(int number, const std::string& text) { post(number, text, DaxMapPositionI::none()); }

int DaxMsgMgr::modeOf(int number) {
    auto it = mode_cache_.find(number);
    if (it != mode_cache_.end()) {
        return it->second;
    }
    std::string path = msgIniPath();
    daxIniOpenBase(path.c_str());
    char key[16];
    std::snprintf(key, sizeof key, "%d", number);
    int def = number < 2200 ? kDaxMsgScreen : kDaxMsgDialog;
    const char* stored = daxIniGetString("msg", key, nullptr);
    int mode = normalMode(stored ? parseMode(stored) : def);
    mode_cache_[number] = mode;
    return mode;
}

void DaxMsgMgr::setMode(int number, int mode) {
    mode = normalMode(mode);
    auto it = mode_cache_.find(number);
    int old = it != mode_cache_.end() ? it->second : 0;
    if (old == mode) {
        return;
    }
    mode_cache_[number] = mode;
    std::string path = msgIniPath();
    daxIniOpenBase(path.c_str());
    char key[16];
    std::snprintf(key, sizeof key, "%d", number);
    daxIniSetInt("msg", key, mode);
    daxIniSaveAll();
}

void DaxMsgMgr::frame() { frame(daxRealTime()); }

void DaxMsgMgr::frame(uint32_t now) {
    if (!screen_queue_.empty() && expired(screen_queue_.front().real_time_, now, dax_config.msg_show_timeout_)) {
        screen_queue_.pop_front();
    }
}

bool DaxMsgMgr::expired(uint32_t posted, uint32_t now, int timeout_s) {
    uint64_t limit = static_cast<uint64_t>(timeout_s > 0 ? timeout_s : 0) * 100u;
    // A sum posted + limit would wrap near the end of the 32-bit range and
    // then drop a fresh message at once.
    return static_cast<uint32_t>(now - posted) > limit;
}

const DaxMessage& DaxMsgMgr::screenMessage(size_t i) const {
    if (i >= screen_queue_.size()) {
        daxAssertFailed("dax2\\dax_msg", 136, "index out of range");
    }
    return screen_queue_[i];
}
