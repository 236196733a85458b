// The bytes of a save file: the header, the header check with each refusal,
// strings at their limits, the sections a world without some parts leaves
// out, and the chunk chain of the save buffer.
#include <allegro5/allegro.h>
#include <zlib.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "dax2/dax_file.h"
#include "dax2/dax_mptr.h"
#include "rn_map.h"
#include "save_fixture.h"

using namespace worldtest;

namespace {

class SaveFormatTest : public SaveTest {
protected:
    // The header as the writer makes it.
    static std::string header() {
        std::string h("zor");
        for (int32_t v : kRnSaveVersion) h += le32(v);
        for (const RnSaveTypeSize& row : kRnSaveTypeSizes) h += le32(row.value);
        h += le32(kRnTagEnd);
        return h;
    }
    // Runs the header check on content written as a plain file: "true",
    // "false" or the raised text.
    std::string check(const std::string& content, int32_t* version = nullptr) {
        const std::string path = writePlain("h.sav", content);
        ALLEGRO_FILE_mptr file(daxGzOpen(path.c_str(), "rb"));
        EXPECT_TRUE(file);
        RnSaveLoader in(file.get());
        std::string result;
        try {
            result = in.checkHeader(version) ? "true" : "false";
        } catch (const DaxException& e) {
            result = e.what();
        }
        return result;
    }
    // Runs readString on an int32 length and the bytes that follow.
    std::string readString(int32_t len, const std::string& chars) {
        const std::string path = writePlain("s.bin", le32(len) + chars);
        ALLEGRO_FILE_mptr file(daxGzOpen(path.c_str(), "rb"));
        RnSaveLoader in(file.get());
        return raisedBy([&] { read_ = in.readString(); }, "");
    }
    std::string read_;
};

TEST_F(SaveFormatTest, AFileBeginsWithMagicVersionSizeTableAndEndTag) {
    freshWorld();
    const std::string bytes = unpacked(save("fresh.sav"));
    ASSERT_GT(bytes.size(), header().size());
    EXPECT_EQ(bytes.substr(0, header().size()), header());
    // The table as the format gives it, signatures included.
    const int32_t expected[33] = {4,  24, 4,  8,  12, 16, 20,  16, 40, 36,  12, 16, 32,  12, 12, 28, 8,
                                  12, 16, 36, 8,  4,  28, 184, 6,  40, 12,  104, 108, 104, 108, 6, 206};
    for (int i = 0; i < 33; ++i) EXPECT_EQ(int32At(bytes, 19 + 4 * static_cast<size_t>(i)), expected[i]) << i;
    // Game fields: money, population, map side, desirability range, the two
    // names, the mini-map flag, the clock, the counter and the milestone.
    const Prefix p = scanPrefix(bytes);
    EXPECT_EQ(int32At(bytes, p.game_fields), 5000);
    EXPECT_EQ(int32At(bytes, p.game_fields + 8), 64);
    EXPECT_EQ(bytes.substr(p.game_fields + 14, 4 + 12), le32(12) + "green_valley");
    EXPECT_EQ(bytes.substr(p.game_fields + 30, 4 + 10), le32(10) + "Testhausen");
    EXPECT_EQ(int32At(bytes, p.game_fields + 44 + 4), static_cast<int32_t>(DaxGameClock::kMementoMagic));
    EXPECT_EQ(int32At(bytes, p.bitmap_tag), kRnTagBitmaps);
}

TEST_F(SaveFormatTest, AWorldLeavesOutTheSectionsItHasNothingFor) {
    // No buildings, no walkers, no tile worth saving, no workforce and no
    // trigger: the walker type table is followed by the map with no tiles,
    // the view, the empty queue and the mini-map flag.
    freshWorld();
    grn_trigger.reset();
    grn_game.updateQueue().clear();
    const std::string bytes = unpacked(save("empty.sav"));
    const size_t at = scanPrefix(bytes).after_tables;
    std::string rest = le32(kRnTagMap) + le32(64) + le32(0);
    rest += std::string("\x00\x00\x80\xbf\x00\x00\x80\xbf", 8);  // view centre -1, -1
    rest += le32(0) + le32(0) + le32(0);                          // queue: counter, objects, jobs
    rest += le32(kRnTagMiniMap) + le32(0) + le32(kRnTagEnd);
    EXPECT_EQ(bytes.substr(at), rest);
    EXPECT_EQ(loadFresh(saves_.file("empty.sav")), "");
}

TEST_F(SaveFormatTest, TheHeaderCheckRefusesForeignAndOtherVersions) {
    const std::string h = header();
    std::string v12 = h;
    setInt32At(v12, 7, 12);
    std::string v11x = h;
    setInt32At(v11x, 11, 7);
    setInt32At(v11x, 15, 9);
    std::string map_tile = h;
    setInt32At(map_tile, 19 + 4 * 12, 33);
    std::string queue_sig = h;
    setInt32At(queue_sig, 19 + 4 * 8, 41);
    std::string no_end = h;
    setInt32At(no_end, h.size() - 4, kRnTagMap);
    struct Case {
        std::string content;
        std::string result;
        std::string logged;
    } cases[] = {
        {"zoo" + h.substr(3), "false", "not a zor save game file"},
        {"", "false", "not a zor save game file"},
        {v12, "false", "different version in save: 0.12.1.22 where 0.11 is expected"},
        {v11x, "true", "version 0.11.7.9"},
        {map_tile, "incompatible data types in savegame: RnMapTile expected size 32 and read 33", ""},
        {queue_sig, "incompatible data types in savegame: RnGameUpdateQueue expected sig 40 and read 41", ""},
        {h.substr(0, 60), "read error, premature end of file", ""},
        {h.substr(0, 10), "couldn't read 4 bytes from file", ""},
        {no_end, "false", "incompatible savegame (0.11.1.22), first chunk expected"},
    };
    for (const Case& c : cases) {
        clearConsole();
        EXPECT_EQ(check(c.content), c.result);
        if (!c.logged.empty()) {
            EXPECT_TRUE(loggedContaining(c.logged)) << c.logged;
        }
    }
    int32_t version[4] = {};
    EXPECT_EQ(check(v11x, version), "true");
    EXPECT_EQ(version[2], 7);
    EXPECT_EQ(version[3], 9);
}

TEST_F(SaveFormatTest, StringsAreReadUpTo1023CharactersAndToTheirFirstNul) {
    EXPECT_EQ(readString(1023, std::string(1023, 'a')), "");
    EXPECT_EQ(read_, std::string(1023, 'a'));
    EXPECT_EQ(readString(1024, std::string(1024, 'a')), "can't read more than 1024 characters for one string: 1024");
    // A negative length is a huge one.
    EXPECT_EQ(readString(-1, "abc"), "can't read more than 1024 characters for one string: 4294967295");
    EXPECT_EQ(readString(10, "abc"), "couldn't read string of length 10 from file");
    EXPECT_EQ(readString(5, std::string("ab\0cd", 5)), "");
    EXPECT_EQ(read_, "ab");

    // The writer refuses what a reader would refuse, and the save with it.
    grn_save_buffer.start();
    EXPECT_EQ(raisedBy([] { grn_save_buffer.str(std::string(1023, 'b')); }, ""), "");
    EXPECT_EQ(raisedBy([] { grn_save_buffer.str(std::string(1024, 'b')); }),
              "string of 1024 characters is too long for a save game");
    freshWorld();
    grn_game.game_name_ = std::string(1024, 'n');
    clearConsole();
    EXPECT_FALSE(RnSaveWriter::saveGame(saves_.file("long.sav"), true));
    EXPECT_TRUE(loggedContaining("string of 1024 characters is too long for a save game"));
    EXPECT_FALSE(daxFileExists(saves_.file("long.sav").c_str()));
    EXPECT_EQ(grn_save_buffer.save_state_.load(), RnSaveBuffer::kIdle);
}

TEST_F(SaveFormatTest, AFileReadAheadComesInOrderAndEndsWithAShortRead) {
    // Three megabytes of counted words, gzip'd: many of the reader's
    // buffers, and pieces that straddle their ends.
    const std::string path = saves_.file("words.gz");
    constexpr int32_t kWords = 3 << 18;
    {
        gzFile g = gzopen(path.c_str(), "wb");
        ASSERT_TRUE(g);
        for (int32_t i = 0; i < kWords; ++i) gzwrite(g, le32(i).data(), 4);
        gzclose(g);
    }
    ALLEGRO_FILE_mptr file(daxGzOpen(path.c_str(), "rb"));
    RnSaveLoader in(file.get());
    EXPECT_EQ(in.readInt32(), 0);
    in.startReadAhead();
    bool in_order = true;
    uint8_t three[3];
    for (int32_t i = 1; i < kWords && in_order; ++i) {
        if (i % 1000 == 0) {
            // A word read as 3 bytes and 1.
            in.read(three, 3);
            uint8_t last = 0;
            in.read(&last, 1);
            in_order = (three[0] | three[1] << 8 | three[2] << 16 | last << 24) == i;
        } else {
            in_order = in.readInt32() == i;
        }
    }
    EXPECT_TRUE(in_order);
    EXPECT_EQ(raisedBy([&] { in.readInt32(); }), "couldn't read 4 bytes from file");

    // A loader given up halfway stops its reader.
    ALLEGRO_FILE_mptr again(daxGzOpen(path.c_str(), "rb"));
    {
        RnSaveLoader half(again.get());
        half.startReadAhead();
        for (int32_t i = 0; i < kWords / 2; ++i) half.readInt32();
    }
    EXPECT_TRUE(again);

    // Read to its end from anywhere, the file passes; cut inside its
    // trailer it does not, though its data (a whole number of the reader's
    // buffers) end where a read ends and zlib says nothing.
    std::string packed;
    {
        std::ifstream f(path, std::ios::binary);
        packed.assign((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    }
    const std::string cut = saves_.write("cut.gz", packed.substr(0, packed.size() - 3));
    for (const std::string& p : {path, cut}) {
        ALLEGRO_FILE_mptr f(daxGzOpen(p.c_str(), "rb"));
        RnSaveLoader rest(f.get());
        rest.readInt32();
        rest.startReadAhead();
        EXPECT_EQ(raisedBy([&] { rest.readToEnd(p); }, ""),
                  p == path ? "" : "save game file is damaged: " + cut + ": its end is missing");
    }
}

TEST_F(SaveFormatTest, AChunkFilledToItsEndMovesOnToAnEmptyNextChunk) {
    RnSaveBuffer& buf = grn_save_buffer;
    buf.start();
    std::vector<uint8_t> bytes(RnSaveBuffer::kChunkSize - 2, 7);
    buf.write(bytes.data(), bytes.size());
    const RnSaveBuffer::Mark mark = buf.markInt32();  // straddles the boundary
    EXPECT_EQ(buf.currentChunk(), buf.firstChunk()->next.get());
    EXPECT_EQ(buf.currentPos(), 2u);
    buf.patchInt32(mark, 0x04030201);
    EXPECT_EQ(buf.firstChunk()->data[RnSaveBuffer::kChunkSize - 2], 1);
    EXPECT_EQ(buf.firstChunk()->data[RnSaveBuffer::kChunkSize - 1], 2);
    EXPECT_EQ(buf.currentChunk()->data[0], 3);
    EXPECT_EQ(buf.currentChunk()->data[1], 4);
    EXPECT_EQ(buf.bytesWritten(), static_cast<int32_t>(RnSaveBuffer::kChunkSize + 2));

    // Exactly one chunk's worth: the first is full, the current one empty.
    buf.start();
    bytes.assign(RnSaveBuffer::kChunkSize, 9);
    EXPECT_EQ(buf.write(bytes.data(), bytes.size()), bytes.size());
    EXPECT_EQ(buf.currentChunk(), buf.firstChunk()->next.get());
    EXPECT_EQ(buf.currentPos(), 0u);
    // Chunks stay for later saves; a smaller save uses the first alone.
    const int chunks = buf.chunkCount();
    buf.start();
    buf.i32(5);
    EXPECT_EQ(buf.chunkCount(), chunks);
    EXPECT_EQ(buf.currentChunk(), buf.firstChunk());
}

// The sizes the flush hands to the file, through the gzip interface.
std::vector<size_t> g_writes;
size_t recordWrite(ALLEGRO_FILE* f, const void* p, size_t n) {
    g_writes.push_back(n);
    return daxGzFileInterface.fi_fwrite(f, p, n);
}
ALLEGRO_FILE* recordingOpen(const char* path, const char* mode) {
    static ALLEGRO_FILE_INTERFACE iface = [] {
        ALLEGRO_FILE_INTERFACE i = daxGzFileInterface;
        i.fi_fwrite = recordWrite;
        return i;
    }();
    return al_fopen_interface(&iface, path, mode);
}

TEST_F(SaveFormatTest, ASaveOfAWholeChunkWritesThatChunkAndAnEmptyOne) {
    // Script values (88 bytes each) and the game name bring the save to
    // exactly one chunk after the magic.
    freshWorld();
    RnScriptDataEntry value;
    value.key_kind_ = kRnScriptKeyInt;
    std::vector<RnScriptDataEntry>& data = grn_trigger.scriptData();
    data.assign(100, value);
    const size_t probe = unpacked(save("probe.sav")).size();
    const size_t missing = 3 + RnSaveBuffer::kChunkSize - probe;
    data.resize(data.size() + missing / 88, value);
    grn_game.game_name_ += std::string(missing % 88, 'x');

    RnSaveWriter::setOpenHook(recordingOpen);
    g_writes.clear();
    const std::string bytes = unpacked(save("chunk.sav"));
    EXPECT_EQ(bytes.size(), 3 + RnSaveBuffer::kChunkSize);
    EXPECT_EQ(g_writes, (std::vector<size_t>{3, RnSaveBuffer::kChunkSize, 0}));
    EXPECT_EQ(loadFresh(saves_.file("chunk.sav")), "");
    EXPECT_EQ(grn_trigger.scriptData().size(), data.size());
}

}  // namespace
