#include "dax2/dax_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "dax2/dax_error.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_mptr.h"

namespace {

gzFile gz(ALLEGRO_FILE* f) { return static_cast<gzFile>(al_get_file_userdata(f)); }

// Whether path names something other than a regular file. Opening a FIFO
// waits for a program at its other end, and a device is no save: such names
// are refused before they are opened. A missing path is no such thing.
bool isSpecialFile(const char* path) {
    struct stat st;
    return ::stat(path, &st) == 0 && !S_ISREG(st.st_mode);
}

void* gzOpenSlot(const char* path, const char* mode) {
    gzFile g = isSpecialFile(path) ? nullptr : gzopen(path, mode);
    if (!g) {
        al_set_errno(12);
        return nullptr;
    }
    gzbuffer(g, 0x8000);
    return g;
}

bool gzCloseSlot(ALLEGRO_FILE* f) {
    // gzclose writes the last block of a written file: a full disk shows
    // here, and the caller must learn why (zlib leaves the reason in errno).
    errno = 0;
    const int rc = gzclose(gz(f));
    if (rc == Z_OK) {
        return true;
    }
    if (rc == Z_ERRNO && errno != 0) {
        al_set_errno(errno);
    } else {
        al_set_errno(rc == Z_MEM_ERROR ? ENOMEM : EIO);
    }
    return false;
}

// zlib counts in int: a larger request is served in part, as a short read
// or write, instead of wrapping to a wrong count.
unsigned zlibCount(size_t n) { return static_cast<unsigned>(n > INT_MAX ? INT_MAX : n); }

size_t gzReadSlot(ALLEGRO_FILE* f, void* buf, size_t n) {
    if (n == 0) {
        return 0;
    }
    if (n == 1) {
        int c = gzgetc(gz(f));
        if (c == -1) {
            al_set_errno(errno);
            return 0;
        }
        *static_cast<unsigned char*>(buf) = static_cast<unsigned char>(c);
        return 1;
    }
    int got = gzread(gz(f), buf, zlibCount(n));
    if (got < 0) {
        al_set_errno(errno ? errno : EIO);
        return 0;
    }
    if (static_cast<size_t>(got) < n) {
        al_set_errno(errno);
    }
    return static_cast<size_t>(got);
}

size_t gzWriteSlot(ALLEGRO_FILE* f, const void* buf, size_t n) {
    if (n == 0) {
        return 0;
    }
    int put = gzwrite(gz(f), buf, zlibCount(n));
    if (put <= 0) {
        al_set_errno(errno ? errno : EIO);
        return 0;
    }
    if (static_cast<size_t>(put) < n) {
        al_set_errno(errno);
    }
    return static_cast<size_t>(put);
}

bool gzFlushSlot(ALLEGRO_FILE* f) {
    // Any result but Z_OK is a failure, not only -1.
    if (gzflush(gz(f), Z_NO_FLUSH) != Z_OK) {
        al_set_errno(errno ? errno : EIO);
        return false;
    }
    return true;
}

int64_t gzTellSlot(ALLEGRO_FILE* f) {
    int64_t pos = gztell(gz(f));
    if (pos == -1) {
        al_set_errno(errno);
    }
    return pos;
}

bool gzSeekSlot(ALLEGRO_FILE* f, int64_t offset, int whence) {
    if (gzseek(gz(f), static_cast<z_off_t>(offset), whence) == -1) {
        al_set_errno(errno ? errno : EINVAL);
        return false;
    }
    return true;
}

bool gzEofSlot(ALLEGRO_FILE* f) { return gzeof(gz(f)) != 0; }

int gzErrorSlot(ALLEGRO_FILE* f) {
    int err = 0;
    gzerror(gz(f), &err);
    return err;
}

const char* gzErrmsgSlot(ALLEGRO_FILE* f) {
    int err = 0;
    return gzerror(gz(f), &err);
}

void gzClearerrSlot(ALLEGRO_FILE* f) { gzclearerr(gz(f)); }

// The unpacked size of a gzip stream is only known once it has been read to
// the end, so the size is reported unknown as Allegro expects: -1 with an
// error number. Allegro calls this slot without checking it exists.
off_t gzSizeSlot(ALLEGRO_FILE*) {
    al_set_errno(ENOSYS);
    return -1;
}

// Keeps at most 1023 characters of a path, as every framework path buffer.
std::string boundedPath(const char* path) {
    std::string p = path ? path : "";
    if (p.size() > static_cast<size_t>(kDaxMsgBufSize - 1)) {
        p.resize(kDaxMsgBufSize - 1);
    }
    return p;
}

std::string withSlash(std::string dir) {
    for (char& c : dir) {
        if (c == '\\') {
            c = '/';
        }
    }
    if (!dir.empty() && dir.back() != '/') {
        dir += '/';
    }
    return boundedPath(dir.c_str());
}

}  // namespace

const ALLEGRO_FILE_INTERFACE daxGzFileInterface = {
    gzOpenSlot,   gzCloseSlot, gzReadSlot,  gzWriteSlot,    gzFlushSlot, gzTellSlot,
    gzSeekSlot,   gzEofSlot,   gzErrorSlot, gzErrmsgSlot,   gzClearerrSlot,
    nullptr,  // unget character: Allegro keeps its own push-back buffer
    gzSizeSlot,
};

ALLEGRO_FILE* daxGzOpen(const char* path, const char* mode) {
    return al_fopen_interface(&daxGzFileInterface, path, mode);
}

