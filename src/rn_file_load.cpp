// The save loader: the header check, the sections in file order over a fresh
// world, the translation of every saved index and id, the checks that keep a
// damaged file from leaving a world that would crash, and the rebuild passes.
#include "rn_file_load.h"

#include <allegro5/allegro.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <new>
#include <set>
#include <system_error>
#include <thread>
#include <type_traits>
#include <unordered_map>

#include "dax2/dax_error.h"
#include "dax2/dax_file.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_msg.h"
#include "dax2/dax_mptr.h"
#include "nex/tgraph.h"
#include "rn.h"
#include "rn_bld_bldr.h"
#include "rn_bld_deco.h"
#include "rn_bld_hous.h"
#include "rn_bld_mrkt.h"
#include "rn_bld_prod.h"
#include "rn_bld_road.h"
#include "rn_bld_serv.h"
#include "rn_bld_stor.h"
#include "rn_bld_texts.h"
#include "rn_game.h"
#include "rn_map.h"
#include "rn_trigger.h"
#include "rn_wlk_bldr.h"
#include "rn_wlk_mrkt.h"
#include "rn_wlk_prod.h"
#include "rn_wlk_serv.h"
#include "rn_wlk_stor.h"
#include "rn_workforce.h"

namespace {

// Bitmap entry numbers up to this are kept in a table; larger ones aside.
constexpr int32_t kDenseBitmaps = 1 << 20;
constexpr DaxBitmapIndex kNoEntry = INT32_MIN;
// The read buffer.
constexpr size_t kReadBuffer = 256 * 1024;

uint32_t typeKey(const RnObjectTypeID& t) { return t.packed(); }
uint64_t objectKey(const RnObjectID& id) {
    return (static_cast<uint64_t>(id.packed()) << 32) | static_cast<uint32_t>(id.bld_idx_);
}

// Whether a script path read from a save stays below the folders the game
// looks in: it is relative and no part of it is "..".
bool staysInDataFolders(const std::string& path) {
    if (path.empty() || path[0] == '/' || path[0] == '\\') return false;
    size_t start = 0;
    while (start <= path.size()) {
        const size_t end = path.find_first_of("/\\", start);
        const size_t stop = end == std::string::npos ? path.size() : end;
        if (path.compare(start, stop - start, "..") == 0) return false;
        start = stop + 1;
    }
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Remap tables

void RnLoadContext::buildBitmapRemap(const std::map<DaxBitmapKey, DaxBitmapIndex>& saved) {
    bitmaps_.clear();
    far_bitmaps_.clear();
    for (const auto& e : saved) {
        const DaxBitmapIndex found = dax_bitmaps.find(e.first);
        if ((found & ~1) < 0) continue;
        const int32_t n = e.second >> 1;
        if (n < 0) continue;
        if (n < kDenseBitmaps) {
            if (static_cast<size_t>(n) >= bitmaps_.size()) bitmaps_.resize(static_cast<size_t>(n) + 1, kNoEntry);
            bitmaps_[static_cast<size_t>(n)] = found;
        } else {
            far_bitmaps_[n] = found;
        }
    }
}

void RnLoadContext::remapBitmapId(DaxBitmapIndex& id) {
    const int32_t n = id >> 1;
    if (n < 0) return;
    DaxBitmapIndex found = kNoEntry;
    if (static_cast<size_t>(n) < bitmaps_.size()) {
        found = bitmaps_[static_cast<size_t>(n)];
    } else if (n >= kDenseBitmaps) {
        auto it = far_bitmaps_.find(n);
        if (it != far_bitmaps_.end()) found = it->second;
    }
    if (found == kNoEntry) daxRaiseError("bitmap index %d not found", n);
    const int32_t m = found >> 1;
    if (m == n) return;
    daxLogMessage(3, 1, "remap bmp idx %d to %d", n, m);
    id = found;
}

RnLoadContext::ObjectTable* RnLoadContext::tableOf(uint32_t key, bool add) {
    if (key == table_key_ && table_) return table_;
    if (add) {
        table_ = &objects_[key];
    } else {
        auto it = objects_.find(key);
        if (it == objects_.end()) return nullptr;
        table_ = &it->second;
    }
    table_key_ = key;
    return table_;
}

void RnLoadContext::addObject(const RnObjectID& saved_id, const RnObjectID& new_id) {
    ++object_count_;
    ObjectTable& table = *tableOf(typeKey(saved_id), true);
    ++table.count;
    const int64_t idx = saved_id.bld_idx_;
    // Saved instance indices are at most the saved list's length; holes of
    // removed objects make them larger than the count, seldom by much.
    const int64_t bound = 4 * static_cast<int64_t>(table.count) + 4096;
    if (idx >= 0 && idx < bound) {
        if (static_cast<size_t>(idx) >= table.dense.size()) table.dense.resize(static_cast<size_t>(idx) + 1);
        table.dense[static_cast<size_t>(idx)] = new_id;
    } else {
        far_objects_[objectKey(saved_id)] = new_id;
    }
    if (saved_id == last_saved_) last_new_ = new_id;
}

bool RnLoadContext::findObject(const RnObjectID& saved_id, RnObjectID& out) {
    if (saved_id == last_saved_) {
        out = last_new_;
        return true;
    }
    const ObjectTable* t = tableOf(typeKey(saved_id), false);
    if (t && saved_id.bld_idx_ >= 0 && static_cast<size_t>(saved_id.bld_idx_) < t->dense.size() &&
        t->dense[static_cast<size_t>(saved_id.bld_idx_)].bld_idx_ != -1) {
        out = t->dense[static_cast<size_t>(saved_id.bld_idx_)];
    } else {
        auto f = far_objects_.find(objectKey(saved_id));
        if (f == far_objects_.end()) return false;
        out = f->second;
    }
    last_saved_ = saved_id;
    last_new_ = out;
    return true;
}

bool RnLoadContext::remapOid(RnObjectID& id, bool tolerant) {
    if (id.bld_idx_ == -1 || id.kind_ >= RnIdScriptJob) return true;
    RnObjectID found;
    if (!findObject(id, found)) {
        if (!tolerant) daxRaiseError("oid [%hd:%hd,%d] to remap not found", id.kind_, id.type_idx_, id.bld_idx_);
        daxLogMessage(2, 1, "oid [%hd:%hd,%d] to remap not found", id.kind_, id.type_idx_, id.bld_idx_);
        id.setNull();
        return false;
    }
    if (found != id) {
        daxLogMessage(3, 1, "remap [%hd:%hd,%d] to [%hd:%hd,%d]", id.kind_, id.type_idx_, id.bld_idx_, found.kind_,
                      found.type_idx_, found.bld_idx_);
        id = found;
    }
    return true;
}

void RnLoadContext::remapStorage(RnObjectID& id) {
    remapOid(id, false);
    if (id.bld_idx_ != -1 && id.kind_ != RnIdBldStor)
        daxRaiseError("[%hd:%hd,%d] is not a storage", id.kind_, id.type_idx_, id.bld_idx_);
}

int16_t RnLoadContext::goodsIdx(int16_t saved) {
    if (saved < 0 || static_cast<size_t>(saved) >= goods_ids_.size()) daxRaiseError("unable to remap goods type");
    if (goods_now_.size() != goods_ids_.size()) goods_now_.assign(goods_ids_.size(), -1);
    int16_t& now = goods_now_[static_cast<size_t>(saved)];
    if (now < 0) now = grn_game.goodsTypeIdx(goods_ids_[static_cast<size_t>(saved)]);
    return now;
}

int16_t RnLoadContext::peopleIdx(int16_t saved) const {
    if (saved < 0 || static_cast<size_t>(saved) >= people_ids_.size()) daxRaiseError("unable to remap people type");
    return grn_game.peoplTypeIdx(people_ids_[static_cast<size_t>(saved)]);
}

// ---------------------------------------------------------------------------
// Reading

// The thread that reads the file ahead of the loader into a few buffers of
// the loader's size. It stops at the end of the file, at a read error, or
// when the loader is done with it; only then may the file be asked for its
// error.
class RnSaveLoader::ReadAhead {
public:
    explicit ReadAhead(ALLEGRO_FILE* file) : file_(file), thread_([this] { run(); }) {}
    ~ReadAhead() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Swaps the next filled buffer (its size: the bytes read) into buf,
    // whose old content is kept for reuse; false at the end. Raises
    // std::bad_alloc when the reader ran out of memory.
    bool next(RnReadBuffer& buf) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return !filled_.empty() || done_; });
        if (filled_.empty()) {
            if (no_memory_) throw std::bad_alloc();
            return false;
        }
        buf.swap(filled_.front());
        spare_.push_back(std::move(filled_.front()));
        filled_.pop_front();
        changed_.notify_all();
        return true;
    }

