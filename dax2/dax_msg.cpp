#include "dax2/dax_msg.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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
    // Argument kinds of the texts used as formats.
    std::map<int, std::string> formats_;
    // Texts found not to fit their arguments, as they read when logged.
    std::map<int, std::string> reported_;

    const std::string* find(int number) const {
        auto it = imported_.find(number);
        if (it != imported_.end()) return &it->second;
        it = language_.find(number);
        return it != language_.end() ? &it->second : nullptr;
    }
    // Logs a text that does not fit sig, once for each wording of it.
    void reportUnfit(int number, const char* sig, const std::string& text) {
        auto it = reported_.find(number);
        if (it != reported_.end() && it->second == text) return;
        reported_[number] = text;
        daxLogMessage(1, 1, "text %d does not fit its arguments (%s): %s", number, sig, text.c_str());
    }
};

namespace {

// The argument kinds a printf format takes, one letter per conversion: 'd'
// an int-sized integer, 's' a string, 'f' a double, '?' anything a text must
// not ask for.
std::string formatKinds(const char* fmt) {
    std::string kinds;
    const char* p = fmt;
    while (*p) {
        if (*p++ != '%') continue;
        if (*p == '%') {
            ++p;
            continue;
        }
        while (*p && std::strchr("-+ #0", *p)) ++p;
        while (std::isdigit(static_cast<unsigned char>(*p))) ++p;
        bool bad = false;
        if (*p == '$' || *p == '*') bad = true;
        if (*p == '.') {
            ++p;
            if (*p == '*') bad = true;
            while (std::isdigit(static_cast<unsigned char>(*p))) ++p;
        }
        int shorts = 0;
        int longs = 0;
        while (*p == 'h') {
            ++shorts;
            ++p;
        }
        while (*p == 'l') {
            ++longs;
            ++p;
        }
        if (*p && std::strchr("jztLq", *p)) bad = true;
        const char c = *p;
        if (c == 0) {
            kinds += '?';
            break;
        }
        ++p;
        char kind = '?';
        if (std::strchr("diuxXoc", c)) {
            kind = longs == 0 ? 'd' : '?';
        } else if (c == 's') {
            kind = shorts == 0 && longs == 0 ? 's' : '?';
        } else if (std::strchr("fFeEgGaA", c)) {
            kind = shorts == 0 && longs <= 1 ? 'f' : '?';
        }
        kinds += bad ? '?' : kind;
    }
    return kinds;
}

// Copies text into buf of size bytes, cut and terminated; returns the length.
size_t copyCut(char* buf, size_t size, const char* text) {
    if (size == 0) return 0;
    size_t n = std::min(std::strlen(text), size - 1);
    std::memcpy(buf, text, n);
    buf[n] = 0;
    return n;
}

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

bool daxFormatFits(const char* fmt, const char* sig) {
    std::string want = sig ? sig : "";
    for (char& c : want) {
        if (c == 'u') c = 'd';
    }
    return formatKinds(fmt ? fmt : "") == want;
}

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
    checkFormats(0);
}

bool DaxStringMgr::addString(int number, const std::string& text, bool imported) {
    Impl& d = impl();
    if (d.imported_.count(number) != 0 || d.language_.count(number) != 0) {
        return false;
    }
    (imported ? d.imported_ : d.language_)[number] = text;
    checkFormats(number);
    return true;
}

void DaxStringMgr::clearImported() {
    if (impl_) {
        impl_->imported_.clear();
        // A language text an import hid is the one in use again.
        checkFormats(0);
    }
}

void DaxStringMgr::declareFormat(int number, const char* sig) {
    Impl& d = impl();
    const std::string kinds = sig ? sig : "";
    auto it = d.formats_.find(number);
    DAX_ASSERT(it == d.formats_.end() || it->second == kinds);
    d.formats_[number] = kinds;
    checkFormats(number);
}

const char* DaxStringMgr::declaredFormat(int number) const {
    if (!impl_) return nullptr;
    auto it = impl_->formats_.find(number);
    return it == impl_->formats_.end() ? nullptr : it->second.c_str();
}

void DaxStringMgr::checkFormats(int number) {
    Impl& d = impl();
    for (const auto& [n, sig] : d.formats_) {
        if (number != 0 && n != number) continue;
        const std::string* text = d.find(n);
        if (text && !daxFormatFits(text->c_str(), sig.c_str())) d.reportUnfit(n, sig.c_str(), *text);
    }
}

size_t DaxStringMgr::format(char* buf, size_t size, int number, const char* sig, ...) {
    va_list args;
    va_start(args, sig);
    size_t n = vformat(buf, size, number, sig, args);
    va_end(args);
    return n;
}

size_t DaxStringMgr::vformat(char* buf, size_t size, int number, const char* sig, va_list args) {
    if (size == 0) return 0;
    Impl& d = impl();
    auto declared = d.formats_.find(number);
    DAX_ASSERT(declared == d.formats_.end() || declared->second == (sig ? sig : ""));
    const std::string* text = d.find(number);
    if (!text) {
        char missing[32];
        std::snprintf(missing, sizeof(missing), "#%d", number);
        return copyCut(buf, size, missing);
    }
    if (!daxFormatFits(text->c_str(), sig)) {
        d.reportUnfit(number, sig ? sig : "", *text);
        return copyCut(buf, size, text->c_str());
    }
    int n = std::vsnprintf(buf, size, text->c_str(), args);
    if (n < 0) return copyCut(buf, size, "");
    return std::min(static_cast<size_t>(n), size - 1);
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
