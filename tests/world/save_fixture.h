// Saving and loading the sample town: a fresh world from the sample data,
// the town laid on it, saves written into a temporary save folder and read
// back uncompressed for byte comparisons and damage.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "dax2/dax_ini.h"
#include "dax2/dax_msg.h"
#include "dax2/dax_random.h"
#include "rn_file_load.h"
#include "rn_file_save.h"
#include "rn_trigger.h"
#include "save_town.h"
#include "support/save_bytes.h"
#include "support/temp_dir.h"
#include "test_game_fixture.h"

namespace worldtest {

const std::string kSampleData = std::string(ZOR_SOURCE_DIR) + "/data/";

class SaveTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        saved_search_ = dax_config.search_path_;
        saved_save_dir_ = dax_config.save_dir_;
        dax_config.save_dir_ = saves_.path();
        dax_config.debug_level_ = 2;
        RnSaveWriter::setOpenHook(nullptr);
        grn_save_view = nullptr;
        // The trigger runs, as in the game.
        grn_game.setTickServices(&services_);
    }
    void TearDown() override {
        RnSaveWriter::waitIdle();
        RnSaveWriter::setOpenHook(nullptr);
        grn_save_buffer.save_state_ = RnSaveBuffer::kIdle;
        grn_trigger.reset();
        dax_config.search_path_ = saved_search_;
        dax_config.save_dir_ = saved_save_dir_;
        daxSetErrorLine(0);
        daxSetErrorFunction("");
        WorldTest::TearDown();
    }

    // A fresh sample world, as the loading screen has it before a load.
    static void freshWorld() {
        const std::string failed = savetown::freshSampleWorld(kSampleData);
        ASSERT_EQ(failed, "");
    }
    // The sample world with the town laid and run for some game hours.
    static void townWorld(int hours = 24 * 8) {
        freshWorld();
        const std::string failed = savetown::buildTown();
        ASSERT_EQ(failed, "");
        savetown::runHours(hours);
    }

    // A save written on this thread.
    std::string save(const std::string& name) {
        const std::string path = saves_.file(name);
        EXPECT_TRUE(RnSaveWriter::saveGame(path, true)) << path;
        return path;
    }
    // Loads path over a fresh sample world; the loader's DaxException text,
    // "false" for a refusal without one, or "" when it loaded.
    static std::string loadFresh(const std::string& path) {
        freshWorld();
        std::string why;
        try {
            if (!RnSaveLoader::loadGame(path)) why = "false";
        } catch (const DaxException& e) {
            why = e.what();
        }
        return why;
    }

    // A file's content as zlib reads it (gzip or plain).
    static std::string unpacked(const std::string& path) { return savebytes::unpacked(path); }
    // Writes content as a plain file (the loader reads plain files too).
    std::string writePlain(const std::string& name, const std::string& content) {
        const std::string path = saves_.file(name);
        FILE* f = std::fopen(path.c_str(), "wb");
        if (f) {
            std::fwrite(content.data(), 1, content.size(), f);
            std::fclose(f);
        }
        return path;
    }

    // "" for equal byte strings, else where they part.
    static std::string firstDifference(const std::string& a, const std::string& b) {
        return savebytes::firstDifference(a, b);
    }

    static int32_t int32At(const std::string& bytes, size_t at) {
        uint32_t v = 0;
        for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[at + static_cast<size_t>(i)]);
        return static_cast<int32_t>(v);
    }
    static void setInt32At(std::string& bytes, size_t at, int32_t value) {
        for (int i = 0; i < 4; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    // Offsets of every 4-byte run that reads as value, from 'from' on.
    static std::vector<size_t> find32(const std::string& bytes, int32_t value, size_t from = 0) {
        std::vector<size_t> out;
        for (size_t i = from; i + 4 <= bytes.size(); ++i) {
            if (int32At(bytes, i) == value) out.push_back(i);
        }
        return out;
    }

    RnTriggerTickServices services_;
    // Reads the fixed part of an unpacked save (header, game fields, the
    // bitmap and id tables) and returns where the first section after the
    // walker type table begins; field offsets on the way are noted.
    struct Prefix {
        size_t game_fields = 0;
        size_t bitmap_tag = 0;
        size_t goods_ids = 0;
        size_t after_tables = 0;
    };
    static Prefix scanPrefix(const std::string& b) {
        Prefix p;
        size_t at = 3 + 4 * 4 + 33 * 4 + 4;
        p.game_fields = at;
        at += 4 + 4 + 4 + 2;
        at += 4 + static_cast<size_t>(int32At(b, at));
        at += 4 + static_cast<size_t>(int32At(b, at));
        at += 4 + 24 + 4 + 4;
        p.bitmap_tag = at;
        at += 4;
        int32_t n = int32At(b, at);
        at += 4;
        for (int32_t i = 0; i < n; ++i) at += 4 + static_cast<size_t>(int32At(b, at)) + 2 + 2 + 4;
        at += 4 + 12 * static_cast<size_t>(int32At(b, at));
        at += 4 + 4 * static_cast<size_t>(int32At(b, at));
        p.goods_ids = at;
        at += 4 + 4 * static_cast<size_t>(int32At(b, at));
        at += 4 + 8 * static_cast<size_t>(int32At(b, at));
        p.after_tables = at;
        return p;
    }
    // The one place where pattern occurs (fails the test otherwise).
    static size_t findOnce(const std::string& bytes, const std::string& pattern) {
        const size_t at = bytes.find(pattern);
        EXPECT_NE(at, std::string::npos);
        EXPECT_EQ(bytes.find(pattern, at + 1), std::string::npos);
        return at == std::string::npos ? 0 : at;
    }
    static std::string le32(int32_t v) {
        std::string s(4, '\0');
        setInt32At(s, 0, v);
        return s;
    }
    static std::string le16(int16_t v) {
        std::string s(2, '\0');
        s[0] = static_cast<char>(v & 0xFF);
        s[1] = static_cast<char>((v >> 8) & 0xFF);
        return s;
    }

    TempDir saves_;
    std::vector<std::string> saved_search_;
    std::string saved_save_dir_;
};

}  // namespace worldtest