private:
    static constexpr size_t kBuffers = 64;

    void run() {
        for (;;) {
            RnReadBuffer buf;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [this] { return stop_ || filled_.size() < kBuffers; });
                if (stop_) break;
                if (!spare_.empty()) {
                    buf.swap(spare_.back());
                    spare_.pop_back();
                }
            }
            if (buf.capacity() < kReadBuffer) {
                try {
                    RnReadBuffer(kReadBuffer).swap(buf);
                } catch (const std::bad_alloc&) {
                    std::lock_guard<std::mutex> lock(mutex_);
                    no_memory_ = true;
                    break;
                }
            }
            const size_t got = al_fread(file_, buf.data(), buf.capacity());
            if (got == 0) break;
            buf.setSize(got);
            std::lock_guard<std::mutex> lock(mutex_);
            filled_.push_back(std::move(buf));
            changed_.notify_all();
        }
        std::lock_guard<std::mutex> lock(mutex_);
        done_ = true;
        changed_.notify_all();
    }

    ALLEGRO_FILE* file_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<RnReadBuffer> filled_;
    std::vector<RnReadBuffer> spare_;
    bool stop_ = false;
    bool done_ = false;
    bool no_memory_ = false;
    std::thread thread_;  // last: started once everything else is set up
};

RnSaveLoader::RnSaveLoader(ALLEGRO_FILE* file) : file_(file), buf_(kReadBuffer) { buf_.setSize(kReadBuffer); }

RnSaveLoader::~RnSaveLoader() = default;

void RnSaveLoader::startReadAhead() {
    // A read that did not fill the buffer reached the end of the file.
    if (ahead_ || end_ < buf_.size()) return;
    try {
        ahead_.reset(new ReadAhead(file_));
    } catch (const std::system_error&) {
        // No thread to be had: the loader reads the file itself.
    }
}

bool RnSaveLoader::refill() {
    if (ahead_) {
        // Called with the buffer used up (readUpTo): the next one takes
        // its place. At the end the reader has stopped, and the file may be
        // asked for its error.
        pos_ = 0;
        end_ = 0;
        if (!ahead_->next(buf_)) {
            ahead_.reset();
            buf_.setSize(buf_.capacity());
            return false;
        }
        end_ = buf_.size();
        return end_ > 0;
    }
    if (pos_ > 0) {
        std::memmove(buf_.data(), buf_.data() + pos_, end_ - pos_);
        end_ -= pos_;
        pos_ = 0;
    }
    if (end_ == buf_.size()) return true;
    const size_t got = al_fread(file_, buf_.data() + end_, buf_.size() - end_);
    end_ += got;
    return got > 0;
}

size_t RnSaveLoader::readUpTo(void* p, size_t n) {
    uint8_t* out = static_cast<uint8_t*>(p);
    size_t done = 0;
    while (done < n) {
        if (pos_ == end_ && !refill()) break;
        const size_t k = std::min(n - done, end_ - pos_);
        std::memcpy(out + done, buf_.data() + pos_, k);
        pos_ += k;
        done += k;
    }
    return done;
}

void RnSaveLoader::reportReadError(size_t n) {
    if (int e = al_ferror(file_)) {
        daxReportError("error %d reading %d bytes from file: %s", e, static_cast<int>(n), al_ferrmsg(file_));
    }
}

void RnSaveLoader::readSlow(void* p, size_t n, bool premature) {
    if (readUpTo(p, n) == n) return;
    reportReadError(n);
    if (premature) daxRaiseError("read error, premature end of file");
    daxRaiseError("couldn't read %d bytes from file", static_cast<int>(n));
}

int32_t RnSaveLoader::readInt32() {
    int32_t v = 0;
    i32(v);
    return v;
}

int16_t RnSaveLoader::readInt16() {
    int16_t v = 0;
    i16(v);
    return v;
}

void RnSaveLoader::readClockMemento(DaxGameClock::Memento& m) {
    uint8_t b[24];
    read(b, sizeof(b));
    m.magic_ = rnLoadLE<uint32_t>(b);
    m.pad0_ = 0;
    const uint64_t t = rnLoadLE<uint64_t>(b + 8);
    std::memcpy(&m.game_time_, &t, 8);
    m.speed_ = static_cast<int16_t>(rnLoadLE<uint16_t>(b + 16));
    m.flags_ = static_cast<int16_t>(rnLoadLE<uint16_t>(b + 18));
    m.pad1_ = 0;
}

void RnSaveLoader::checkTypeSize(const char* name, int32_t expected) {
    uint8_t b[4];
    read(b, 4, true);
    const int32_t v = static_cast<int32_t>(rnLoadLE<uint32_t>(b));
    if (v != expected)
        daxRaiseError("incompatible data types in savegame: %s expected size %d and read %d", name, expected, v);
}

void RnSaveLoader::checkTypeSignature(const char* name, int32_t expected) {
    uint8_t b[4];
    read(b, 4, true);
    const int32_t v = static_cast<int32_t>(rnLoadLE<uint32_t>(b));
    if (v != expected)
        daxRaiseError("incompatible data types in savegame: %s expected sig %d and read %d", name, expected, v);
}

bool RnSaveLoader::checkHeader(int32_t* version) {
    char magic[3] = {};
    if (readUpTo(magic, 3) < 3) {
        if (int e = al_ferror(file_)) {
            // zlib gives nothing of a small file whose check fails: the file
            // is a damaged save rather than a foreign one.
            daxReportError("error %d reading from file: %s", e, al_ferrmsg(file_));
            daxLogMessage(1, 1, "save game file is damaged: %s", al_ferrmsg(file_));
            return false;
        }
    }
    if (std::memcmp(magic, kRnSaveMagic, 3) != 0) {
        daxLogMessage(1, 1, "not a zor save game file");
        return false;
    }
    int32_t v[4];
    for (int32_t& x : v) x = readInt32();
    if (version) std::copy(v, v + 4, version);
    if (v[0] != kRnSaveVersion[0] || v[1] != kRnSaveVersion[1]) {
        daxLogMessage(2, 1, "different version in save: %d.%d.%d.%d where %d.%d is expected", v[0], v[1], v[2], v[3],
                      kRnSaveVersion[0], kRnSaveVersion[1]);
        return false;
    }
    for (const RnSaveTypeSize& row : kRnSaveTypeSizes) {
        if (row.signature) {
            checkTypeSignature(row.name, row.value);
        } else {
            checkTypeSize(row.name, row.value);
        }
    }
    if (readInt32() != kRnTagEnd) {
        daxLogMessage(1, 1, "incompatible savegame (%d.%d.%d.%d), first chunk expected", v[0], v[1], v[2], v[3]);
        return false;
    }
    daxLogMessage(2, 1, "version %d.%d.%d.%d", v[0], v[1], v[2], v[3]);
    return true;
}

namespace {

// The most people a map of side tiles can house: a house on every tile,
// each with as many people as a house can count.
int64_t mostPeople(int32_t side) {
    return static_cast<int64_t>(side) * side * static_cast<int64_t>(RnHousPersData::kPeopleMask);
}

}  // namespace

void RnSaveLoader::readGameFields(RnSaveGameFields& out) {
    out.money = readInt32();
    out.population = readInt32();
    out.map_side = readInt32();
    if (out.map_side < 1 || out.map_side > RnMap::kMaxSide)
        daxRaiseError("map side %d is not between 1 and %d", out.map_side, RnMap::kMaxSide);
    const int64_t most = mostPeople(out.map_side);
    if (out.population < 0 || out.population > most)
        daxRaiseError("population %d is not between 0 and %lld", out.population, static_cast<long long>(most));
    out.desirability_range = readInt16();
    if (out.desirability_range < 1 || out.desirability_range > 15)
        daxRaiseError("desirability range %d is not between 1 and 15", out.desirability_range);
    out.map_name = readString();
    out.game_name = readString();
    out.mini_map = readInt32() != 0;
    readClockMemento(out.clock);
    // Timers are absolute game times: a clock far out would overflow them,
    // and one that stands or runs backwards would stop the world.
    const double units = out.clock.game_time_ * 1.2;
    if (!(units >= 0.0 && units < kRnSaveTimeLimit)) daxRaiseError("game time %.0f is out of range", units);
    out.clock.speed_ = static_cast<int16_t>(
        std::min(std::max<int>(out.clock.speed_, dax_gameclock.minSpeed()), dax_gameclock.maxSpeed()));
    out.saved_value = readInt32();
    out.last_milestone = readInt32();
    if (out.last_milestone < 0 || out.last_milestone > most)
        daxRaiseError("last population milestone %d is not between 0 and %lld", out.last_milestone,
                      static_cast<long long>(most));
}

