// Language files and the message classes of msg.ini. A language file read
// by the texts manager must give exactly the texts a plain reading of the
// format gives (comments, number token, one separator, '\' as line break,
// CR and byte-order mark dropped, later lines winning). The message classes
// read from a msg.ini must be 1, 2 or 3 as its values say, and a class set
// must be read back by a fresh manager.
#include <allegro5/allegro.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <map>
#include <string>

#include "dax2/dax_error.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_msg.h"
#include "fuzz_support.h"

namespace {

// The texts of a language file as its format describes them.
std::map<int, std::string> expectedTexts(const std::string& file) {
    std::map<int, std::string> texts;
    size_t start = 0;
    bool first = true;
    while (start < file.size()) {
        size_t end = file.find('\n', start);
        if (end == std::string::npos) end = file.size();
        std::string line = file.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (first && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
        first = false;
        if (line.empty() || line[0] == '#') continue;
        const size_t sep = line.find_first_of(" \t");
        if (sep == std::string::npos) continue;
        // The number token as strtol reads it, clamped to int.
        const std::string token = line.substr(0, sep);
        errno = 0;
        long v = std::strtol(token.c_str(), nullptr, 10);
        if (v > INT_MAX) v = INT_MAX;
        if (v < INT_MIN) v = INT_MIN;
        std::string text = line.substr(sep + 1);
        if (v < 1 || text.empty()) continue;
        for (char& c : text)
            if (c == '\\') c = '\n';
        texts[static_cast<int>(v)] = text;
    }
    return texts;
}

void languageFile(const std::string& content, bool imported) {
    const std::string path = fuzzWriteFile("lang.txt", content);
    DaxStringMgr texts;
    texts.loadFile(path.c_str(), imported);
    const std::map<int, std::string> expect = expectedTexts(content);
    for (const auto& [number, text] : expect) {
        FUZZ_CHECK(texts.hasString(number), "text " + std::to_string(number) + " missing");
        FUZZ_CHECK(texts.get(number) == text, "text " + std::to_string(number) + " differs");
    }
    // Nothing else: every number the file names is either expected or not
    // there.
    for (int probe : {0, 1, 2, 3, 10, 100, 1000, INT_MAX}) {
        FUZZ_CHECK(texts.hasString(probe) == (expect.count(probe) != 0), "unexpected text " + std::to_string(probe));
    }
}

// Whether text is a decimal int (optional sign, digits only).
bool plainInt(const char* text, int& out) {
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0 || v < INT_MIN || v > INT_MAX) return false;
    out = static_cast<int>(v);
    return true;
}

void messageClasses(const std::string& content, FuzzInput& in) {
    dax_config.user_dir_ = fuzzTempDir();
    dax_config.msg_ini_ = "msg.ini";
    fuzzWriteFile("msg.ini", content);
    ALLEGRO_CONFIG* own = al_load_config_file((fuzzTempDir() + "msg.ini").c_str());
    DaxMsgMgr messages;
    auto check = [&](int number) {
        const int mode = messages.modeOf(number);
        FUZZ_CHECK(mode >= 1 && mode <= 3, "class out of range");
        const char* stored = own ? al_get_config_value(own, "msg", std::to_string(number).c_str()) : nullptr;
        int v = 0;
        if (!stored) {
            FUZZ_CHECK(mode == (number < 2200 ? 2 : 1), "default class");
        } else if (plainInt(stored, v)) {
            FUZZ_CHECK(mode == (v == 2 || v == 3 ? v : 1), "stored class");
        }
    };
    if (own) {
        ALLEGRO_CONFIG_ENTRY* it = nullptr;
        for (const char* key = al_get_first_config_entry(own, "msg", &it); key; key = al_get_next_config_entry(&it)) {
            int number = 0;
            if (plainInt(key, number) && std::to_string(number) == key) check(number);
        }
    }
    const int number = static_cast<int>(in.range(1, 5000));
    check(number);
    if (own) al_destroy_config(own);
    // A class set is written and read back by the next manager.
    const int mode = static_cast<int>(in.range(1, 3));
    messages.setMode(number, mode);
    daxIniOpenBase(nullptr);
    DaxMsgMgr fresh;
    FUZZ_CHECK(fresh.modeOf(number) == mode, "class written and read back");
    daxIniOpenBase(nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzInitFramework();
    FuzzInput in(data, size);
    const uint8_t mode = in.byte();
    const std::string content = in.bytes(8192);
    try {
        if (mode % 2 == 0) {
            languageFile(content, (mode & 2) != 0);
        } else {
            messageClasses(content, in);
        }
    } catch (const DaxException&) {
        // A refused file is an answer; only the properties above are faults.
    }
    fuzzForgetLog();
    return 0;
}
