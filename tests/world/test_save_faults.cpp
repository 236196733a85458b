// The save writer against a failing disk and a program killed while it
// saves: every file call of the last save failed in turn, the program killed
// at each of them and at random moments, temporary files left behind, and
// files in the save folder that are no regular files.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "dax2/dax_file.h"
#include "file_faults.h"
#include "save_fixture.h"

using namespace worldtest;
using filefaults::Call;

namespace {

class SaveFaultTest : public SaveTest {
protected:
    void TearDown() override {
        filefaults::disarm();
        SaveTest::TearDown();
    }

    std::string last() const { return saves_.file("lastsave.sav"); }
    std::string prev() const { return saves_.file("prevsave.sav"); }

    // The town with rows of roads and houses over the rest of the map: a
    // save that gzip writes in several blocks.
    static void bigTown() {
        townWorld(24);
        grn_game.money_ = 100000000;
        for (int y = 3; y < 62; y += 3) {
            for (int x = 1; x < 63; ++x) savetown::place(RnIdBldRoad, savetown::kRoad, x, y, x, y);
            for (int x = 1; x < 62; x += 2) savetown::place(RnIdBldHous, savetown::kHouse, x, y + 2, x, y + 2);
        }
        savetown::runHours(24 * 8);
    }
    // The big town whose last save holds b_ and the previous save a_; c_ is
    // what the next last save writes, trace_ the file calls it makes on the
    // save folder. The folder is left with b_ and a_.
    void lastSaves() {
        bigTown();
        ASSERT_TRUE(RnSaveWriter::saveLastSave());
        grn_game.money_ += 1;
        ASSERT_TRUE(RnSaveWriter::saveLastSave());
        grn_game.money_ += 1;
        a_ = TempDir::read(prev());
        b_ = TempDir::read(last());
        filefaults::arm(saves_.path());
        ASSERT_TRUE(RnSaveWriter::saveLastSave());
        filefaults::disarm();
        trace_ = filefaults::trace();
        c_ = TempDir::read(last());
        ASSERT_EQ(TempDir::read(prev()), b_);
        ASSERT_NE(c_, b_);
        // The same world saves to the same bytes.
        ASSERT_TRUE(RnSaveWriter::saveLastSave());
        ASSERT_EQ(TempDir::read(last()), c_);
        restore();
    }
    void restore() const {
        put(last(), b_);
        put(prev(), a_);
    }
    static void put(const std::string& path, const std::string& bytes) {
        FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr) << path;
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    // How often the last save calls a kind on the save folder.
    int calls(Call call) const {
        int n = 0;
        for (const std::string& t : trace_) n += t == filefaults::callName(call) ? 1 : 0;
        return n;
    }
    // The names of the temporary files in the save folder.
    std::vector<std::string> temporaries() const {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(saves_.path())) {
            const std::string name = e.path().filename().string();
            if (e.path().extension() == ".tmp") out.push_back(name);
        }
        return out;
    }
    void removeTemporaries() const {
        for (const std::string& name : temporaries()) std::filesystem::remove(saves_.file(name));
    }
    // Which of the known saves a file holds: "a", "b", "c", or "?".
    std::string which(const std::string& path) const {
        const std::string bytes = TempDir::read(path);
        if (bytes == a_) return "a";
        if (bytes == b_) return "b";
        if (bytes == c_) return "c";
        return daxFileExists(path.c_str()) ? "?" : "none";
    }
    // The folder after a last save was stopped anywhere: the old pair, the
    // new last save with the old predecessor, or the whole new pair.
    void expectSoundPair(const std::string& when) const {
        const std::string pair = which(last()) + which(prev());
        EXPECT_TRUE(pair == "ba" || pair == "ca" || pair == "cb") << when << ": last and previous save hold " << pair;
    }
    // Every known save loads.
    void expectKnownSavesLoad() {
        for (const std::string* bytes : {&a_, &b_, &c_}) {
            const std::string path = saves_.file("check.sav");
            put(path, *bytes);
            EXPECT_EQ(loadFresh(path), "");
        }
    }

    std::string a_;
    std::string b_;
    std::string c_;
    std::vector<std::string> trace_;
};

// The text of the last message posted.
std::string lastMessage() {
    const auto& h = dax_msgmgr.history();
    return h.empty() ? std::string() : h.back().text_;
}

