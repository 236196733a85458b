// The save writer: the header, every section of the world in the order the
// loader reads it, the background flush, and the saves with names of their
// own (quick, auto with rotation, last with its predecessor).
#include "rn_file_save.h"

#include <allegro5/allegro.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <new>
#include <thread>
#include <type_traits>
#include <utility>

#include "dax2/dax_bitmap.h"
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

// The plain records the size table names, at the sizes it names.
static_assert(sizeof(DaxBitmapIndex) == 4, "DaxBitmapIndex");
static_assert(sizeof(DaxGameClock::Memento) == 24, "DaxGameClock::Memento");
static_assert(sizeof(DaxGameTime) == 4, "DaxGameTime");
static_assert(sizeof(RnBuildingTimedData) == 8, "RnBuildingTimedData");
static_assert(sizeof(RnDecoInpInf) == 12, "RnDecoInpInf");
static_assert(sizeof(RnDecoPersData) == 16, "RnDecoPersData");
static_assert(sizeof(RnHousPersData) == 36, "RnHousPersData");
static_assert(sizeof(RnHouseServiceData) == 12, "RnHouseServiceData");
static_assert(sizeof(RnHouseGoodsData) == 16, "RnHouseGoodsData");
static_assert(sizeof(RnMapTile) == 32, "RnMapTile");
static_assert(sizeof(RnMaterialInf) == 12, "RnMaterialInf");
static_assert(sizeof(RnMrktAmountInf) == 12, "RnMrktAmountInf");
static_assert(sizeof(RnMrktPersData) == 28, "RnMrktPersData");
static_assert(sizeof(RnObjectID) == 8, "RnObjectID");
static_assert(sizeof(RnProdInpInf) == 12, "RnProdInpInf");
static_assert(sizeof(RnProdOutInf) == 16, "RnProdOutInf");
static_assert(sizeof(RnProdPersData) == 36, "RnProdPersData");
static_assert(sizeof(RnRoadPersData) == 8, "RnRoadPersData");
static_assert(sizeof(RnServAmount) == 4, "RnServAmount");
static_assert(sizeof(RnServPersData) == 28, "RnServPersData");
static_assert(sizeof(RnStorAmountInf) == 6, "RnStorAmountInf");
static_assert(sizeof(RnStorPersData) == 40, "RnStorPersData");
static_assert(sizeof(RnWalkerPersData) == 88, "RnWalkerPersData");
static_assert(sizeof(RnWorkerReq) == 6, "RnWorkerReq");
static_assert(sizeof(RnStorNetEdgeData) == 24, "RnStorNetEdgeData");
static_assert(sizeof(RnWorkforce::NodeData) == 16, "RnWorkforce::NodeData");
static_assert(sizeof(RnWorkforce::EdgeData) == 8, "RnWorkforce::EdgeData");
static_assert(sizeof(RnGameUpdateQueue::Job) == 16, "RnGameUpdateQueue::Job");
static_assert(nex::tDiGraph::kDataSignature + 32 == 184, "RnStorageNetwork");
static_assert(nex::tDiGraph::kDataSignature + 54 == 206, "RnWorkForceAssignment");

// The object records of the walkers: the object head and RnWalkerPersData,
// plus 2 bytes for the kinds that carry an amount; as laid out for a 32-bit
// program (with its 4-byte alignment) they are 104 and 108 bytes.
const RnSaveTypeSize kRnSaveTypeSizes[kRnSaveTypeSizeCount] = {
    {"DaxBitmapIndex", 4, false},
    {"DaxGameClock::Memento", 24, false},
    {"DaxGameTime", 4, false},
    {"RnBuildingTimedData", 8, false},
    {"RnDecoInpInf", 12, false},
    {"RnDecoPersData", 16, false},
    {"RnGenericBuilding", 20, false},
    {"RnGenericObject", 16, false},
    {"RnGameUpdateQueue", 40, true},
    {"RnHousPersData", 36, false},
    {"RnHouseServiceData", 12, false},
    {"RnHouseGoodsData", 16, false},
    {"RnMapTile", 32, false},
    {"RnMaterialInf", 12, false},
    {"RnMrktAmountInf", 12, false},
    {"RnMrktPersData", 28, false},
    {"RnObjectID", 8, false},
    {"RnProdInpInf", 12, false},
    {"RnProdOutInf", 16, false},
    {"RnProdPersData", 36, false},
    {"RnRoadPersData", 8, false},
    {"RnServAmount", 4, false},
    {"RnServPersData", 28, false},
    {"RnStorageNetwork", nex::tDiGraph::kDataSignature + 32, true},
    {"RnStorAmountInf", 6, false},
    {"RnStorPersData", 40, false},
    {"RnTriggerDef", 12, true},
    {"RnWalkerGeneric", 104, false},
    {"RnWalkerServ", 108, false},
    {"RnWalkerProd", 104, false},
    {"RnWalkerMrkt", 108, false},
    {"RnWorkerReq", 6, false},
    {"RnWorkForceAssignment", nex::tDiGraph::kDataSignature + 54, true},
};

RnSaveBuffer grn_save_buffer;
RnSaveViewIfc* grn_save_view = nullptr;

// ---------------------------------------------------------------------------
// The chunk chain

