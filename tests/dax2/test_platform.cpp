// Message-box modes, the hook, and the clocks of the platform layer.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "dax2/dax_platform.h"

namespace {

void setOrUnset(const char* name, const char* value) {
    value ? setenv(name, value, 1) : unsetenv(name);
}

TEST(Platform, MessageBoxModeFromTheEnvironment) {
    struct Case {
        const char* dax_msgbox;
        const char* display;
        const char* wayland;
        const char* ci;
        DaxMsgBoxMode expected;
    };
    const Case cases[] = {
        {nullptr, nullptr, nullptr, nullptr, DaxMsgBoxMode::Stderr},
        {nullptr, ":0", nullptr, nullptr, DaxMsgBoxMode::Native},
        {nullptr, nullptr, "wayland-0", nullptr, DaxMsgBoxMode::Native},
        {nullptr, ":0", nullptr, "true", DaxMsgBoxMode::Stderr},
        {"native", nullptr, nullptr, "true", DaxMsgBoxMode::Native},
        {"silent", ":0", nullptr, nullptr, DaxMsgBoxMode::Silent},
        {"stderr", ":0", nullptr, nullptr, DaxMsgBoxMode::Stderr},
        {"bogus", ":0", nullptr, nullptr, DaxMsgBoxMode::Native},
    };
    const char* names[] = {"DAX_MSGBOX", "DISPLAY", "WAYLAND_DISPLAY", "CI"};
    std::string saved[4];
    bool had[4];
    for (int i = 0; i < 4; ++i) {
        const char* v = getenv(names[i]);
        had[i] = v != nullptr;
        saved[i] = v ? v : "";
    }
    for (const Case& c : cases) {
        setOrUnset("DAX_MSGBOX", c.dax_msgbox);
        setOrUnset("DISPLAY", c.display);
        setOrUnset("WAYLAND_DISPLAY", c.wayland);
        setOrUnset("CI", c.ci);
        EXPECT_EQ(daxMsgBoxModeFromEnvironment(), c.expected)
            << (c.dax_msgbox ? c.dax_msgbox : "-") << " " << (c.display ? c.display : "-");
    }
    for (int i = 0; i < 4; ++i) {
        setOrUnset(names[i], had[i] ? saved[i].c_str() : nullptr);
    }
}

TEST(Platform, BoxesGoToTheHookOrToStderrWithoutWaiting) {
    std::string seen;
    daxSetMsgBoxHook([&](const std::string& t, const std::string&, const std::string& x, int) {
        seen = t + ": " + x;
        return 2;
    });
    EXPECT_EQ(daxMessageBox("Warning", "Warning", "careful", kDaxMsgBoxWarn), 2);
    EXPECT_EQ(seen, "Warning: careful");
    daxSetMsgBoxHook(nullptr);

    daxSetMsgBoxMode(DaxMsgBoxMode::Stderr);
    testing::internal::CaptureStderr();
    EXPECT_EQ(daxMessageBox("Error", "Error", "text", kDaxMsgBoxError), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: text\n");
    daxSetMsgBoxMode(DaxMsgBoxMode::Silent);
    testing::internal::CaptureStderr();
    daxMessageBox("Error", "Error", "text", kDaxMsgBoxError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    daxSetMsgBoxMode(DaxMsgBoxMode::Stderr);
}

// Native mode shows the box the display part installed; while none is
// installed, or the installed one cannot show a box, the text goes to stderr
// as in stderr mode, so a program without a display never loses it.
TEST(Platform, NativeBoxesNeedAnInstalledBoxElseGoToStderr) {
    static std::string shown;
    struct Case {
        DaxNativeMsgBox box;
        int expected;
        const char* on_stderr;
        const char* in_box;
    };
    const Case cases[] = {
        {nullptr, 0, "Error: text\n", ""},
        {[](const char* t, const char*, const char* x, int) {
             shown = std::string(t) + "/" + x;
             return 1;
         },
         1, "", "Error/text"},
        {[](const char*, const char*, const char*, int) { return kDaxMsgBoxNotShown; }, 0, "Error: text\n", ""},
    };
    daxSetMsgBoxMode(DaxMsgBoxMode::Native);
    for (const Case& c : cases) {
        shown.clear();
        daxSetNativeMsgBox(c.box);
        testing::internal::CaptureStderr();
        EXPECT_EQ(daxMessageBox("Error", "Error", "text", kDaxMsgBoxError), c.expected);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.on_stderr);
        EXPECT_EQ(shown, c.in_box);
    }
    daxSetNativeMsgBox(nullptr);
    daxSetMsgBoxMode(DaxMsgBoxMode::Stderr);
}

TEST(Platform, ClocksAndProgramPath) {
    uint64_t a = daxPerfCounter();
    uint32_t ms = daxMonotonicMs();
    daxSleepMs(20);
    EXPECT_GE(daxPerfCounter() - a, 20u * 1000000u);
    EXPECT_GE(daxMonotonicMs() - ms, 20u);
    EXPECT_EQ(daxPerfFrequency(), 1000000000u);
    // Hundredths of a second since 1970, low 32 bits.
    uint32_t expected = static_cast<uint32_t>(static_cast<uint64_t>(daxUnixTime()) * 100);
    EXPECT_LT(daxRealTime() - expected, 200u);
    EXPECT_NE(daxExecutablePath().find("test_dax2"), std::string::npos);
    EXPECT_EQ(daxExecutableDir().back(), '/');
}

}  // namespace
