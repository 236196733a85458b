// Save games: the file format (magic, version, the table of record sizes,
// section tags), the buffer of memory chunks the world is written into on the
// game thread, and the writer that hands the chunks to a background flush,
// with the quick, auto and last saves. Every record goes field by field as
// fixed-width little-endian values with explicit padding; the field lists of
// records shared with the loader are templates over the direction (writer or
// loader) so that both read the same list.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dax2/dax_clock.h"
#include "dax2/dax_geometry.h"
#include "dax2/dax_oid.h"

struct ALLEGRO_FILE;

// Section tags.
enum : int32_t {
    kRnTagEnd = 85645,        // end of the header; end of the file
    kRnTagBitmaps = 85646,    // bitmap table and the id tables
    kRnTagInstances = 85647,  // instances of one object kind
    kRnTagMap = 85648,        // map tiles, view centre and update queue
    kRnTagWorkforce = 85649,  // the workforce network of one people type
    kRnTagTrigger = 85650,    // script trigger definition and script data
    kRnTagMiniMap = 85651,    // mini-map flag
};

// The version written; readers accept any third and fourth number.
constexpr int32_t kRnSaveVersion[4] = {0, 11, 1, 22};
constexpr char kRnSaveMagic[3] = {'z', 'o', 'r'};
// Strings in a save hold fewer characters than this.
constexpr uint32_t kRnSaveMaxString = 1024;

// One row of the record-size table of the header: a record's name (as the
// header check names it) and its size, or a signature of a layout.
struct RnSaveTypeSize {
    const char* name;
    int32_t value;
    bool signature;
};
constexpr int kRnSaveTypeSizeCount = 33;
extern const RnSaveTypeSize kRnSaveTypeSizes[kRnSaveTypeSizeCount];

// How the keys of a goods map are read back: as goods type indices of the
// writing run (translated through the saved goods ids), or as they stand.
enum class RnSaveKeys { Goods, AsSaved };

// Little-endian stores and loads of unsigned values: plain moves on a
// little-endian machine, byte by byte elsewhere.
template <class U>
inline void rnStoreLE(uint8_t* p, U v) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    std::memcpy(p, &v, sizeof(U));
#else
    for (size_t i = 0; i < sizeof(U); ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
#endif
}
template <class U>
inline U rnLoadLE(const uint8_t* p) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    U v;
    std::memcpy(&v, p, sizeof(U));
    return v;
#else
    U v = 0;
    for (size_t i = 0; i < sizeof(U); ++i) v = static_cast<U>(v | (static_cast<U>(p[i]) << (8 * i)));
    return v;
#endif
}

// The world as the writer serialises it: a chain of 512 KB chunks filled on
// the game thread, kept for later saves, and written to the file by the
// flush. Also the state word that lets one save run at a time.
class RnSaveBuffer {
public:
    static constexpr uint32_t kChunkSize = 0x80000;
    struct Chunk {
        uint8_t data[kChunkSize];
        std::unique_ptr<Chunk> next;
    };
    enum : int32_t {
        kIdle = 0,
        kSaving = 1,  // the buffer is being filled or flushed
        kFailed = 2,  // the last flush failed and that is not reported yet
    };

    RnSaveBuffer() = default;
    RnSaveBuffer(const RnSaveBuffer&) = delete;
    RnSaveBuffer& operator=(const RnSaveBuffer&) = delete;

    // A new save: the first chunk (made when there is none) at position 0,
    // no bytes counted.
    void start();
    // Appends n bytes, moving to the next chunk (made when the chain ends)
    // whenever the current one is full; returns n.
    size_t write(const void* bytes, size_t n);

