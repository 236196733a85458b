// The save writer: one save at a time, failures of the file reported and the
// previous file kept, the state released on every way out, the file names of
// quick, auto and last saves and the rotation of autosaves.
#include <allegro5/allegro.h>
#include <sys/stat.h>
#include <utime.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <new>
#include <thread>

#include "dax2/dax_file.h"
#include "dax2/dax_mptr.h"
#include "nex/tgraph.h"
#include "rn_bld_hous.h"
#include "rn_bld_stor.h"
#include "save_fixture.h"

using namespace worldtest;

namespace {

// A gzip file that fails on purpose: writes beyond a budget of bytes fail
// with an error or fall short without one, its close fails, or memory runs
// out on the first. While the test holds them (g_release false), the writes
// of the flush wait, whatever else they do.
enum class Fault { None, WriteError, ShortWrite, CloseFails, NoMemory };
Fault g_fault = Fault::None;
size_t g_budget = 0;
int g_error = 0;
std::atomic<bool> g_release{false};

size_t faultyWrite(ALLEGRO_FILE* f, const void* p, size_t n) {
    if (g_fault == Fault::NoMemory) throw std::bad_alloc();
    // The magic goes straight to the file on the game thread; the chunks
    // are held.
    if (n > 3) {
        while (!g_release.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if ((g_fault == Fault::WriteError || g_fault == Fault::ShortWrite) && n > g_budget) {
        const size_t k = g_budget;
        if (k > 0) daxGzFileInterface.fi_fwrite(f, p, k);
        g_budget = 0;
        if (g_fault == Fault::WriteError) g_error = ENOSPC;
        return k;
    }
    if (g_fault == Fault::WriteError || g_fault == Fault::ShortWrite) g_budget -= n;
    return daxGzFileInterface.fi_fwrite(f, p, n);
}
int faultyError(ALLEGRO_FILE* f) { return g_error != 0 ? g_error : daxGzFileInterface.fi_ferror(f); }
const char* faultyErrmsg(ALLEGRO_FILE* f) {
    return g_error != 0 ? "No space left on device" : daxGzFileInterface.fi_ferrmsg(f);
}
void faultyClearerr(ALLEGRO_FILE* f) {
    g_error = 0;
    daxGzFileInterface.fi_fclearerr(f);
}
bool faultyClose(ALLEGRO_FILE* f) {
    const bool ok = daxGzFileInterface.fi_fclose(f);
    if (g_fault != Fault::CloseFails) return ok;
    al_set_errno(EIO);
    return false;
}
ALLEGRO_FILE* faultyOpen(const char* path, const char* mode) {
    static ALLEGRO_FILE_INTERFACE iface = [] {
        ALLEGRO_FILE_INTERFACE i = daxGzFileInterface;
        i.fi_fwrite = faultyWrite;
        i.fi_ferror = faultyError;
        i.fi_ferrmsg = faultyErrmsg;
        i.fi_fclearerr = faultyClearerr;
        i.fi_fclose = faultyClose;
        return i;
    }();
    return al_fopen_interface(&iface, path, mode);
}

// The tick's save steps, as the program's services do them.
struct SavingServices : RnTriggerTickServices {
    void reportSaveError() override { RnSaveWriter::reportSaveError(); }
    void autoSave() override { RnSaveWriter::autoSave(); }
};

class SaveWriterTest : public SaveTest {
protected:
    void SetUp() override {
        SaveTest::SetUp();
        g_fault = Fault::None;
        g_error = 0;
        g_release = true;
    }
    void TearDown() override {
        g_release = true;
        SaveTest::TearDown();
    }
    // The text of the last message posted.
    static std::string lastMessage() {
        const auto& h = dax_msgmgr.history();
        return h.empty() ? std::string() : h.back().text_;
    }
    static bool posted(const std::string& part) {
        for (const DaxMessage& m : dax_msgmgr.history()) {
            if (m.text_.find(part) != std::string::npos) return true;
        }
        return false;
    }
    static void setMtime(const std::string& path, time_t t) {
        utimbuf times{t, t};
        ::utime(path.c_str(), &times);
    }
};

TEST_F(SaveWriterTest, ASecondSaveWhileOneIsFlushedIsRefused) {
    townWorld(24);
    RnSaveWriter::setOpenHook(faultyOpen);
    g_fault = Fault::None;
    g_release = false;
    const std::string path = saves_.file("held.sav");
    EXPECT_TRUE(RnSaveWriter::saveGame(path, false));
    EXPECT_NE(lastMessage().find("Saving " + path + " with "), std::string::npos) << lastMessage();
    EXPECT_EQ(grn_save_buffer.save_state_.load(), RnSaveBuffer::kSaving);
    EXPECT_FALSE(RnSaveWriter::quickSave());
    EXPECT_EQ(lastMessage(), "Can't save now");
    // The world goes on meanwhile; the flush has its own copy.
    savetown::runHours(2);
    g_release = true;
    RnSaveWriter::waitIdle();
    EXPECT_EQ(grn_save_buffer.save_state_.load(), RnSaveBuffer::kIdle);
    EXPECT_FALSE(daxFileExists((path + ".tmp").c_str()));
    EXPECT_EQ(loadFresh(path), "");
}

TEST_F(SaveWriterTest, AFailedOrInterruptedSaveKeepsThePreviousFile) {
    townWorld(24);
    const std::string path = save("keep.sav");
    const std::string good = TempDir::read(path);
    savetown::runHours(5);
    struct Case {
        Fault fault;
        size_t budget;
        std::string message;
    } cases[] = {
        {Fault::WriteError, 1000, "Error 28 writing file " + path + ": No space left on device"},
        {Fault::WriteError, 3, "Error 28 writing file " + path + ": No space left on device"},
        // The magic, written before the flush.
        {Fault::WriteError, 0, "can't save " + path + ": can't write to the save file"},
        // A write that falls short without saying why is a failure too.
        {Fault::ShortWrite, 5000, "Error 5 writing file " + path + ": only 4997 of "},
        // gzip writes its last block and trailer on closing.
        {Fault::CloseFails, 0, "Error 5 writing file " + path + ": error closing file"},
    };
    RnSaveWriter::setOpenHook(faultyOpen);
    for (const Case& c : cases) {
        g_fault = c.fault;
        g_budget = c.budget;
        g_error = 0;
        EXPECT_FALSE(RnSaveWriter::saveGame(path, true));
        EXPECT_EQ(lastMessage().find(c.message), 0u) << lastMessage();
        EXPECT_EQ(TempDir::read(path), good);
        EXPECT_FALSE(daxFileExists((path + ".tmp").c_str()));
        EXPECT_EQ(grn_save_buffer.save_state_.load(), RnSaveBuffer::kIdle);
    }
    EXPECT_EQ(loadFresh(path), "");
}

TEST_F(SaveWriterTest, AFlushThatFailsInTheBackgroundIsReportedByTheTick) {
    townWorld(24);
    SavingServices services;
    grn_game.setTickServices(&services);
    RnSaveWriter::setOpenHook(faultyOpen);
    g_fault = Fault::WriteError;
    g_budget = 100;
    // Held until the save has returned: a flush that ended first would be
    // reported by the save itself.
    g_release = false;
    EXPECT_TRUE(RnSaveWriter::saveGame(saves_.file("bg.sav"), false));
    g_release = true;
    RnSaveWriter::waitIdle();
    EXPECT_EQ(grn_save_buffer.save_state_.load(), RnSaveBuffer::kFailed);
    EXPECT_EQ(grn_save_buffer.error_code_, ENOSPC);
    grn_game.update();
    EXPECT_EQ(lastMessage(), "Error 28 writing file: No space left on device");
    EXPECT_EQ(grn_save_buffer.save_state_.load(), RnSaveBuffer::kIdle);

    // A waiting save reports an error left behind first, then saves.
    g_budget = 100;
    g_release = false;
    EXPECT_TRUE(RnSaveWriter::saveGame(saves_.file("bg.sav"), false));
    g_release = true;
    RnSaveWriter::waitIdle();
    g_fault = Fault::None;
    const size_t before = dax_msgmgr.history().size();
    EXPECT_TRUE(RnSaveWriter::saveGame(saves_.file("bg.sav"), true));
    const auto& h = dax_msgmgr.history();
    ASSERT_EQ(h.size(), before + 2);
    EXPECT_EQ(h[before].text_, "Error 28 writing file: No space left on device");
    EXPECT_EQ(h[before + 1].text_.find("Game saved to " + saves_.file("bg.sav") + " "), 0u) << h[before + 1].text_;
    grn_game.setTickServices(&services_);
}

TEST_F(SaveWriterTest, AFileThatCannotBeOpenedIsToldToThePlayer) {
    freshWorld();
    const std::string blocker = saves_.write("plain.txt", "x");
    clearConsole();
    EXPECT_FALSE(RnSaveWriter::saveGame(blocker + "/sub/x.sav", true));
    EXPECT_TRUE(loggedContaining("can't open file " + blocker + "/sub/x.sav for writing"));
    EXPECT_EQ(lastMessage(), "can't open file " + blocker + "/sub/x.sav for writing");
    EXPECT_EQ(grn_save_buffer.save_state_.load(), RnSaveBuffer::kIdle);
}

TEST_F(SaveWriterTest, ANewSaveFolderIsMadeAndItsPlainFileLoads) {
    townWorld(24);
    dax_config.save_dir_ = saves_.file("new/folder/");
    EXPECT_TRUE(RnSaveWriter::saveLastSave());
    const std::string path = saves_.file("new/folder/lastsave.sav");
    EXPECT_EQ(TempDir::read(path).substr(0, 3), "zor");
    EXPECT_EQ(loadFresh(path), "");
    EXPECT_EQ(grn_game.housType(0).instanceCount(), 4);
}

TEST_F(SaveWriterTest, AnErrorWhileSerialisingReleasesTheStateAndKeepsTheFile) {
    townWorld(24);
    const std::string path = save("kept.sav");
    const std::string good = TempDir::read(path);

    // A script text longer than its slot is refused visibly.
    RnScriptDataEntry e;
    e.value_kind_ = kRnScriptString;
    e.str_key_ = "motto";
    e.str_value_ = "sixteen letters!";
    grn_trigger.scriptData().push_back(e);
    EXPECT_FALSE(RnSaveWriter::saveGame(path, true));
    EXPECT_EQ(lastMessage(), "can't save " + path +
                                 ": script text 'sixteen letters!' is longer than 15 characters and can't be saved");
    EXPECT_EQ(grn_save_buffer.save_state_.load(), RnSaveBuffer::kIdle);
    EXPECT_EQ(TempDir::read(path), good);
    e.str_value_ = "fifteen letters";
    grn_trigger.scriptData().back() = e;
    EXPECT_TRUE(RnSaveWriter::saveGame(path, true));

    // A storage network that is a view on another graph cannot be saved.
    RnStorageNetwork& net = grn_game.storType(0).network_;
    const nex::tDiGraph super = net.gr_;
    net.gr_.setSuperGraph(&super);
    EXPECT_FALSE(RnSaveWriter::saveGame(path, true));
    EXPECT_NE(lastMessage().find("super graph not allowed for save"), std::string::npos);
    EXPECT_EQ(grn_save_buffer.save_state_.load(), RnSaveBuffer::kIdle);
    net.gr_.setSuperGraph(nullptr);

    // Memory that runs out while the world is written.
    const std::string before = TempDir::read(path);
    RnSaveWriter::setOpenHook(faultyOpen);
    g_fault = Fault::NoMemory;
    EXPECT_FALSE(RnSaveWriter::saveGame(path, true));
    EXPECT_EQ(lastMessage(), "can't save " + path + ": not enough memory");
    EXPECT_EQ(grn_save_buffer.save_state_.load(), RnSaveBuffer::kIdle);
    EXPECT_EQ(TempDir::read(path), before);
    g_fault = Fault::None;
    RnSaveWriter::setOpenHook(nullptr);

    EXPECT_TRUE(RnSaveWriter::saveGame(path, true));
    EXPECT_EQ(loadFresh(path), "");
    EXPECT_EQ(grn_trigger.scriptData().back().str_value_, "fifteen letters");
}

TEST_F(SaveWriterTest, QuickAndAutoSavesAreNamedAfterGameMapAndDate) {
    freshWorld();
    setNow(DaxGameTime::kPerYear + 40 * DaxGameTime::kPerDay + 5);  // year 2, 10 February
    EXPECT_EQ(rnSaveDatedPart(), "-Testhausen-green_valley-0002-02-10.");
    EXPECT_TRUE(RnSaveWriter::quickSave());
    RnSaveWriter::waitIdle();
    EXPECT_TRUE(daxFileExists(saves_.file("quicksave-Testhausen-green_valley-0002-02-10.sav").c_str()));

    // Names make safe file names; the names themselves stay.
    grn_game.game_name_ = "../a/b\\c:d*e?\"<|>\x01";
    EXPECT_TRUE(RnSaveWriter::autoSave());
    RnSaveWriter::waitIdle();
    EXPECT_TRUE(daxFileExists(saves_.file("autosave-.._a_b_c_d_e______-green_valley-0002-02-10.sav").c_str()));
    EXPECT_EQ(rnSaveNamePart(std::string(100, 'n')), std::string(64, 'n'));
    // A name is cut to 64 bytes before a character of several bytes, never
    // through it.
    const struct {
        std::string name;
        std::string part;
    } cuts[] = {
        {std::string(63, 'a') + "\xC3\xBC", std::string(63, 'a')},                       // ü across the cut
        {std::string(62, 'a') + "\xC3\xBC" + "b", std::string(62, 'a') + "\xC3\xBC"},  // ü ends at the cut
        {std::string(62, 'a') + "\xE2\x82\xAC", std::string(62, 'a')},                  // €
        {std::string(61, 'a') + "\xF0\x9D\x84\x9E", std::string(61, 'a')},              // a clef, 4 bytes
        {std::string(60, 'a') + "\xF0\x9D\x84\x9E" + "z", std::string(60, 'a') + "\xF0\x9D\x84\x9E"},
        // Bytes that are no UTF-8 lose at most the three a character can have.
        {std::string(40, '\xC3') + std::string(40, '/'), std::string(40, '\xC3') + std::string(24, '_')},
        {std::string(80, '\x80'), std::string(61, '\x80')},
    };
    for (const auto& c : cuts) EXPECT_EQ(rnSaveNamePart(c.name), c.part) << c.name;
    EXPECT_EQ(grn_game.game_name_, "../a/b\\c:d*e?\"<|>\x01");

    // Typed save names.
    for (const char* ok : {"my town", "Müllheim 2", "a.b", "x"}) EXPECT_TRUE(rnIsValidSaveName(ok)) << ok;
    for (const char* bad : {"", "..", ".", "a/b", "../x", "a\\b", "tab\there", "a..b", "c:"})
        EXPECT_FALSE(rnIsValidSaveName(bad)) << bad;
    EXPECT_FALSE(rnIsValidSaveName(std::string(129, 'a')));
    EXPECT_FALSE(RnSaveWriter::saveNamed("../outside"));
    EXPECT_TRUE(RnSaveWriter::saveNamed("mine"));
    EXPECT_TRUE(daxFileExists(saves_.file("mine.sav").c_str()));
}

TEST_F(SaveWriterTest, AutosavesAreRotatedOldestFirst) {
    freshWorld();
    // Autosaves of days 1 to 5 with distinct times, and files that look
    // alike but are no autosaves of this suffix.
    for (int d = 1; d <= 5; ++d)
        setMtime(saves_.write("autosave-T-m-0001-01-0" + std::to_string(d) + ".sav", "x"), 1000000 + d * 100);
    setMtime(saves_.write("autosave.sav", "x"), 1000000);
    const std::string others[] = {"autosave-T-m.savx", "my-autosave.sav", "autosave-T.SAV", "quicksave-T.sav"};
    for (const std::string& o : others) saves_.write(o, "x");
    auto exists = [this](const std::string& n) { return daxFileExists(saves_.file(n).c_str()); };

    RnSaveWriter::rotateAutosaves(3);
    EXPECT_FALSE(exists("autosave.sav"));
    EXPECT_FALSE(exists("autosave-T-m-0001-01-01.sav"));
    EXPECT_FALSE(exists("autosave-T-m-0001-01-02.sav"));
    for (int d = 3; d <= 5; ++d) EXPECT_TRUE(exists("autosave-T-m-0001-01-0" + std::to_string(d) + ".sav"));
    for (const std::string& o : others) EXPECT_TRUE(exists(o)) << o;

    // The autosave being written counts as the newest, on disk or not.
    RnSaveWriter::rotateAutosaves(2, "autosave-T-m-0001-01-09.sav");
    EXPECT_FALSE(exists("autosave-T-m-0001-01-03.sav"));
    EXPECT_FALSE(exists("autosave-T-m-0001-01-04.sav"));
    EXPECT_TRUE(exists("autosave-T-m-0001-01-05.sav"));

    // From the tick: a week passes with weekly autosaves and one kept.
    grn_config.freq_autosave_ = 1;
    grn_config.max_autosaves_ = 1;
    SavingServices services;
    grn_game.setTickServices(&services);
    savetown::runHours(24 * 8);
    RnSaveWriter::waitIdle();
    EXPECT_FALSE(exists("autosave-T-m-0001-01-05.sav"));
    EXPECT_TRUE(exists("autosave-Testhausen-green_valley-0001-01-08.sav"));
    // Without a limit every autosave stays.
    grn_config.max_autosaves_ = 0;
    savetown::runHours(24 * 7);
    RnSaveWriter::waitIdle();
    EXPECT_TRUE(exists("autosave-Testhausen-green_valley-0001-01-08.sav"));
    EXPECT_TRUE(exists("autosave-Testhausen-green_valley-0001-01-15.sav"));
    grn_game.setTickServices(&services_);
}

TEST_F(SaveWriterTest, TheLastSaveKeepsItsPredecessor) {
    freshWorld();
    const std::string last = saves_.file("lastsave.sav");
    const std::string prev = saves_.file("prevsave.sav");
    // The first last save of an installation has no predecessor.
    EXPECT_TRUE(RnSaveWriter::saveLastSave());
    EXPECT_TRUE(daxFileExists(last.c_str()));
    EXPECT_FALSE(daxFileExists(prev.c_str()));
    const std::string first = TempDir::read(last);

    grn_game.money_ = 1234;
    EXPECT_TRUE(RnSaveWriter::saveLastSave());
    EXPECT_EQ(TempDir::read(prev), first);
    const std::string second = TempDir::read(last);
    EXPECT_NE(second, first);

    // A last save that fails leaves both as they were.
    RnSaveWriter::setOpenHook(faultyOpen);
    g_fault = Fault::WriteError;
    g_budget = 10;
    EXPECT_FALSE(RnSaveWriter::saveLastSave());
    EXPECT_EQ(TempDir::read(last), second);
    EXPECT_EQ(TempDir::read(prev), first);
}

}  // namespace
