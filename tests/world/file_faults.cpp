#include "file_faults.h"

#include <dlfcn.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <mutex>

namespace filefaults {
namespace {

struct State {
    std::string folder;      // as the test gave it, ending in '/'
    std::string real;        // the same, with links resolved
    std::vector<Fault> faults;
    int kill_at = 0;
    int counts[kCalls] = {};
    int all = 0;
    std::vector<std::string> trace;
};

std::atomic<bool> g_armed{false};
std::mutex g_mutex;
State g_state;

const char* const kNames[kCalls] = {"write", "fsync", "close", "rename", "link", "remove"};

bool under(const std::string& path, const std::string& folder) {
    if (folder.empty()) return false;
    return path.compare(0, folder.size(), folder) == 0 || path + "/" == folder;
}

bool pathInFolder(const char* path) {
    return path && (under(path, g_state.folder) || under(path, g_state.real));
}

bool fdInFolder(int fd) {
    char entry[64];
    std::snprintf(entry, sizeof(entry), "/proc/self/fd/%d", fd);
    char target[PATH_MAX];
    const ssize_t n = ::readlink(entry, target, sizeof(target) - 1);
    if (n <= 0) return false;
    target[n] = '\0';
    return pathInFolder(target);
}

// Counts a call that concerns the folder; the error it is to fail with, or 0.
template <class InFolder>
int decide(Call call, InFolder in_folder) {
    if (!g_armed.load(std::memory_order_acquire)) return 0;
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!in_folder()) return 0;
    const int k = static_cast<int>(call);
    const int n = ++g_state.counts[k];
    ++g_state.all;
    g_state.trace.push_back(kNames[k]);
    if (g_state.kill_at == g_state.all) ::kill(::getpid(), SIGKILL);
    for (const Fault& f : g_state.faults) {
        if (f.call == call && f.n == n) return f.error;
    }
    return 0;
}

int onFd(Call call, int fd) {
    return decide(call, [fd] { return fdInFolder(fd); });
}
int onPaths(Call call, const char* a, const char* b = nullptr) {
    return decide(call, [=] { return pathInFolder(a) || pathInFolder(b); });
}
// What a failed call returns.
int failWith(int error) {
    errno = error;
    return -1;
}

template <class Fn>
Fn next(const char* name) {
    return reinterpret_cast<Fn>(::dlsym(RTLD_NEXT, name));
}

}  // namespace

const char* callName(Call call) { return kNames[static_cast<int>(call)]; }

void arm(const std::string& folder, const std::vector<Fault>& faults) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_state = State();
    g_state.folder = folder;
    char real[PATH_MAX];
    if (::realpath(folder.c_str(), real)) g_state.real = std::string(real) + "/";
    g_state.faults = faults;
    g_armed.store(true, std::memory_order_release);
}

void armKill(const std::string& folder, int n) {
    arm(folder);
    std::lock_guard<std::mutex> lock(g_mutex);
    g_state.kill_at = n;
}

void disarm() { g_armed.store(false, std::memory_order_release); }

std::vector<std::string> trace() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_state.trace;
}

}  // namespace filefaults

using filefaults::Call;

// The stand-ins. They take the C library's declarations as they are (the
// exception specifications included).
extern "C" {

ssize_t write(int fd, const void* buf, size_t n) {
    static const auto real = filefaults::next<ssize_t (*)(int, const void*, size_t)>("write");
    if (int e = filefaults::onFd(Call::Write, fd)) return filefaults::failWith(e);
    return real(fd, buf, n);
}

int fsync(int fd) {
    static const auto real = filefaults::next<int (*)(int)>("fsync");
    if (int e = filefaults::onFd(Call::Fsync, fd)) return filefaults::failWith(e);
    return real(fd);
}

int close(int fd) {
    static const auto real = filefaults::next<int (*)(int)>("close");
    const int e = filefaults::onFd(Call::Close, fd);
    const int rc = real(fd);
    return e != 0 ? filefaults::failWith(e) : rc;
}

int rename(const char* from, const char* to) noexcept {
    static const auto real = filefaults::next<int (*)(const char*, const char*)>("rename");
    if (int e = filefaults::onPaths(Call::Rename, from, to)) return filefaults::failWith(e);
    return real(from, to);
}

int link(const char* from, const char* to) noexcept {
    static const auto real = filefaults::next<int (*)(const char*, const char*)>("link");
    if (int e = filefaults::onPaths(Call::Link, from, to)) return filefaults::failWith(e);
    return real(from, to);
}

int remove(const char* path) noexcept {
    static const auto real = filefaults::next<int (*)(const char*)>("remove");
    if (int e = filefaults::onPaths(Call::Remove, path)) return filefaults::failWith(e);
    return real(path);
}

}  // extern "C"