    // The writer's side of the record field lists (the loader has the same
    // names taking references).
    static constexpr bool kLoading = false;
    void u8(uint8_t v) { put1(v); }
    void flag(bool v) { put1(v ? 1 : 0); }
    void i16(int16_t v) { putLE(static_cast<uint16_t>(v)); }
    void u16(uint16_t v) { putLE(v); }
    void i32(int32_t v) { putLE(static_cast<uint32_t>(v)); }
    void u32(uint32_t v) { putLE(v); }
    void f32(float v) {
        uint32_t u;
        std::memcpy(&u, &v, 4);
        putLE(u);
    }
    void f64(double v) {
        uint64_t u;
        std::memcpy(&u, &v, 8);
        putLE(u);
    }
    void time(DaxGameTime t) { putLE(t.value()); }
    void otx(const RnObjectTypeID& t) {
        i16(t.kind_);
        i16(t.type_idx_);
    }
    void oid(const RnObjectID& id) {
        uint8_t b[8];
        rnStoreLE(b, static_cast<uint16_t>(id.kind_));
        rnStoreLE(b + 2, static_cast<uint16_t>(id.type_idx_));
        rnStoreLE(b + 4, static_cast<uint32_t>(id.bld_idx_));
        put(b, 8);
    }
    void pos(const DaxMapPositionI& p) {
        i16(p.x);
        i16(p.y);
    }
    // n zero bytes of padding (or of fields that carry nothing).
    void pad(size_t n);
    void bytes(const uint8_t* p, size_t n) { put(p, n); }
    // An int32 length and the characters; raises "string of %u characters
    // is too long for a save game" for 1024 characters or more.
    void str(const std::string& s);
    // An int32 count, then per entry in key order the int16 key and the
    // value's fields (a map from int16 or a container walked like one).
    template <class M, class Fn>
    void goodsMap(const M& m, RnSaveKeys /*keys*/, Fn fields) {
        i32(static_cast<int32_t>(m.size()));
        for (const auto& e : m) {
            i16(e.first);
            fields(*this, e.second);
        }
    }
    void shortList(const std::vector<int16_t>& v) {
        i32(static_cast<int32_t>(v.size()));
        for (int16_t x : v) i16(x);
    }
    void intList(const std::vector<int32_t>& v) {
        i32(static_cast<int32_t>(v.size()));
        for (int32_t x : v) i32(x);
    }

    // A placeholder int32 whose value is set once it is known.
    struct Mark {
        Chunk* chunk = nullptr;
        uint32_t pos = 0;
    };
    Mark markInt32();
    void patchInt32(const Mark& mark, int32_t v);

    // Bytes of the current save, the magic included.
    int32_t bytesWritten() const { return bytes_written_; }
    void countMagic(int32_t n) { bytes_written_ += n; }
    // The filled chunks: every chunk before the current one is full.
    Chunk* firstChunk() const { return first_chunk_.get(); }
    Chunk* currentChunk() const { return curr_chunk_; }
    uint32_t currentPos() const { return curr_pos_; }
    // Chunks in the chain (they are never freed while the program runs).
    int chunkCount() const;

    // The state word: kIdle, kSaving or kFailed. Only the compare-and-swap
    // from kIdle enters kSaving.
    std::atomic<int32_t> save_state_{kIdle};
    // The first file error of the last flush (0 and empty when none): set
    // by the flush before it publishes its final state.
    int32_t error_code_ = 0;
    std::string error_text_;

private:
    void put1(uint8_t v) {
        if (curr_pos_ + 1 < kChunkSize) {
            curr_chunk_->data[curr_pos_++] = v;
            ++bytes_written_;
        } else {
            write(&v, 1);
        }
    }
    template <class U>
    void putLE(U v) {
        uint8_t b[sizeof(U)];
        rnStoreLE(b, v);
        put(b, sizeof(U));
    }
    void put(const void* p, size_t n) {
        if (n < kChunkSize - curr_pos_) {
            std::memcpy(curr_chunk_->data + curr_pos_, p, n);
            curr_pos_ += static_cast<uint32_t>(n);
            bytes_written_ += static_cast<int32_t>(n);
        } else {
            write(p, n);
        }
    }
    void nextChunk();

    std::unique_ptr<Chunk> first_chunk_;
    Chunk* curr_chunk_ = nullptr;
    uint32_t curr_pos_ = 0;
    int32_t bytes_written_ = 0;
};

extern RnSaveBuffer grn_save_buffer;

// Field lists shared by the writer and the loader. Io is RnSaveBuffer or
// RnSaveLoader; the record is const when writing.

