#include "support/save_bytes.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace savebytes {

namespace {

// Section tags of the format.
enum : int32_t {
    kTagEnd = 85645,
    kTagBitmaps = 85646,
    kTagInstances = 85647,
    kTagMap = 85648,
    kTagWorkforce = 85649,
    kTagTrigger = 85650,
    kTagMiniMap = 85651,
};
constexpr size_t kHeaderBytes = 3 + 4 * 4 + 33 * 4 + 4;

// The content ends, or does not follow the format, at the reader's position.
struct Unreadable {
    std::string why;
};

// What follows the fixed part of a building record, in order.
enum class Tail : char {
    Map6 = 'a',   // goods map of 6-byte values
    Map12 = 'b',  // goods map of 12-byte values (material maps among them)
    Map16 = 'c',  // goods map of 16-byte values
    List2 = 'd',  // int16 list
    List4 = 'e',  // list of 4-byte entries (positions)
};
struct KindLayout {
    int16_t kind;
    const char* name;
    size_t fixed;       // bytes before the maps, the object head included
    const char* tails;  // Tail letters
};
const KindLayout kKinds[] = {
    {1, "roads", 20 + 8, ""},
    {2, "houses", 20 + 36, "bcb"},
    {3, "services", 20 + 28, "bb"},
    {4, "storages", 20 + 40, "ab"},
    {5, "productions", 20 + 36, "bceb"},
    {6, "markets", 20 + 28, "bbd"},
    {7, "decorations", 20 + 16 + 8, "bb"},
    {8, "builders", 20 + 28, "bdb"},
    {16, "service walkers", 16 + 88 + 2, ""},
    {17, "production walkers", 16 + 88, ""},
    {18, "market walkers", 16 + 88 + 2, ""},
    {19, "storage walkers", 16 + 88, ""},
    {20, "builder walkers", 16 + 88 + 2, ""},
};

const KindLayout* layoutOf(int32_t kind) {
    for (const KindLayout& k : kKinds) {
        if (k.kind == kind) return &k;
    }
    return nullptr;
}

class Reader {
public:
    explicit Reader(const std::string& b) : b_(b) {}

    size_t pos() const { return pos_; }
    size_t size() const { return b_.size(); }
    void skip(size_t n, const char* what) {
        if (n > b_.size() - pos_) throw Unreadable{std::string(what) + " runs past the end"};
        pos_ += n;
    }
    int32_t i32(const char* what) {
        const int32_t v = i32At(pos_, what);
        pos_ += 4;
        return v;
    }
    int16_t i16(const char* what) {
        if (2 > b_.size() - pos_) throw Unreadable{std::string(what) + " runs past the end"};
        const uint16_t v = static_cast<uint16_t>(byte(pos_) | (byte(pos_ + 1) << 8));
        pos_ += 2;
        return static_cast<int16_t>(v);
    }
    int32_t i32At(size_t at, const char* what) const {
        if (at > b_.size() || 4 > b_.size() - at) throw Unreadable{std::string(what) + " runs past the end"};
        uint32_t v = 0;
        for (int i = 3; i >= 0; --i) v = (v << 8) | byte(at + static_cast<size_t>(i));
        return static_cast<int32_t>(v);
    }
    int16_t i16At(size_t at) const {
        return static_cast<int16_t>(static_cast<uint16_t>(byte(at) | (byte(at + 1) << 8)));
    }
    // A count of entries of size bytes each that the rest can hold.
    size_t count(size_t size, const char* what) {
        const int32_t n = i32(what);
        if (n < 0 || static_cast<size_t>(n) > (b_.size() - pos_) / std::max<size_t>(size, 1))
            throw Unreadable{std::string(what) + ": count " + std::to_string(n) + " does not fit"};
        return static_cast<size_t>(n);
    }
    void expect(int32_t tag, const char* what) {
        const int32_t v = i32(what);
        if (v != tag) throw Unreadable{std::string(what) + ": read " + std::to_string(v)};
    }

private:
    uint32_t byte(size_t at) const { return static_cast<unsigned char>(b_[at]); }

