#include "dax2/dax_error.h"

#include <allegro5/allegro.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "dax2/dax_file.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_mptr.h"
#include "dax2/dax_platform.h"

namespace {

// Error context kept up to date by the Lua glue.
std::deque<std::string> g_scripts;
int g_line = 0;
std::string g_function;

// The log file, tried once per log path.
FILE_mptr g_log_file;
bool g_log_untried = true;
bool g_warned_no_log = false;

ALLEGRO_MUTEX_mptr g_console_mutex;

int formatV(char* dst, const char* fmt, va_list ap) {
    int n = std::vsnprintf(dst, kDaxMsgBufSize, fmt, ap);
    if (n < 0) {
        dst[0] = 0;
        return 0;
    }
    return n < kDaxMsgBufSize ? n : kDaxMsgBufSize - 1;
}

void openLogLazily() {
    if (!g_console_mutex) {
        g_console_mutex.reset(al_create_mutex());
    }
    if (g_log_file || dax_config.log_path_.empty() || !g_log_untried) {
        return;
    }
    g_log_untried = false;
    size_t slash = dax_config.log_path_.find_last_of("/\\");
    if (slash != std::string::npos) {
        try {
            daxMakeDirs(dax_config.log_path_.substr(0, slash + 1).c_str());
        } catch (const DaxException&) {
            // The open below fails and the log falls back to the console.
        }
    }
    g_log_file.reset(std::fopen(dax_config.log_path_.c_str(), "w"));
}

bool displayExists() { return al_is_system_installed() && al_get_current_display() != nullptr; }

void logText(int level, int kind, const char* text) {
    openLogLazily();
    bool important = level <= 1 && kind == 1;
    if (g_log_file) {
        // Every line reaches the file at once: a crash or an abort must leave
        // all that was logged before it.
        std::fprintf(g_log_file.get(), "%s %s\n", dax_config.shrt_name_.c_str(), text);
        std::fflush(g_log_file.get());
    } else if (displayExists() && !g_warned_no_log) {
        // One warning per process: a box per logged line would make the
        // program unusable while the log cannot be written.
        g_warned_no_log = true;
        daxMessageBox("Warning", "Warning", "No LOG file!!!", kDaxMsgBoxWarn);
    }
    DaxMutexLock lock(g_console_mutex.get());
    DaxLog::consoleQueue().push_back(DaxConsoleEntry{text, daxRealTime(), important});
}

}  // namespace

int daxFormat(char* dst, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    int n = formatV(dst, fmt, ap);
    va_end(ap);
    return n;
}

void daxAssertFailed(const char* file, int line, const char* expr) {
    char buf[kDaxMsgBufSize];
    daxFormat(buf, "%s:%d %s", file, line, expr);
    daxLogMessage(0, 1, "%s", buf);
    // The line goes to stderr in every mode: the abort must leave a trace
    // even where no box can be shown and the log filter dropped it.
    std::fprintf(stderr, "%s\n", buf);
    std::fflush(stderr);
    // In stderr mode the box would only print the same line again.
    if (daxMsgBoxMode() != DaxMsgBoxMode::Stderr || daxHasMsgBoxHook()) {
        daxMessageBox("Error", "Error", buf, kDaxMsgBoxError);
    }
    std::abort();
}

void daxRaiseError(const char* fmt, ...) {
    char buf[kDaxMsgBufSize];
    buf[0] = 0;
    size_t n = 0;
    // Appends to buf, never past its end.
    auto append = [&](const char* f, auto... args) {
        if (n < sizeof(buf) - 1) {
            int w = std::snprintf(buf + n, sizeof(buf) - n, f, args...);
            n = w < 0 ? n : std::min(sizeof(buf) - 1, n + static_cast<size_t>(w));
        }
    };
    if (!g_scripts.empty()) {
        append("%s(%d) ", g_scripts.back().c_str(), g_line);
    } else if (g_line > 0) {
        append("%s(%d) ", "unknown", g_line);
    }
    if (!g_function.empty()) {
        append("in %s: ", g_function.c_str());
    }
    if (n < sizeof(buf) - 1) {
        va_list ap;
        va_start(ap, fmt);
        std::vsnprintf(buf + n, sizeof(buf) - n, fmt, ap);
        va_end(ap);
    }
    daxLogMessage(0, 0, "%s", buf);
    throw DaxException(buf);
}

int daxReportError(const char* fmt, ...) {
    char buf[kDaxMsgBufSize];
    va_list ap;
    va_start(ap, fmt);
    formatV(buf, fmt, ap);
    va_end(ap);
    daxLogMessage(0, 0, "%s", buf);
    return daxMessageBox("Error", "Error", buf, kDaxMsgBoxError);
}

void daxLogMessage(int level, int kind, const char* fmt, ...) {
    if (!dax_config.logEnabled(level, kind)) {
        return;
    }
    char buf[kDaxMsgBufSize];
    va_list ap;
    va_start(ap, fmt);
    formatV(buf, fmt, ap);
    va_end(ap);
    logText(level, kind, buf);
}

void daxSetErrorLine(int line) { g_line = line; }
void daxSetErrorFunction(const char* name) { g_function = name ? name : ""; }
void daxPushErrorScript(const char* name) { g_scripts.emplace_back(name ? name : ""); }
void daxPopErrorScript() {
    if (!g_scripts.empty()) {
        g_scripts.pop_back();
    }
}
int daxErrorLine() { return g_line; }
const std::string& daxErrorFunction() { return g_function; }
std::string daxErrorScript() { return g_scripts.empty() ? std::string() : g_scripts.back(); }

std::deque<DaxConsoleEntry>& DaxLog::consoleQueue() {
    static std::deque<DaxConsoleEntry> queue;
    return queue;
}

ALLEGRO_MUTEX* DaxLog::consoleMutex() { return g_console_mutex.get(); }

bool DaxLog::isOpen() { return static_cast<bool>(g_log_file); }

void DaxLog::reset() {
    g_log_file.release();
    g_log_untried = true;
    g_warned_no_log = false;
    DaxMutexLock lock(g_console_mutex.get());
    consoleQueue().clear();
}

DaxMutexLock::DaxMutexLock(ALLEGRO_MUTEX* mutex) : mutex_(mutex) {
    if (mutex_) {
        al_lock_mutex(mutex_);
    }
}

DaxMutexLock::~DaxMutexLock() { unlock(); }

void DaxMutexLock::unlock() {
    if (mutex_) {
        al_unlock_mutex(mutex_);
        mutex_ = nullptr;
    }
}
