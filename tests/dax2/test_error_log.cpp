// Fatal checks, raised and reported errors, the log file and console queue.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "dax2/dax_error.h"
#include "dax2/dax_file.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_platform.h"
#include "support/allegro_env.h"
#include "support/dax_probe.h"
#include "support/temp_dir.h"

namespace {

struct Box {
    std::string title, heading, text;
    int flags;
};

// Restores the global settings and error context each test touches.
class ErrorLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        zorInitAllegro();
        saved_level_ = dax_config.debug_level_;
        saved_ltype_ = dax_config.debug_ltype_;
        saved_path_ = dax_config.log_path_;
        saved_name_ = dax_config.shrt_name_;
        daxSetMsgBoxHook([this](const std::string& t, const std::string& h, const std::string& x, int f) {
            boxes_.push_back({t, h, x, f});
            return 1;
        });
        DaxLog::reset();
    }
    void TearDown() override {
        daxSetMsgBoxHook(nullptr);
        while (!daxErrorScript().empty()) {
            daxPopErrorScript();
        }
        daxSetErrorLine(0);
        daxSetErrorFunction("");
        dax_config.debug_level_ = saved_level_;
        dax_config.debug_ltype_ = saved_ltype_;
        dax_config.log_path_ = saved_path_;
        dax_config.shrt_name_ = saved_name_;
        DaxLog::reset();
    }

    std::vector<Box> boxes_;
    int saved_level_ = 0, saved_ltype_ = 0;
    std::string saved_path_, saved_name_;
};

TEST_F(ErrorLogTest, RaiseDecoratesWithScriptLineAndFunction) {
    struct Case {
        const char* script;  // nullptr: none pushed
        int line;
        const char* function;
        const char* expected;
    };
    const Case cases[] = {
        {nullptr, 0, "", "bad value"},
        {nullptr, 7, "", "unknown(7) bad value"},
        {"ddm.lua", 0, "", "ddm.lua(0) bad value"},
        {"ddm.lua", 12, "read_bitmap", "ddm.lua(12) in read_bitmap: bad value"},
        {nullptr, 0, "read_file", "in read_file: bad value"},
    };
    for (const Case& c : cases) {
        if (c.script) {
            daxPushErrorScript(c.script);
        }
        daxSetErrorLine(c.line);
        daxSetErrorFunction(c.function);
        EXPECT_EQ(raisedFor("bad value"), c.expected);
        if (c.script) {
            daxPopErrorScript();
        }
    }
    // The newest script names the position; popping an empty stack is harmless.
    daxPushErrorScript("outer.lua");
    daxPushErrorScript("inner.lua");
    daxSetErrorLine(3);
    daxSetErrorFunction("");
    EXPECT_EQ(raisedFor("x"), "inner.lua(3) x");
    daxPopErrorScript();
    EXPECT_EQ(raisedFor("x"), "outer.lua(3) x");
    daxPopErrorScript();
    daxPopErrorScript();
    EXPECT_EQ(raisedFor("x"), "unknown(3) x");
}

TEST_F(ErrorLogTest, RaiseIsCaughtAsStdExceptionAndLogged) {
    try {
        daxRaiseError("value %d", 42);
        FAIL();
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "value 42");
    }
    auto texts = consoleTexts();
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back(), "value 42");
}

TEST_F(ErrorLogTest, MessagesAreCutAt1023Characters) {
    std::string longText(3000, 'x');
    std::string got = raisedFor(longText.c_str());
    EXPECT_EQ(got.size(), 1023u);
    char buf[kDaxMsgBufSize];
    EXPECT_EQ(daxFormat(buf, "%s", longText.c_str()), 1023);
    EXPECT_EQ(std::string(buf).size(), 1023u);
    daxPushErrorScript(std::string(2000, 's').c_str());
    daxSetErrorFunction(std::string(2000, 'f').c_str());
    EXPECT_EQ(raisedFor("tail").size(), 1023u);
}

TEST_F(ErrorLogTest, FilterByLevelAndKind) {
    struct Case {
        int debug_level, debug_ltype, level, kind;
        bool logged;
    };
    const Case cases[] = {
        {1, 1, 0, 1, true},  {1, 1, 1, 1, true},  {1, 1, 2, 1, false}, {1, 1, 1, 2, false},
        {1, 1, 0, 0, true},  {0, 0, 0, 0, true},  {0, 0, 0, 1, false}, {4, 6, 3, 4, true},
        {4, 6, 3, 1, false}, {4, 6, 5, 2, false},
    };
    for (const Case& c : cases) {
        dax_config.debug_level_ = c.debug_level;
        dax_config.debug_ltype_ = c.debug_ltype;
        DaxLog::reset();
        daxLogMessage(c.level, c.kind, "line");
        EXPECT_EQ(consoleTexts().size(), c.logged ? 1u : 0u)
            << c.debug_level << "/" << c.debug_ltype << " " << c.level << "/" << c.kind;
    }
}

