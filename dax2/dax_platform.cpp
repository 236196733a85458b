#include "dax2/dax_platform.h"

#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

namespace {

std::mutex g_box_mutex;
bool g_mode_set = false;
DaxMsgBoxMode g_mode = DaxMsgBoxMode::Stderr;
DaxMsgBoxHook g_hook;
DaxNativeMsgBox g_native = nullptr;

bool envSet(const char* name) {
    const char* v = std::getenv(name);
    return v && *v;
}

}  // namespace

DaxMsgBoxMode daxMsgBoxModeFromEnvironment() {
    if (const char* v = std::getenv("DAX_MSGBOX")) {
        if (std::strcmp(v, "native") == 0) {
            return DaxMsgBoxMode::Native;
        }
        if (std::strcmp(v, "stderr") == 0) {
            return DaxMsgBoxMode::Stderr;
        }
        if (std::strcmp(v, "silent") == 0) {
            return DaxMsgBoxMode::Silent;
        }
    }
    if (envSet("CI") || (!envSet("DISPLAY") && !envSet("WAYLAND_DISPLAY"))) {
        return DaxMsgBoxMode::Stderr;
    }
    return DaxMsgBoxMode::Native;
}

namespace {

const std::chrono::steady_clock::time_point g_start = std::chrono::steady_clock::now();

}  // namespace

DaxMsgBoxMode daxMsgBoxMode() {
    std::lock_guard<std::mutex> lock(g_box_mutex);
    if (!g_mode_set) {
        g_mode = daxMsgBoxModeFromEnvironment();
        g_mode_set = true;
    }
    return g_mode;
}

void daxSetMsgBoxMode(DaxMsgBoxMode mode) {
    std::lock_guard<std::mutex> lock(g_box_mutex);
    g_mode = mode;
    g_mode_set = true;
}

void daxSetMsgBoxHook(DaxMsgBoxHook hook) {
    std::lock_guard<std::mutex> lock(g_box_mutex);
    g_hook = std::move(hook);
}

bool daxHasMsgBoxHook() {
    std::lock_guard<std::mutex> lock(g_box_mutex);
    return static_cast<bool>(g_hook);
}

void daxSetNativeMsgBox(DaxNativeMsgBox box) {
    std::lock_guard<std::mutex> lock(g_box_mutex);
    g_native = box;
}

int daxMessageBox(const char* title, const char* heading, const char* text, int flags) {
    title = title ? title : "";
    heading = heading ? heading : "";
    text = text ? text : "";
    DaxMsgBoxHook hook;
    DaxNativeMsgBox native = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_box_mutex);
        hook = g_hook;
        native = g_native;
    }
    if (hook) {
        return hook(title, heading, text, flags);
    }
    DaxMsgBoxMode mode = daxMsgBoxMode();
    // Without a box that can be shown the text still reaches the user on
    // stderr.
    if (mode == DaxMsgBoxMode::Native && native) {
        int pressed = native(title, heading, text, flags);
        if (pressed != kDaxMsgBoxNotShown) {
            return pressed;
        }
    }
    if (mode != DaxMsgBoxMode::Silent) {
        std::fprintf(stderr, "%s: %s\n", title, text);
        std::fflush(stderr);
    }
    return 0;
}

uint64_t daxPerfCounter() {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

uint64_t daxPerfFrequency() { return 1000000000ull; }

uint32_t daxMonotonicMs() {
    auto d = std::chrono::steady_clock::now() - g_start;
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(d).count());
}

uint32_t daxRealTime() {
    // Hundredths of a second since 1970, from whole milliseconds, as the
    // seconds-plus-milliseconds clock it stands for would give them.
    int64_t ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                     std::chrono::system_clock::now().time_since_epoch())
                     .count();
    double t = (static_cast<double>(ms / 1000) + static_cast<double>(ms % 1000) * 0.001) * 100.0;
    return static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(t)));
}

int64_t daxUnixTime() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

void daxSleepMs(int ms) {
    if (ms > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
}

void* daxAllocLarge(size_t bytes) {
    // A large page is 2 MiB on the machines the game runs on; smaller
    // tables gain nothing from one.
    constexpr size_t kLargePage = size_t(2) << 20;
    if (bytes < kLargePage) return std::malloc(bytes == 0 ? 1 : bytes);
    if (bytes > SIZE_MAX - kLargePage) return nullptr;
    const size_t rounded = (bytes + kLargePage - 1) / kLargePage * kLargePage;
    void* p = std::aligned_alloc(kLargePage, rounded);
#ifdef MADV_HUGEPAGE
    // Only advice: where large pages are off the table works as before.
    if (p) madvise(p, rounded, MADV_HUGEPAGE);
#endif
    return p;
}

void daxFreeLarge(void* p) { std::free(p); }

std::string daxExecutablePath() {
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
    if (n <= 0) {
        return "";
    }
    buf[n] = 0;
    return buf;
}

std::string daxExecutableDir() {
    std::string p = daxExecutablePath();
    size_t slash = p.rfind('/');
    if (slash == std::string::npos) {
        return "";
    }
    return p.substr(0, slash + 1);
}
