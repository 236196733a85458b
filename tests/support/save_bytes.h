// Save files as bytes, for tests that compare saves: a file's content as
// zlib reads it and where two contents part.
#pragma once

#include <zlib.h>

#include <string>

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

// "" for equal byte strings, else where they part.
inline std::string firstDifference(const std::string& a, const std::string& b) {
    if (a == b) return "";
    size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
    return "sizes " + std::to_string(a.size()) + " and " + std::to_string(b.size()) + ", first difference at " +
           std::to_string(i);
}

}  // namespace savebytes
