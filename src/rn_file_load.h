// Save games read back: the buffered little-endian reader with the header
// check, the remap tables of one load (types, goods, people, bitmaps and
// object ids of the writing run translated to the running one), the loader
// of the sections with the walkers' fix-up and the rebuild passes, and the
// check of a save without loading it (the load list, the main menu).
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "dax2/dax_bitmap.h"
#include "dax2/dax_clock.h"
#include "dax2/dax_geometry.h"
#include "dax2/dax_oid.h"
#include "rn_file_save.h"

struct ALLEGRO_FILE;
class RnWorkforce;
class RnStorageNetwork;
namespace nex {
class tDiGraph;
}

// The remap tables of one load.
class RnLoadContext {
public:
    // Saved building and walker type tables: type id -> (kind, saved type
    // index); the building table keeps the saved footprint too.
    struct SavedBuildingType {
        int16_t width = 0;
        int16_t height = 0;
        RnObjectTypeID otx;
    };
    std::map<int32_t, SavedBuildingType> building_types_;
    std::map<int32_t, RnObjectTypeID> walker_types_;
    // Saved people and goods type ids by the writing run's index.
    std::vector<int32_t> people_ids_;
    std::vector<int32_t> goods_ids_;

    // Fills the bitmap remap from the saved table (key -> saved id): each
    // key the registry knows maps the saved id to its current one; keys no
    // longer registered are skipped.
    void buildBitmapRemap(const std::map<DaxBitmapKey, DaxBitmapIndex>& saved);
    // Translates a bitmap id in place: ids below 0 stay; an entry number the
    // saved table did not have raises "bitmap index %d not found"; a changed
    // number takes the current id, flag bit included.
    void remapBitmapId(DaxBitmapIndex& id);

    // Records that the object saved as saved_id is now new_id.
    void addObject(const RnObjectID& saved_id, const RnObjectID& new_id);
    // Translates an object id in place. Ids with instance index -1 and
    // script jobs (kind 32 and above) stay. An id the file did not define
    // raises "oid [%hd:%hd,%d] to remap not found", or, when tolerant, is
    // logged and becomes the null id (result false).
    bool remapOid(RnObjectID& id, bool tolerant);
    // remapOid, strict, for a link that must name a storage or nothing;
    // raises "[%hd:%hd,%d] is not a storage" otherwise.
    void remapStorage(RnObjectID& id);

    // The current index of a goods or people type index of the writing run;
    // an index outside the saved list raises "unable to remap goods type"
    // ("unable to remap people type"), an id the model lacks "goods type %d
    // not found" ("people type %d not found").
    int16_t goodsIdx(int16_t saved);
    int16_t peopleIdx(int16_t saved) const;

    // The objects the file defined.
    size_t objectCount() const { return object_count_; }

private:
    bool findObject(const RnObjectID& saved_id, RnObjectID& out);

    // The current index of each saved goods index, -1 until asked for.
    std::vector<int16_t> goods_now_;
    // Saved entry number (id >> 1) -> current id; dense for the usual small
    // numbers, with the rare large ones aside.
    std::vector<DaxBitmapIndex> bitmaps_;
    std::map<int32_t, DaxBitmapIndex> far_bitmaps_;
    // Saved object ids: per (kind, type index) the new instance index by
    // saved instance index, dense up to a bound the list's size gives, the
    // rest in a hash table.
    struct ObjectTable {
        std::vector<RnObjectID> dense;  // the new id; instance index -1: none
        int32_t count = 0;
    };
    std::unordered_map<uint32_t, ObjectTable> objects_;
    // The table of a saved (kind, type index), made when add is set; the
    // last one found is kept, as ids of one type come in runs.
    ObjectTable* tableOf(uint32_t key, bool add);
    uint32_t table_key_ = 0;
    ObjectTable* table_ = nullptr;
    std::unordered_map<uint64_t, RnObjectID> far_objects_;
    size_t object_count_ = 0;
    // The last translation, for the footprint tiles that name one building
    // one after another.
    RnObjectID last_saved_{0, -1, -1};
    RnObjectID last_new_{0, -1, -1};
};

// Every time a save holds lies below this many game time units (about
// 20,000 game years), the clock's time as well as its timers': timers are
// the clock's time plus some hours, and adding hours to them must not wrap.
constexpr uint32_t kRnSaveTimeLimit = 0x80000000u;

// The game fields that follow a save's header, as read and checked by
// RnSaveLoader::readGameFields.
struct RnSaveGameFields {
    int32_t money = 0;
    int32_t population = 0;  // 0 .. what a map of map_side can house
    int32_t map_side = 0;    // 1 .. RnMap::kMaxSide
    int16_t desirability_range = 0;  // 1 .. 15
    std::string map_name;
    std::string game_name;
    bool mini_map = false;
    DaxGameClock::Memento clock{};  // game time in range, speed within the clock's bounds
    int32_t saved_value = 0;
    int32_t last_milestone = 0;  // as the population
};

