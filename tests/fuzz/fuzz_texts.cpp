// Language files and the message classes of msg.ini. A language file read
// by the texts manager must give exactly the texts a plain reading of the
// format gives (comments, number token, one separator, '\' as line break,
// CR and byte-order mark dropped, later lines winning). The message classes
// read from a msg.ini must be 1, 2 or 3 as its values say, the values of
// section msg as a plain reading of the ini rules finds them, and a class
// set must be read back by a fresh manager.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "dax2/dax_error.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_msg.h"
#include "fuzz_support.h"

namespace {

// The lines of a text file (up to each line feed), without the byte-order
// mark an editor may put before the first.
std::vector<std::string> textLines(const std::string& file) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < file.size()) {
        size_t end = file.find('\n', start);
        if (end == std::string::npos) end = file.size();
        lines.push_back(file.substr(start, end - start));
        start = end + 1;
    }
    if (!lines.empty() && lines[0].compare(0, 3, "\xEF\xBB\xBF") == 0) lines[0].erase(0, 3);
    return lines;
}

// The texts of a language file as its format describes them.
std::map<int, std::string> expectedTexts(const std::string& file) {
    std::map<int, std::string> texts;
    for (std::string line : textLines(file)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
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

// The keys and values of one section of an ini file as the rules of the
// ini files read them: a line ends at a line feed or at a NUL byte, a
// byte-order mark before the first is dropped, and blanks around a line,
// a key or a value do not count; blank lines and "#" lines are comments;
// "[name]", with at most a "#" comment after it, starts a section;
// "key=value" (a key before the first "=") sets a key of the current
// section, a later line winning; any other line is skipped, and the keys
// below it stay in the section before it, also below a section header that
// is refused.
std::map<std::string, std::string> expectedSection(const std::string& file, const std::string& wanted) {
    const char* const blanks = " \t\r\v\f";
    auto trim = [blanks](const std::string& text) {
        const size_t b = text.find_first_not_of(blanks);
        if (b == std::string::npos) return std::string();
        return text.substr(b, text.find_last_not_of(blanks) - b + 1);
    };
    std::map<std::string, std::string> keys;
    std::string section;
    for (const std::string& raw : textLines(file)) {
        const std::string line = trim(raw.substr(0, raw.find('\0')));
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            const size_t close = line.find(']');
            if (close == std::string::npos) continue;
            const std::string name = trim(line.substr(1, close - 1));
            const std::string after = trim(line.substr(close + 1));
            if (!name.empty() && (after.empty() || after[0] == '#')) section = name;
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = trim(line.substr(0, eq));
        if (key.empty()) continue;
        if (section == wanted) keys[key] = trim(line.substr(eq + 1));
    }
    return keys;
}

void messageClasses(const std::string& content, FuzzInput& in) {
    dax_config.user_dir_ = fuzzTempDir();
    dax_config.msg_ini_ = "msg.ini";
    fuzzWriteFile("msg.ini", content);
    const std::map<std::string, std::string> expect = expectedSection(content, "msg");
    DaxMsgMgr messages;
    auto check = [&](int number) {
        const int mode = messages.modeOf(number);
        FUZZ_CHECK(mode >= 1 && mode <= 3, "class out of range");
        auto stored = expect.find(std::to_string(number));
        int v = 0;
        if (stored == expect.end()) {
            FUZZ_CHECK(mode == (number < 2200 ? 2 : 1), "default class");
        } else if (plainInt(stored->second.c_str(), v)) {
            FUZZ_CHECK(mode == (v == 2 || v == 3 ? v : 1), "stored class");
        }
    };
    for (const auto& [key, value] : expect) {
        int number = 0;
        if (plainInt(key.c_str(), number) && std::to_string(number) == key) check(number);
    }
    const int number = static_cast<int>(in.range(1, 5000));
    check(number);
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
