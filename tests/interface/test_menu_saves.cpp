// The load-game and save-game screens on the sample world, without a window:
// the list of saves and what each screen leaves out, the buttons' states,
// saving, overwriting and deleting through the save screen, typed names
// that must not reach outside the save folder, a save that cannot be
// written, and a save loaded back through the load and loading screens.
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "dax2/dax_file.h"
#include "gcn/font.hpp"
#include "gcn/key.hpp"
#include "rn_file_load.h"
#include "rn_file_save.h"
#include "rn_menu_loadsave.h"
#include "rn_menu_main.h"
#include "support/temp_dir.h"
#include "support/text_checks.h"
#include "front_end_fixture.h"

using namespace uitest;
using namespace frontend;

namespace {

namespace fs = std::filesystem;

ALLEGRO_FILE* refuseToOpen(const char*, const char*) { return nullptr; }

class SaveScreensTest : public FrontEndTest {
protected:
    void SetUp() override {
        FrontEndTest::SetUp();
        saved_save_dir_ = dax_config.save_dir_;
        dax_config.save_dir_ = saves_.path();
        RnSaveWriter::setOpenHook(nullptr);
        menus_.registerMenu(kRnStateLoadGame, noScreen, kDaxLifetimeSingle, false, false);
        menus_.registerMenu(kRnStateSaveGame, noScreen, kDaxLifetimeKeep, false, false);
        menus_.registerMenu(kRnStateOptions2, noScreen, kDaxLifetimeKeep, false, false);
    }
    void TearDown() override {
        RnSaveWriter::waitIdle();
        RnSaveWriter::setOpenHook(nullptr);
        grn_save_buffer.save_state_ = RnSaveBuffer::kIdle;
        dax_config.save_dir_ = saved_save_dir_;
        FrontEndTest::TearDown();
    }

    // The state machine on a screen opened from another one, so that the
    // screen can go back to it.
    void enter(int caller, int state) {
        menus_.requestState(caller);
        menus_.takeNewTopWidget();
        menus_.requestState(state);
        menus_.takeNewTopWidget();
    }
    // Every row of a list.
    static std::vector<std::string> names(const RnLoadFileListModel& model) {
        std::vector<std::string> out;
        for (int i = 0; i < const_cast<RnLoadFileListModel&>(model).getNumberOfElements(); ++i) {
            out.push_back(model.entryAt(i).name);
        }
        return out;
    }
    // A copy of a save under another name, with a modification time.
    std::string copySave(const std::string& from, const std::string& name, int seconds_ago) {
        const std::string to = saves_.file(name + ".sav");
        fs::copy_file(from, to, fs::copy_options::overwrite_existing);
        fs::last_write_time(to, fs::last_write_time(from) - std::chrono::seconds(seconds_ago));
        return to;
    }
    static void type(RnSaveGameMenu& screen, const std::string& name) {
        screen.nameField().setText(name);
        screen.logic();
    }