void RnSaveBuffer::start() {
    if (!first_chunk_) first_chunk_.reset(new Chunk);
    curr_chunk_ = first_chunk_.get();
    curr_pos_ = 0;
    bytes_written_ = 0;
}

void RnSaveBuffer::nextChunk() {
    if (!curr_chunk_->next) curr_chunk_->next.reset(new Chunk);
    curr_chunk_ = curr_chunk_->next.get();
    curr_pos_ = 0;
}

size_t RnSaveBuffer::write(const void* bytes, size_t n) {
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    size_t left = n;
    while (left > 0) {
        const size_t room = kChunkSize - curr_pos_;
        if (left < room) {
            std::memcpy(curr_chunk_->data + curr_pos_, p, left);
            curr_pos_ += static_cast<uint32_t>(left);
            break;
        }
        // A piece that fills the chunk to its end moves on to the next one,
        // even when nothing follows.
        std::memcpy(curr_chunk_->data + curr_pos_, p, room);
        p += room;
        left -= room;
        nextChunk();
    }
    bytes_written_ += static_cast<int32_t>(n);
    return n;
}

void RnSaveBuffer::pad(size_t n) {
    static const uint8_t zeros[16] = {};
    while (n > 0) {
        size_t k = std::min(n, sizeof(zeros));
        put(zeros, k);
        n -= k;
    }
}

void RnSaveBuffer::str(const std::string& s) {
    if (s.size() >= kRnSaveMaxString)
        daxRaiseError("string of %u characters is too long for a save game", static_cast<unsigned>(s.size()));
    i32(static_cast<int32_t>(s.size()));
    put(s.data(), s.size());
}

RnSaveBuffer::Mark RnSaveBuffer::markInt32() {
    // The four bytes may straddle two chunks; patchInt32 follows the link.
    if (curr_pos_ == kChunkSize) nextChunk();
    Mark m{curr_chunk_, curr_pos_};
    i32(0);
    return m;
}

void RnSaveBuffer::patchInt32(const Mark& mark, int32_t v) {
    uint8_t b[4];
    rnStoreLE(b, static_cast<uint32_t>(v));
    Chunk* c = mark.chunk;
    uint32_t pos = mark.pos;
    for (uint8_t byte : b) {
        if (pos == kChunkSize) {
            c = c->next.get();
            pos = 0;
        }
        c->data[pos++] = byte;
    }
}

int RnSaveBuffer::chunkCount() const {
    int n = 0;
    for (const Chunk* c = first_chunk_.get(); c; c = c->next.get()) ++n;
    return n;
}

// ---------------------------------------------------------------------------
// File names

namespace {

bool unsafeInFileName(unsigned char c) {
    return c < 0x20 || c == 0x7F || std::strchr("/\\:*?\"<>|", c) != nullptr;
}

// At most max bytes of a UTF-8 text, cut before a character of several
// bytes rather than through it. A character has at most three bytes after
// its first, so a text that is no UTF-8 loses no more than those.
std::string cutAtCharacter(const std::string& text, size_t max) {
    if (text.size() <= max) return text;
    size_t n = max;
    for (int k = 0; k < 3 && n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80; ++k) --n;
    return text.substr(0, n);
}

}  // namespace

std::string rnSaveNamePart(const std::string& name) {
    std::string out = cutAtCharacter(name, 64);
    for (char& c : out) {
        if (unsafeInFileName(static_cast<unsigned char>(c))) c = '_';
    }
    return out;
}

