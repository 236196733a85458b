#include "gcn/widgets/utf8text.hpp"

#include "gcn/key.hpp"

namespace gcn {
namespace utf8 {

namespace {

bool isContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

bool isTypedCharacter(int v) {
    if (v == Key::Tab) {
        return false;
    }
    if (Key(v).isCharacter()) {
        return true;
    }
    // Surrogate halves are not characters of their own.
    return v > 255 && v <= 0x10FFFF && !(v >= 0xD800 && v <= 0xDFFF);
}

std::string encode(int cp) {
    std::string out;
    if (cp < 0 || cp > 0x10FFFF) {
        return out;
    }
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

int snap(const std::string& text, int i) {
    const int len = static_cast<int>(text.size());
    if (i <= 0) {
        return 0;
    }
    if (i >= len) {
        return len;
    }
    while (i > 0 && isContinuation(text[i])) {
        --i;
    }
    return i;
}

int previous(const std::string& text, int i) {
    i = snap(text, i);
    if (i == 0) {
        return 0;
    }
    --i;
    while (i > 0 && isContinuation(text[i])) {
        --i;
    }
    return i;
}

int next(const std::string& text, int i) {
    const int len = static_cast<int>(text.size());
    i = snap(text, i);
    if (i >= len) {
        return len;
    }
    ++i;
    while (i < len && isContinuation(text[i])) {
        ++i;
    }
    return i;
}

}  // namespace utf8
}  // namespace gcn