void RnSaveLoader::raiseTimeOutOfRange(DaxGameTime t) {
    daxRaiseError("time %u in the save is out of range", t.value());
}

void RnSaveLoader::readToEnd(const std::string& path) {
    pos_ = end_;
    while (refill()) pos_ = end_;
    if (al_ferror(file_)) daxRaiseError("save game file is damaged: %s", al_ferrmsg(file_));
    // zlib misses a trailer cut off where a read ended on the last byte of
    // the data: the trailer's size must be the size read.
    FILE_mptr raw(std::fopen(path.c_str(), "rb"));
    uint8_t head[2] = {};
    if (!raw || std::fread(head, 1, 2, raw.get()) != 2 || head[0] != 0x1f || head[1] != 0x8b) return;
    uint8_t tail[8] = {};
    const int64_t size = al_ftell(file_);
    if (std::fseek(raw.get(), -8, SEEK_END) != 0 || std::fread(tail, 1, 8, raw.get()) != 8 ||
        rnLoadLE<uint32_t>(tail + 4) != static_cast<uint32_t>(size))
        daxRaiseError("save game file is damaged: %s: its end is missing", path.c_str());
}

std::string RnSaveLoader::readString() {
    const uint32_t len = static_cast<uint32_t>(readInt32());
    if (len >= kRnSaveMaxString) daxRaiseError("can't read more than 1024 characters for one string: %u", len);
    char chars[kRnSaveMaxString];
    if (readUpTo(chars, len) != len) {
        reportReadError(len);
        daxRaiseError("couldn't read string of length %u from file", len);
    }
    return std::string(chars, ::strnlen(chars, len));
}

void RnSaveLoader::shortList(std::vector<int16_t>& v) {
    v.clear();
    const int32_t n = readInt32();
    for (int32_t i = 0; i < n; ++i) v.push_back(readInt16());
}

void RnSaveLoader::intList(std::vector<int32_t>& v) {
    v.clear();
    const int32_t n = readInt32();
    for (int32_t i = 0; i < n; ++i) v.push_back(readInt32());
}

RnLoadContext& RnSaveLoader::context() {
    DAX_ASSERT(ctx_);
    return *ctx_;
}

// ---------------------------------------------------------------------------
// Graphs and networks

namespace {

void readIdListOf(RnSaveLoader& in, nex::tIndexList& list) {
    in.checkTypeSize("_ListInf", 8);
    nex::tIndexList::Head_ h{};
    in.i32(h.used_);
    in.i32(h.count_);
    in.i32(h.free_count_);
    in.i32(h.free_head_);
    list.head() = h;
    nex::tIndexList::Links& links = list.links();
    links.resize(0);
    const int32_t n = in.readInt32();
    for (int32_t i = 0; i < n; ++i) {
        nex::tIndexList::Link_ l{};
        in.i32(l.prev_);
        in.i32(l.next_);
        links.append(l);
    }
}

// The text of a template library exception, as a raised error.
[[noreturn]] void raiseNex(const nex::tExceptBase& e) { daxRaiseError("damaged save: %s", e.text()); }

}  // namespace

void RnSaveLoader::readGraph(nex::tDiGraph& gr) {
    gr.clear(true);
    checkTypeSize("EdgeInf_", 16);
    checkTypeSize("NodeInf_", 24);
    readIdListOf(*this, gr.nodeIdList());
    readIdListOf(*this, gr.edgeIdList());
    int32_t n = readInt32();
    for (int32_t i = 0; i < n; ++i) {
        nex::tDiGraph::EdgeInf_ e{};
        i32(e.source_);
        i32(e.target_);
        i32(e.out_link_);
        i32(e.in_link_);
        gr.edgeTable().append(e);
    }
    n = readInt32();
    for (int32_t i = 0; i < n; ++i) {
        nex::tDiGraph::NodeInf_ r{};
        for (nex::tDiGraph::AdjHead* h : {&r.out_, &r.in_}) {
            i32(h->first_);
            i32(h->last_);
            i32(h->count_);
        }
        gr.nodeTable().append(r);
    }
    checkTypeSize("Head_", 12);
    checkTypeSize("Link_", 12);
    nex::tDiGraph::AdjPool& pool = gr.adjacencyHead();
    i32(pool.used_);
    i32(pool.count_);
    i32(pool.free_count_);
    i32(pool.free_head_);
    nex::tDiGraph::AdjTable& cells = gr.adjacencyLinks();
    cells.resize(0);
    n = readInt32();
    for (int32_t i = 0; i < n; ++i) {
        nex::tDiGraph::AdjLink c{};
        i32(c.prev_);
        i32(c.next_);
        i32(c.edge_);
        cells.append(c);
    }
    gr.setSuperGraph(nullptr);
    try {
        gr.verify();
    } catch (const nex::tExceptBase& e) {
        raiseNex(e);
    }
}

void RnSaveLoader::readStorageNetwork(RnStorageNetwork& net) {
    readGraph(net.gr_);
    const nex::tDiGraph& gr = net.gr_;
    net.nodeObjects().resize(0);
    net.nodeObjects().resizeFill(gr.nodeLimit() - 1, RnObjectID());
    int32_t n = readInt32();
    for (int32_t i = 0; i < n; ++i) {
        const int32_t node = readInt32();
        RnObjectID oid;
        this->oid(oid);
        context().remapStorage(oid);
        net.nodeObjects().at(node - 1) = oid;
    }
    net.edgeRecords().resize(0);
    net.edgeRecords().resizeFill(gr.edgeLimit() - 1, RnStorNetEdgeData());
    n = readInt32();
    for (int32_t i = 0; i < n; ++i) {
        const int32_t edge = readInt32();
        RnStorNetEdgeData d;
        pos(d.start_);
        i16(d.dist_);
        u16(d.len_);
        bytes(d.steps_, sizeof(d.steps_));
        net.edgeRecords().at(edge - 1) = d;
    }
    net.linksChanged();
}

