// Numbered texts (language files, imports) and the message manager (display
// classes from msg.ini, on-screen list, dialogs through the sink).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "dax2/dax_clock.h"
#include "dax2/dax_error.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_msg.h"
#include "support/allegro_env.h"
#include "support/dax_probe.h"
#include "support/temp_dir.h"

namespace {

// Keeps the framework settings and ini layers the tests change, and points
// the user directory at a fresh folder.
class TextsTest : public ::testing::Test {
protected:
    void SetUp() override {
        zorInitAllegro();
        saved_user_dir_ = dax_config.user_dir_;
        saved_shrt_name_ = dax_config.shrt_name_;
        saved_language_ = dax_config.language_;
        saved_search_path_ = dax_config.search_path_;
        saved_num_lines_ = dax_config.msg_num_lines_;
        saved_timeout_ = dax_config.msg_show_timeout_;
        saved_level_ = dax_config.debug_level_;
        saved_ltype_ = dax_config.debug_ltype_;
        dax_config.user_dir_ = dir_.path();
        dax_config.shrt_name_ = "zor";
        dax_config.search_path_ = {dir_.path()};
        dax_config.msg_num_lines_ = 4;
        dax_config.msg_show_timeout_ = 20;
        DaxLog::reset();
    }
    void TearDown() override {
        daxIniOpenOverlay(nullptr);
        daxIniOpenBase(nullptr);
        dax_config.user_dir_ = saved_user_dir_;
        dax_config.shrt_name_ = saved_shrt_name_;
        dax_config.language_ = saved_language_;
        dax_config.search_path_ = saved_search_path_;
        dax_config.msg_num_lines_ = saved_num_lines_;
        dax_config.msg_show_timeout_ = saved_timeout_;
        dax_config.debug_level_ = saved_level_;
        dax_config.debug_ltype_ = saved_ltype_;
        DaxLog::reset();
    }
    TempDir dir_;

private:
    std::string saved_user_dir_, saved_shrt_name_, saved_language_;
    std::vector<std::string> saved_search_path_;
    int saved_num_lines_ = 0, saved_timeout_ = 0, saved_level_ = 0, saved_ltype_ = 0;
};

// ---------------------------------------------------------------------------
// Numbered texts

TEST_F(TextsTest, LanguageFileLinesAreParsedBySeparatorNumberAndBackslash) {
    // A line longer than any fixed buffer whose 1024th character starts what
    // looks like a numbered line: it must stay part of text 50.
    std::string long_text = std::string(1020, 'a') + "77 tail";
    std::string file = dir_.write("texts.txt",
                                  "\xEF\xBB\xBF"
                                  "1 first line after a byte-order mark\n"
                                  "# 2 a comment\n"
                                  "17 Hello\\world\n"
                                  "0 number zero\n"
                                  "    \n"
                                  "\n"
                                  "42\n"
                                  "43 \n"
                                  "-3 negative\n"
                                  "7\tafter a tab\n"
                                  "8  two blanks\n"
                                  "12abc rest of a token\n"
                                  "9 windows line\r\n"
                                  "20 old\n"
                                  "20 new\n"
                                  "50 " + long_text + "\n"
                                  "60 no newline at the end");
    DaxStringMgr s;
    s.loadFile(file.c_str(), false);

    struct Case {
        int number;
        const char* text;  // null: not present
    } cases[] = {
        {1, "first line after a byte-order mark"},
        {2, nullptr},
        {17, "Hello\nworld"},
        {0, nullptr},
        {42, nullptr},
        {43, nullptr},
        {-3, nullptr},
        {7, "after a tab"},
        {8, " two blanks"},
        {12, "rest of a token"},
        {9, "windows line"},
        {20, "new"},
        {77, nullptr},
        {60, "no newline at the end"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        if (c.text) {
            ASSERT_TRUE(s.hasString(c.number));
            EXPECT_EQ(s.get(c.number), c.text);
        } else {
            EXPECT_FALSE(s.hasString(c.number));
        }
    }
    EXPECT_EQ(s.get(50), long_text);
}

TEST_F(TextsTest, LookupFailuresRaise) {
    DaxStringMgr s;
    EXPECT_FALSE(s.hasString(1));
    EXPECT_EQ(raisedBy([&] { s.get(1); }), "DaxStringMgr has no implementation object");
    EXPECT_EQ(raisedBy([&] { s.loadFile(dir_.file("missing.txt").c_str(), false); }),
              "cannot open file " + dir_.file("missing.txt"));

    s.addString(5, "five", false);
    EXPECT_EQ(raisedBy([&] { s.get(6); }), "string 6 not found");
}

TEST_F(TextsTest, ImportedTextsWinAndCanBeForgotten) {
    DaxStringMgr s;
    s.loadFile(dir_.write("lang.txt", "5 language five\n6 language six\n").c_str(), false);
    s.loadFile(dir_.write("imp.txt", "5 imported five\n7 imported seven\n").c_str(), true);
    EXPECT_EQ(s.get(5), "imported five");
    EXPECT_EQ(s.get(6), "language six");
    EXPECT_EQ(s.get(7), "imported seven");

    // addString never replaces a number either map knows.
    EXPECT_FALSE(s.addString(6, "other", true));
    EXPECT_FALSE(s.addString(7, "other", false));
    EXPECT_TRUE(s.addString(8, "eight", true));
    EXPECT_TRUE(s.addString(9, "nine", false));
    EXPECT_EQ(s.get(6), "language six");

    s.clearImported();
    EXPECT_EQ(s.get(5), "language five");
    EXPECT_FALSE(s.hasString(7));
    EXPECT_FALSE(s.hasString(8));
    EXPECT_EQ(s.get(9), "nine");
}

TEST_F(TextsTest, LanguageComesFromTheUserIniOverLangIni) {
    std::string lang_ini = dir_.write("lang.ini", "[system]\nlanguage=de\n");
    dir_.write("zor.de.txt", "1 Hallo\n");
    dir_.write("zor.fr.txt", "1 Bonjour\n");

    {
        DaxStringMgr s;
        s.loadLanguage(lang_ini.c_str());
        EXPECT_EQ(s.get(1), "Hallo");
        EXPECT_EQ(dax_config.language_, "de");
    }
    {
        dir_.write("user.ini", "[system]\nlanguage=fr\n");
        DaxStringMgr s;
        s.loadLanguage(lang_ini.c_str());
        EXPECT_EQ(s.get(1), "Bonjour");
        EXPECT_EQ(dax_config.language_, "fr");
        // The overlay is closed again; lang.ini stays the base.
        EXPECT_TRUE(daxIniOverlay().path().empty());
        EXPECT_EQ(daxIniBase().path(), lang_ini);
    }
    {
        // A language without texts names the setting that chose it.
        std::string user_ini = dir_.write("user.ini", "[system]\nlanguage=xx\n");
        DaxStringMgr s;
        EXPECT_EQ(raisedBy([&] { s.loadLanguage(lang_ini.c_str()); }),
                  user_ini + ":2: [system] language=xx: can't find file zor.xx.txt ([daxk] shrt_name.language.txt) in " +
                      dir_.path());
    }
    {
        // Without a language key: "en", which has no file here.
        std::string empty_ini = dir_.write("empty.ini", "");
        dir_.write("user.ini", "");
        DaxStringMgr s;
        EXPECT_EQ(raisedBy([&] { s.loadLanguage(empty_ini.c_str()); }),
                  "[system] language=en: can't find file zor.en.txt ([daxk] shrt_name.language.txt) in " +
                      dax_config.searchPathText());
        EXPECT_EQ(dax_config.language_, "en");
    }
}

TEST_F(TextsTest, ReadTextsAreLogged) {
    dax_config.debug_level_ = 4;
    dax_config.debug_ltype_ = 1;
    std::string file = dir_.write("t.txt", "3 three\\lines\n");
    DaxStringMgr s;
    s.loadFile(file.c_str(), false);
    EXPECT_TRUE(loggedLine("read strings from " + file));
    EXPECT_TRUE(loggedLine("read 3: three\nlines"));
}

TEST(TextFormat, AFormatFitsOnlyTheArgumentsItTakes) {
    struct Case {
        const char* fmt;
        const char* sig;
        bool fits;
    } cases[] = {
        {"%d %s", "ds", true},      {"%s: %d%%", "sd", true},   {"100%%", "", true},
        {"%5.1f and %-3d", "fd", true}, {"%lf", "f", true},     {"%u of %hd", "ud", true},
        {"%s", "d", false},         {"%d", "", false},          {"", "d", false},
        {"%n", "", false},          {"%p", "", false},          {"%*d", "d", false},
        {"%.*f", "f", false},       {"%ld", "d", false},        {"%1$d", "d", false},
        {"50%", "", false},         {"%d %d", "d", false},
    };
    for (const Case& c : cases) EXPECT_EQ(daxFormatFits(c.fmt, c.sig), c.fits) << c.fmt << " / " << c.sig;
}

TEST_F(TextsTest, DeclaredFormatsAreCheckedAsTheirTextsLoad) {
    dax_config.debug_level_ = 1;
    dax_config.debug_ltype_ = 1;
    DaxStringMgr s;
    // Declared before and after the texts exist; checked either way.
    s.declareFormat(10, "d");
    s.loadFile(dir_.write("lang.txt", "10 %s people\n11 %d of %s\n12 fine %d\n").c_str(), false);
    EXPECT_TRUE(loggedLine("text 10 does not fit its arguments (d): %s people"));
    s.declareFormat(11, "ds");
    s.declareFormat(12, "d");
    EXPECT_FALSE(loggedContaining("text 11"));
    EXPECT_FALSE(loggedContaining("text 12"));
    EXPECT_STREQ("ds", s.declaredFormat(11));
    EXPECT_EQ(nullptr, s.declaredFormat(13));

    // An import that breaks a text is reported; loading the same wrong text
    // again is not reported twice.
    DaxLog::reset();
    s.loadFile(dir_.write("imp.txt", "12 broken %s\n").c_str(), true);
    EXPECT_TRUE(loggedLine("text 12 does not fit its arguments (d): broken %s"));
    DaxLog::reset();
    s.loadFile(dir_.file("imp.txt").c_str(), true);
    EXPECT_FALSE(loggedContaining("text 12"));
    // So is one added by addString.
    s.declareFormat(14, "s");
    EXPECT_TRUE(s.addString(14, "%d", true));
    EXPECT_TRUE(loggedLine("text 14 does not fit its arguments (s): %d"));
}

TEST_F(TextsTest, FormattingNeverRunsATextThatDoesNotFit) {
    dax_config.debug_level_ = 1;
    dax_config.debug_ltype_ = 1;
    DaxStringMgr s;
    s.addString(20, "%s has %d", false);
    s.addString(21, "%s has %d", false);
    char buf[64];
    EXPECT_EQ(9u, s.format(buf, sizeof(buf), 20, "sd", "Ann", 3));
    EXPECT_STREQ("Ann has 3", buf);
    // Arguments of other kinds: the text as it stands, logged once.
    EXPECT_EQ(9u, s.format(buf, sizeof(buf), 21, "d", 3));
    EXPECT_STREQ("%s has %d", buf);
    EXPECT_TRUE(loggedLine("text 21 does not fit its arguments (d): %s has %d"));
    DaxLog::reset();
    s.format(buf, sizeof(buf), 21, "d", 3);
    EXPECT_FALSE(loggedContaining("text 21"));
    // A missing text shows its number.
    EXPECT_EQ(3u, s.format(buf, sizeof(buf), 99, "d", 3));
    EXPECT_STREQ("#99", buf);

    // The buffer's size bounds every result, formatted or copied.
    s.addString(22, "%s and more", false);
    char small[8];
    EXPECT_EQ(7u, s.format(small, sizeof(small), 22, "s", "a long name"));
    EXPECT_STREQ("a long ", small);
    EXPECT_EQ(7u, s.format(small, sizeof(small), 21, "", 0));
    EXPECT_STREQ("%s has ", small);
    EXPECT_EQ(0u, s.format(small, 0, 22, "s", "x"));
}

TEST_F(TextsTest, UsingADeclaredTextWithOtherArgumentsIsAFatalCheck) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    DaxStringMgr s;
    s.declareFormat(30, "d");
    s.addString(30, "%d", false);
    char buf[16];
    EXPECT_DEATH(s.format(buf, sizeof(buf), 30, "s", "x"), "declared->second");
    EXPECT_DEATH(s.declareFormat(30, "s"), "it->second == kinds");
}

// ---------------------------------------------------------------------------
// Messages

class FakeSink : public DaxMsgDialogSinkIfc {
public:
    void showMessageDialog(DaxMsgMgr& mgr, const DaxMessage& msg) override {
        managers.push_back(&mgr);
        shown.push_back(msg);
    }
    std::vector<DaxMsgMgr*> managers;
    std::vector<DaxMessage> shown;
};

using MessagesTest = TextsTest;

TEST_F(MessagesTest, DefaultClassesSendMessagesToListOrDialog) {
    DaxMsgMgr m;
    FakeSink sink;
    m.setDialogSink(&sink);
    m.post(2199, "to the list", DaxMapPositionI(3, 4));
    m.post(2200, "as a dialog", DaxMapPositionI(5, 6));
    m.postNoPos(2201, "dialog without position");

    ASSERT_EQ(m.screenCount(), 1u);
    EXPECT_EQ(m.screenMessage(0).number_, 2199);
    EXPECT_EQ(m.screenMessage(0).text_, "to the list");
    EXPECT_EQ(m.screenMessage(0).pos_, DaxMapPositionI(3, 4));

    ASSERT_EQ(sink.shown.size(), 2u);
    EXPECT_EQ(sink.managers[0], &m);
    EXPECT_EQ(sink.shown[0].number_, 2200);
    EXPECT_EQ(sink.shown[0].text_, "as a dialog");
    EXPECT_EQ(sink.shown[0].pos_, DaxMapPositionI(5, 6));
    EXPECT_TRUE(sink.shown[1].pos_.isNone());

    ASSERT_EQ(m.history().size(), 3u);
    EXPECT_EQ(m.history()[0].number_, 2199);
    EXPECT_EQ(m.history()[2].number_, 2201);
    EXPECT_EQ(m.history()[1].game_time_, dax_gameclock.gameTime());
}

TEST_F(MessagesTest, PostIsLoggedWithRealAndGameTime) {
    dax_config.debug_level_ = 3;
    dax_config.debug_ltype_ = 1;
    DaxMsgMgr m;
    m.postNoPos(2300, "nobody listens");  // class 1, no sink registered
    m.postNoPos(100, "listed");

    const DaxMessage& msg = m.history()[1];
    DaxGameTime gt = msg.game_time_;
    char line[256];
    std::snprintf(line, sizeof line, "m: %d rt=%u gt=%04d/%02d/%02d-%02d:%02d %s", 100, msg.real_time_, gt.year(),
                  gt.month(), gt.dayOfMonth(), gt.hour(), gt.minute(), "listed");
    EXPECT_TRUE(loggedLine(line)) << line;
    EXPECT_TRUE(loggedLine("m: 2300 no message dialog can be shown"));
    EXPECT_EQ(m.history().size(), 2u);
}

TEST_F(MessagesTest, ClassesAreReadFromMsgIniAndCached) {
    dir_.write("msg.ini", "[msg]\n100=3\n101=2\n102=1\n103=7\n104=0\n105=abc\n106=-2\n2300=2\n2301=3\n");
    struct Case {
        int number, mode;
    } cases[] = {
        {100, 3}, {101, 2}, {102, 1}, {103, 1}, {104, 1}, {105, 1},
        {106, 1}, {2300, 2}, {2301, 3}, {2199, 2}, {2200, 1},
    };
    DaxMsgMgr m;
    for (const Case& c : cases) {
        EXPECT_EQ(m.modeOf(c.number), c.mode) << c.number;
    }
    EXPECT_EQ(daxIniBase().path(), dir_.file("msg.ini"));

    // Known numbers are answered from the cache, not from the file.
    dir_.write("msg.ini", "[msg]\n100=2\n");
    EXPECT_EQ(m.modeOf(100), 3);
}

TEST_F(MessagesTest, ChangedClassIsWrittenAtOnceAndRulesLaterPosts) {
    std::string msg_ini = dir_.file("msg.ini");
    {
        DaxMsgMgr m;
        FakeSink sink;
        m.setDialogSink(&sink);
        m.setMode(2500, 3);
        EXPECT_NE(TempDir::read(msg_ini).find("2500=3"), std::string::npos);
        m.postNoPos(2500, "only logged");
        EXPECT_TRUE(sink.shown.empty());
        EXPECT_EQ(m.screenCount(), 0u);
        EXPECT_EQ(m.history().size(), 1u);

        // The same class again writes nothing.
        std::remove(msg_ini.c_str());
        m.setMode(2500, 3);
        EXPECT_TRUE(TempDir::read(msg_ini).empty());

        // A class outside 1..3 is stored as a dialog, as it would read back.
        m.setMode(150, 9);
        EXPECT_EQ(m.modeOf(150), 1);
        EXPECT_NE(TempDir::read(msg_ini).find("150=1"), std::string::npos);
    }
    DaxMsgMgr fresh;
    EXPECT_EQ(fresh.modeOf(150), 1);
    // msg.ini was removed before 150 was written: 2500 has its default again.
    EXPECT_EQ(fresh.modeOf(2500), 1);
}

TEST_F(MessagesTest, OnScreenListKeepsTheNewestLines) {
    DaxMsgMgr m;
    for (int i = 1; i <= 5; ++i) {
        m.postNoPos(100, "line " + std::to_string(i));
    }
    ASSERT_EQ(m.screenCount(), 4u);
    EXPECT_EQ(m.screenMessage(0).text_, "line 2");
    EXPECT_EQ(m.screenMessage(3).text_, "line 5");
    EXPECT_EQ(m.history().size(), 5u);

    dax_config.msg_num_lines_ = 0;
    m.postNoPos(100, "line 6");
    EXPECT_EQ(m.screenCount(), 0u);
}

TEST_F(MessagesTest, FrameDropsOneExpiredLineAtATime) {
    DaxMsgMgr m;
    m.postNoPos(100, "a");
    m.postNoPos(100, "b");
    uint32_t first = m.screenMessage(0).real_time_;
    m.frame(first + 2000);  // exactly 20 s: still shown
    EXPECT_EQ(m.screenCount(), 2u);
    // Both lines have expired; one frame drops only the oldest.
    uint32_t later = m.screenMessage(1).real_time_ + 2001;
    m.frame(later);
    ASSERT_EQ(m.screenCount(), 1u);
    EXPECT_EQ(m.screenMessage(0).text_, "b");
    m.frame(later);
    EXPECT_EQ(m.screenCount(), 0u);
    m.frame(later);  // nothing left: nothing happens
    EXPECT_EQ(m.history().size(), 2u);
}

TEST(MsgExpiry, ComparesAcrossTheWrapOfRealTime) {
    struct Case {
        uint32_t posted, now;
        int timeout;
        bool expired;
    } cases[] = {
        {1000, 3000, 20, false},
        {1000, 3001, 20, true},
        // Posted just before the 32-bit wrap: a sum would wrap to a small
        // number and drop the line at once.
        {0xFFFFFF00u, 0xFFFFFF10u, 20, false},
        {0xFFFFFF00u, 0x000006D0u, 20, false},
        {0xFFFFFF00u, 0x000006D1u, 20, true},
        {500, 500, 0, false},
        {500, 501, 0, true},
        {500, 501, -5, true},
        // A timeout whose hundredths do not fit 32 bits never expires.
        {0, 0xFFFFFFFFu, 50000000, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DaxMsgMgr::expired(c.posted, c.now, c.timeout), c.expired)
            << c.posted << " " << c.now << " " << c.timeout;
    }
}

TEST_F(MessagesTest, ScreenMessagePastTheListIsAFatalCheck) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    DaxMsgMgr m;
    m.postNoPos(100, "one");
    EXPECT_DEATH(m.screenMessage(1), "dax2\\\\dax_msg:136 index out of range");
}

}  // namespace