// A save as the load list shows it (read by verifyGame).
struct RnSaveSummary {
    int32_t map_side = 0;
    int32_t population = 0;
    int32_t money = 0;
    DaxGameTime game_time{0};
    std::string map_name;   // first game name
    std::string game_name;  // second game name
};

// One file of the save folder.
struct RnSaveListEntry {
    std::string name;  // without folder and extension
    std::string path;
    int64_t mtime = 0;
    int32_t size = 0;
    bool valid = false;  // the header check and the summary passed
    RnSaveSummary summary;
};

// A block of bytes read from a file and the count it holds. The block is
// made without being cleared: each byte is written by a read before it is
// used, and clearing large blocks on every load costs more than the load of
// a small file.
class RnReadBuffer {
public:
    RnReadBuffer() = default;
    explicit RnReadBuffer(size_t capacity) : bytes_(new uint8_t[capacity]), capacity_(capacity) {}
    RnReadBuffer(RnReadBuffer&& other) noexcept { swap(other); }
    RnReadBuffer& operator=(RnReadBuffer&& other) noexcept {
        swap(other);
        return *this;
    }

    uint8_t* data() { return bytes_.get(); }
    const uint8_t* data() const { return bytes_.get(); }
    size_t capacity() const { return capacity_; }
    size_t size() const { return size_; }
    void setSize(size_t n) { size_ = n < capacity_ ? n : capacity_; }
    void swap(RnReadBuffer& other) noexcept {
        bytes_.swap(other.bytes_);
        std::swap(capacity_, other.capacity_);
        std::swap(size_, other.size_);
    }

private:
    std::unique_ptr<uint8_t[]> bytes_;
    size_t capacity_ = 0;
    size_t size_ = 0;
};

// Reads a save file. An instance wraps an open file (owned by the caller)
// with a read buffer; the static operations load and verify whole files.
class RnSaveLoader {
public:
    explicit RnSaveLoader(ALLEGRO_FILE* file);
    ~RnSaveLoader();
    RnSaveLoader(const RnSaveLoader&) = delete;
    RnSaveLoader& operator=(const RnSaveLoader&) = delete;

    // From here on a thread of its own reads (and so decompresses) the rest
    // of the file ahead of the loader, which only takes its buffers: the
    // loader's work and the decompression overlap. The file must not be
    // used otherwise until the reader ends, as it does with the loader. A
    // file whose rest came whole with the last read needs no thread.
    void startReadAhead();

    // Exactly n bytes. A short read shows "error %d reading %d bytes from
    // file: %s" when the file reports an error, then raises "couldn't read
    // %d bytes from file" (with premature: "read error, premature end of
    // file").
    void read(void* p, size_t n, bool premature = false) {
        if (n <= end_ - pos_) {
            std::memcpy(p, buf_.data() + pos_, n);
            pos_ += n;
        } else {
            readSlow(p, n, premature);
        }
    }
    int32_t readInt32();
    int16_t readInt16();
    void readClockMemento(DaxGameClock::Memento& m);
    // An int32 that must be expected: "incompatible data types in savegame:
    // %s expected size %d and read %d" (or "... expected sig %d ..."); a
    // short read raises "read error, premature end of file".
    void checkTypeSize(const char* name, int32_t expected);
    void checkTypeSignature(const char* name, int32_t expected);
    // The magic, the version, the record-size table and the end tag of the
    // header. False (logged) for a foreign file, another version or a
    // missing end tag; a wrong table entry or a short read raises. version
    // receives the four numbers read (when given).
    bool checkHeader(int32_t* version = nullptr);
    // An int32 length below 1024 (as unsigned), then the characters; the
    // string ends at the first NUL.
    std::string readString();
    // The game fields after the header. A value out of its range raises
    // (the load refuses such a file, and the load list does not offer it);
    // a clock speed beyond the clock's bounds is taken at the bound.
    void readGameFields(RnSaveGameFields& out);
    // Reads what is left of the file at path after its end tag: zlib checks
    // a gzip file only once it is read to its end. A file whose check fails,
    // that ends early or whose trailer does not give the size read raises
    // "save game file is damaged: %s".
    void readToEnd(const std::string& path);