void daxMakeDirs(const char* path) {
    std::string buf = boundedPath(path);
    for (size_t i = 0; i < buf.size(); ++i) {
        if (buf[i] != '/' && buf[i] != '\\') {
            continue;
        }
        // Neither the root nor a drive ("C:") is created.
        if (i == 0 || (i == 2 && buf[1] == ':')) {
            buf[i] = '/';
            continue;
        }
        std::string prefix = buf.substr(0, i);
        A5_FsEntry entry(prefix.c_str());
        if (entry.exists()) {
            if (!(al_get_fs_entry_mode(entry.get()) & ALLEGRO_FILEMODE_ISDIR)) {
                daxRaiseError("%s is not a directory", prefix.c_str());
            }
        } else if (::mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) {
            // One level at a time, so that a skipped drive is never created.
            al_set_errno(errno);
            daxRaiseError("can't create directory %s, error %d", prefix.c_str(), al_get_errno());
        }
        buf[i] = '/';
    }
}

bool daxFileExists(const char* path) { return A5_FsEntry(path).isFile(); }

int daxRenameFile(const char* from, const char* to) {
    int rc = std::rename(from, to);
    if (rc != 0) {
        al_set_errno(errno);
    }
    return rc;
}

int daxLinkFile(const char* from, const char* to) {
    int rc = ::link(from, to);
    if (rc != 0) {
        al_set_errno(errno);
    }
    return rc;
}

int daxCopyFile(const char* from, const char* to) {
    int err = 0;
    // Neither open waits, should a FIFO stand under either name.
    const int in = ::open(from, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    const int out = in < 0 ? -1 : ::open(to, O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0666);
    if (in < 0 || out < 0) {
        err = errno;
    }
    char buf[64 * 1024];
    while (err == 0) {
        const ssize_t got = ::read(in, buf, sizeof(buf));
        if (got == 0) {
            break;
        }
        if (got < 0) {
            err = errno == EINTR ? 0 : errno;
            continue;
        }
        for (ssize_t done = 0; err == 0 && done < got;) {
            const ssize_t put = ::write(out, buf + done, static_cast<size_t>(got - done));
            if (put > 0) {
                done += put;
            } else if (put < 0 && errno != EINTR) {
                err = errno;
            }
        }
    }
    if (err == 0 && ::fsync(out) != 0) {
        err = errno;
    }
    if (out >= 0 && ::close(out) != 0 && err == 0) {
        err = errno;
    }
    if (in >= 0) {
        ::close(in);
    }
    if (err == 0) {
        return 0;
    }
    if (out >= 0) {
        ::unlink(to);
    }
    al_set_errno(err);
    return -1;
}

int daxRemoveFile(const char* path) {
    int rc = std::remove(path);
    if (rc != 0) {
        al_set_errno(errno);
    }
    return rc;
}

int daxSyncFile(const char* path) {
    int fd = ::open(path, O_RDONLY);
    if (fd < 0) {
        return errno;
    }
    int rc = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    if (rc != 0) {
        return rc;
    }
    // The folder's entry: best effort, a folder may refuse to be synced.
    std::string dir = path;
    size_t slash = dir.find_last_of('/');
    dir = slash == std::string::npos ? std::string(".") : dir.substr(0, slash == 0 ? 1 : slash);
    int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return 0;
}

int daxListFiles(const char* directory, const char* extension, DaxFileListerIfc* lister) {
    A5_FsEntry dir(directory);
    if (!dir.isDirectory() || !al_open_directory(dir.get())) {
        return 0;
    }
    int count = 0;
    while (ALLEGRO_FS_ENTRY* raw = al_read_directory(dir.get())) {
        A5_FsEntry entry(raw);
        ALLEGRO_PATH_mptr path(al_create_path(al_get_fs_entry_name(entry.get())));
        if (!path) {
            continue;
        }
        const char* ext = al_get_path_extension(path.get());
        if (*ext == '.') {
            ++ext;
        }
        if (std::strcmp(ext, extension) != 0 || !entry.isFile()) {
            continue;
        }
        if (lister) {
            // The size goes out as int32: a file beyond 2 GB reports the
            // largest size rather than a wrapped, negative one.
            const int64_t bytes = static_cast<int64_t>(al_get_fs_entry_size(entry.get()));
            const int32_t size = bytes > INT32_MAX ? INT32_MAX : static_cast<int32_t>(bytes);
            lister->addFile(al_get_path_basename(path.get()), ext, directory,
                            static_cast<int64_t>(al_get_fs_entry_mtime(entry.get())), size);
        }
        ++count;
    }
    al_close_directory(dir.get());
    return count;
}

bool daxSearchFile(const std::string& name, std::string* full_path) {
    // An absolute path (a system font, say) names its file directly.
    if (!name.empty() && name[0] == '/' && daxFileExists(name.c_str())) {
        if (full_path) {
            *full_path = name;
        }
        return true;
    }
    for (const std::string& dir : dax_config.search_path_) {
        std::string full = dir;
        if (!full.empty() && full.back() != '/' && full.back() != '\\') {
            full += '/';
        }
        full += name;
        if (daxFileExists(full.c_str())) {
            if (full_path) {
                *full_path = full;
            }
            return true;
        }
    }
    return false;
}

void daxFindFile(std::string& name) {
    if (daxSearchFile(name, &name)) {
        return;
    }
    std::string asked = name;
    name.clear();
    daxRaiseError("can't find file %s", asked.c_str());
}

std::string daxGetDocumentsDir() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && xdg[0] == '/') {
        return withSlash(xdg);
    }
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') {
        std::string h = home;
        while (h.size() > 1 && h.back() == '/') {
            h.pop_back();
        }
        return withSlash(h + "/.local/share");
    }
    return "";
}

std::string daxGetCommonAppDataDir() {
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    if (dirs && *dirs) {
        std::string first(dirs, std::strcspn(dirs, ":"));
        if (!first.empty() && first[0] == '/') {
            return withSlash(first);
        }
    }
    return "/usr/local/share/";
}
