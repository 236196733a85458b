// The few operating-system services the framework needs, behind one small
// interface: message boxes that never block a headless or test run, wall and
// monotonic clocks, sleeping, the program's own path and the user folders.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// How message boxes are shown. Native opens Allegro's modal dialog; Stderr
// writes one line "title: text" and returns at once; Silent shows nothing.
enum class DaxMsgBoxMode { Native, Stderr, Silent };

// Icon and button flags of a message box (the values of Allegro's).
enum : int {
    kDaxMsgBoxWarn = 1 << 0,
    kDaxMsgBoxError = 1 << 1,
    kDaxMsgBoxOkCancel = 1 << 2,
    kDaxMsgBoxYesNo = 1 << 3,
    kDaxMsgBoxQuestion = 1 << 4,
};

// The mode in force. Unless set explicitly it comes from the environment:
// DAX_MSGBOX=native|stderr|silent wins; otherwise stderr when neither DISPLAY
// nor WAYLAND_DISPLAY is set or when CI is set, else native.
DaxMsgBoxMode daxMsgBoxMode();
// The mode the environment asks for (what daxMsgBoxMode starts with).
DaxMsgBoxMode daxMsgBoxModeFromEnvironment();
void daxSetMsgBoxMode(DaxMsgBoxMode mode);

// A hook that sees every box instead of the user (tests). It receives title,
// heading, text and flags and returns the box's result. An empty function
// removes the hook.
using DaxMsgBoxHook = std::function<int(const std::string& title, const std::string& heading,
                                        const std::string& text, int flags)>;
void daxSetMsgBoxHook(DaxMsgBoxHook hook);
// Whether a hook is installed.
bool daxHasMsgBoxHook();

// The box native mode shows: the display part installs Allegro's (the core
// links no dialog code). It returns the pressed button, or
// kDaxMsgBoxNotShown when it cannot show a box. Null removes it.
constexpr int kDaxMsgBoxNotShown = -1;
using DaxNativeMsgBox = int (*)(const char* title, const char* heading, const char* text, int flags);
void daxSetNativeMsgBox(DaxNativeMsgBox box);

// Shows a message box (on the current Allegro display, if any, in native
// mode). Returns the pressed button: 0 none or closed, 1 OK/Yes, 2 Cancel/No.
// Outside native mode, and in native mode while no native box is installed
// or it cannot show one, it writes to stderr like stderr mode and returns 0
// without waiting.
int daxMessageBox(const char* title, const char* heading, const char* text, int flags);

// Monotonic performance counter and its frequency (nanoseconds, 1e9).
uint64_t daxPerfCounter();
uint64_t daxPerfFrequency();

// Monotonic milliseconds since the first call in this process.
uint32_t daxMonotonicMs();

// Wall-clock time in hundredths of a second since 1970, low 32 bits. Compare
// two such times by unsigned difference only.
uint32_t daxRealTime();

// Seconds since 1970 (for seeding and time stamps).
int64_t daxUnixTime();

void daxSleepMs(int ms);

// Memory for a large table read all over at random (the map's tiles): at
// least bytes, aligned so that the system can back it with large pages, and
// asked to, which spares the address translations of a big map most of
// their misses. Null when there is no memory. Freed with daxFreeLarge.
void* daxAllocLarge(size_t bytes);
void daxFreeLarge(void* p);

// The full path of the running program (the target of /proc/self/exe), or ""
// when it cannot be found.
std::string daxExecutablePath();
// The folder of the running program, ending in '/', or "" when unknown.
std::string daxExecutableDir();
