// Save files as bytes, for tests that compare saves: a file's content as
// zlib reads it, the parts of a save's content (sections, type blocks and
// object records) and where two contents part, named by the part.
#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace savebytes {

// A file's content as zlib reads it (gzip or plain); "" when it cannot be
// opened.
inline std::string unpacked(const std::string& path) {
    std::string out;
    gzFile g = gzopen(path.c_str(), "rb");
    if (!g) return out;
    char buf[65536];
    int got;
    while ((got = gzread(g, buf, sizeof(buf))) > 0) out.append(buf, static_cast<size_t>(got));
    gzclose(g);
    return out;
}

// A part of a save's content: the bytes [begin, end) and what they hold, as
// "section / block / record" ("houses / type 5601 / [2:0,17] at 25,29").
struct Part {
    size_t begin = 0;
    size_t end = 0;
    std::string name;
};

// The parts of an unpacked save, in file order, without gaps: the header,
// the game fields, the id tables, each object record of every instance
// section, each storage network, the map tiles, the update queue, each
// workforce network, the trigger and the end. Reading stops where the
// content does not follow the format (the rest is one part, "unreadable
// from here: ..."), so any bytes can be given.
std::vector<Part> parts(const std::string& bytes);

// The part that holds byte at (the last part for an offset past the end).
const Part* partAt(const std::vector<Part>& parts, size_t at);

// "" for equal byte strings, else where they part: the sizes, the first
// differing offset and, as far as a reads as a save, the part of it that
// holds that offset and the byte within the part.
std::string firstDifference(const std::string& a, const std::string& b);

// A 64-bit FNV-1a digest of bytes, as 16 hex digits.
std::string digest(const std::string& bytes);

// The digest of every top-level section of a save (header and game
// fields, tables, each instance section, map, queue, each workforce, the
// rest), one per line as "digest  bytes  section": what a change that must
// not alter the outcome is checked against, across commits.
std::string sectionDigests(const std::string& bytes);

}  // namespace savebytes