    const std::string& b_;
    size_t pos_ = 0;
};

// Collects the parts; each part runs from where the previous one ended.
class Parts {
public:
    explicit Parts(Reader& r) : r_(r) {}
    void close(const std::string& name) {
        if (r_.pos() == begin_) return;
        out_.push_back(Part{begin_, r_.pos(), name});
        begin_ = r_.pos();
    }
    std::vector<Part> take() { return std::move(out_); }
    size_t begin() const { return begin_; }

private:
    Reader& r_;
    size_t begin_ = 0;
    std::vector<Part> out_;
};

std::string oidText(const Reader& r, size_t at) {
    char buf[64];
    std::snprintf(buf, sizeof(buf), "[%d:%d,%d]", r.i16At(at), r.i16At(at + 2), r.i32At(at + 4, "id"));
    return buf;
}

void skipGoodsMap(Reader& r, size_t value) {
    const size_t n = r.count(2 + value, "goods map");
    r.skip(n * (2 + value), "goods map");
}

void readRecord(Reader& r, const KindLayout& k) {
    r.skip(k.fixed, k.name);
    for (const char* t = k.tails; *t; ++t) {
        switch (static_cast<Tail>(*t)) {
        case Tail::Map6: skipGoodsMap(r, 6); break;
        case Tail::Map12: skipGoodsMap(r, 12); break;
        case Tail::Map16: skipGoodsMap(r, 16); break;
        case Tail::List2: r.skip(2 * r.count(2, "int16 list"), "int16 list"); break;
        case Tail::List4: r.skip(4 * r.count(4, "list"), "list"); break;
        }
    }
}

void readIdList(Reader& r) {
    r.expect(8, "id list slot size");
    r.skip(16, "id list head");
    r.skip(8 * r.count(8, "id list"), "id list");
}

void readGraph(Reader& r) {
    r.expect(16, "graph edge size");
    r.expect(24, "graph node size");
    readIdList(r);
    readIdList(r);
    r.skip(16 * r.count(16, "graph edges"), "graph edges");
    r.skip(24 * r.count(24, "graph nodes"), "graph nodes");
    r.expect(12, "adjacency head size");
    r.expect(12, "adjacency link size");
    r.skip(16, "adjacency head");
    r.skip(12 * r.count(12, "adjacency"), "adjacency");
}

void readPayloads(Reader& r, size_t payload) {
    const size_t n = r.count(4 + payload, "payload list");
    r.skip(n * (4 + payload), "payload list");
}

// A storage or workforce network: its graph, then the payloads of its nodes
// and of its edges.
void readNetwork(Reader& r, Parts& parts, const std::string& name, size_t node_data, size_t edge_data) {
    readGraph(r);
    parts.close(name + " / graph");
    readPayloads(r, node_data);
    parts.close(name + " / nodes");
    readPayloads(r, edge_data);
    parts.close(name + " / edges");
}

void readInstances(Reader& r, Parts& parts) {
    const int32_t kind = r.i32("kind");
    const KindLayout* k = layoutOf(kind);
    if (!k) throw Unreadable{"instances of unknown kind " + std::to_string(kind)};
    const int32_t blocks = r.i32("type blocks");
    const std::string section = k->name;
    parts.close(section);
    const bool walkers = kind >= 16;
    for (int32_t b = 0; b < blocks; ++b) {
        const int32_t type_id = r.i32("type id");
        if (!walkers) r.skip(4, "footprint");
        if (kind == 1 || kind == 2) r.skip(4, "level");
        const size_t n = r.count(k->fixed, "instances");
        const std::string block = section + " / type " + std::to_string(type_id);
        parts.close(block);
        for (size_t i = 0; i < n; ++i) {
            const size_t at = r.pos();
            readRecord(r, *k);
            std::string name = block + " / " + oidText(r, at + 4);
            if (!walkers) name += " at " + std::to_string(r.i16At(at + 16)) + "," + std::to_string(r.i16At(at + 18));
            parts.close(name);
        }
        if (kind == 4) readNetwork(r, parts, block + " / network", 8, 24);
    }
}

void readWorkforce(Reader& r, Parts& parts) {
    const std::string section = "workforce of people " + std::to_string(r.i32("people id"));
    r.skip(2, "people index");
    r.skip(12 * r.count(12, "workforce nodes by object"), "workforce nodes by object");
    parts.close(section + " / nodes by object");
    readNetwork(r, parts, section, 16, 8);
    r.skip(12, "workforce totals");
    parts.close(section + " / totals");
}

void readString(Reader& r, const char* what) { r.skip(r.count(1, what), what); }

void readMap(Reader& r, Parts& parts) {
    r.skip(4, "map side");
    const size_t k = r.count(36, "map tiles");
    parts.close("map");
    for (size_t i = 0; i < k; ++i) {
        const size_t at = r.pos();
        r.skip(36, "map tile");
        parts.close("map / tile " + std::to_string(r.i16At(at)) + "," + std::to_string(r.i16At(at + 2)));
    }
    r.skip(8, "view centre");
    parts.close("view centre");
    r.skip(4, "queue sequence");
    parts.close("update queue / sequence counter");
    const size_t pending = r.count(12, "queue objects");
    for (size_t i = 0; i < pending; ++i) {
        const size_t at = r.pos();
        r.skip(12, "queue object");
        parts.close("update queue / object " + oidText(r, at) + " wakes at " + std::to_string(r.i32At(at + 8, "time")));
    }
    const size_t jobs = r.count(16, "queue jobs");
    parts.close("update queue / job count");
    for (size_t i = 0; i < jobs; ++i) {
        const size_t at = r.pos();
        r.skip(16, "queue job");
        parts.close("update queue / job " + std::to_string(i) + ": " + oidText(r, at) + " at " +
                    std::to_string(r.i32At(at + 8, "time")));
    }
}

std::vector<Part> read(const std::string& bytes) {
    Reader r(bytes);
    Parts parts(r);
    try {
        r.skip(kHeaderBytes, "header");
        parts.close("header");
        r.skip(14, "game fields");
        readString(r, "map name");
        readString(r, "game name");
        r.skip(4 + 24 + 4 + 4, "game fields");
        parts.close("game fields");
        r.expect(kTagBitmaps, "bitmap tag");
        const size_t bitmaps = r.count(12, "bitmaps");
        for (size_t i = 0; i < bitmaps; ++i) {
            readString(r, "bitmap name");
            r.skip(8, "bitmap");
        }
        parts.close("bitmap table");
        r.skip(12 * r.count(12, "building types"), "building types");
        r.skip(4 * r.count(4, "people ids"), "people ids");
        r.skip(4 * r.count(4, "goods ids"), "goods ids");
        r.skip(8 * r.count(8, "walker types"), "walker types");
        parts.close("type tables");
        for (;;) {
            const int32_t tag = r.i32("section tag");
            if (tag != kTagInstances) {
                if (tag != kTagMap) throw Unreadable{"section tag " + std::to_string(tag)};
                break;
            }
            readInstances(r, parts);
        }
        readMap(r, parts);
        for (;;) {
            const int32_t tag = r.i32("section tag");
            if (tag == kTagWorkforce) {
                readWorkforce(r, parts);
            } else if (tag == kTagTrigger) {
                readString(r, "trigger script");
                readString(r, "trigger function");
                r.skip(4, "trigger period");
                r.skip(88 * r.count(88, "script values"), "script values");
                parts.close("trigger");
            } else if (tag == kTagMiniMap) {
                r.skip(4, "mini-map flag");
                r.expect(kTagEnd, "end tag");
                parts.close("end");
                break;
            } else {
                throw Unreadable{"section tag " + std::to_string(tag)};
            }
        }
        if (r.pos() != r.size()) throw Unreadable{"bytes after the end tag"};
    } catch (const Unreadable& u) {
        std::vector<Part> out = parts.take();
        const size_t from = out.empty() ? 0 : out.back().end;
        out.push_back(Part{from, bytes.size(), "unreadable from here: " + u.why});
        return out;
    }
    return parts.take();
}

}  // namespace