bool rnIsValidSaveName(const std::string& name) {
    if (name.empty() || name.size() > 128) return false;
    if (name.find("..") != std::string::npos) return false;
    if (name.find_first_not_of('.') == std::string::npos) return false;
    for (char c : name) {
        if (unsafeInFileName(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

std::string rnSaveDir() {
    std::string dir = dax_config.save_dir_;
    if (dir.empty()) dir = "saves/";
    if (dir.back() != '/' && dir.back() != '\\') dir += '/';
    return dir;
}

std::string rnSavePath(const std::string& base) { return rnSaveDir() + base + "." + grn_config.savegame_suffix_; }

std::string rnSavePathText(int number, const std::string& path) {
    std::string text;
    if (dax_strings.hasString(number)) {
        rnAppendMsg(text, number, "s", path.c_str());
    } else {
        text = (number == 2002 ? "Game loaded from " : "Game saved to ") + path;
    }
    return text;
}

std::string rnSaveDatedPart() {
    const DaxGameTime now = dax_gameclock.gameTime();
    char buf[64];
    std::snprintf(buf, sizeof(buf), "-%04d-%02d-%02d.", now.year(), now.month(), now.dayOfMonth());
    return "-" + rnSaveNamePart(grn_game.game_name_) + "-" + rnSaveNamePart(grn_game.map_name_) + buf;
}

// ---------------------------------------------------------------------------
// The sections

namespace {

RnSaveWriter::OpenFn g_open = nullptr;

ALLEGRO_FILE* openForWriting(const char* path, const char* mode) {
    return g_open ? g_open(path, mode) : daxGzOpen(path, mode);
}

void writeHeader(ALLEGRO_FILE* file, RnSaveBuffer& out) {
    if (al_fwrite(file, kRnSaveMagic, 3) != 3) daxRaiseError("can't write to the save file");
    out.countMagic(3);
    for (int32_t v : kRnSaveVersion) out.i32(v);
    for (const RnSaveTypeSize& row : kRnSaveTypeSizes) out.i32(row.value);
    out.i32(kRnTagEnd);
}

void writeMemento(RnSaveBuffer& out, const DaxGameClock::Memento& m) {
    out.u32(m.magic_);
    out.pad(4);
    out.f64(m.game_time_);
    out.i16(m.speed_);
    out.i16(m.flags_);
    out.pad(4);
}

int32_t miniMapShown() { return grn_save_view && grn_save_view->miniMapShown() ? 1 : 0; }

void writeGameFields(RnSaveBuffer& out, const DaxGameClock::Memento& memento) {
    out.i32(grn_game.money_);
    out.i32(static_cast<int32_t>(grn_game.population_));
    out.i32(grn_map.size());
    out.i16(grn_game.map_range_desirability_);
    out.str(grn_game.map_name_);
    out.str(grn_game.game_name_);
    out.i32(miniMapShown());
    writeMemento(out, memento);
    out.i32(grn_game.saved_value_);
    out.i32(static_cast<int32_t>(grn_game.last_milestone_));
}

void writeBitmapTable(RnSaveBuffer& out) {
    const auto& map = dax_bitmaps.indexMap();
    out.i32(static_cast<int32_t>(map.size()));
    for (const auto& e : map) {
        out.str(e.first.name_);
        out.i16(e.first.variant_);
        out.i16(e.first.flag_);
        out.i32(e.second);
    }
}

// Type id -> footprint of the first type with it and kind and index of the
// last (the loader orders by the id alone).
struct BuildingTypeEntry {
    int16_t width;
    int16_t height;
    RnObjectTypeID otx;
};

template <class Types>
void collectBuildingTypes(std::map<int32_t, BuildingTypeEntry>& table, int16_t kind, const Types& types) {
    for (size_t i = 0; i < types.size(); ++i) {
        const auto& t = types[i];
        const RnObjectTypeID otx(kind, static_cast<int16_t>(i));
        auto it = table.find(t.type_id_);
        if (it == table.end()) {
            table.emplace(t.type_id_, BuildingTypeEntry{t.width_, t.height_, otx});
        } else {
            it->second.otx = otx;
        }
    }
}

void writeBuildingTypeTable(RnSaveBuffer& out) {
    std::map<int32_t, BuildingTypeEntry> table;
    collectBuildingTypes(table, RnIdBldRoad, grn_game.roadTypes());
    collectBuildingTypes(table, RnIdBldHous, grn_game.housTypes());
    collectBuildingTypes(table, RnIdBldStor, grn_game.storTypes());
    collectBuildingTypes(table, RnIdBldServ, grn_game.servTypes());
    collectBuildingTypes(table, RnIdBldProd, grn_game.prodTypes());
    collectBuildingTypes(table, RnIdBldMrkt, grn_game.mrktTypes());
    collectBuildingTypes(table, RnIdBldDeco, grn_game.decoTypes());
    collectBuildingTypes(table, RnIdBldBldr, grn_game.bldrTypes());
    out.i32(static_cast<int32_t>(table.size()));
    for (const auto& e : table) {
        out.i32(e.first);
        out.i16(e.second.width);
        out.i16(e.second.height);
        out.otx(e.second.otx);
    }
}

template <class Records>
void writeIdList(RnSaveBuffer& out, const Records& records) {
    out.i32(static_cast<int32_t>(records.size()));
    for (const auto& r : records) out.i32(r.id_);
}

template <class Types>
void collectWalkerTypes(std::map<int32_t, RnObjectTypeID>& table, int16_t kind, const Types& types) {
    for (size_t i = 0; i < types.size(); ++i) table[types[i].typeId()] = RnObjectTypeID(kind, static_cast<int16_t>(i));
}

void writeWalkerTypeTable(RnSaveBuffer& out) {
    std::map<int32_t, RnObjectTypeID> table;
    collectWalkerTypes(table, RnIdWlkServ, grn_game.servWalkerTypes());
    collectWalkerTypes(table, RnIdWlkProd, grn_game.prodWalkerTypes());
    collectWalkerTypes(table, RnIdWlkMrkt, grn_game.mrktWalkerTypes());
    collectWalkerTypes(table, RnIdWlkStor, grn_game.storWalkerTypes());
    collectWalkerTypes(table, RnIdWlkBldr, grn_game.bldrWalkerTypes());
    out.i32(static_cast<int32_t>(table.size()));
    for (const auto& e : table) {
        out.i32(e.first);
        out.otx(e.second);
    }
}

// The graph of a storage or workforce network.
void writeIdListOf(RnSaveBuffer& out, const nex::tIndexList& list) {
    out.i32(8);
    const nex::tIndexList::Head_& h = list.head();
    out.i32(h.used_);
    out.i32(h.count_);
    out.i32(h.free_count_);
    out.i32(h.free_head_);
    const nex::tIndexList::Links& links = list.links();
    out.i32(links.size());
    for (int32_t i = 0; i < links.size(); ++i) {
        out.i32(links.unchecked(i).prev_);
        out.i32(links.unchecked(i).next_);
    }
}

void writeGraph(RnSaveBuffer& out, const nex::tDiGraph& gr) {
    out.i32(16);
    out.i32(24);
    writeIdListOf(out, gr.nodeIdList());
    writeIdListOf(out, gr.edgeIdList());
    const nex::tDiGraph::EdgeTable& edges = gr.edgeTable();
    out.i32(edges.size());
    for (int32_t i = 0; i < edges.size(); ++i) {
        const nex::tDiGraph::EdgeInf_& e = edges.unchecked(i);
        out.i32(e.source_);
        out.i32(e.target_);
        out.i32(e.out_link_);
        out.i32(e.in_link_);
    }
    // Each node record: its out-list head first (the out-degree is the
    // record's third word), then its in-list head.
    const nex::tDiGraph::NodeTable& nodes = gr.nodeTable();
    out.i32(nodes.size());
    for (int32_t i = 0; i < nodes.size(); ++i) {
        const nex::tDiGraph::NodeInf_& n = nodes.unchecked(i);
        for (const nex::tDiGraph::AdjHead* h : {&n.out_, &n.in_}) {
            out.i32(h->first_);
            out.i32(h->last_);
            out.i32(h->count_);
        }
    }
    out.i32(12);
    out.i32(12);
    const nex::tDiGraph::AdjPool& pool = gr.adjacencyHead();
    out.i32(pool.used_);
    out.i32(pool.count_);
    out.i32(pool.free_count_);
    out.i32(pool.free_head_);
    const nex::tDiGraph::AdjTable& cells = gr.adjacencyLinks();
    out.i32(cells.size());
    for (int32_t i = 0; i < cells.size(); ++i) {
        const nex::tDiGraph::AdjLink& c = cells.unchecked(i);
        out.i32(c.prev_);
        out.i32(c.next_);
        out.i32(c.edge_);
    }
    if (gr.isView()) daxRaiseError("super graph not allowed for save");
}

void writeStorageNetwork(RnSaveBuffer& out, const RnStorageNetwork& net) {
    const nex::tDiGraph& gr = net.gr_;
    writeGraph(out, gr);
    out.i32(gr.nodeCount());
    for (int32_t n = gr.firstNode(); n != 0; n = gr.nextNode(n)) {
        out.i32(n);
        out.oid(net.nodeObject(n));
    }
    out.i32(gr.edgeCount());
    for (int32_t e = gr.firstEdge(); e != 0; e = gr.nextEdge(e)) {
        out.i32(e);
        const RnStorNetEdgeData& d = net.edgeData(e);
        out.pos(d.start_);
        out.i16(d.dist_);
        out.u16(d.len_);
        out.bytes(d.steps_, sizeof(d.steps_));
    }
}

void writeWorkforce(RnSaveBuffer& out, const RnWorkforce& wkf) {
    out.i16(wkf.peopleTypeIdx());
    const auto& ordered = wkf.oidNodeMap().ordered();
    out.i32(static_cast<int32_t>(ordered.size()));
    for (const auto& e : ordered) {
        out.oid(e.first);
        out.i32(e.second);
    }
    const RnWorkforce::GraphImage image = wkf.graphImage();
    const nex::tDiGraph& gr = image.graph;
    writeGraph(out, gr);
    out.i32(gr.nodeCount());
    for (int32_t n = gr.firstNode(); n != 0; n = gr.nextNode(n)) {
        out.i32(n);
        const RnWorkforce::NodeData& d = wkf.nodeData(n);
        out.oid(d.oid_);
        out.u16(d.people_);
        out.u16(d.range_);
        out.flag(d.is_source_);
        out.pad(1);
        out.u16(d.ppl_assigned_);
    }
    out.i32(gr.edgeCount());
    for (int32_t e = gr.firstEdge(); e != 0; e = gr.nextEdge(e)) {
        out.i32(e);
        const RnWorkforce::EdgeData& d = image.edgeData(e);
        out.u16(d.assigned_);
        out.pad(2);
        out.f32(d.dist_);
    }
    out.i32(wkf.totalWorkers());
    out.i32(wkf.totalJobs());
    out.i32(wkf.totalAssignments());
}

// The highest level among a road or house type's instances (0 for the
// other kinds, which write none).
int maxUsedLevel(const RnRoadType& t) { return t.maxUsedLevel(); }
int maxUsedLevel(const RnHousType& t) { return t.maxUsedLevel(); }
template <class T>
int maxUsedLevel(const T&) {
    return 0;
}

template <class Types>
void writeBuildingInstances(RnSaveBuffer& out, int16_t kind, const Types& types) {
    int32_t blocks = 0;
    for (const auto& t : types) blocks += t.instanceCount() != 0 ? 1 : 0;
    if (blocks == 0) return;
    out.i32(kRnTagInstances);
    out.i32(kind);
    out.i32(blocks);
    for (const auto& t : types) {
        if (t.instanceCount() == 0) continue;
        out.i32(t.type_id_);
        out.i16(t.width_);
        out.i16(t.height_);
        if (kind == RnIdBldRoad || kind == RnIdBldHous) out.i32(maxUsedLevel(t));
        out.i32(t.instances_.liveCount());
        for (const auto& b : t.instances_) b.save(out);
        if constexpr (std::is_same<typename Types::value_type, RnStorType>::value) writeStorageNetwork(out, t.network_);
    }
}

template <class Types>
void writeWalkerInstances(RnSaveBuffer& out, int16_t kind, const Types& types) {
    int32_t blocks = 0;
    for (const auto& t : types) blocks += t.instanceCount() != 0 ? 1 : 0;
    if (blocks == 0) return;
    out.i32(kRnTagInstances);
    out.i32(kind);
    out.i32(blocks);
    for (const auto& t : types) {
        if (t.instanceCount() == 0) continue;
        out.i32(t.typeId());
        out.i32(t.instances_.liveCount());
        for (const auto& w : t.instances_) w.save(out);
    }
}

void writeInstances(RnSaveBuffer& out) {
    // Storages before the kinds whose records name them.
    writeBuildingInstances(out, RnIdBldRoad, grn_game.roadTypes());
    writeBuildingInstances(out, RnIdBldHous, grn_game.housTypes());
    writeBuildingInstances(out, RnIdBldStor, grn_game.storTypes());
    writeBuildingInstances(out, RnIdBldServ, grn_game.servTypes());
    writeBuildingInstances(out, RnIdBldProd, grn_game.prodTypes());
    writeBuildingInstances(out, RnIdBldMrkt, grn_game.mrktTypes());
    writeBuildingInstances(out, RnIdBldDeco, grn_game.decoTypes());
    writeBuildingInstances(out, RnIdBldBldr, grn_game.bldrTypes());
    writeWalkerInstances(out, RnIdWlkServ, grn_game.servWalkerTypes());
    writeWalkerInstances(out, RnIdWlkProd, grn_game.prodWalkerTypes());
    writeWalkerInstances(out, RnIdWlkMrkt, grn_game.mrktWalkerTypes());
    writeWalkerInstances(out, RnIdWlkStor, grn_game.storWalkerTypes());
    writeWalkerInstances(out, RnIdWlkBldr, grn_game.bldrWalkerTypes());
}

// Tiles that the map script cannot rebuild: with a road, building or walker,
// with desirability, or with a production building's image.
bool tileIsSaved(const RnMapTile& t) {
    return t.oid_.bld_idx_ != -1 || t.walker_head_.bld_idx_ != -1 || t.desirability_ != 0 ||
           (t.flags_ & kRnTileProdImage) != 0;
}

void writeMapTiles(RnSaveBuffer& out) {
    const int side = grn_map.size();
    out.i32(side);
    RnSaveBuffer::Mark count = out.markInt32();
    int32_t k = 0;
    for (int x = 0; x < side; ++x) {
        for (int y = 0; y < side; ++y) {
            const RnMapTile& t = grn_map.tile(x, y);
            if (!tileIsSaved(t)) continue;
            ++k;
            out.i16(static_cast<int16_t>(x));
            out.i16(static_cast<int16_t>(y));
            out.i32(t.gnd_bmp_idx_);
            out.i32(t.second_bmp_idx_);
            out.oid(t.oid_);
            out.oid(t.walker_head_);
            out.i16(t.terrain_idx_);
            out.i16(t.desirability_);
            out.u16(t.flags_);
            out.pad(2);
        }
    }
    out.patchInt32(count, k);
}

void writeUpdateQueue(RnSaveBuffer& out) {
    const RnGameUpdateQueue& q = grn_game.updateQueue();
    out.i32(q.sequence());
    const RnGameUpdateQueue::ObjectMap objects = q.objectMap();
    out.i32(static_cast<int32_t>(objects.size()));
    for (const RnGameUpdateQueue::Pending& p : objects) {
        out.oid(p.oid);
        out.time(p.time);
    }
    const RnGameUpdateQueue::JobList jobs = q.jobs();
    out.i32(static_cast<int32_t>(jobs.size()));
    for (const RnGameUpdateQueue::Job& j : jobs) {
        out.oid(j.oid);
        out.time(j.time_for_next_update);
        out.u32(j.seq);
    }
}

// A string slot of a script value (28 bytes): 4 bytes that carry nothing,
// 16 characters with a NUL after the last, the length and the capacity 15.
void writeScriptString(RnSaveBuffer& out, const std::string& s) {
    if (s.size() > RnScriptDataEntry::kMaxStringLength)
        daxRaiseError("script text '%.40s' is longer than %d characters and can't be saved", s.c_str(),
                      static_cast<int>(RnScriptDataEntry::kMaxStringLength));
    out.pad(4);
    uint8_t slot[16] = {};
    std::memcpy(slot, s.data(), s.size());
    out.bytes(slot, sizeof(slot));
    out.u32(static_cast<uint32_t>(s.size()));
    out.u32(static_cast<uint32_t>(RnScriptDataEntry::kMaxStringLength));
}

void writeTrigger(RnSaveBuffer& out) {
    out.str(grn_trigger.scriptFile());
    out.str(grn_trigger.functionName());
    out.i32(static_cast<int32_t>(grn_trigger.periodHours()));
    const std::vector<RnScriptDataEntry>& data = grn_trigger.scriptData();
    out.i32(static_cast<int32_t>(data.size()));
    for (const RnScriptDataEntry& e : data) {
        out.i32(e.key_kind_);
        out.i32(e.int_key_);
        writeScriptString(out, e.str_key_);
        out.i32(e.value_kind_);
        out.i32(e.int_value_);
        out.pad(4);
        out.f64(e.num_value_);
        writeScriptString(out, e.str_value_);
        out.pad(4);
    }
}

void writeWorld(ALLEGRO_FILE* file, RnSaveBuffer& out, const DaxGameClock::Memento& memento) {
    writeHeader(file, out);
    writeGameFields(out, memento);
    out.i32(kRnTagBitmaps);
    writeBitmapTable(out);
    writeBuildingTypeTable(out);
    writeIdList(out, grn_game.peoplTypes());
    writeIdList(out, grn_game.goodsTypes());
    writeWalkerTypeTable(out);
    writeInstances(out);
    out.i32(kRnTagMap);
    writeMapTiles(out);
    float cx = -1.0f;
    float cy = -1.0f;
    if (grn_save_view) grn_save_view->viewCentre(cx, cy);
    out.f32(cx);
    out.f32(cy);
    writeUpdateQueue(out);
    for (const RnPeoplType& pt : grn_game.peoplTypes()) {
        if (!pt.workforce_.hasNodes()) continue;
        out.i32(kRnTagWorkforce);
        out.i32(pt.id_);
        writeWorkforce(out, pt.workforce_);
    }
    if (grn_trigger.isSet()) {
        out.i32(kRnTagTrigger);
        writeTrigger(out);
    }
    out.i32(kRnTagMiniMap);
    out.i32(miniMapShown());
    out.i32(kRnTagEnd);
}

// ---------------------------------------------------------------------------
// The flush

// What a flush needs: the open file, the temporary name it is written
// under, the name it is to have, and where the old file of that name goes.
struct FlushJob {
    ALLEGRO_FILE* file = nullptr;
    std::string temp_path;
    std::string path;
    std::string prev_path;
};

void recordError(RnSaveBuffer& buf, int code, const std::string& text) {
    if (buf.error_code_ != 0 || !buf.error_text_.empty()) return;
    buf.error_code_ = code != 0 ? code : EIO;
    buf.error_text_ = text;
}

bool failed(const RnSaveBuffer& buf) { return buf.error_code_ != 0 || !buf.error_text_.empty(); }

std::string systemText(int code) { return std::strerror(code); }

// The temporary name of a file the writer puts in place: the same name with
// ".tmp" appended, in the same folder.
std::string temporaryOf(const std::string& path) { return path + ".tmp"; }

// A failure to keep the old file as the previous save: shown, and the save
// goes on.
void reportKeepError(const std::string& prev_path) {
    const int e = al_get_errno();
    daxReportError("Error %d deleting file%s: %s", e, prev_path.c_str(), systemText(e).c_str());
}

// Gives the old file at path a second name, the temporary name of the
// previous save, while it still stands under its own (a copy where the
// folder allows no second name). The previous save is replaced by it only
// after the new file has taken path, so until then both stay as they were,
// and the folder is never without the file at path. Returns the second
// name, or "" when there is nothing to keep or it could not be kept.
std::string keepOldFile(const FlushJob& job) {
    if (job.prev_path.empty() || !daxFileExists(job.path.c_str())) return std::string();
    const std::string keep = temporaryOf(job.prev_path);
    if (daxFileExists(keep.c_str())) daxRemoveFile(keep.c_str());
    if (daxLinkFile(job.path.c_str(), keep.c_str()) != 0 && daxCopyFile(job.path.c_str(), keep.c_str()) != 0) {
        reportKeepError(job.prev_path);
        return std::string();
    }
    return keep;
}

// Puts the complete, synced temporary file in place, the old file going to
// the previous save when there is one; the temporary files go on failure.
void placeFile(RnSaveBuffer& buf, const FlushJob& job) {
    const std::string keep = keepOldFile(job);
    if (daxRenameFile(job.temp_path.c_str(), job.path.c_str()) != 0) {
        const int e = al_get_errno();
        daxReportError("error %d renaming %s: %s", e, job.temp_path.c_str(), systemText(e).c_str());
        recordError(buf, e, systemText(e));
        if (!keep.empty()) daxRemoveFile(keep.c_str());
        daxRemoveFile(job.temp_path.c_str());
        return;
    }
    if (!keep.empty() && daxRenameFile(keep.c_str(), job.prev_path.c_str()) != 0) {
        reportKeepError(job.prev_path);
        daxRemoveFile(keep.c_str());
    }
    daxSyncFile(job.path.c_str());
}

// Removes what saves killed before their end left in the save folder: the
// regular files named "<name>.<suffix>.tmp", as the writer names its
// temporary files, and nothing else. One save runs at a time, so none of
// them is in use.
void removeStaleTemporaries() {
    class Lister : public DaxFileListerIfc {
    public:
        void addFile(const char* name, const char* /*extension*/, const char* directory, int64_t /*mtime*/,
                     int32_t /*size*/) override {
            const std::string save = name;
            const std::string tail = "." + grn_config.savegame_suffix_;
            if (save.size() > tail.size() && save.compare(save.size() - tail.size(), tail.size(), tail) == 0)
                paths.push_back(temporaryOf(directory + save));
        }
        std::vector<std::string> paths;
    } lister;
    const std::string dir = rnSaveDir();
    daxListFiles(dir.c_str(), "tmp", &lister);
    for (const std::string& path : lister.paths) {
        daxLogMessage(2, 1, "delete stale temporary file %s", path.c_str());
        daxRemoveFile(path.c_str());
    }
}

void flush(FlushJob job) {
    RnSaveBuffer& buf = grn_save_buffer;
    buf.error_code_ = 0;
    buf.error_text_.clear();
    ALLEGRO_FILE* file = job.file;
    al_fclearerr(file);
    for (RnSaveBuffer::Chunk* c = buf.firstChunk(); c; c = c->next.get()) {
        const size_t n = c == buf.currentChunk() ? buf.currentPos() : RnSaveBuffer::kChunkSize;
        const size_t put = al_fwrite(file, c->data, n);
        if (put < n) {
            const int e = al_ferror(file);
            // A short write is a failure whether or not the file says why.
            const std::string text = e != 0 ? std::string(al_ferrmsg(file))
                                            : "only " + std::to_string(put) + " of " + std::to_string(n) +
                                                  " bytes written";
            daxReportError("error %d writing %d bytes to file: %s", e, static_cast<int>(n), text.c_str());
            al_fclearerr(file);
            recordError(buf, e, text);
            break;
        }
        if (c == buf.currentChunk()) break;
    }
    if (int e = al_ferror(file)) {
        daxReportError("error %d writing to file: %s", e, al_ferrmsg(file));
        recordError(buf, e, al_ferrmsg(file));
    }
    // gzip writes its last block and its trailer on closing: a full disk
    // often shows only here.
    al_set_errno(0);
    if (!al_fclose(file)) {
        const int e = al_get_errno();
        const std::string why = e != 0 ? systemText(e) : "no reason given";
        daxReportError("error %d closing file: %s", e, why.c_str());
        recordError(buf, e, "error closing file: " + why);
    }
    // On disk first, then under its name: the old file goes only when the
    // new one is complete.
    if (!failed(buf)) {
        if (int e = daxSyncFile(job.temp_path.c_str())) {
            daxReportError("error %d writing to file: %s", e, systemText(e).c_str());
            recordError(buf, e, systemText(e));
        }
    }
    if (failed(buf)) {
        daxRemoveFile(job.temp_path.c_str());
    } else {
        placeFile(buf, job);
    }
    buf.save_state_.store(failed(buf) ? RnSaveBuffer::kFailed : RnSaveBuffer::kIdle, std::memory_order_release);
}

// Posts a message of the writer: logged and shown as message 2001.
void tellPlayer(const std::string& text) {
    const std::string msg = cutAtCharacter(text, 255);
    daxLogMessage(0, 0, "%s", msg.c_str());
    dax_msgmgr.postNoPos(2001, msg);
}

// Holds the state word from the compare-and-swap until the flush takes
// over; on every other way out the state goes back to idle.
class StateClaim {
public:
    StateClaim() = default;
    StateClaim(const StateClaim&) = delete;
    StateClaim& operator=(const StateClaim&) = delete;
    bool claim() {
        int32_t idle = RnSaveBuffer::kIdle;
        claimed_ = grn_save_buffer.save_state_.compare_exchange_strong(idle, RnSaveBuffer::kSaving,
                                                                       std::memory_order_acq_rel);
        return claimed_;
    }
    void handOver() { claimed_ = false; }
    ~StateClaim() {
        if (claimed_) grn_save_buffer.save_state_.store(RnSaveBuffer::kIdle, std::memory_order_release);
    }

private:
    bool claimed_ = false;
};

}  // namespace

// ---------------------------------------------------------------------------
// The writer

void RnSaveWriter::setOpenHook(OpenFn open) { g_open = open; }

void RnSaveWriter::reportSaveError() {
    RnSaveBuffer& buf = grn_save_buffer;
    if (buf.save_state_.load(std::memory_order_acquire) != RnSaveBuffer::kFailed) return;
    char text[kDaxMsgBufSize];
    std::snprintf(text, sizeof(text), "Error %s writing file: %s", std::to_string(buf.error_code_).c_str(),
                  buf.error_text_.c_str());
    tellPlayer(text);
    buf.save_state_.store(RnSaveBuffer::kIdle, std::memory_order_release);
}

void RnSaveWriter::waitIdle() {
    for (;;) {
        const int32_t s = grn_save_buffer.save_state_.load(std::memory_order_acquire);
        if (s != RnSaveBuffer::kSaving) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

bool RnSaveWriter::saveGame(const std::string& path, bool wait, const std::string& prev_path) {
    RnSaveBuffer& buf = grn_save_buffer;
    if (wait) {
        for (int32_t s; (s = buf.save_state_.load(std::memory_order_acquire)) != RnSaveBuffer::kIdle;) {
            if (s == RnSaveBuffer::kFailed) {
                reportSaveError();
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        }
    }
    StateClaim state;
    if (!state.claim()) {
        dax_msgmgr.postNoPos(2001, "Can't save now");
        return false;
    }
    DaxGameClock::Memento memento;
    dax_gameclock.createMemento(memento);
    DaxGameClockPause pause;
    daxLogMessage(2, 1, "save game to %s", path.c_str());
    removeStaleTemporaries();

    const std::string temp_path = temporaryOf(path);
    ALLEGRO_FILE_mptr file(openForWriting(temp_path.c_str(), "wb"));
    if (!file) {
        // A missing save folder: made, and the file written plain (through
        // the same open, which never waits on a FIFO named like the file).
        try {
            daxMakeDirs(temp_path.c_str());
        } catch (const DaxException&) {
        }
        file.reset(g_open ? g_open(temp_path.c_str(), "wb") : daxGzOpen(temp_path.c_str(), "wbT"));
    }
    if (!file) {
        daxLogMessage(1, 1, "can't open file %s for writing", path.c_str());
        tellPlayer("can't open file " + path + " for writing");
        return false;
    }

    buf.start();
    try {
        writeWorld(file.get(), buf, memento);
    } catch (const DaxException& e) {
        file.reset();
        daxRemoveFile(temp_path.c_str());
        tellPlayer("can't save " + path + ": " + e.what());
        return false;
    } catch (const std::bad_alloc&) {
        // A chunk more did not fit: the game goes on without this save.
        file.reset();
        daxRemoveFile(temp_path.c_str());
        tellPlayer("can't save " + path + ": not enough memory");
        return false;
    } catch (...) {
        file.reset();
        daxRemoveFile(temp_path.c_str());
        throw;
    }

    FlushJob job{file.detach(), temp_path, path, prev_path};
    state.handOver();
    bool flushed_here = wait;
    if (!wait) {
        try {
            std::thread(flush, job).detach();
        } catch (const std::system_error&) {
            flushed_here = true;
        }
    }
    if (flushed_here) flush(job);

    char text[kDaxMsgBufSize];
    switch (buf.save_state_.load(std::memory_order_acquire)) {
    case RnSaveBuffer::kIdle: {
        std::snprintf(text, sizeof(text), "%s %d bytes", rnSavePathText(2001, path).c_str(), buf.bytesWritten());
        tellPlayer(text);
        break;
    }
    case RnSaveBuffer::kSaving:
        std::snprintf(text, sizeof(text), "Saving %s with %d bytes...", path.c_str(), buf.bytesWritten());
        tellPlayer(text);
        break;
    default:
        std::snprintf(text, sizeof(text), "Error %s writing file %s: %s", std::to_string(buf.error_code_).c_str(),
                      path.c_str(), buf.error_text_.c_str());
        tellPlayer(text);
        buf.save_state_.store(RnSaveBuffer::kIdle, std::memory_order_release);
        return false;
    }
    return true;
}

bool RnSaveWriter::quickSave() {
    const std::string dated = rnSaveDatedPart();
    daxLogMessage(2, 1, "save quicksave %s", dated.c_str());
    return saveGame(rnSaveDir() + grn_config.quicksave_ + dated + grn_config.savegame_suffix_, false);
}

bool RnSaveWriter::autoSave() {
    const std::string dated = rnSaveDatedPart();
    daxLogMessage(2, 1, "save autosave %s", dated.c_str());
    const std::string name = grn_config.autosave_ + dated + grn_config.savegame_suffix_;
    const bool started = saveGame(rnSaveDir() + name, false);
    if (grn_config.max_autosaves_ > 0) rotateAutosaves(grn_config.max_autosaves_, started ? name : std::string());
    return started;
}

void RnSaveWriter::rotateAutosaves(int max, const std::string& newest) {
    const std::string dir = rnSaveDir();
    A5_FsEntry folder(dir.c_str());
    if (!folder.isDirectory() || !al_open_directory(folder.get())) return;
    // Oldest first; the file being written counts as the newest.
    std::vector<std::pair<int64_t, std::string>> files;
    const std::string& base = grn_config.autosave_;
    while (ALLEGRO_FS_ENTRY* raw = al_read_directory(folder.get())) {
        A5_FsEntry entry(raw);
        ALLEGRO_PATH_mptr p(al_create_path(al_get_fs_entry_name(entry.get())));
        if (!p || !entry.isFile()) continue;
        const std::string name = al_get_path_filename(p.get());
        const size_t dot = name.rfind('.');
        if (name.compare(0, base.size(), base) != 0 || dot == std::string::npos ||
            name.compare(dot + 1, std::string::npos, grn_config.savegame_suffix_) != 0)
            continue;
        const int64_t mtime = name == newest ? INT64_MAX : static_cast<int64_t>(al_get_fs_entry_mtime(entry.get()));
        files.emplace_back(mtime, name);
    }
    al_close_directory(folder.get());
    if (!newest.empty() && std::none_of(files.begin(), files.end(), [&](const auto& f) { return f.second == newest; }))
        files.emplace_back(INT64_MAX, newest);
    std::sort(files.begin(), files.end());
    for (size_t i = 0; files.size() - i > static_cast<size_t>(max); ++i) {
        const std::string path = dir + files[i].second;
        daxLogMessage(2, 1, "delete autosave %s", path.c_str());
        if (daxFileExists(path.c_str())) daxRemoveFile(path.c_str());
    }
}

bool RnSaveWriter::saveLastSave() {
    daxLogMessage(2, 1, "save lastsave");
    return saveGame(rnSavePath(grn_config.lastsave_), true, rnSavePath(grn_config.prevsave_));
}

bool RnSaveWriter::saveNamed(const std::string& name) {
    if (!rnIsValidSaveName(name)) {
        tellPlayer("can't save under the name '" + cutAtCharacter(name, 64) + "'");
        return false;
    }
    return saveGame(rnSavePath(name), true);
}