TEST_F(SaveFaultTest, EveryFailingFileCallOfTheLastSaveKeepsALoadableLastSaveAndItsPredecessor) {
    lastSaves();
    const int writes = calls(Call::Write);
    const int syncs = calls(Call::Fsync);
    ASSERT_GE(writes, 2);
    ASSERT_GE(syncs, 2);
    ASSERT_EQ(calls(Call::Link), 1);
    ASSERT_EQ(calls(Call::Rename), 2);
    ASSERT_EQ(calls(Call::Remove), 0);
    // gzip writes its last block on closing: the last write is the close's.
    size_t last_write = 0;
    for (size_t i = 0; i < trace_.size(); ++i) {
        if (trace_[i] == "write") last_write = i;
    }
    ASSERT_LT(last_write + 1, trace_.size());
    ASSERT_EQ(trace_[last_write + 1], "close");
    int file_close = 0;
    for (size_t i = 0; i <= last_write + 1; ++i) file_close += trace_[i] == "close" ? 1 : 0;

    const std::string keep_error = "deleting file" + prev() + ": ";
    struct Case {
        const char* step;
        std::vector<filefaults::Fault> faults;
        // What the last and the previous save hold after it: the old pair
        // "ba", the new last save beside the old predecessor "ca", the new
        // pair "cb".
        const char* pair;
        std::string told;   // what the player reads (posted, or shown and logged)
        bool temporaries;   // temporary files stay (their removal failed)
    };
    const Case cases[] = {
        {"the first write", {{Call::Write, 1, ENOSPC}}, "ba", "No space left on device", false},
        {"the write at the close", {{Call::Write, writes, ENOSPC}}, "ba",
         "error closing file: No space left on device", false},
        {"the close", {{Call::Close, file_close, EDQUOT}}, "ba", "error closing file: Disk quota exceeded", false},
        {"the sync of the new file", {{Call::Fsync, 1, EIO}}, "ba", ": Input/output error", false},
        // A folder without second names: the old last save is copied.
        {"the second name of the old last save", {{Call::Link, 1, EPERM}}, "cb", "", false},
        {"the second name and the copy of the old last save",
         {{Call::Link, 1, EPERM}, {Call::Write, writes + 1, ENOSPC}}, "ca", keep_error + "No space left on device",
         false},
        {"the rename into place", {{Call::Rename, 1, EACCES}}, "ba", ": Permission denied", false},
        {"the rename into place and the removals after it",
         {{Call::Rename, 1, EACCES}, {Call::Remove, 1, EBUSY}, {Call::Remove, 2, EBUSY}}, "ba",
         ": Permission denied", true},
        {"the rename to the previous save", {{Call::Rename, 2, EXDEV}}, "ca", keep_error + "Invalid cross-device link",
         false},
        {"the rename to the previous save and the removal after it",
         {{Call::Rename, 2, EXDEV}, {Call::Remove, 1, EBUSY}}, "ca", keep_error + "Invalid cross-device link", true},
        // The folder's entry is synced as well as the folder allows.
        {"the sync of the folder", {{Call::Fsync, syncs, EIO}}, "cb", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.step);
        restore();
        removeTemporaries();
        clearConsole();
        const size_t posted = dax_msgmgr.history().size();
        filefaults::arm(saves_.path(), c.faults);
        const bool saved = RnSaveWriter::saveLastSave();
        filefaults::disarm();
        EXPECT_EQ(saved, c.pair[0] == 'c');
        EXPECT_EQ(grn_save_buffer.save_state_.load(), RnSaveBuffer::kIdle);
        EXPECT_EQ(which(last()) + which(prev()), c.pair);
        EXPECT_EQ(temporaries().empty(), !c.temporaries);
        ASSERT_GT(dax_msgmgr.history().size(), posted);
        if (saved) {
            EXPECT_EQ(lastMessage().find("Game saved to " + last() + " "), 0u) << lastMessage();
            if (!c.told.empty()) {
                EXPECT_TRUE(loggedContaining(c.told)) << c.told;
            }
        } else {
            EXPECT_EQ(lastMessage().find("Error "), 0u) << lastMessage();
            EXPECT_NE(lastMessage().find(" writing file " + last() + ": "), std::string::npos) << lastMessage();
            EXPECT_NE(lastMessage().find(c.told), std::string::npos) << lastMessage();
            EXPECT_TRUE(loggedContaining(c.told)) << c.told;
        }
    }
    // What failed removals left goes with the next save.
    restore();
    filefaults::arm(saves_.path(), {{Call::Rename, 1, EACCES}, {Call::Remove, 1, EBUSY}, {Call::Remove, 2, EBUSY}});
    EXPECT_FALSE(RnSaveWriter::saveLastSave());
    filefaults::disarm();
    EXPECT_EQ(temporaries().size(), 2u);
    EXPECT_TRUE(RnSaveWriter::saveLastSave());
    EXPECT_TRUE(temporaries().empty());
    EXPECT_EQ(which(last()) + which(prev()), "cb");
    expectKnownSavesLoad();
}

