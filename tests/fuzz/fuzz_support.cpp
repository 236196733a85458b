#include "fuzz_support.h"

#include <allegro5/allegro.h>
#include <allegro5/allegro_primitives.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "dax2/dax_error.h"
#include "dax2/dax_ini.h"
#include "support/allegro_env.h"
#include "support/temp_dir.h"

void fuzzFail(const char* file, int line, const std::string& what) {
    std::fprintf(stderr, "%s:%d: fuzz check failed: %s\n", file, line, what.c_str());
    std::fflush(stderr);
    std::abort();
}

namespace {

TempDir& tempDir() {
    // Made on first use and removed at exit with everything in it. Saves
    // are synced to the disk as they are written: a folder in memory keeps
    // a long run from waiting on the disk.
    static TempDir* dir = [] {
        struct stat st {};
        if (!std::getenv("TMPDIR") && stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode))
            setenv("TMPDIR", "/dev/shm", 1);
        static TempDir made;
        return &made;
    }();
    return *dir;
}

}  // namespace

void fuzzInitFramework() {
    static bool done = false;
    if (done) return;
    done = true;
    setenv("DAX_MSGBOX", "silent", 1);
    zorInitAllegro();
    if (!al_init_primitives_addon()) std::abort();
    dax_config.debug_level_ = 0;
    dax_config.debug_ltype_ = 0;
    dax_config.log_path_.clear();
    DaxLog::reset();
}

const std::string& fuzzTempDir() { return tempDir().path(); }

std::string fuzzWriteFile(const std::string& name, const std::string& content) {
    return tempDir().write(name, content);
}

void fuzzForgetLog() {
    DaxMutexLock lock(DaxLog::consoleMutex());
    DaxLog::consoleQueue().clear();
}
