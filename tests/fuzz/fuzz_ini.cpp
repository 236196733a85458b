// The two ini layers: every key of either file must read from the overlay
// when it has the key and from the base otherwise; a number that does not
// parse is refused with an error, a plain one read as written; the font
// keys of the framework settings read without harm; and a value written
// through the layers is saved and read back after both files are reopened.
#include <allegro5/allegro.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "dax2/dax_error.h"
#include "dax2/dax_ini.h"
#include "fuzz_support.h"

namespace {

// The value of section.key in one layer as Allegro reads it, or null.
const char* layerValue(DaxIniFile& layer, const char* section, const char* key) {
    return layer.config() ? al_get_config_value(layer.config(), section, key) : nullptr;
}

void checkKey(const char* section, const char* key) {
    const char* over = layerValue(daxIniOverlay(), section, key);
    const char* base = layerValue(daxIniBase(), section, key);
    const char* expect = over ? over : base;
    const char* got = daxIniGetString(section, key, nullptr);
    FUZZ_CHECK((got == nullptr) == (expect == nullptr), "key found in the wrong layer");
    FUZZ_CHECK(!got || std::strcmp(got, expect) == 0, "value from the wrong layer");
    if (!got) return;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(got, &end, 10);
    const bool plain = end != got && *end == '\0' && errno == 0 && v >= INT_MIN && v <= INT_MAX;
    try {
        const int read = daxIniGetInt(section, key, 0);
        FUZZ_CHECK(!plain || read == v, "int read differs from the plain value");
    } catch (const DaxException&) {
        FUZZ_CHECK(!plain, "a plain int was refused");
    }
    try {
        (void)daxIniGetFloat(section, key, 0.0f);
    } catch (const DaxException&) {
    }
}

// Whether text is well-formed UTF-8. Allegro cannot look up a name that is
// not: comparing it with itself never ends (the game only looks up names of
// its own, which are plain ASCII).
bool validUtf8(const char* text) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        const unsigned char c = *p++;
        if (c < 0x80) continue;
        int more = 0;
        unsigned char lo = 0x80, hi = 0xBF;  // the bounds of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            more = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2;
            if (c == 0xE0) lo = 0xA0;
            if (c == 0xED) hi = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3;
            if (c == 0xF0) lo = 0x90;
            if (c == 0xF4) hi = 0x8F;
        } else {
            return false;
        }
        if (*p < lo || *p > hi) return false;
        for (; more > 0; --more, ++p)
            if ((*p >> 6) != 2) return false;
    }
    return true;
}

void checkLayer(DaxIniFile& layer) {
    if (!layer.config()) return;
    // Allegro lists the global section ("") among the sections.
    ALLEGRO_CONFIG_SECTION* s_it = nullptr;
    for (const char* section = al_get_first_config_section(layer.config(), &s_it); section;
         section = al_get_next_config_section(&s_it)) {
        ALLEGRO_CONFIG_ENTRY* e_it = nullptr;
        for (const char* key = al_get_first_config_entry(layer.config(), section, &e_it); key;
             key = al_get_next_config_entry(&e_it)) {
            if (validUtf8(section) && validUtf8(key)) checkKey(section, key);
        }
    }
}

// A name of letters, digits and '_' from the input (never empty).
std::string name(FuzzInput& in) {
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789_";
    std::string s(1, 'k');
    const int n = static_cast<int>(in.range(0, 8));
    for (int i = 0; i < n; ++i) s += kChars[in.byte() % (sizeof(kChars) - 1)];
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzInitFramework();
    FuzzInput in(data, size);
    const std::string base = fuzzWriteFile("base.ini", in.bytes(4096));
    const std::string overlay = fuzzWriteFile("overlay.ini", in.bytes(4096));
    daxIniOpenOverlay(nullptr);
    daxIniOpenBase(base.c_str());
    daxIniOpenOverlay(overlay.c_str());
    checkLayer(daxIniBase());
    checkLayer(daxIniOverlay());
    try {
        dax_config.readFontKeys();
    } catch (const DaxException&) {
    }

    // A written value is saved into the overlay and read back from the files.
    const std::string section = name(in);
    const std::string key = name(in);
    std::string value = name(in);
    if (in.flag()) value = std::to_string(static_cast<int32_t>(in.u32()));
    daxIniSetString(section.c_str(), key.c_str(), value.c_str());
    daxIniSaveAll();
    daxIniOpenOverlay(nullptr);
    daxIniOpenBase(base.c_str());
    daxIniOpenOverlay(overlay.c_str());
    const char* back = daxIniGetString(section.c_str(), key.c_str(), nullptr);
    FUZZ_CHECK(back && value == back, "written value not read back");
    daxIniOpenOverlay(nullptr);
    daxIniOpenBase(nullptr);
    fuzzForgetLog();
    return 0;
}