void RnSaveLoader::readWorkforce(RnWorkforce& wkf, int16_t ppl_idx) {
    RnLoadContext& ctx = context();
    const int16_t saved_idx = readInt16();
    const int16_t idx = ctx.peopleIdx(saved_idx);
    if (idx != ppl_idx) daxRaiseError("workforce of people type index %d names index %d", ppl_idx, idx);
    wkf.people_type_idx_ = idx;
    wkf.oid_node_map_ = RnOidNodeMap();
    int32_t n = readInt32();
    // The hash index takes the count as read, within reason for a damaged
    // file.
    wkf.oid_node_map_.reserve(static_cast<size_t>(std::min(std::max(n, 0), 1 << 20)));
    for (int32_t i = 0; i < n; ++i) {
        RnObjectID oid;
        this->oid(oid);
        const int32_t node = readInt32();
        ctx.remapOid(oid, false);
        wkf.oid_node_map_.set(oid, node);
    }
    RnWorkforce::GraphImage image;
    readGraph(image.graph);
    const nex::tDiGraph& gr = image.graph;
    wkf.node_data_.resize(0);
    wkf.node_data_.resizeFill(gr.nodeLimit() - 1, RnWorkforce::NodeData());
    n = readInt32();
    for (int32_t i = 0; i < n; ++i) {
        const int32_t node = readInt32();
        RnWorkforce::NodeData d;
        oid(d.oid_);
        u16(d.people_);
        u16(d.range_);
        flag(d.is_source_);
        pad(1);
        u16(d.ppl_assigned_);
        wkf.node_data_.at(node - 1) = d;
    }
    for (int32_t node = gr.firstNode(); node != 0; node = gr.nextNode(node))
        ctx.remapOid(wkf.node_data_.at(node - 1).oid_, false);
    image.edges.assign(static_cast<size_t>(std::max(gr.edgeLimit() - 1, 0)), RnWorkforce::EdgeData());
    n = readInt32();
    for (int32_t i = 0; i < n; ++i) {
        const int32_t edge = readInt32();
        RnWorkforce::EdgeData d;
        u16(d.assigned_);
        pad(2);
        f32(d.dist_);
        if (edge < 1 || edge >= gr.edgeLimit())
            daxRaiseError("workforce of people type index %d: edge %d is damaged", idx, edge);
        image.edges[static_cast<size_t>(edge - 1)] = d;
    }
    i32(wkf.total_workers_);
    i32(wkf.total_jobs_);
    i32(wkf.total_assignments_);

    // What the network's operations rely on, checked before they run.
    const int32_t nodes = gr.nodeCount();
    if (static_cast<int64_t>(wkf.oid_node_map_.size()) != nodes)
        daxRaiseError("workforce of people type index %d: %d buildings for %d nodes", idx,
                      static_cast<int>(wkf.oid_node_map_.size()), nodes);
    for (const auto& e : wkf.oid_node_map_.ordered()) {
        const RnObjectID& oid = e.first;
        if (!gr.isNode(e.second) || wkf.nodeData(e.second).oid_ != oid || !oid.isBuilding() ||
            oid.kind_ > RnIdBldBldr || !grn_game.objectByOid(oid))
            daxRaiseError("workforce of people type index %d: node %d of [%hd:%hd,%d] is damaged", idx, e.second,
                          oid.kind_, oid.type_idx_, oid.bld_idx_);
    }
    // Each edge runs from a house to a workplace; the workers the edges of
    // a node carry add up to the node's assigned workers. The edges are
    // taken in table order (the graph check made sure each sits in the
    // lists of its two ends once).
    std::vector<int64_t> carried(static_cast<size_t>(gr.nodeLimit()), 0);
    for (int32_t e = gr.firstEdge(); e != 0; e = gr.nextEdge(e)) {
        const RnWorkforce::EdgeData& ed = image.edgeData(e);
        const int32_t from = gr.edgeSource(e);
        const int32_t to = gr.edgeTarget(e);
        if (!std::isfinite(ed.dist_) || ed.dist_ < 0.0f || !wkf.nodeData(from).is_source_ ||
            wkf.nodeData(to).is_source_)
            daxRaiseError("workforce of people type index %d: node %d is damaged", idx,
                          wkf.nodeData(from).is_source_ ? to : from);
        carried[static_cast<size_t>(from)] += ed.assigned_;
        carried[static_cast<size_t>(to)] += ed.assigned_;
    }
    int64_t workers = 0;
    int64_t jobs = 0;
    int64_t assigned = 0;
    for (int32_t node = gr.firstNode(); node != 0; node = gr.nextNode(node)) {
        const RnWorkforce::NodeData& d = wkf.nodeData(node);
        const bool house = d.oid_.kind_ == RnIdBldHous;
        bool bad = d.is_source_ != house || d.ppl_assigned_ > d.people_ ||
                   carried[static_cast<size_t>(node)] != d.ppl_assigned_;
        if (house && !bad) bad = grn_game.housByOid(d.oid_).curNumWorkers() != d.people_;
        if (bad) daxRaiseError("workforce of people type index %d: node %d is damaged", idx, node);
        (d.is_source_ ? workers : jobs) += d.people_;
        if (d.is_source_) assigned += d.ppl_assigned_;
    }
    if (wkf.total_workers_ != workers || wkf.total_jobs_ != jobs || wkf.total_assignments_ != assigned)
        daxRaiseError("workforce of people type index %d: totals %d, %d, %d do not match", idx, wkf.total_workers_,
                      wkf.total_jobs_, wkf.total_assignments_);
    // The network keeps each edge once and finds the rest from the
    // positions; a graph it would not save again as read is refused.
    if (!wkf.restoreGraph(image))
        daxRaiseError("workforce of people type index %d: the edges are not those of the buildings' places", idx);
}

// ---------------------------------------------------------------------------
// The sections

namespace {

class GameReader {
public:
    GameReader(RnSaveLoader& in, RnLoadContext& ctx) : in_(in), ctx_(ctx) {}

    // Everything after the header up to the end tag.
    void read();

    float view_x_ = -1.0f;
    float view_y_ = -1.0f;

private:
    void readGameFields();
    void readTypeTables();
    void readIdList(std::vector<int32_t>& ids, const char* what);
    void readInstanceSection();
    void readBuildingBlock(int16_t kind);
    void readWalkerBlock(int16_t kind);
    template <class Obj, class List>
    void readInstances(List& list, const RnObjectTypeID& otx);
    void checkBuildings(int16_t kind, int16_t idx);
    void checkStorageNetwork(int16_t idx);
    void fixWalkers();
    void readMapTiles();
    void checkFootprints(int64_t built);
    void checkWalkerLists(const std::vector<DaxMapPositionI>& heads);
    void readUpdateQueue();
    void readTrigger();
    void showMiniMap(bool show) {
        if (grn_save_view) grn_save_view->showMiniMap(show);
    }