// The head of every object (16 bytes): 4 bytes that carry nothing, the id,
// the active bit and 3 bytes of padding.
template <class Io, class Obj>
void rnObjectHeadFields(Io& io, Obj& o) {
    io.pad(4);
    io.oid(o.oid_);
    io.flag(o.is_active_);
    io.pad(3);
}
// The head of roads and buildings (20 bytes): the object head and the anchor.
template <class Io, class Bld>
void rnBuildingHeadFields(Io& io, Bld& b) {
    rnObjectHeadFields(io, b);
    io.pos(b.pos_on_map_);
}
// The head of a builder, market or service building: the building head,
// the flags word, the worker, near-storage, material, spawn and kill timers
// and the worker ratio.
template <class Io, class Bld>
void rnWorkplaceHeadFields(Io& io, Bld& b) {
    rnBuildingHeadFields(io, b);
    io.u32(b.flags_);
    io.time(b.t_wkf_);
    io.time(b.t_near_);
    io.time(b.t_bld_);
    io.time(b.t_spwn_);
    io.time(b.t_kill_);
    io.f32(b.efficiency_);
}
// RnMaterialInf (12 bytes).
template <class Io, class M>
void rnMaterialFields(Io& io, M& m) {
    io.time(m.time_level1_);
    io.time(m.time_level0_);
    io.u16(m.amount_);
    io.pad(2);
}
// A map of building material by goods type.
template <class Io, class Map>
void rnMaterialMapFields(Io& io, Map& m) {
    io.goodsMap(m, RnSaveKeys::Goods, [](Io& in_out, auto& v) { rnMaterialFields(in_out, v); });
}

// Where saves go and what they are called.

// The file name part made of a town or map name: path separators, control
// characters and the characters other systems refuse in file names become
// "_"; at most 64 bytes are kept. The name itself is not changed.
std::string rnSaveNamePart(const std::string& name);
// Whether a name the player typed can name a save file: not empty, at most
// 128 bytes, no path separator, no control character, no character that
// other systems refuse in file names, and not made of dots alone nor
// holding "..".
bool rnIsValidSaveName(const std::string& name);
// The save folder (ending in '/').
std::string rnSaveDir();
// save folder + base + "." + suffix.
std::string rnSavePath(const std::string& base);
// Numbered text 2001 ("Game saved to %s") or 2002 ("Game loaded from %s")
// with the path; the English text when the language has none.
std::string rnSavePathText(int number, const std::string& path);
// The dated part of quick and auto saves at the current game time:
// "-<game>-<map>-<year>-<month>-<day>." with both names made safe.
std::string rnSaveDatedPart();

// The save writer: one save at a time, serialised on the game thread with the
// clock paused and flushed to the file by a detached thread (or by the
// caller when it waits). The file is written under a temporary name in the
// same folder ("<path>.tmp") and renamed over the old one only when it is
// complete and on disk, so a failed or interrupted save never destroys the
// previous good file. Temporary files that a killed save left in the save
// folder are removed before each save.
class RnSaveWriter {
public:
    // Opens a file for writing ("wb"): the gzip interface by default. Tests
    // install one that fails on purpose; null restores the default.
    using OpenFn = ALLEGRO_FILE* (*)(const char* path, const char* mode);
    static void setOpenHook(OpenFn open);

    // Writes the world to path. With wait a running save is waited for
    // (100 ms polls) and the file is written on this thread; without it a
    // running save refuses with "Can't save now". prev_path, when given,
    // receives the file that path held before, only once the new file has
    // taken path: until then both stay as they were. Returns whether the save was started (without wait) or
    // written (with wait). Everything the player must know is posted as
    // message 2001.
    static bool saveGame(const std::string& path, bool wait, const std::string& prev_path = std::string());
    // Reports an error a flush left behind and sets the state back to idle.
    static void reportSaveError();

    // The saves with names of their own.
    static bool quickSave();
    static bool autoSave();
    // Deletes the oldest autosave files beyond max; newest, when given, is
    // the file name (with extension) of an autosave that is being written
    // and counts as the newest whether or not it is on disk yet.
    static void rotateAutosaves(int max, const std::string& newest = std::string());
    // Moves the last save to the previous save and writes the last save,
    // waiting for a running save.
    static bool saveLastSave();
    // A save under a name the player typed (rnIsValidSaveName), waiting for
    // a running save; false without writing for an invalid name.
    static bool saveNamed(const std::string& name);

    // Waits until no save runs (tests and the program's end).
    static void waitIdle();
};

// What the world asks of the interface when it saves and loads: the main
// map's view centre and whether the mini map is shown. The program installs
// one; without one saves carry (-1, -1) and no mini map.
class RnSaveViewIfc {
public:
    virtual ~RnSaveViewIfc() = default;
    virtual void viewCentre(float& x, float& y) const = 0;
    virtual void setViewCentre(float x, float y) = 0;
    virtual bool miniMapShown() const = 0;
    virtual void showMiniMap(bool show) = 0;
};
// Not owned; null when no interface is installed.
extern RnSaveViewIfc* grn_save_view;
