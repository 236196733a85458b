// The four ways the framework reacts to trouble: fatal checks (log, box,
// abort), raised errors (DaxException, decorated with the script position),
// reported errors (log and box, then go on), and the log with its on-screen
// console queue.
#pragma once

#include <cstdint>
#include <deque>
#include <exception>
#include <string>

struct ALLEGRO_MUTEX;

// Every formatted framework message fits this buffer (1023 characters and
// the terminator); longer texts are cut.
constexpr int kDaxMsgBufSize = 1024;

// The framework's exception: carries the formatted message.
class DaxException : public std::exception {
public:
    explicit DaxException(const char* text) : text_(text ? text : "") {}
    explicit DaxException(std::string text) : text_(std::move(text)) {}
    ~DaxException() override = default;
    const char* what() const noexcept override { return text_.c_str(); }

private:
    std::string text_;
};

// Formats "%s:%d %s" (file, line, expression), logs it (level 0, kind 1),
// writes it to stderr, shows it in an "Error" box (unless boxes go to stderr
// anyway and no hook is installed), aborts.
[[noreturn]] void daxAssertFailed(const char* file, int line, const char* expr);

// The check of the whole system: the source path relative to the tree, the
// line and the text of the failed expression.
#define DAX_ASSERT(expr) ((expr) ? (void)0 : daxAssertFailed(__FILE__, __LINE__, #expr))
// The same with a fixed source name and line, for checks whose report text
// callers and tools rely on.
#define DAX_ASSERT_AT(expr, file, line) ((expr) ? (void)0 : daxAssertFailed(file, line, #expr))

// Formats into a buffer of kDaxMsgBufSize characters; returns the length
// written (cut texts give kDaxMsgBufSize - 1).
int daxFormat(char* dst, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

// Builds the message with the script position ("%s(%d) ") and the running
// function ("in %s: ") in front, logs it (level 0, kind 0) and throws
// DaxException with it.
[[noreturn]] void daxRaiseError(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Logs the message (level 0, kind 0) and shows it in an "Error" box; returns
// the box's result. The caller goes on.
int daxReportError(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Writes one line to the log file (flushed at once) and the console queue
// when the level and kind pass the filter (DaxConfig::logEnabled).
void daxLogMessage(int level, int kind, const char* fmt, ...) __attribute__((format(printf, 3, 4)));

// The error context that daxRaiseError puts in front of a message; the Lua
// glue keeps it up to date while a script runs.
void daxSetErrorLine(int line);
void daxSetErrorFunction(const char* name);
void daxPushErrorScript(const char* name);
void daxPopErrorScript();
int daxErrorLine();
const std::string& daxErrorFunction();
// Name of the newest running script, "" when none runs.
std::string daxErrorScript();

// One line of the on-screen console.
struct DaxConsoleEntry {
    std::string text;
    uint32_t time = 0;       // daxRealTime when it was logged
    bool important = false;  // level <= 1 and kind == 1
};

// The log file and the console queue. The queue is shared with other threads
// that log: hold consoleMutex() (through DaxMutexLock) for every access.
class DaxLog {
public:
    static std::deque<DaxConsoleEntry>& consoleQueue();
    // Created by the first log call; null before that.
    static ALLEGRO_MUTEX* consoleMutex();
    // Whether the log file is open.
    static bool isOpen();
    // Closes the log file and lets the next message try to open it again
    // (after the log path changed); a log that fails again warns again.
    // Empties the console queue.
    static void reset();
};

// Scoped lock of an Allegro mutex; a null mutex is not locked.
class DaxMutexLock {
public:
    explicit DaxMutexLock(ALLEGRO_MUTEX* mutex);
    ~DaxMutexLock();
    void unlock();
    DaxMutexLock(const DaxMutexLock&) = delete;
    DaxMutexLock& operator=(const DaxMutexLock&) = delete;

private:
    ALLEGRO_MUTEX* mutex_;
};