    TempDir saves_;
    std::string saved_save_dir_;
};

TEST_F(SaveScreensTest, TheSaveScreenSavesOverwritesAndDeletesTheNamedGame) {
    ASSERT_EQ(startNewGame("Ostwald"), "");
    enter(kRnStateOptions2, kRnStateSaveGame);
    RnSaveGameMenu screen(1024, 768);
    screen.getContainer();
    EXPECT_EQ(screen.model().getNumberOfElements(), 0);
    EXPECT_FALSE(screen.saveButton().isEnabled());
    EXPECT_FALSE(screen.deleteButton().isEnabled());
    // The button has room for either caption.
    EXPECT_GE(screen.saveButton().getWidth(), screen.saveButton().getFont()->getWidth("Overwrite"));

    // A new name: Save, nothing to delete; the file takes the suffix.
    type(screen, "Erste Stadt");
    EXPECT_TRUE(screen.saveButton().isEnabled());
    EXPECT_EQ(screen.saveButton().getCaption(), "Save");
    EXPECT_FALSE(screen.deleteButton().isEnabled());
    screen.saveButton().fireAction();
    const std::string path = saves_.file("Erste Stadt.sav");
    EXPECT_TRUE(daxFileExists(path.c_str()));
    EXPECT_EQ(menus_.requestedState(), kRnStateOptions2);

    // Shown again: the save is listed; choosing it offers Overwrite and
    // Delete.
    enter(kRnStateOptions2, kRnStateSaveGame);
    screen.getContainer();
    EXPECT_EQ(screen.nameField().getText(), "");
    ASSERT_EQ(names(screen.model()), std::vector<std::string>{"Erste Stadt"});
    EXPECT_EQ(screen.model().entryAt(0).summary.game_name, "Ostwald");
    screen.listBox().setSelected(0);
    EXPECT_EQ(screen.nameField().getText(), "Erste Stadt");
    EXPECT_EQ(screen.saveButton().getCaption(), "Overwrite");
    EXPECT_TRUE(screen.deleteButton().isEnabled());

    // Enter overwrites it with the game as it is now.
    grn_game.money_ = 777;
    auto enter_key = keyPressEvent(gcn::Key::Enter);
    screen.keyPressed(enter_key);
    EXPECT_TRUE(enter_key.isConsumed());
    RnSaveSummary summary;
    ASSERT_TRUE(RnSaveLoader::verifyGame(path, summary));
    EXPECT_EQ(summary.money, 777);

    // Delete takes the file and the entry away and empties the field.
    enter(kRnStateOptions2, kRnStateSaveGame);
    screen.getContainer();
    screen.listBox().setSelected(0);
    screen.deleteButton().fireAction();
    EXPECT_FALSE(daxFileExists(path.c_str()));
    EXPECT_EQ(screen.model().getNumberOfElements(), 0);
    EXPECT_EQ(screen.nameField().getText(), "");
    EXPECT_FALSE(screen.saveButton().isEnabled());
    EXPECT_FALSE(screen.deleteButton().isEnabled());
    EXPECT_EQ(menus_.requestedState(), kRnStateSaveGame);

    auto esc = keyPressEvent(gcn::Key::Escape);
    screen.keyPressed(esc);
    EXPECT_EQ(menus_.requestedState(), kRnStateOptions2);
}

TEST_F(SaveScreensTest, TypedNamesBecomeOneFileAndNamesOutsideTheFolderAreRefused) {
    const std::string dir = rnSaveDir();
    const struct {
        const char* typed;
        std::string path;
    } paths[] = {
        {"", ""},
        {"stadt", dir + "stadt.sav"},
        {"stadt.", dir + "stadt.sav"},
        {"stadt.sav", dir + "stadt.sav"},
        {"stadt.savx", dir + "stadt.savx.sav"},
        {"v1.2", dir + "v1.2.sav"},
    };
    for (const auto& c : paths) EXPECT_EQ(RnSaveGameMenu::savePathOf(c.typed), c.path) << c.typed;

    // Files that a bad name would reach: beside the folder and below it.
    saves_.write("sub/x.sav", "not a save");
    TempDir outside;
    const std::string beside = outside.write("x.sav", "not a save");
    RnSaveGameMenu screen(1024, 768);
    screen.getContainer();
    for (const char* bad : {"", "sub/x", "sub\\x", "../x", "..", ".", "a..b", ".sav", "tab\tname"}) {
        type(screen, bad);
        EXPECT_FALSE(RnSaveGameMenu::isUsableName(bad)) << bad;
        EXPECT_FALSE(screen.saveButton().isEnabled()) << bad;
        EXPECT_FALSE(screen.deleteButton().isEnabled()) << bad;
        screen.deleteButton().fireAction();
        auto enter_key = keyPressEvent(gcn::Key::Enter);
        screen.keyPressed(enter_key);
        EXPECT_FALSE(enter_key.isConsumed()) << bad;
    }
    EXPECT_TRUE(fs::exists(saves_.file("sub/x.sav")));
    EXPECT_TRUE(fs::exists(beside));
    EXPECT_EQ(std::distance(fs::directory_iterator(saves_.path()), fs::directory_iterator()), 1);
    for (const char* good : {"stadt", "Neue Stadt 2", "v1.2", "über"}) {
        type(screen, good);
        EXPECT_TRUE(screen.saveButton().isEnabled()) << good;
    }
}

TEST_F(SaveScreensTest, ASaveThatCannotBeWrittenIsToldAndTheScreenStays) {
    ASSERT_EQ(startNewGame("Ostwald"), "");
    enter(kRnStateOptions2, kRnStateSaveGame);
    RnSaveGameMenu screen(1024, 768);
    screen.getContainer();
    type(screen, "stadt");
    RnSaveWriter::setOpenHook(refuseToOpen);
    screen.saveButton().fireAction();

    EXPECT_EQ(menus_.requestedState(), kRnStateSaveGame);
    EXPECT_EQ(screen.nameField().getText(), "stadt");
    EXPECT_TRUE(screen.saveButton().isEnabled());
    EXPECT_FALSE(fs::exists(saves_.file("stadt.sav")));
    // The message is on the screen.
    screen.logic();
    bool shown = false;
    for (size_t i = 0; i < screen.messageButtonCount(); ++i) {
        const gcn::Button& b = screen.messageButton(i);
        shown = shown || (b.isVisible() && b.getCaption() == "can't open file " + saves_.file("stadt.sav") +
                                                                 " for writing");
    }
    EXPECT_TRUE(shown);

    // Writable again: saved, and back.
    RnSaveWriter::setOpenHook(nullptr);
    screen.saveButton().fireAction();
    EXPECT_TRUE(fs::exists(saves_.file("stadt.sav")));
    EXPECT_EQ(menus_.requestedState(), kRnStateOptions2);
}

TEST_F(SaveScreensTest, TheLoadScreenListsEverySaveNewestFirstAndLoadsTheChosenOne) {
    RnLoadGameMenu screen(1024, 768);
    screen.getContainer();
    EXPECT_EQ(screen.model().getNumberOfElements(), 0);
    EXPECT_FALSE(screen.loadButton().isEnabled());

    ASSERT_EQ(startNewGame("Ostwald"), "");
    grn_game.money_ = 4321;
    const std::string own = saves_.file("ostwald.sav");
    ASSERT_TRUE(RnSaveWriter::saveGame(own, true));
    fs::last_write_time(own, fs::last_write_time(own) - std::chrono::seconds(100));
    // Two at one time (listed by path), an automatic save, an older one.
    copySave(own, "a", -50);
    copySave(own, "a.b", -50);
    copySave(own, "autosave-Ostwald-green_valley-0001-01-01", -20);
    copySave(own, "old", 500);
    // Neither a damaged file nor one whose map name leaves the maps folder.
    saves_.write("broken.sav", "zor but not a save");
    grn_game.map_name_ = "../../elsewhere";
    ASSERT_TRUE(RnSaveWriter::saveGame(saves_.file("evil.sav"), true));
    clearConsole();

    enter(kRnStateMainMenu, kRnStateLoadGame);
    screen.getContainer();
    EXPECT_EQ(names(screen.model()), (std::vector<std::string>{"a.b", "a", "autosave-Ostwald-green_valley-0001-01-01",
                                                               "ostwald", "old"}));
    EXPECT_TRUE(loggedContaining("its map name '../../elsewhere' names no map script"));
    EXPECT_EQ(screen.model().getElementAt(3), "ostwald      green_valley Ostwald  sz: 64   ppl: 0  4321$  time: " +
                                                  std::to_string(screen.model().entryAt(3).summary.game_time.value()));
    EXPECT_EQ(screen.model().getElementAt(9), "");
    EXPECT_EQ(screen.model().entryAt(-1).path, "");
    // The save screen leaves the automatic save out.
    RnLoadFileListModel own_saves(false);
    own_saves.refresh();
    EXPECT_EQ(names(own_saves), (std::vector<std::string>{"a.b", "a", "ostwald", "old"}));

    EXPECT_FALSE(screen.loadButton().isEnabled());
    auto enter_key = keyPressEvent(gcn::Key::Enter);
    screen.keyPressed(enter_key);
    EXPECT_EQ(menus_.requestedState(), kRnStateLoadGame);

    screen.listBox().setSelected(3);
    EXPECT_TRUE(screen.loadButton().isEnabled());
    grn_game.money_ = 1;
    screen.loadButton().fireAction();
    EXPECT_EQ(menus_.requestedState(), kRnStateLoading);
    EXPECT_EQ(grn_game.map_name_, "green_valley");
    EXPECT_EQ(grn_game.game_name_, "Ostwald");
    EXPECT_FALSE(grn_game.isWorldLoaded());
    auto* data = dynamic_cast<RnLoadingData*>(menus_.getMenuData());
    ASSERT_NE(data, nullptr);
    EXPECT_FALSE(data->is_new_);
    EXPECT_FALSE(data->is_lastsave_);
    EXPECT_EQ(data->map_file_name_, "maps/green_valley.lua");
    EXPECT_EQ(data->save_file_name_, own);

    // The loading screen takes it from there.
    const RnLoadingData handed = *data;
    ASSERT_EQ(load(handed), "");
    EXPECT_TRUE(grn_game.isWorldLoaded());
    EXPECT_EQ(grn_game.money_, 4321);
    EXPECT_EQ(grn_game.game_name_, "Ostwald");

    auto esc = keyPressEvent(gcn::Key::Escape);
    enter(kRnStateMainMenu, kRnStateLoadGame);
    screen.keyPressed(esc);
    EXPECT_EQ(menus_.requestedState(), kRnStateMainMenu);
}

TEST_F(SaveScreensTest, TheLastSaveAndANamedSaveEachSayWhatWasLoaded) {
    ASSERT_EQ(startNewGame("Ostwald"), "");
    ASSERT_TRUE(RnSaveWriter::saveLastSave());
    const std::string named = saves_.file("ostwald.sav");
    ASSERT_TRUE(RnSaveWriter::saveGame(named, true));
    RnLoadingData by_name;
    by_name.map_file_name_ = "maps/green_valley.lua";
    by_name.save_file_name_ = named;
    struct Case {
        const char* name;
        RnLoadingData data;
        std::string log;   // the start of the log line
        std::string line;  // the start of the progress line
    } cases[] = {
        {"last save", rnLastSaveLoadingData("green_valley"), "loading finished load last save in ",
         "last save loaded in "},
        {"named save", by_name, "loading finished load savegame: " + named + " in ",
         "savegame " + named + " loaded in "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        grn_game.clear();
        grn_game.resetForNewGame("green_valley", "Ostwald");
        clearConsole();
        enterLoadingFromNewGame();
        RnLoadingMenu m(1024, 768, c.data);
        runStages(m);
        ASSERT_EQ(m.failure(), "");
        // preloader, data model, map, model check, the save, bitmaps,
        // finished.
        const auto& lines = m.progressLines();
        ASSERT_EQ(lines.size(), 7u);
        EXPECT_EQ(lines[4].substr(0, c.line.size()), c.line) << lines[4];
        EXPECT_EQ(lines[4].substr(lines[4].size() - 4), " sec") << lines[4];
        bool logged = false;
        for (const std::string& t : consoleTexts()) logged = logged || t.rfind(c.log, 0) == 0;
        EXPECT_TRUE(logged) << c.log;
        menus_.deleteAllInstances();
    }
}

TEST_F(SaveScreensTest, OneCreatorMakesBothScreensAndNoOther) {
    DaxSubMenuIfc* load = rnCreateLoadSaveMenu(kRnStateLoadGame);
    DaxSubMenuIfc* save = rnCreateLoadSaveMenu(kRnStateSaveGame);
    EXPECT_NE(dynamic_cast<RnLoadGameMenu*>(load), nullptr);
    EXPECT_NE(dynamic_cast<RnSaveGameMenu*>(save), nullptr);
    delete load;
    delete save;
    EXPECT_EQ(raisedBy([] { delete rnCreateLoadSaveMenu(kRnStateOptions1); }),
              raisedFor("invalid id for creator: 7"));
}

}  // namespace