    // The loader's side of the record field lists (RnSaveBuffer has the
    // same names taking values).
    static constexpr bool kLoading = true;
    void u8(uint8_t& v) { read(&v, 1); }
    void flag(bool& v) {
        uint8_t b = 0;
        read(&b, 1);
        v = (b & 1) != 0;
    }
    void i16(int16_t& v) { v = static_cast<int16_t>(getLE<uint16_t>()); }
    void u16(uint16_t& v) { v = getLE<uint16_t>(); }
    void i32(int32_t& v) { v = static_cast<int32_t>(getLE<uint32_t>()); }
    void u32(uint32_t& v) { v = getLE<uint32_t>(); }
    void f32(float& v) {
        uint32_t u = getLE<uint32_t>();
        std::memcpy(&v, &u, 4);
    }
    void f64(double& v) {
        uint64_t u = getLE<uint64_t>();
        std::memcpy(&v, &u, 8);
    }
    // A time of the game (or none): below kRnSaveTimeLimit, as the clock,
    // else it raises "time %u in the save is out of range".
    void time(DaxGameTime& t) {
        t = DaxGameTime(getLE<uint32_t>());
        if (t.value() >= kRnSaveTimeLimit && !t.isNull()) raiseTimeOutOfRange(t);
    }
    void otx(RnObjectTypeID& t) {
        i16(t.kind_);
        i16(t.type_idx_);
    }
    void oid(RnObjectID& id) {
        uint8_t b[8];
        read(b, 8);
        id.kind_ = static_cast<int16_t>(rnLoadLE<uint16_t>(b));
        id.type_idx_ = static_cast<int16_t>(rnLoadLE<uint16_t>(b + 2));
        id.bld_idx_ = static_cast<int32_t>(rnLoadLE<uint32_t>(b + 4));
    }
    void pos(DaxMapPositionI& p) {
        i16(p.x);
        i16(p.y);
    }
    void pad(size_t n) {
        uint8_t skip[8];
        while (n > 0) {
            size_t k = n < sizeof(skip) ? n : sizeof(skip);
            read(skip, k);
            n -= k;
        }
    }
    void bytes(uint8_t* p, size_t n) { read(p, n); }
    void str(std::string& s) { s = readString(); }
    // Empties the map, then reads an int32 count and per entry the int16
    // key (translated as keys says) and the value's fields; a repeated key
    // overwrites.
    template <class V, class Fn>
    void goodsMap(std::map<int16_t, V>& m, RnSaveKeys keys, Fn fields) {
        m.clear();
        const int32_t n = readInt32();
        for (int32_t i = 0; i < n; ++i) {
            int16_t key = 0;
            i16(key);
            if (keys == RnSaveKeys::Goods) key = context().goodsIdx(key);
            V v{};
            fields(*this, v);
            m[key] = v;
        }
    }
    void shortList(std::vector<int16_t>& v);
    void intList(std::vector<int32_t>& v);

    // The remap tables of the load in progress (a load sets them).
    RnLoadContext& context();
    void setContext(RnLoadContext* ctx) { ctx_ = ctx; }

    // Loads the save at path over the fresh world the loading screen has
    // built. False when the file cannot be opened, its header check fails or
    // the trigger's script does not load (each logged); every other refusal
    // raises DaxException, and the world must not go on then.
    static bool loadGame(const std::string& path);
    // loadGame of the last save.
    static bool loadLastSave();
    // Reads the header and the game fields of a save without loading it.
    // False (logged) when it cannot be opened, is no save of this version or
    // is damaged; never raises.
    static bool verifyGame(const std::string& path, RnSaveSummary& out);
    // verifyGame of the last save; false without a log line when there is
    // no last save.
    static bool verifyLastSave(std::string& map_name, std::string& game_name, int32_t& population);
    // Every file of the save folder with the save suffix, verified, newest
    // first (equal times by path).
    static std::vector<RnSaveListEntry> listSaves();

    // Sections that fill the networks' raw parts (the loader is their
    // friend). A graph is checked whole once read.
    void readGraph(nex::tDiGraph& gr);
    void readStorageNetwork(RnStorageNetwork& net);
    void readWorkforce(RnWorkforce& wkf, int16_t ppl_idx);

private:
    [[noreturn]] static void raiseTimeOutOfRange(DaxGameTime t);
    // Names a save that loadGame or verifyGame refuses, after the reason.
    static void logUnloadable(const std::string& path);
    template <class U>
    U getLE() {
        if (sizeof(U) <= end_ - pos_) {
            const U v = rnLoadLE<U>(buf_.data() + pos_);
            pos_ += sizeof(U);
            return v;
        }
        uint8_t b[sizeof(U)];
        readSlow(b, sizeof(U), false);
        return rnLoadLE<U>(b);
    }
    void readSlow(void* p, size_t n, bool premature);
    // As many of n bytes as the file still has.
    size_t readUpTo(void* p, size_t n);
    // The error box of a short read, when the file reports an error.
    void reportReadError(size_t n);
    // Refills the buffer keeping the unread bytes; false when nothing more
    // came.
    bool refill();
    class ReadAhead;

    ALLEGRO_FILE* file_;
    RnReadBuffer buf_;
    std::unique_ptr<ReadAhead> ahead_;
    size_t pos_ = 0;
    size_t end_ = 0;
    RnLoadContext* ctx_ = nullptr;
};
