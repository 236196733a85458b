// Byte-string helpers for the text widgets, which keep UTF-8 text and a
// caret that is a byte index: typed keys become UTF-8, and the caret moves
// and erases by whole code points, never inside one.
#pragma once

#include <string>

namespace gcn {
namespace utf8 {

// Whether a key value is text to insert: the key's printable characters
// (Tab excluded) and, beyond them, any Unicode character above 255, which
// the input back end hands over as its code point.
bool isTypedCharacter(int key_value);
// The UTF-8 bytes of a code point (nothing for values outside Unicode).
std::string encode(int code_point);
// The start of the code point before byte index i (0 stays 0).
int previous(const std::string& text, int i);
// The byte index after the code point that starts at or covers i (the
// text's length stays its length).
int next(const std::string& text, int i);
// i clamped to 0 ... length and moved back to the start of its code point.
int snap(const std::string& text, int i);

}  // namespace utf8
}  // namespace gcn