    RnSaveLoader& in_;
    RnLoadContext& ctx_;
    std::set<uint32_t> blocks_;  // (kind, type index) read already
};

void GameReader::read() {
    readGameFields();
    if (in_.readInt32() != kRnTagBitmaps) daxRaiseError("BmpIdx expected, can't continue loading");
    {
        std::map<DaxBitmapKey, DaxBitmapIndex> saved;
        const int32_t n = in_.readInt32();
        for (int32_t i = 0; i < n; ++i) {
            DaxBitmapKey key;
            key.name_ = in_.readString();
            in_.i16(key.variant_);
            in_.i16(key.flag_);
            DaxBitmapIndex id = -2;
            in_.i32(id);
            saved[key] = id;
        }
        ctx_.buildBitmapRemap(saved);
    }
    readTypeTables();
    int32_t tag = in_.readInt32();
    while (tag == kRnTagInstances) {
        readInstanceSection();
        tag = in_.readInt32();
    }
    fixWalkers();
    if (tag != kRnTagMap) daxRaiseError("map expected");
    readMapTiles();
    in_.f32(view_x_);
    in_.f32(view_y_);
    readUpdateQueue();
    tag = in_.readInt32();
    while (tag == kRnTagWorkforce) {
        const int32_t id = in_.readInt32();
        const int16_t idx = grn_game.peoplTypeIdx(id);
        if (idx < 0) daxRaiseError("people type %d does not exist", id);
        in_.readWorkforce(grn_game.peoplType(idx).workforce_, idx);
        tag = in_.readInt32();
    }
    if (tag == kRnTagTrigger) {
        readTrigger();
        tag = in_.readInt32();
    }
    if (tag == kRnTagMiniMap) {
        showMiniMap((in_.readInt32() & 1) != 0);
        tag = in_.readInt32();
    }
    if (tag != kRnTagEnd) daxRaiseError("unexpected data behind last expected chunk");
}

void GameReader::readGameFields() {
    RnSaveGameFields f;
    in_.readGameFields(f);
    if (f.map_side != grn_map.size()) daxRaiseError("map has changed size, can't load");
    grn_game.money_ = f.money;
    // Taken again from the houses once they are read.
    grn_game.population_ = static_cast<uint32_t>(f.population);
    grn_game.map_range_desirability_ = f.desirability_range;
    grn_game.map_name_ = f.map_name;
    grn_game.game_name_ = f.game_name;
    showMiniMap(f.mini_map);
    dax_gameclock.setMemento(f.clock);
    grn_game.saved_value_ = f.saved_value;
    grn_game.last_milestone_ = static_cast<uint32_t>(f.last_milestone);
}

void GameReader::readIdList(std::vector<int32_t>& ids, const char* what) {
    ids.clear();
    const int32_t n = in_.readInt32();
    for (int32_t i = 0; i < n; ++i) {
        const int32_t id = in_.readInt32();
        if (static_cast<int16_t>(i) != static_cast<int64_t>(ids.size()))
            daxRaiseError("wrong index for %s type index", what);
        ids.push_back(id);
    }
}

void GameReader::readTypeTables() {
    ctx_.building_types_.clear();
    int32_t n = in_.readInt32();
    for (int32_t i = 0; i < n; ++i) {
        const int32_t id = in_.readInt32();
        RnLoadContext::SavedBuildingType t;
        in_.i16(t.width);
        in_.i16(t.height);
        in_.otx(t.otx);
        ctx_.building_types_[id] = t;
    }
    readIdList(ctx_.people_ids_, "people");
    readIdList(ctx_.goods_ids_, "goods");
    ctx_.walker_types_.clear();
    n = in_.readInt32();
    for (int32_t i = 0; i < n; ++i) {
        const int32_t id = in_.readInt32();
        RnObjectTypeID otx;
        in_.otx(otx);
        ctx_.walker_types_[id] = otx;
    }
}

void GameReader::readInstanceSection() {
    const int32_t kind = in_.readInt32();
    const int32_t blocks = in_.readInt32();
    if (kind >= 1 && kind <= 15) {
        for (int32_t i = 0; i < blocks; ++i) readBuildingBlock(static_cast<int16_t>(kind));
    } else if (kind >= 16 && kind <= 31) {
        for (int32_t i = 0; i < blocks; ++i) readWalkerBlock(static_cast<int16_t>(kind));
    } else {
        daxRaiseError("unexpected bld_id found: %d", kind);
    }
}

template <class Obj, class List>
void GameReader::readInstances(List& list, const RnObjectTypeID& otx) {
    list.clear();
    const int32_t n = in_.readInt32();
    for (int32_t i = 0; i < n; ++i) {
        // Filled in its slot: a copy of a loaded object would copy its maps.
        const int32_t idx = list.add(Obj());
        Obj& obj = list[idx];
        obj.load(in_, ctx_);
        const RnObjectID saved = obj.oid_;
        if (saved.kind_ != otx.kind_)
            daxRaiseError("object [%hd:%hd,%d] found among the objects of kind %d", saved.kind_, saved.type_idx_,
                          saved.bld_idx_, otx.kind_);
        const RnObjectID now(otx, idx);
        ctx_.addObject(saved, now);
        obj.oid_ = now;
        if (!obj.is_active_) daxRaiseError("can't read inactive object");
    }
}

void GameReader::readBuildingBlock(int16_t kind) {
    const int32_t id = in_.readInt32();
    const int16_t w = in_.readInt16();
    const int16_t h = in_.readInt16();
    auto it = ctx_.building_types_.find(id);
    if (it == ctx_.building_types_.end()) daxRaiseError("type %d not found, can't load", id);
    if (it->second.otx.kind_ != kind)
        daxRaiseError("wrong building type %hd, expected was %d", it->second.otx.kind_, kind);
    const int16_t idx = grn_game.typeIdxOfKey(kind, static_cast<unsigned>(id));
    const RnObjectTypeID otx(kind, idx);
    RnGenericBuildingType& type = grn_game.buildingType(otx);
    if (w != type.width_ || h != type.height_)
        daxRaiseError("tile has different size: %d,%d when %d,%d is expected", w, h, type.width_, type.height_);
    if (kind == RnIdBldRoad || kind == RnIdBldHous) {
        const int32_t highest = in_.readInt32();
        const size_t levels = kind == RnIdBldRoad ? grn_game.roadType(idx).level_descs_.size()
                                                  : grn_game.housType(idx).level_descs_.size();
        if (highest >= static_cast<int64_t>(levels))
            daxRaiseError(kind == RnIdBldRoad ? "missing levels for road type %d" : "missing levels for house type %d",
                          id);
    }
    if (!blocks_.insert(otx.packed()).second) daxRaiseError("type %d is saved twice", id);
    switch (kind) {
    case RnIdBldRoad: readInstances<RnRoad>(grn_game.roadType(idx).instances_, otx); break;
    case RnIdBldHous: readInstances<RnHous>(grn_game.housType(idx).instances_, otx); break;
    case RnIdBldServ: readInstances<RnServ>(grn_game.servType(idx).instances_, otx); break;
    case RnIdBldStor:
        readInstances<RnStor>(grn_game.storType(idx).instances_, otx);
        in_.readStorageNetwork(grn_game.storType(idx).network_);
        checkStorageNetwork(idx);
        break;
    case RnIdBldProd: readInstances<RnProd>(grn_game.prodType(idx).instances_, otx); break;
    case RnIdBldMrkt: readInstances<RnMrkt>(grn_game.mrktType(idx).instances_, otx); break;
    case RnIdBldDeco: readInstances<RnDeco>(grn_game.decoType(idx).instances_, otx); break;
    case RnIdBldBldr: readInstances<RnBldr>(grn_game.bldrType(idx).instances_, otx); break;
    default: daxRaiseError("unexpected bld_id found: %d", kind);
    }
    checkBuildings(kind, idx);
}

// A material store whose times lie ahead of the clock or run backwards
// would break the wear arithmetic.
template <class Map>
void checkMaterial(const Map& store, const RnGenericBuilding& b) {
    const uint32_t now = dax_gameclock.gameTime().value();
    for (const auto& m : store) {
        if (m.second.time_level1_.value() > now || m.second.time_level0_.value() < m.second.time_level1_.value())
            daxRaiseError("material of [%hd:%hd,%d] is damaged", b.oid_.kind_, b.oid_.type_idx_, b.oid_.bld_idx_);
    }
}

template <class List, class Fn>
void eachBuilding(List& list, Fn fn) {
    for (auto& b : list) {
        fn(b);
        if (!grn_map.isOnMap(b.pos_on_map_))
            daxRaiseError("building [%hd:%hd,%d] is not on the map", b.oid_.kind_, b.oid_.type_idx_, b.oid_.bld_idx_);
    }
}

void GameReader::checkBuildings(int16_t kind, int16_t idx) {
    switch (kind) {
    case RnIdBldRoad: {
        const size_t levels = grn_game.roadType(idx).level_descs_.size();
        eachBuilding(grn_game.roadType(idx).instances_, [&](const RnRoad& r) {
            if (r.cur_level_ >= levels) daxRaiseError("road [%hd:%hd,%d] is at a level its type lacks", r.oid_.kind_,
                                                      r.oid_.type_idx_, r.oid_.bld_idx_);
        });
        break;
    }
    case RnIdBldHous: {
        const size_t levels = grn_game.housType(idx).level_descs_.size();
        // (Service types the model lacks are refused as the house is read.)
        eachBuilding(grn_game.housType(idx).instances_, [&](const RnHous& hs) {
            if (static_cast<size_t>(hs.curLevel()) >= levels)
                daxRaiseError("house [%hd:%hd,%d] is at a level its type lacks", hs.oid_.kind_, hs.oid_.type_idx_,
                              hs.oid_.bld_idx_);
            // A ruin has nobody living in it.
            if (hs.isDestroyed() && hs.people() != 0)
                daxRaiseError("house [%hd:%hd,%d] is a ruin with %d people", hs.oid_.kind_, hs.oid_.type_idx_,
                              hs.oid_.bld_idx_, hs.people());
            checkMaterial(hs.material_in_store_, hs);
        });
        break;
    }
    case RnIdBldServ: eachBuilding(grn_game.servType(idx).instances_, [](const RnServ& b) { checkMaterial(b.material_in_store_, b); }); break;
    case RnIdBldStor: eachBuilding(grn_game.storType(idx).instances_, [](const RnStor& b) { checkMaterial(b.material_in_store_, b); }); break;
    case RnIdBldProd:
        eachBuilding(grn_game.prodType(idx).instances_, [](const RnProd& b) {
            checkMaterial(b.material_in_store_, b);
            for (int32_t packed : b.marked_tiles_) {
                const DaxMapPositionI p(static_cast<int16_t>(packed & 0xFFFF), static_cast<int16_t>(packed >> 16));
                if (!grn_map.isOnMap(p))
                    daxRaiseError("production [%hd:%hd,%d] marks a tile off the map", b.oid_.kind_, b.oid_.type_idx_,
                                  b.oid_.bld_idx_);
            }
        });
        break;
    case RnIdBldMrkt: eachBuilding(grn_game.mrktType(idx).instances_, [](const RnMrkt& b) { checkMaterial(b.material_in_store_, b); }); break;
    case RnIdBldDeco: eachBuilding(grn_game.decoType(idx).instances_, [](const RnDeco& b) { checkMaterial(b.material_in_store_, b); }); break;
    case RnIdBldBldr: eachBuilding(grn_game.bldrType(idx).instances_, [](const RnBldr& b) { checkMaterial(b.material_in_store_, b); }); break;
    default: break;
    }
}

// The nodes of a storage network and the storages of its type name each
// other; the links start on the map and hold steps.
void GameReader::checkStorageNetwork(int16_t idx) {
    RnStorType& type = grn_game.storType(idx);
    const nex::tDiGraph& gr = type.network_.gr_;
    for (int32_t n = gr.firstNode(); n != 0; n = gr.nextNode(n)) {
        const RnObjectID& oid = type.network_.nodeObject(n);
        const RnStor* s = oid.kind_ == RnIdBldStor && oid.type_idx_ == idx ? rnLiveInstance(type.instances_, oid.bld_idx_)
                                                                           : nullptr;
        if (!s || s->network_node_ != n) daxRaiseError("storage network of type %d: node %d is damaged", type.type_id_, n);
    }
    for (const RnStor& s : type.instances_) {
        if (s.network_node_ != 0 && (!gr.isNode(s.network_node_) || type.network_.nodeObject(s.network_node_) != s.oid_))
            daxRaiseError("storage [%hd:%hd,%d] names node %d of its network", s.oid_.kind_, s.oid_.type_idx_,
                          s.oid_.bld_idx_, s.network_node_);
    }
    for (int32_t e = gr.firstEdge(); e != 0; e = gr.nextEdge(e)) {
        const RnStorNetEdgeData& d = type.network_.edgeData(e);
        bool bad = !grn_map.isOnMap(d.start_);
        for (int i = 0; i < std::min<int>(d.len_, static_cast<int>(sizeof(d.steps_))) && !bad; ++i)
            bad = d.steps_[i] < DirXPlus || d.steps_[i] > DirYMinus;
        if (bad) daxRaiseError("storage network of type %d: link %d is damaged", type.type_id_, e);
    }
}

void GameReader::readWalkerBlock(int16_t kind) {
    const int32_t id = in_.readInt32();
    auto it = ctx_.walker_types_.find(id);
    if (it == ctx_.walker_types_.end()) daxRaiseError("type %d not found, can't load", id);
    // Production and storage walker types share the goods types' ids.
    if (kind != RnIdWlkProd && kind != RnIdWlkStor && it->second.kind_ != kind)
        daxRaiseError("wrong walker type %hd, expected was %d", it->second.kind_, kind);
    const int16_t idx = grn_game.typeIdxOfKey(kind, static_cast<unsigned>(id));
    const RnObjectTypeID otx(kind, idx);
    if (!blocks_.insert(otx.packed()).second) daxRaiseError("type %d is saved twice", id);
    switch (kind) {
    case RnIdWlkServ: readInstances<RnWalkerServ>(grn_game.servWalkerType(idx).instances_, otx); break;
    case RnIdWlkProd: readInstances<RnWalkerProd>(grn_game.prodWalkerType(idx).instances_, otx); break;
    case RnIdWlkMrkt: readInstances<RnWalkerMrkt>(grn_game.mrktWalkerType(idx).instances_, otx); break;
    case RnIdWlkStor: readInstances<RnWalkerStor>(grn_game.storWalkerType(idx).instances_, otx); break;
    case RnIdWlkBldr: readInstances<RnWalkerBldr>(grn_game.bldrWalkerType(idx).instances_, otx); break;
    default: daxRaiseError("unexpected bld_id found: %d", kind);
    }
}

// A waypoint inside the map (tile centres are x + 0.5, y + 0.5).
bool isOnMapPoint(const RnWalkerWaypoint& w) {
    const float side = static_cast<float>(grn_map.size());
    return std::isfinite(w.x_) && std::isfinite(w.y_) && w.x_ >= 0.0f && w.y_ >= 0.0f && w.x_ < side && w.y_ < side;
}

// The cached steps lead from the tile the walker stands on (or heads for)
// over tiles of the map, one direction each.
bool isSoundPath(const RnWalkerGeneric& w) {
    const int n = w.cachedSteps();
    if (n > RnWalkerPersData::kMaxSteps) return false;
    DaxMapPositionI p = w.tilePos();
    for (int i = 0; i < n; ++i) {
        const int dir = w.steps_[i];
        if (dir < DirXPlus || dir > DirYMinus) return false;
        p = p + daxDirectionOffset(dir);
        if (!grn_map.isOnMap(p)) return false;
    }
    return true;
}

// The tile whose walker list holds the walker: while in the first half of a
// move the one it left, else the one it heads for.
DaxMapPositionI listTile(const RnWalkerGeneric& w) {
    const RnWalkerWaypoint& p = w.phase() == RnWalkerPersData::kFirstHalf ? w.at_ : w.to_;
    return DaxMapPositionI(static_cast<int>(p.x_), static_cast<int>(p.y_));
}

template <class Types>
void fixWalkersOf(RnLoadContext& ctx, Types& types, bool searching) {
    for (auto& type : types) {
        for (auto& w : type.instances_) {
            ctx.remapBitmapId(w.image_);
            ctx.remapOid(w.home_oid_, w.isFinished());
            ctx.remapOid(w.next_walker_, false);
            if (searching) {
                if (!ctx.remapOid(w.target_building_oid_, true)) w.forgetPath();
            } else {
                ctx.remapOid(w.target_building_oid_, w.isFinished());
            }
            const RnObjectID& id = w.oid_;
            const bool bad_home = w.home_oid_.bld_idx_ != -1 && !(w.home_oid_.isBuilding() && w.home_oid_.kind_ <= RnIdBldBldr);
            // A walker heads for a building or for nothing, never for a road.
            const RnObjectID& target = w.target_building_oid_;
            const bool bad_target = !(target.isNull() && target.bld_idx_ == -1) &&
                                    !(target.isBuilding() && target.kind_ <= RnIdBldBldr);
            const bool bad_next = w.next_walker_.bld_idx_ != -1 && !w.next_walker_.isWalker();
            const bool bad_place = !isOnMapPoint(w.from_) || !isOnMapPoint(w.at_) || !isOnMapPoint(w.to_) ||
                                   !isSoundPath(w);
            if (bad_home || bad_target || bad_next || bad_place)
                daxRaiseError("walker [%hd:%hd,%d] is damaged", id.kind_, id.type_idx_, id.bld_idx_);
        }
    }
}

void GameReader::fixWalkers() {
    fixWalkersOf(ctx_, grn_game.servWalkerTypes(), true);
    fixWalkersOf(ctx_, grn_game.prodWalkerTypes(), false);
    fixWalkersOf(ctx_, grn_game.mrktWalkerTypes(), true);
    fixWalkersOf(ctx_, grn_game.storWalkerTypes(), false);
    fixWalkersOf(ctx_, grn_game.bldrWalkerTypes(), true);
}

[[noreturn]] void raiseNotThere(const DaxMapPositionI& p, const RnObjectID& id) {
    daxRaiseError("tile %d,%d names [%hd:%hd,%d], which does not stand there", p.x, p.y, id.kind_, id.type_idx_,
                  id.bld_idx_);
}

void GameReader::readMapTiles() {
    const int32_t side = in_.readInt32();
    if (side != grn_map.size()) daxRaiseError("map has changed size, can't load");
    // The tiles are overwritten one by one below.
    grn_map.objectsReplaced();
    const int32_t k = in_.readInt32();
    std::vector<DaxMapPositionI> heads;
    int64_t built = 0;
    for (int32_t i = 0; i < k; ++i) {
        DaxMapPositionI p;
        in_.pos(p);
        RnMapTile t;
        in_.i32(t.gnd_bmp_idx_);
        in_.i32(t.second_bmp_idx_);
        in_.oid(t.oid_);
        in_.oid(t.walker_head_);
        in_.i16(t.terrain_idx_);
        in_.i16(t.desirability_);
        in_.u16(t.flags_);
        in_.pad(2);
        t.road_speed_ = 0;
        if (!grn_map.isOnMap(p)) daxRaiseError("tile position %d,%d is not on the map", p.x, p.y);
        ctx_.remapBitmapId(t.gnd_bmp_idx_);
        ctx_.remapBitmapId(t.second_bmp_idx_);
        RnMapTile& cur = grn_map.tile(p);
        const RnTerrain& terrain = grn_game.terrain(cur.terrain_idx_);
        const uint16_t old_flags = t.flags_;
        if (t.oid_.bld_idx_ == -1 && t.walker_head_.bld_idx_ == -1) {
            if (t.terrain_idx_ != cur.terrain_idx_) {
                daxLogMessage(1, 1, "set new terrain type %d at pos %d,%d", cur.terrain_idx_, p.x, p.y);
                t.terrain_idx_ = cur.terrain_idx_;
            }
            t.flags_ = static_cast<uint16_t>((t.flags_ & ~7u) | (terrain.flags_ & 7));
        } else {
            if (t.terrain_idx_ != cur.terrain_idx_)
                daxRaiseError("map has changed at a spot where something is built (%d,%d), con't load", p.x, p.y);
            t.flags_ = static_cast<uint16_t>((t.flags_ & ~6u) | (terrain.flags_ & 6));
            ctx_.remapOid(t.oid_, false);
            ctx_.remapOid(t.walker_head_, false);
        }
        if (t.flags_ != old_flags) daxLogMessage(1, 1, "repair tile properties at pos %d,%d", p.x, p.y);
        // What stands on the tile must be a road or building (that it
        // covers the tile is checked once all tiles are in).
        const RnObjectID none;
        if (t.oid_ != none) {
            if (!(t.oid_.isRoadOrBuilding() && t.oid_.kind_ <= RnIdBldBldr)) raiseNotThere(p, t.oid_);
            ++built;
        }
        if (t.walker_head_ != none) {
            if (!t.walker_head_.isWalker()) daxRaiseError("walker list of tile %d,%d is damaged", p.x, p.y);
            heads.push_back(p);
        }
        cur = t;
    }
    checkFootprints(built);
    checkWalkerLists(heads);
}

// Every tile that names a road or building lies in its footprint: the
// footprints, walked building by building, hold as many tiles naming their
// building as the map holds tiles naming one. Only when they do not is the
// map searched for the tile to name.
void GameReader::checkFootprints(int64_t built) {
    int64_t covered = 0;
    auto count = [&covered](const auto& types) {
        for (const auto& type : types) {
            for (const auto& b : type.instances_) {
                for (int x = b.pos_on_map_.x - type.width_ + 1; x <= b.pos_on_map_.x; ++x) {
                    for (int y = b.pos_on_map_.y - type.height_ + 1; y <= b.pos_on_map_.y; ++y)
                        covered += grn_map.isOnMap(x, y) && grn_map.tile(x, y).oid_ == b.oid_ ? 1 : 0;
                }
            }
        }
    };
    count(grn_game.roadTypes());
    count(grn_game.housTypes());
    count(grn_game.servTypes());
    count(grn_game.storTypes());
    count(grn_game.prodTypes());
    count(grn_game.mrktTypes());
    count(grn_game.decoTypes());
    count(grn_game.bldrTypes());
    if (covered == built) return;
    for (int x = 0; x < grn_map.size(); ++x) {
        for (int y = 0; y < grn_map.size(); ++y) {
            const RnObjectID& id = grn_map.tile(x, y).oid_;
            if (id.bld_idx_ == -1) continue;
            const RnGenericBuilding* b = static_cast<RnGenericBuilding*>(grn_game.objectByOid(id));
            const RnGenericBuildingType& bt = grn_game.buildingType(id.typeId());
            if (!b || x > b->pos_on_map_.x || x <= b->pos_on_map_.x - bt.width_ || y > b->pos_on_map_.y ||
                y <= b->pos_on_map_.y - bt.height_)
                raiseNotThere(DaxMapPositionI(x, y), id);
        }
    }
}

// Every walker is on the list of its tile once, and the lists end.
void GameReader::checkWalkerLists(const std::vector<DaxMapPositionI>& heads) {
    std::set<uint64_t> seen;
    for (const DaxMapPositionI& p : heads) {
        RnObjectID cur = grn_map.tile(p).walker_head_;
        while (cur.bld_idx_ != -1) {
            RnGenericObject* o = cur.isWalker() ? grn_game.objectByOid(cur) : nullptr;
            if (!o || !seen.insert(objectKey(cur)).second)
                daxRaiseError("walker list of tile %d,%d is damaged", p.x, p.y);
            const RnWalkerGeneric& w = grn_game.walkerByOid(cur);
            if (listTile(w) != p) daxRaiseError("walker list of tile %d,%d is damaged", p.x, p.y);
            cur = w.next_walker_;
        }
    }
    size_t walkers = 0;
    auto count = [&walkers](const auto& types) {
        for (const auto& t : types) walkers += static_cast<size_t>(t.instances_.liveCount());
    };
    count(grn_game.servWalkerTypes());
    count(grn_game.prodWalkerTypes());
    count(grn_game.mrktWalkerTypes());
    count(grn_game.storWalkerTypes());
    count(grn_game.bldrWalkerTypes());
    if (walkers != seen.size()) daxRaiseError("%d walkers are on no tile", static_cast<int>(walkers - seen.size()));
}

void GameReader::readUpdateQueue() {
    const int32_t seq = in_.readInt32();
    RnGameUpdateQueue::ObjectMap objects;
    int32_t n = in_.readInt32();
    for (int32_t i = 0; i < n; ++i) {
        RnGameUpdateQueue::Pending p;
        in_.oid(p.oid);
        in_.time(p.time);
        ctx_.remapOid(p.oid, false);
        objects.push_back(p);
    }
    RnGameUpdateQueue::JobList jobs;
    n = in_.readInt32();
    for (int32_t i = 0; i < n; ++i) {
        RnGameUpdateQueue::Job j;
        in_.oid(j.oid);
        in_.time(j.time_for_next_update);
        in_.u32(j.seq);
        ctx_.remapOid(j.oid, false);
        if (j.oid.kind_ < RnIdScriptJob && !grn_game.objectByOid(j.oid))
            daxRaiseError("update queue names no object [%hd:%hd,%d]", j.oid.kind_, j.oid.type_idx_, j.oid.bld_idx_);
        // A walker is woken at its wake time, never before.
        if (j.oid.isWalker() && j.oid.kind_ <= RnIdWlkBldr &&
            j.time_for_next_update.value() < grn_game.walkerByOid(j.oid).wake_time_.value())
            daxRaiseError("walker [%hd:%hd,%d] is due before its time", j.oid.kind_, j.oid.type_idx_, j.oid.bld_idx_);
        jobs.push_back(j);
    }
    if (!grn_game.updateQueue().restore(seq, objects, std::move(jobs))) daxRaiseError("update queue is damaged");
}

// A string slot of a script value: 4 bytes that carry nothing, 16
// characters with the terminating NUL at the length, the length (at most 15)
// and the capacity.
std::string readScriptString(RnSaveLoader& in, int32_t entry) {
    in.pad(4);
    uint8_t chars[16];
    in.bytes(chars, sizeof(chars));
    uint32_t len = 0;
    uint32_t capacity = 0;
    in.u32(len);
    in.u32(capacity);
    if (len > RnScriptDataEntry::kMaxStringLength || chars[len] != 0)
        daxRaiseError("text of script value %d is damaged", entry);
    return std::string(reinterpret_cast<const char*>(chars), len);
}

void GameReader::readTrigger() {
    const std::string script = in_.readString();
    const std::string function = in_.readString();
    const int32_t period = in_.readInt32();
    // The trigger runs the file of that name: a save names a script of the
    // world, never one elsewhere on the disk.
    if (!staysInDataFolders(script))
        daxRaiseError("trigger script '%s' is outside the game's folders", script.c_str());
    // What a map script may set: a trigger of period 0 would stand still
    // and lose its data at the next save, a larger one overflow its times.
    if (period < 1 || period > kRnTriggerMaxPeriodHours)
        daxRaiseError("trigger period %d is not between 1 and %d hours", period, kRnTriggerMaxPeriodHours);
    grn_trigger.define(script, function, static_cast<uint32_t>(period));
    std::vector<RnScriptDataEntry> data;
    const int32_t n = in_.readInt32();
    for (int32_t i = 0; i < n; ++i) {
        RnScriptDataEntry e;
        in_.i32(e.key_kind_);
        in_.i32(e.int_key_);
        e.str_key_ = readScriptString(in_, i);
        in_.i32(e.value_kind_);
        in_.i32(e.int_value_);
        in_.pad(4);
        in_.f64(e.num_value_);
        e.str_value_ = readScriptString(in_, i);
        in_.pad(4);
        if ((e.key_kind_ != kRnScriptKeyInt && e.key_kind_ != kRnScriptKeyString) || e.value_kind_ < kRnScriptNumber ||
            e.value_kind_ > kRnScriptTableEnd)
            daxRaiseError("script value %d is damaged", i);
        data.push_back(std::move(e));
    }
    grn_trigger.scriptData() = std::move(data);
    grn_trigger.setRestorePending(true);
}

// The rebuild passes: every building in line with its current type and the
// map, then the people counted again.
template <class Types, class Fn>
void eachInstance(Types& types, Fn fn) {
    for (auto& t : types) {
        for (auto& b : t.instances_) fn(t, b);
    }
}

// The walkers a service, market or builder has out are the walkers of its
// kind whose home it is, whatever count the file gave.
template <class WalkerTypes, class Types>
void recountWalkersOut(const WalkerTypes& walker_types, Types& types) {
    std::unordered_map<uint64_t, int> out;
    for (const auto& wt : walker_types) {
        for (const auto& w : wt.instances_) {
            if (w.home_oid_.bld_idx_ != -1) ++out[objectKey(w.home_oid_)];
        }
    }
    for (auto& t : types) {
        for (auto& b : t.instances_) {
            using Bld = std::remove_reference_t<decltype(b)>;
            const auto it = out.find(objectKey(b.oid_));
            const int n = it == out.end() ? 0 : it->second;
            const RnObjectID& o = b.oid_;
            if (n > static_cast<int>(Bld::kWalkerCountMask >> Bld::kWalkerCountShift))
                daxRaiseError("[%hd:%hd,%d] has %d walkers out, more than it can count", o.kind_, o.type_idx_,
                              o.bld_idx_, n);
            if (n == b.walkersOut()) continue;
            daxLogMessage(1, 1, "[%hd:%hd,%d] has %d walkers out, not %d", o.kind_, o.type_idx_, o.bld_idx_, n,
                          b.walkersOut());
            rnSetWalkersOut(b, n);
        }
    }
}

void rebuild() {
    for (RnRoadType& rt : grn_game.roadTypes()) {
        std::vector<int32_t> roads;
        for (auto it = rt.instances_.begin(); it != rt.instances_.end(); ++it) roads.push_back(it.index());
        for (int32_t i : roads) {
            RnRoad& r = rt.instances_[i];
            if (!r.checkOid(rt) && r.is_active_) r.verifyOnMap();
        }
    }
    eachInstance(grn_game.housTypes(), [](RnHousType& t, RnHous& b) {
        b.verifyOnMap();
        b.verify(t);
        b.verifyMaterialNeeds(t);
    });
    eachInstance(grn_game.storTypes(), [](RnStorType&, RnStor& b) {
        b.recountWalkers();
        b.verifyOnMap();
        b.checkDistribution();
        b.verifyMaterialNeeds();
    });
    eachInstance(grn_game.mrktTypes(), [](RnMrktType&, RnMrkt& b) {
        b.verifyOnMap();
        b.checkGoods();
        b.verifyMaterialNeeds();
    });
    // A production building found out of place frees its slot, so the ids
    // are taken before the pass.
    for (RnProdType& t : grn_game.prodTypes()) {
        std::vector<int32_t> ids;
        for (auto it = t.instances_.begin(); it != t.instances_.end(); ++it) ids.push_back(it.index());
        for (int32_t i : ids) {
            RnProd& b = t.instances_[i];
            b.checkOidAndWalkers();
            if (!b.is_active_) continue;
            b.verifyOnMap();
            b.checkInputGoods();
            b.checkOutputGoods();
            b.verifyMaterialNeeds();
        }
    }
    eachInstance(grn_game.servTypes(), [](RnServType&, RnServ& b) {
        b.verifyOnMap();
        b.checkGoods();
        b.verifyMaterialNeeds();
    });
    eachInstance(grn_game.decoTypes(), [](RnDecoType& t, RnDeco& b) {
        b.verifyOnMap();
        b.checkGoods(t);
        b.verifyMaterialNeeds(t);
    });
    eachInstance(grn_game.bldrTypes(), [](RnBldrType&, RnBldr& b) {
        b.verifyOnMap();
        b.checkGoods();
        b.verifyMaterialNeeds();
    });
    recountWalkersOut(grn_game.servWalkerTypes(), grn_game.servTypes());
    recountWalkersOut(grn_game.mrktWalkerTypes(), grn_game.mrktTypes());
    recountWalkersOut(grn_game.bldrWalkerTypes(), grn_game.bldrTypes());
    // The people are those in the houses: each people type's count and the
    // town's total.
    for (RnPeoplType& pt : grn_game.peoplTypes()) pt.population_ = 0;
    uint32_t people = 0;
    for (RnHousType& ht : grn_game.housTypes()) {
        RnPeoplType* pt = ht.ppl_type_idx_ < 0 ? nullptr : &grn_game.peoplType(ht.ppl_type_idx_);
        for (const RnHous& h : ht.instances_) {
            if (pt) pt->population_ += h.people();
            people += static_cast<uint32_t>(h.people());
        }
    }
    if (people != grn_game.population_) {
        daxLogMessage(1, 1, "population %u of the save taken as the %u people in the houses", grn_game.population_,
                      people);
        grn_game.population_ = people;
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Whole files

void RnSaveLoader::logUnloadable(const std::string& path) {
    daxLogMessage(1, 1, "save game file %s can't be loaded", path.c_str());
}

bool RnSaveLoader::loadGame(const std::string& path) {
    daxLogMessage(2, 1, "load game from %s", path.c_str());
    float view_x = -1.0f;
    float view_y = -1.0f;
    {
        ALLEGRO_FILE_mptr file(daxGzOpen(path.c_str(), "rb"));
        if (!file) {
            daxLogMessage(1, 1, "can't open file %s for reading", path.c_str());
            return false;
        }
        RnSaveLoader in(file.get());
        // A refusal the reader raises does not name the file: the log and
        // the player's messages say which one it was. (The reason of a
        // header refusal stays the last error: the loading screen shows it,
        // under the file's path.)
        try {
            if (!in.checkHeader()) return false;
            in.startReadAhead();
            RnLoadContext ctx;
            in.setContext(&ctx);
            try {
                GameReader reader(in, ctx);
                reader.read();
                in.readToEnd(path);
                view_x = reader.view_x_;
                view_y = reader.view_y_;
            } catch (const nex::tExceptBase& e) {
                raiseNex(e);
            } catch (const std::bad_alloc&) {
                daxRaiseError("not enough memory to load %s", path.c_str());
            }
        } catch (const DaxException&) {
            logUnloadable(path);
            throw;
        }
    }
    // A view centre on the map (a file written without a view has none).
    const float side = static_cast<float>(grn_map.size());
    if (grn_save_view && std::isfinite(view_x) && std::isfinite(view_y) && view_x >= 0.0f && view_y >= 0.0f &&
        view_x <= side && view_y <= side)
        grn_save_view->setViewCentre(view_x, view_y);
    dax_msgmgr.postNoPos(2002, rnSavePathText(2002, path));
    try {
        rebuild();
    } catch (const nex::tExceptBase& e) {
        raiseNex(e);
    }
    grn_game.autosave_week_ = 0;
    grn_game.autosave_month_ = 0;
    grn_game.autosave_year_ = 0;
    rnResetStatisticsMarks();
    return grn_trigger.loadScript() == 0;
}

bool RnSaveLoader::loadLastSave() {
    daxLogMessage(2, 1, "load lastsave");
    return loadGame(rnSavePath(grn_config.lastsave_));
}

bool RnSaveLoader::verifyGame(const std::string& path, RnSaveSummary& out) {
    daxLogMessage(2, 1, "verify game from %s", path.c_str());
    ALLEGRO_FILE_mptr file(daxGzOpen(path.c_str(), "rb"));
    if (!file) {
        daxLogMessage(1, 1, "can't open file %s for reading", path.c_str());
        return false;
    }
    DaxGameClockPause pause;
    try {
        RnSaveLoader in(file.get());
        if (!in.checkHeader()) {
            logUnloadable(path);
            return false;
        }
        // Checked as the load checks them: what the list offers loads as far.
        RnSaveGameFields f;
        in.readGameFields(f);
        DaxGameClock clock;
        clock.setMemento(f.clock);
        out.money = f.money;
        out.population = f.population;
        out.map_side = f.map_side;
        out.map_name = f.map_name;
        out.game_name = f.game_name;
        out.game_time = clock.gameTime();
        return true;
    } catch (const DaxException&) {
        daxLogMessage(2, 1, "GfxException caught: error during verification");
        logUnloadable(path);
        return false;
    }
}

bool RnSaveLoader::verifyLastSave(std::string& map_name, std::string& game_name, int32_t& population) {
    const std::string path = rnSavePath(grn_config.lastsave_);
    if (!daxFileExists(path.c_str())) return false;
    RnSaveSummary s;
    const bool ok = verifyGame(path, s);
    map_name = s.map_name;
    game_name = s.game_name;
    population = s.population;
    return ok;
}

namespace {

class SaveLister : public DaxFileListerIfc {
public:
    void addFile(const char* name, const char* /*extension*/, const char* directory, int64_t mtime,
                 int32_t size) override {
        RnSaveListEntry e;
        e.name = name;
        e.path = std::string(directory) + name + "." + grn_config.savegame_suffix_;
        e.mtime = mtime;
        e.size = size;
        entries.push_back(std::move(e));
    }
    std::vector<RnSaveListEntry> entries;
};

}  // namespace

std::vector<RnSaveListEntry> RnSaveLoader::listSaves() {
    SaveLister lister;
    daxListFiles(rnSaveDir().c_str(), grn_config.savegame_suffix_.c_str(), &lister);
    for (RnSaveListEntry& e : lister.entries) e.valid = verifyGame(e.path, e.summary);
    std::sort(lister.entries.begin(), lister.entries.end(), [](const RnSaveListEntry& a, const RnSaveListEntry& b) {
        return a.mtime != b.mtime ? a.mtime > b.mtime : a.path < b.path;
    });
    return std::move(lister.entries);
}
