// The two ini layers and the framework settings reader.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "dax2/dax_error.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_platform.h"
#include "gcn/color.hpp"
#include "support/allegro_env.h"
#include "support/dax_probe.h"
#include "support/temp_dir.h"

namespace {

class IniTest : public ::testing::Test {
protected:
    void SetUp() override { zorInitAllegro(); }
    void TearDown() override {
        daxIniOpenOverlay(nullptr);
        daxIniOpenBase(nullptr);
    }
    TempDir dir_;
};

TEST_F(IniTest, OverlayWinsOverBaseWhichWinsOverDefault) {
    daxIniOpenBase(dir_.write("base.ini", "[s]\na=1\nb=2\nname=base\n").c_str());
    daxIniOpenOverlay(dir_.write("over.ini", "[s]\nb=20\nf=2.5\n").c_str());
    EXPECT_EQ(daxIniGetInt("s", "a", 0), 1);
    EXPECT_EQ(daxIniGetInt("s", "b", 0), 20);
    EXPECT_EQ(daxIniGetInt("s", "c", 7), 7);
    EXPECT_FLOAT_EQ(daxIniGetFloat("s", "f", 0), 2.5f);
    EXPECT_STREQ(daxIniGetString("s", "name", "x"), "base");
    EXPECT_STREQ(daxIniGetString("s", "none", "dflt"), "dflt");
    EXPECT_EQ(daxIniGetString("other", "none", nullptr), nullptr);
}

TEST_F(IniTest, ANumberIsTheWholeValueAndAnErrorSaysWhereItIs) {
    const std::string base = dir_.file("base.ini");
    struct Case {
        const char* value;
        const char* as_int;    // the int read, or the end of the error
        const char* as_float;  // the float read, or the end of the error
    };
    const char* const no_int = "expected a whole number";
    const char* const no_float = "expected a number";
    const Case cases[] = {
        {"42", "42", "42"},
        {"-7", "-7", "-7"},
        {"1.5", no_int, "1.5"},
        {"abc", no_int, no_float},
        {"12abc", no_int, no_float},  // once read as 12
        {"30 # pixels", no_int, no_float},
        {"99999999999", no_int, "1e+11"},  // beyond int
        {"inf", no_int, no_float},
        {"nan", no_int, no_float},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        // Blanks around the value do not count.
        daxIniOpenBase(dir_.write("base.ini", std::string("# numbers\n[s]\nn =  ") + c.value + "  \n").c_str());
        const std::string where = base + ":3: [s] n=" + c.value + ": ";
        // What a read gives: the number, or the error's message.
        std::string as_int;
        const std::string int_error = raisedBy([&] { as_int = std::to_string(daxIniGetInt("s", "n", 0)); }, "");
        EXPECT_EQ(int_error.empty() ? as_int : int_error, c.as_int == no_int ? where + no_int : c.as_int);
        std::string as_float;
        const std::string float_error = raisedBy(
            [&] {
                char buf[32];
                std::snprintf(buf, sizeof(buf), "%g", daxIniGetFloat("s", "n", 0));
                as_float = buf;
            },
            "");
        EXPECT_EQ(float_error.empty() ? as_float : float_error,
                  c.as_float == no_float ? where + no_float : c.as_float);
    }
}

TEST_F(IniTest, AKeyIsNamedWithItsFileAndLine) {
    const std::string base = dir_.write("base.ini", "[s]\na=1\n\n[t]\nb = two words \n");
    const std::string over = dir_.write("over.ini", "[s]\n\n\na=3\n");
    daxIniOpenBase(base.c_str());
    EXPECT_EQ(daxIniKeyText("t", "b"), base + ":5: [t] b=two words");
    EXPECT_EQ(daxIniKeyText("s", "a"), base + ":2: [s] a=1");
    // The overlay's value is the one read, so its line is named.
    daxIniOpenOverlay(over.c_str());
    EXPECT_EQ(daxIniKeyText("s", "a"), over + ":4: [s] a=3");
    // A value written since has no line in any file.
    daxIniSetString("s", "a", "9");
    EXPECT_EQ(daxIniKeyText("s", "a"), over + ": [s] a=9");
    EXPECT_EQ(daxIniKeyText("s", "none"), "[s] none");
    EXPECT_EQ(daxIniKeyText("s", "none", "dflt"), "[s] none=dflt");
}

TEST_F(IniTest, AMalformedLineIsReportedOnceWithItsLineAndSkipped) {
    std::vector<std::string> boxes;
    daxSetMsgBoxHook([&](const std::string&, const std::string&, const std::string& text, int) {
        boxes.push_back(text);
        return 0;
    });
    const std::string path = dir_.write("zor.ini",
                                        "\xEF\xBB\xBF[daxk]\n"  // an editor's byte-order mark
                                        "[broken section\n"
                                        "shrt_name=zt\n"
                                        "just text\n"
                                        "=value\n"
                                        "[]\n"
                                        "[other] x\n"
                                        "spaced =  a value \r\n"
                                        "[ next ] # a comment\n"
                                        "k=1\n");
    daxIniOpenBase(path.c_str());
    const std::string skipped = "; the line is skipped";
    const std::vector<std::string> expected = {
        path + ":2: \"[broken section\": expected \"]\" at the end of the section name" + skipped,
        path + ":4: \"just text\": expected \"key=value\", \"[section]\" or a \"#\" comment" + skipped,
        path + ":5: \"=value\": expected a key before \"=\"" + skipped,
        path + ":6: \"[]\": expected a section name between \"[\" and \"]\"" + skipped,
        path + ":7: \"[other] x\": expected nothing but a \"#\" comment after \"]\"" + skipped,
    };
    EXPECT_EQ(boxes, expected);
    // The keys below a skipped line stay in the section before it: no name
    // falls back to its default (which would become folder and file names).
    EXPECT_STREQ(daxIniGetString("daxk", "shrt_name", "?daxk?"), "zt");
    EXPECT_STREQ(daxIniGetString("daxk", "spaced", ""), "a value");
    EXPECT_EQ(daxIniGetInt("next", "k", 0), 1);
    EXPECT_EQ(daxIniGetString("broken section", "shrt_name", nullptr), nullptr);

    // The same file opened again says nothing new.
    boxes.clear();
    daxIniOpenBase(path.c_str());
    EXPECT_TRUE(boxes.empty());
    daxSetMsgBoxHook({});

    // Saving keeps the skipped lines as comments: none of the text is lost.
    daxIniSetString("daxk", "added", "1");
    daxIniSaveAll();
    const std::string saved = TempDir::read(path);
    for (const char* line : {"[broken section", "just text", "=value", "[other] x"}) {
        EXPECT_NE(saved.find(std::string("# ") + line + "\n"), std::string::npos) << line << " in " << saved;
    }
    daxIniOpenBase(path.c_str());
    EXPECT_STREQ(daxIniGetString("daxk", "added", ""), "1");
    EXPECT_STREQ(daxIniGetString("daxk", "shrt_name", ""), "zt");
}

TEST_F(IniTest, ANulByteEndsItsLine) {
    std::vector<std::string> boxes;
    daxSetMsgBoxHook([&](const std::string&, const std::string&, const std::string& text, int) {
        boxes.push_back(text);
        return 0;
    });
    using namespace std::string_literals;
    const std::string path = dir_.write("user.ini",
                                        "[s]\n"
                                        "value=1024 7\0\0 68\n"
                                        "pad \0=1\n"
                                        "ke\0y=2\n"
                                        "\0\0\0\0\n"
                                        "[t\0]\n"
                                        "after=5\n"s);
    daxIniOpenBase(path.c_str());
    daxSetMsgBoxHook({});
    EXPECT_STREQ(daxIniGetString("s", "value", nullptr), "1024 7");
    // What is left of a line is read by the rules: blanks around it do not
    // count, and without "=" it is no key.
    EXPECT_EQ(daxIniGetString("s", "pad", nullptr), nullptr);
    EXPECT_EQ(daxIniGetString("s", "ke", nullptr), nullptr);
    EXPECT_EQ(daxIniGetString("t", "after", nullptr), nullptr);
    EXPECT_EQ(daxIniGetInt("s", "after", 0), 5);
    const std::string skipped = "; the line is skipped";
    const std::vector<std::string> expected = {
        path + ":3: \"pad\": expected \"key=value\", \"[section]\" or a \"#\" comment" + skipped,
        path + ":4: \"ke\": expected \"key=value\", \"[section]\" or a \"#\" comment" + skipped,
        path + ":6: \"[t\": expected \"]\" at the end of the section name" + skipped,
    };
    EXPECT_EQ(boxes, expected);
}

TEST_F(IniTest, AFileThatCannotBeReadSaysWhy) {
    daxIniOpenBase(dir_.file("absent.ini").c_str());
    EXPECT_EQ(daxIniBase().config(), nullptr);
    EXPECT_EQ(daxIniBase().loadError(), ENOENT);
    // A folder opens but does not read.
    daxIniOpenBase(dir_.path().c_str());
    EXPECT_EQ(daxIniBase().config(), nullptr);
    EXPECT_EQ(daxIniBase().loadError(), EISDIR);
    daxIniOpenBase(dir_.write("good.ini", "").c_str());
    EXPECT_NE(daxIniBase().config(), nullptr);
    EXPECT_EQ(daxIniBase().loadError(), 0);
}

// Allegro's reader never returns from a file in which a name holding these
// four bytes (past the last code point of Unicode) comes twice, as in a
// damaged user.ini; the file is read with '?' for their first byte.
TEST_F(IniTest, BytesAllegroCannotReadTwiceDoNotHangTheReader) {
    const std::string bad = "\xF4\x90\x80\x80name";
    daxIniOpenBase(dir_.write("base.ini", "[s]\n" + bad + " = 1\n" + bad + " = 2\nafter = 5\n").c_str());
    EXPECT_EQ(daxIniGetInt("s", "after", 0), 5);
    EXPECT_STREQ(daxIniGetString("s", "?\x90\x80\x80name", nullptr), "2");
    EXPECT_TRUE(loggedContaining("holds 2 byte sequences that are no text, read as '?'"));
}

TEST_F(IniTest, MissingOverlayIsCreatedOnFirstWriteAndSavedOnClose) {
    daxIniOpenBase(dir_.write("base.ini", "[s]\nk=base\n").c_str());
    std::string user = dir_.file("user.ini");
    daxIniOpenOverlay(user.c_str());
    EXPECT_STREQ(daxIniGetString("s", "k", "d"), "base");
    EXPECT_EQ(daxIniOverlay().config(), nullptr);

    daxIniSetInt("s", "k", 5);
    EXPECT_NE(daxIniOverlay().config(), nullptr);
    EXPECT_TRUE(daxIniOverlay().dirty());
    EXPECT_FALSE(daxIniBase().dirty());
    EXPECT_EQ(daxIniGetInt("s", "k", 0), 5);
    EXPECT_TRUE(TempDir::read(user).empty());

    daxIniOpenOverlay(nullptr);
    EXPECT_NE(TempDir::read(user).find("k=5"), std::string::npos);
    // The base was never written.
    EXPECT_EQ(TempDir::read(dir_.file("base.ini")), "[s]\nk=base\n");
}

TEST_F(IniTest, WritesGoToTheBaseWithoutOverlayAndReachDiskWhenSwitched) {
    std::string base = dir_.file("new_base.ini");
    daxIniOpenBase(base.c_str());
    daxIniSetString("sec", "key", "value");
    EXPECT_TRUE(daxIniBase().dirty());
    daxIniSaveAll();
    EXPECT_FALSE(daxIniBase().dirty());
    EXPECT_NE(TempDir::read(base).find("key=value"), std::string::npos);
}

TEST_F(IniTest, WritingWithoutAnyFileRaises) {
    daxIniOpenBase(nullptr);
    EXPECT_EQ(raisedBy([] { daxIniSetString("s", "k", "v"); }), "can't create config, no name given");
}

TEST_F(IniTest, OpeningTheBaseClosesAndSavesTheOverlay) {
    daxIniOpenBase(dir_.write("base.ini", "").c_str());
    std::string user = dir_.file("u.ini");
    daxIniOpenOverlay(user.c_str());
    daxIniSetString("a", "b", "c");
    daxIniOpenBase(dir_.file("base.ini").c_str());
    EXPECT_TRUE(daxIniOverlay().path().empty());
    EXPECT_NE(TempDir::read(user).find("b=c"), std::string::npos);
}

TEST_F(IniTest, SwitchingTheBaseSavesAChangedBaseAndForgetsItsPath) {
    std::string first = dir_.write("first.ini", "[s]\nk=1\n");
    std::string second = dir_.write("second.ini", "[s]\nk=2\n");
    daxIniOpenBase(first.c_str());
    daxIniSetInt("s", "k", 10);
    daxIniOpenBase(second.c_str());
    EXPECT_NE(TempDir::read(first).find("k=10"), std::string::npos);
    EXPECT_EQ(daxIniGetInt("s", "k", 0), 2);
    EXPECT_EQ(daxIniBase().path(), second);
    EXPECT_FALSE(daxIniBase().dirty());
    // An unchanged base is not rewritten when it is closed.
    daxIniOpenBase(nullptr);
    EXPECT_EQ(TempDir::read(second), "[s]\nk=2\n");
    EXPECT_TRUE(daxIniBase().path().empty());
    EXPECT_EQ(daxIniGetInt("s", "k", 7), 7);
}

// The settings reader, run with the base ini in a temporary working folder.
class ConfigReadTest : public IniTest {
protected:
    void SetUp() override {
        IniTest::SetUp();
        char buf[4096];
        old_cwd_ = getcwd(buf, sizeof(buf));
        ASSERT_EQ(chdir(dir_.path().c_str()), 0);
        old_home_ = getenv("XDG_DATA_HOME") ? getenv("XDG_DATA_HOME") : "";
        setenv("XDG_DATA_HOME", dir_.file("home").c_str(), 1);
        setenv("XDG_DATA_DIRS", dir_.file("common").c_str(), 1);
    }
    void TearDown() override {
        ASSERT_EQ(chdir(old_cwd_.c_str()), 0);
        if (old_home_.empty()) {
            unsetenv("XDG_DATA_HOME");
        } else {
            setenv("XDG_DATA_HOME", old_home_.c_str(), 1);
        }
        unsetenv("XDG_DATA_DIRS");
        IniTest::TearDown();
    }
    void readWith(const std::string& base) {
        daxIniOpenBase(dir_.write("zor.ini", base).c_str());
        cfg_.read();
    }
    std::string old_cwd_, old_home_;
    DaxConfig cfg_;
};

TEST_F(ConfigReadTest, DefaultsAndUserFolders) {
    readWith("[daxk]\nshrt_name=zt\nlong_name=Zor Test\n");
    EXPECT_EQ(cfg_.shrt_name_, "zt");
    EXPECT_EQ(cfg_.long_name_, "Zor Test");
    std::string user = dir_.file("home/") + "Zor Test/";
    EXPECT_EQ(cfg_.user_dir_, user);
    EXPECT_EQ(cfg_.second_dir_, dir_.file("common/") + "Zor Test/");
    EXPECT_EQ(cfg_.log_path_, user + "zt.log");
    EXPECT_EQ(cfg_.save_dir_, user + "saves/");
    EXPECT_EQ(cfg_.screenshot_dir_, user + "screenshots/");
    ASSERT_EQ(cfg_.search_path_.size(), 4u);
    EXPECT_EQ(cfg_.search_path_[0], user + "devd/");
    EXPECT_EQ(cfg_.search_path_[1], user + "data/");
    EXPECT_EQ(cfg_.search_path_[2], cfg_.second_dir_ + "data/");
    EXPECT_EQ(cfg_.search_path_[3], cfg_.exe_dir_ + "data/");
    EXPECT_EQ(cfg_.back_color_, gcn::Color(10, 130, 20, 255));
    EXPECT_EQ(cfg_.button_color_, gcn::Color(100, 150, 0, 255));
    EXPECT_EQ(cfg_.usr_ini_, "user.ini");
    EXPECT_EQ(cfg_.screenshot_suffix_, "jpg");
    EXPECT_EQ(cfg_.msg_num_lines_, 4);
}

TEST_F(ConfigReadTest, LocalResourcesKeepEverythingBesideTheProgram) {
    dir_.write("dev.ini", "[daxk]\nlocal_res_dir=1\n");
    readWith("[daxk]\nshrt_name=zt\nusr_save_dir=\n");
    EXPECT_EQ(cfg_.user_dir_, cfg_.exe_dir_);
    EXPECT_EQ(cfg_.second_dir_, cfg_.exe_dir_);
    EXPECT_EQ(cfg_.save_dir_, cfg_.exe_dir_);
    // The second folder equals the user folder: its data folder comes once.
    ASSERT_EQ(cfg_.search_path_.size(), 2u);
    EXPECT_EQ(cfg_.search_path_[0], cfg_.exe_dir_ + "devd/");
    EXPECT_EQ(cfg_.search_path_[1], cfg_.exe_dir_ + "data/");
}

TEST_F(ConfigReadTest, ColoursNeedThreeNumbers) {
    readWith("[daxk]\nback_color=1 2\nbutton_color=7 8 9\n");
    EXPECT_EQ(cfg_.back_color_, gcn::Color(10, 130, 20, 255));
    EXPECT_EQ(cfg_.button_color_, gcn::Color(7, 8, 9, 255));
}

TEST_F(ConfigReadTest, UserIniSettingsAndTheDebugSwitch) {
    std::string user = dir_.file("home/") + "?daxk?/";
    dir_.write("home/?daxk?/user.ini",
               "[daxk_debug]\ndebug_level=4\ndebug_ltype=7\nconsole_show=0\n"
               "[daxk]\nmsg_num_lines=6\noverlay_offset=3\n");
    readWith("");
    EXPECT_EQ(cfg_.debug_enable_, 0);
    EXPECT_EQ(cfg_.debug_level_, 1);
    EXPECT_EQ(cfg_.debug_ltype_, 1);
    EXPECT_EQ(cfg_.console_show_, 0);
    EXPECT_EQ(cfg_.msg_num_lines_, 6);
    EXPECT_EQ(cfg_.overlay_offset_, 3);
    // The user ini is closed again after reading.
    EXPECT_TRUE(daxIniOverlay().path().empty());

    dir_.write("home/?daxk?/user.ini", "[daxk_debug]\ndebug_enable=1\ndebug_level=4\ndebug_ltype=7\n");
    DaxConfig other;
    other.read();
    EXPECT_EQ(other.debug_level_, 4);
    EXPECT_EQ(other.debug_ltype_, 7);
}

TEST_F(ConfigReadTest, EmptySearchPathRaises) {
    daxIniOpenBase(dir_.write("zor.ini", "[daxk]\napp_data_dir=\nusr_data_dir=\ndev_data_dir=\n").c_str());
    EXPECT_EQ(raisedBy([&] { cfg_.read(); }), "no directories for searching files: " + dir_.file("zor.ini") +
                                                     ": [daxk] app_data_dir, usr_data_dir and dev_data_dir are all "
                                                     "empty");
}

TEST_F(ConfigReadTest, FontKeysFollowEachOther) {
    readWith("[daxk_fonts]\ndefault_font=a.ttf\ndefault_fontw=12\nsystem_fonth=9\n");
    EXPECT_EQ(cfg_.default_font_file_, "a.ttf");
    EXPECT_EQ(cfg_.default_fontw_, 12);
    EXPECT_EQ(cfg_.default_fonth_, 20);
    EXPECT_EQ(cfg_.system_font_file_, "a.ttf");
    EXPECT_EQ(cfg_.system_fonth_, 9);
    EXPECT_EQ(cfg_.overlay_font_file_, "a.ttf");
}

TEST_F(ConfigReadTest, ReadingAgainComputesTheSearchPathAfresh) {
    readWith("[daxk]\nshrt_name=zt\n");
    ASSERT_EQ(cfg_.search_path_.size(), 4u);
    readWith("[daxk]\nshrt_name=zt\ndev_data_dir=\nusr_data_dir=\n");
    // Only the program's data folder: nothing of the first reading is left.
    EXPECT_EQ(cfg_.search_path_, std::vector<std::string>{cfg_.exe_dir_ + "data/"});
}

TEST_F(ConfigReadTest, TheSearchPathIsLoggedWhenTheUserAsksForDetail) {
    const int saved_level = dax_config.debug_level_;
    dax_config.debug_level_ = 2;  // lets the framework's progress lines through
    DaxLog::reset();
    dir_.write("home/?daxk?/user.ini", "[daxk_debug]\ndebug_enable=1\ndebug_level=2\n");
    readWith("[daxk]\nusr_data_dir=\n");
    std::vector<std::string> lines;
    for (const std::string& t : consoleTexts()) {
        if (t.rfind("data search path", 0) == 0 || std::isdigit(static_cast<unsigned char>(t[0]))) {
            lines.push_back(t);
        }
    }
    const std::vector<std::string> expected = {"data search path: 2", "0: " + cfg_.user_dir_ + "devd/",
                                               "1: " + cfg_.exe_dir_ + "data/"};
    EXPECT_EQ(lines, expected);

    // Without the detail level the path is not listed.
    DaxLog::reset();
    DaxConfig quiet;
    dir_.write("home/?daxk?/user.ini", "");
    quiet.read();
    bool listed = false;
    for (const std::string& t : consoleTexts()) {
        listed = listed || t.rfind("data search path", 0) == 0;
    }
    EXPECT_FALSE(listed);
    dax_config.debug_level_ = saved_level;
    DaxLog::reset();
}

}  // namespace