// A child process saves the last save and is killed: at each file call the
// save makes on the folder in turn, then at moments drawn from a fixed seed.
// Whatever moment it hits, the folder holds a last save and a predecessor
// that were complete before.
TEST_F(SaveFaultTest, ALastSaveKilledAtAnyMomentLeavesBothSavesLoadable) {
    lastSaves();
    const std::string mine = save("mine.sav");
    const std::string mine_bytes = TempDir::read(mine);
    const int steps = static_cast<int>(trace_.size());
    ASSERT_GE(steps, 8);

    for (int k = 1; k <= steps + 1; ++k) {
        restore();
        removeTemporaries();
        const pid_t child = ::fork();
        ASSERT_NE(child, -1);
        if (child == 0) {
            filefaults::armKill(saves_.path(), k);
            RnSaveWriter::saveLastSave();
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        const bool killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
        EXPECT_EQ(killed, k <= steps) << "call " << k;
        expectSoundPair("killed before call " + std::to_string(k) + " (" +
                        (k <= steps ? trace_[static_cast<size_t>(k - 1)] : std::string("none")) + ")");
    }

    // The time one last save takes here: the kills are spread over twice
    // that, as a forked child saves slower while it copies its pages.
    restore();
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(RnSaveWriter::saveLastSave());
    const auto took = std::chrono::steady_clock::now() - start;
    const int64_t span = std::chrono::duration_cast<std::chrono::microseconds>(took).count() * 2 + 1;
    std::mt19937 moments(4357);
    std::uniform_int_distribution<int64_t> at(0, span);
    for (int round = 0; round < 16; ++round) {
        // Temporary files of the kill before stay: the next save removes them.
        restore();
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        ASSERT_NE(child, -1);
        if (child == 0) {
            ::close(ready[0]);
            const char go = 1;
            if (::write(ready[1], &go, 1) != 1) ::_exit(1);
            RnSaveWriter::saveLastSave();
            ::_exit(0);
        }
        ::close(ready[1]);
        char go = 0;
        ASSERT_EQ(::read(ready[0], &go, 1), 1);
        ::close(ready[0]);
        const int64_t wait_us = at(moments);
        std::this_thread::sleep_for(std::chrono::microseconds(wait_us));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        expectSoundPair("killed after " + std::to_string(wait_us) + " us");
        EXPECT_EQ(TempDir::read(mine), mine_bytes);
    }
    EXPECT_EQ(loadFresh(mine), "");
    expectKnownSavesLoad();
}

TEST_F(SaveFaultTest, TemporaryFilesOfKilledSavesAreRemovedAndNothingElse) {
    freshWorld();
    const std::string stale[] = {"lastsave.sav.tmp", "prevsave.sav.tmp", "my town.sav.tmp",
                                 "autosave-T-m-0001-01-08.sav.tmp"};
    for (const std::string& name : stale) saves_.write(name, "half a save");
    const std::string others[] = {"notes.tmp", "a.savx.tmp", "a.SAV.tmp", ".sav.tmp", "a.sav.tmp.bak", "a.sav"};
    for (const std::string& name : others) saves_.write(name, "kept");
    saves_.write("folder.sav.tmp/inner", "kept");
    ASSERT_EQ(::mkfifo(saves_.file("pipe.sav.tmp").c_str(), 0600), 0);

    clearConsole();
    EXPECT_TRUE(RnSaveWriter::saveNamed("mine"));
    for (const std::string& name : stale) {
        EXPECT_FALSE(std::filesystem::exists(saves_.file(name))) << name;
        EXPECT_TRUE(loggedLine("delete stale temporary file " + saves_.file(name))) << name;
    }
    for (const std::string& name : others) EXPECT_EQ(TempDir::read(saves_.file(name)), "kept") << name;
    EXPECT_EQ(TempDir::read(saves_.file("folder.sav.tmp/inner")), "kept");
    EXPECT_TRUE(std::filesystem::is_fifo(saves_.file("pipe.sav.tmp")));
    EXPECT_EQ(loadFresh(saves_.file("mine.sav")), "");
}

// A FIFO (or a device) named like a save: neither listed, offered, loaded
// nor written through, and nothing waits for a program at its other end.
TEST_F(SaveFaultTest, ASaveNamedFifoOrDeviceIsNeitherListedNorOpened) {
    townWorld(24);
    save("real.sav");
    const std::string pipe = saves_.file("pipe.sav");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(last().c_str(), 0600), 0);
    ASSERT_EQ(::symlink("/dev/zero", saves_.file("device.sav").c_str()), 0);

    const std::vector<RnSaveListEntry> list = RnSaveLoader::listSaves();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].path, saves_.file("real.sav"));
    EXPECT_TRUE(list[0].valid);
    std::string map_name;
    std::string town_name;
    int32_t population = 0;
    EXPECT_FALSE(RnSaveLoader::verifyLastSave(map_name, town_name, population));
    RnSaveSummary summary;
    for (const std::string& path : {pipe, last(), saves_.file("device.sav")}) {
        EXPECT_FALSE(RnSaveLoader::verifyGame(path, summary)) << path;
        EXPECT_EQ(loadFresh(path), "false") << path;
    }

    // A save onto a FIFO named like its temporary file fails at once.
    ASSERT_EQ(::mkfifo(saves_.file("stuck.sav.tmp").c_str(), 0600), 0);
    EXPECT_FALSE(RnSaveWriter::saveNamed("stuck"));
    EXPECT_EQ(lastMessage(), "can't open file " + saves_.file("stuck.sav") + " for writing");
}

}  // namespace