TEST_F(ErrorLogTest, LogFileIsCreatedWithItsFoldersAndFlushedForEveryLine) {
    TempDir dir;
    dax_config.log_path_ = dir.file("user/deeper/zt.log");
    dax_config.shrt_name_ = "zt";
    dax_config.debug_level_ = 2;
    daxLogMessage(1, 1, "important %d", 1);
    EXPECT_TRUE(DaxLog::isOpen());
    // Flushed at once: readable while the file is still open.
    EXPECT_EQ(TempDir::read(dax_config.log_path_), "zt important 1\n");
    // An ordinary progress line as well.
    daxLogMessage(2, 1, "progress");
    EXPECT_EQ(TempDir::read(dax_config.log_path_), "zt important 1\nzt progress\n");

    auto texts = consoleTexts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], "important 1");
    DaxMutexLock lock(DaxLog::consoleMutex());
    EXPECT_TRUE(DaxLog::consoleQueue().front().important);
    EXPECT_FALSE(DaxLog::consoleQueue().back().important);
}

TEST_F(ErrorLogTest, UnwritableLogFallsBackToTheConsole) {
    TempDir dir;
    dir.write("blocker", "a file where a folder should be");
    dax_config.log_path_ = dir.file("blocker/zt.log");
    daxLogMessage(1, 1, "first");
    daxLogMessage(1, 1, "second");
    EXPECT_FALSE(DaxLog::isOpen());
    auto texts = consoleTexts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts.back(), "second");
    // No display here, so no "No LOG file!!!" box either.
    for (const Box& b : boxes_) {
        EXPECT_NE(b.text, "No LOG file!!!");
    }
}

TEST_F(ErrorLogTest, ReportLogsShowsABoxAndGoesOn) {
    EXPECT_EQ(daxReportError("disk %s", "full"), 1);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].title, "Error");
    EXPECT_EQ(boxes_[0].heading, "Error");
    EXPECT_EQ(boxes_[0].text, "disk full");
    EXPECT_TRUE(boxes_[0].flags & kDaxMsgBoxError);
    EXPECT_EQ(consoleTexts().back(), "disk full");
}

TEST_F(ErrorLogTest, MutexLockToleratesNullAndUnlocksOnce) {
    DaxMutexLock none(nullptr);
    none.unlock();
    daxLogMessage(0, 0, "creates the mutex");
    ASSERT_NE(DaxLog::consoleMutex(), nullptr);
    {
        DaxMutexLock lock(DaxLog::consoleMutex());
        lock.unlock();
        lock.unlock();
    }
    DaxMutexLock again(DaxLog::consoleMutex());
}

using ErrorLogDeathTest = ErrorLogTest;

TEST_F(ErrorLogDeathTest, FatalCheckWritesItsLineAndAborts) {
    EXPECT_DEATH(daxAssertFailed("dax2\\dax_oid", 26, "type_idx_<0"), "dax2.dax_oid:26 type_idx_<0");
    int value = 3;
    EXPECT_DEATH(DAX_ASSERT(value == 4), "tests/dax2/test_error_log.cpp:[0-9]+ value == 4");
}

TEST_F(ErrorLogDeathTest, EveryLineBeforeAnAbortIsInTheLog) {
    TempDir dir;
    dax_config.log_path_ = dir.file("abort.log");
    dax_config.shrt_name_ = "zt";
    dax_config.debug_level_ = 2;
    EXPECT_DEATH(
        {
            daxLogMessage(2, 1, "open config file zor.ini");
            daxAssertFailed("src\\rn", 169, "boom");
        },
        "src.rn:169 boom");
    EXPECT_EQ(TempDir::read(dir.file("abort.log")), "zt open config file zor.ini\nzt src\\rn:169 boom\n");
}

TEST_F(ErrorLogDeathTest, AFilteredFatalCheckStillShowsItsBox) {
    TempDir dir;
    dax_config.log_path_ = dir.file("filtered.log");
    dax_config.debug_ltype_ = 0;  // only raised and reported errors are logged
    daxSetMsgBoxHook([](const std::string& title, const std::string& heading, const std::string& text, int flags) {
        std::fprintf(stderr, "BOX %s/%s/%d: %s\n", title.c_str(), heading.c_str(), flags & kDaxMsgBoxError,
                     text.c_str());
        return 0;
    });
    EXPECT_DEATH(daxAssertFailed("src\\rn", 169, "boom"), "BOX Error/Error/2: src.rn:169 boom");
    // The check passed no filter, so the log file was never opened.
    EXPECT_FALSE(daxFileExists(dir.file("filtered.log").c_str()));
}

}  // namespace