std::vector<Part> parts(const std::string& bytes) { return read(bytes); }

const Part* partAt(const std::vector<Part>& parts, size_t at) {
    if (parts.empty()) return nullptr;
    auto it = std::upper_bound(parts.begin(), parts.end(), at, [](size_t v, const Part& p) { return v < p.end; });
    return it == parts.end() ? &parts.back() : &*it;
}

std::string firstDifference(const std::string& a, const std::string& b) {
    if (a == b) return "";
    size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
    std::string text = "sizes " + std::to_string(a.size()) + " and " + std::to_string(b.size()) +
                       ", first difference at " + std::to_string(i);
    const std::vector<Part> pa = parts(a);
    const Part* p = partAt(pa, i);
    if (p) text += ", in " + p->name + " (byte " + std::to_string(i - p->begin) + " of it)";
    // The same part in b, when the two part where b reads otherwise.
    const std::vector<Part> pb = parts(b);
    const Part* q = partAt(pb, i);
    if (q && (!p || q->name != p->name)) text += "; the other has " + q->name + " there";
    // The parts that differ, matched by name: where else the two went
    // apart (the first difference in file order need not be the first in
    // time).
    std::map<std::string, std::string> others;
    for (const Part& part : pb) others.emplace(part.name, b.substr(part.begin, part.end - part.begin));
    std::vector<std::string> differ;
    for (const Part& part : pa) {
        auto it = others.find(part.name);
        const bool same = it != others.end() && a.compare(part.begin, part.end - part.begin, it->second) == 0;
        if (it != others.end()) others.erase(it);
        if (!same) differ.push_back(part.name);
    }
    for (const auto& rest : others) differ.push_back(rest.first + " (only in the other)");
    text += "; " + std::to_string(differ.size()) + " of " + std::to_string(pa.size()) + " parts differ";
    for (size_t k = 0; k < differ.size() && k < 8; ++k) text += (k == 0 ? ": " : ", ") + differ[k];
    if (differ.size() > 8) text += ", ...";
    return text;
}

std::string digest(const std::string& bytes) {
    uint64_t h = 14695981039346656037ull;
    for (unsigned char c : bytes) {
        h ^= c;
        h *= 1099511628211ull;
    }
    char buf[17];
    std::snprintf(buf, sizeof(buf), "%016llx", static_cast<unsigned long long>(h));
    return buf;
}

std::string sectionDigests(const std::string& bytes) {
    const std::vector<Part> all = parts(bytes);
    std::string out;
    size_t i = 0;
    while (i < all.size()) {
        const std::string section = all[i].name.substr(0, all[i].name.find(" / "));
        const size_t begin = all[i].begin;
        while (i < all.size() && all[i].name.substr(0, all[i].name.find(" / ")) == section) ++i;
        const size_t end = all[i - 1].end;
        out += digest(bytes.substr(begin, end - begin)) + "  " + std::to_string(end - begin) + "  " + section + "\n";
    }
    return out;
}

}  // namespace savebytes
