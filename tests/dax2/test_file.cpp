// gzip files through Allegro, the file functions, directory creation, listing
// and lookup.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "dax2/dax_error.h"
#include "dax2/dax_file.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_mptr.h"
#include "support/allegro_env.h"
#include "support/dax_probe.h"
#include "support/temp_dir.h"

namespace {

class FileTest : public ::testing::Test {
protected:
    void SetUp() override { zorInitAllegro(); }
    TempDir dir_;
};

bool isDir(const std::string& p) { return A5_FsEntry(p.c_str()).isDirectory(); }

TEST_F(FileTest, GzipRoundTripThroughAllegroFiles) {
    std::string path = dir_.file("game.sav");
    std::string payload;
    for (int i = 0; i < 100000; ++i) {
        payload += static_cast<char>('a' + i % 7);
    }
    {
        ALLEGRO_FILE_mptr f(daxGzOpen(path.c_str(), "wb"));
        ASSERT_TRUE(f);
        EXPECT_EQ(al_fwrite(f.get(), "zor", 3), 3u);
        EXPECT_EQ(al_fwrite(f.get(), payload.data(), payload.size()), payload.size());
        EXPECT_TRUE(al_fflush(f.get()));
        EXPECT_TRUE(al_fclose(f.detach()));
    }
    // The file on disk is gzip, and smaller than what went in.
    std::string raw = TempDir::read(path);
    ASSERT_GE(raw.size(), 2u);
    EXPECT_EQ(static_cast<unsigned char>(raw[0]), 0x1f);
    EXPECT_EQ(static_cast<unsigned char>(raw[1]), 0x8b);
    EXPECT_LT(raw.size(), payload.size() / 10);

    ALLEGRO_FILE_mptr f(daxGzOpen(path.c_str(), "rb"));
    ASSERT_TRUE(f);
    EXPECT_EQ(al_fgetc(f.get()), 'z');
    char magic[2];
    EXPECT_EQ(al_fread(f.get(), magic, 2), 2u);
    EXPECT_EQ(std::string(magic, 2), "or");
    EXPECT_EQ(al_ftell(f.get()), 3);
    std::string back(payload.size(), 0);
    EXPECT_EQ(al_fread(f.get(), back.data(), back.size()), back.size());
    EXPECT_EQ(back, payload);
    // One byte at the end gives nothing; a longer read comes back short.
    unsigned char c = 7;
    EXPECT_EQ(al_fread(f.get(), &c, 1), 0u);
    EXPECT_EQ(al_fread(f.get(), magic, 2), 0u);
    EXPECT_TRUE(al_feof(f.get()));
    EXPECT_TRUE(al_fseek(f.get(), 1, ALLEGRO_SEEK_SET));
    EXPECT_EQ(al_fgetc(f.get()), 'o');
}

// The gzip file interface on the device that is always full (daxGzOpen
// opens regular files only).
ALLEGRO_FILE* openFullDevice() {
    gzFile g = gzopen("/dev/full", "wb");
    if (!g) {
        return nullptr;
    }
    gzbuffer(g, 0x8000);
    return al_create_file_handle(&daxGzFileInterface, g);
}

// A save written to a full disk must not look written: zlib reports a failed
// buffer write at the next flush as Z_STREAM_ERROR (not -1), and a failure
// to write the last block only through gzclose, whose reason reaches
// Allegro's errno.
TEST_F(FileTest, GzipWriteFailuresAreReportedByFlushAndClose) {
    if (!A5_FsEntry("/dev/full").exists()) {
        GTEST_SKIP() << "no /dev/full";
    }
    std::string noise(200000, '\0');
    uint32_t v = 4357;
    for (char& c : noise) {
        v = v * 1103515245u + 12345u;
        c = static_cast<char>(v >> 24);
    }
    {
        // More than the 32 KB buffer: the write itself fails.
        ALLEGRO_FILE* f = openFullDevice();
        ASSERT_NE(f, nullptr);
        EXPECT_LT(al_fwrite(f, noise.data(), noise.size()), noise.size());
        al_set_errno(0);
        EXPECT_FALSE(al_fflush(f));
        EXPECT_NE(al_get_errno(), 0);
        EXPECT_FALSE(al_fclose(f));
    }
    {
        // A few bytes fit the buffer; only closing finds the disk full.
        ALLEGRO_FILE* f = openFullDevice();
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(al_fwrite(f, "zor", 3), 3u);
        EXPECT_TRUE(al_fflush(f));
        al_set_errno(0);
        EXPECT_FALSE(al_fclose(f));
        EXPECT_EQ(al_get_errno(), ENOSPC);
    }
}

// Allegro calls the size slot unchecked; the unpacked size of a gzip stream
// is unknown, which Allegro's callers read as -1 with an error number. A
// pushed-back character goes through Allegro's own buffer.
TEST_F(FileTest, GzipSizeIsUnknownAndUngetWorks) {
    std::string path = dir_.file("s.sav");
    {
        ALLEGRO_FILE_mptr f(daxGzOpen(path.c_str(), "wb"));
        ASSERT_TRUE(f);
        EXPECT_EQ(al_fwrite(f.get(), "abc", 3), 3u);
        al_set_errno(0);
        EXPECT_EQ(al_fsize(f.get()), -1);
        EXPECT_NE(al_get_errno(), 0);
    }
    ALLEGRO_FILE_mptr f(daxGzOpen(path.c_str(), "rb"));
    ASSERT_TRUE(f);
    al_set_errno(0);
    EXPECT_EQ(al_fsize(f.get()), -1);
    EXPECT_NE(al_get_errno(), 0);
    EXPECT_EQ(al_fgetc(f.get()), 'a');
    EXPECT_EQ(al_fungetc(f.get(), 'x'), 'x');
    EXPECT_EQ(al_fgetc(f.get()), 'x');
    EXPECT_EQ(al_fgetc(f.get()), 'b');
}

TEST_F(FileTest, GzipOpenFailureSetsErrno) {
    al_set_errno(0);
    EXPECT_EQ(daxGzOpen(dir_.file("missing/x.sav").c_str(), "rb"), nullptr);
    EXPECT_EQ(al_get_errno(), 12);
}

TEST_F(FileTest, MakeDirsCreatesEveryLevelOnce) {
    std::string base = dir_.file("saves/a/b/");
    daxMakeDirs(base.c_str());
    EXPECT_TRUE(isDir(dir_.file("saves")));
    EXPECT_TRUE(isDir(dir_.file("saves/a")));
    EXPECT_TRUE(isDir(dir_.file("saves/a/b")));
    daxMakeDirs(base.c_str());
    // Backslashes separate too; text after the last separator is no folder.
    daxMakeDirs(dir_.file("saves\\c\\file.txt").c_str());
    EXPECT_TRUE(isDir(dir_.file("saves/c")));
    EXPECT_FALSE(A5_FsEntry(dir_.file("saves/c/file.txt").c_str()).exists());
}

TEST_F(FileTest, MakeDirsRefusesAFileInTheWay) {
    dir_.write("saves", "not a folder");
    std::string blocked = dir_.file("saves");
    EXPECT_EQ(raisedBy([&] { daxMakeDirs((blocked + "/a/").c_str()); }), blocked + " is not a directory");
}

TEST_F(FileTest, MakeDirsSkipsADriveLetter) {
    char old[4096];
    ASSERT_NE(getcwd(old, sizeof(old)), nullptr);
    ASSERT_EQ(chdir(dir_.path().c_str()), 0);
    // "C:" itself is never created, so the first folder below it cannot be.
    std::string msg = raisedBy([] { daxMakeDirs("C:/games/x/"); });
    EXPECT_EQ(msg.rfind("can't create directory C:/games, error ", 0), 0u) << msg;
    EXPECT_FALSE(A5_FsEntry("C:").exists());
    ASSERT_EQ(chdir(old), 0);
}

TEST_F(FileTest, MakeDirsCutsPathsAt1023Characters) {
    std::string path = dir_.path();
    while (path.size() < 1100) {
        path += "d/";
    }
    daxMakeDirs(path.c_str());
    // The folder ending at or before character 1023 exists; deeper ones not.
    size_t last = path.rfind('/', 1022);
    EXPECT_TRUE(isDir(path.substr(0, last)));
    EXPECT_FALSE(A5_FsEntry(path.substr(0, path.find('/', 1023)).c_str()).exists());
}

struct Collected {
    std::string name, ext, dir;
    int32_t size;
};

class Collector : public DaxFileListerIfc {
public:
    void addFile(const char* name, const char* extension, const char* directory, int64_t mtime,
                 int32_t size) override {
        EXPECT_GT(mtime, 0);
        files[name] = {name, extension, directory, size};
    }
    std::map<std::string, Collected> files;
};

TEST_F(FileTest, ListFilesMatchesTheExactExtension) {
    dir_.write("s/a.sav", "12345");
    dir_.write("s/b.sav", "1");
    dir_.write("s/c.SAV", "");
    dir_.write("s/d.sav.bak", "");
    dir_.write("s/x.sav/inner", "");  // a folder named like a save
    Collector c;
    std::string d = dir_.file("s/");
    EXPECT_EQ(daxListFiles(d.c_str(), "sav", &c), 2);
    ASSERT_EQ(c.files.size(), 2u);
    EXPECT_EQ(c.files["a"].ext, "sav");
    EXPECT_EQ(c.files["a"].dir, d);
    EXPECT_EQ(c.files["a"].size, 5);
    EXPECT_EQ(c.files["b"].size, 1);
    EXPECT_EQ(daxListFiles(dir_.file("none/").c_str(), "sav", &c), 0);
    EXPECT_EQ(daxListFiles(dir_.file("s/a.sav").c_str(), "sav", &c), 0);
}

// Opening a FIFO waits for a program at its other end; a device named like a
// save is no save either. Neither is listed, found or opened, and a link to
// a regular file counts as the file.
TEST_F(FileTest, OnlyRegularFilesAreListedFoundAndOpened) {
    dir_.write("s/real.sav", "12345");
    ASSERT_EQ(mkfifo(dir_.file("s/pipe.sav").c_str(), 0600), 0);
    ASSERT_EQ(symlink("/dev/zero", dir_.file("s/device.sav").c_str()), 0);
    ASSERT_EQ(symlink(dir_.file("s/real.sav").c_str(), dir_.file("s/linked.sav").c_str()), 0);
    Collector c;
    EXPECT_EQ(daxListFiles(dir_.file("s/").c_str(), "sav", &c), 2);
    EXPECT_EQ(c.files.count("real"), 1u);
    EXPECT_EQ(c.files.count("linked"), 1u);
    for (const char* name : {"s/pipe.sav", "s/device.sav"}) {
        const std::string path = dir_.file(name);
        EXPECT_FALSE(daxFileExists(path.c_str())) << name;
        EXPECT_EQ(daxGzOpen(path.c_str(), "rb"), nullptr) << name;
        EXPECT_EQ(daxGzOpen(path.c_str(), "wb"), nullptr) << name;
    }
    EXPECT_TRUE(daxFileExists(dir_.file("s/linked.sav").c_str()));
    ALLEGRO_FILE_mptr f(daxGzOpen(dir_.file("s/linked.sav").c_str(), "rb"));
    ASSERT_TRUE(f);
    EXPECT_EQ(al_fgetc(f.get()), '1');
}

TEST_F(FileTest, ListFilesReportsAFileBeyondTwoGigabytesWithTheLargestSize) {
    // A sparse file: 3 GB long without taking the room on disk.
    std::string big = dir_.write("big/huge.sav", "");
    if (truncate(big.c_str(), 3LL * 1024 * 1024 * 1024) != 0) {
        GTEST_SKIP() << "no sparse files here";
    }
    Collector c;
    EXPECT_EQ(daxListFiles(dir_.file("big/").c_str(), "sav", &c), 1);
    EXPECT_EQ(c.files["huge"].size, INT32_MAX);
}

TEST_F(FileTest, FindFileTakesTheFirstDirectoryHoldingIt) {
    std::vector<std::string> saved = dax_config.search_path_;
    dax_config.search_path_ = {dir_.file("one/"), dir_.file("two/"), dir_.file("three")};
    dir_.write("two/font.ttf", "x");
    dir_.write("three/font.ttf", "x");
    dir_.write("three/only.lua", "x");
    std::string name = "font.ttf";
    daxFindFile(name);
    EXPECT_EQ(name, dir_.file("two/font.ttf"));
    name = "only.lua";
    daxFindFile(name);
    EXPECT_EQ(name, dir_.file("three/only.lua"));
    std::string absolute = dir_.file("three/only.lua");
    name = absolute;
    daxFindFile(name);
    EXPECT_EQ(name, absolute);
    name = "missing.png";
    EXPECT_EQ(raisedBy([&] { daxFindFile(name); }), "can't find file missing.png");
    EXPECT_TRUE(name.empty());
    dax_config.search_path_ = saved;
}

TEST_F(FileTest, ExistsRenameRemove) {
    std::string a = dir_.write("a.txt", "x");
    EXPECT_TRUE(daxFileExists(a.c_str()));
    EXPECT_FALSE(daxFileExists(dir_.path().c_str()));
    EXPECT_EQ(daxRenameFile(a.c_str(), dir_.file("b.txt").c_str()), 0);
    EXPECT_FALSE(daxFileExists(a.c_str()));
    EXPECT_NE(daxRenameFile(a.c_str(), dir_.file("c.txt").c_str()), 0);
    EXPECT_NE(al_get_errno(), 0);
    EXPECT_EQ(daxRemoveFile(dir_.file("b.txt").c_str()), 0);
    EXPECT_NE(daxRemoveFile(dir_.file("b.txt").c_str()), 0);
}

// A second name and a copy of a file; a copy that fails leaves nothing, and
// a FIFO in the way fails it at once.
TEST_F(FileTest, LinkAndCopyGiveAFileAnotherName) {
    const std::string a = dir_.write("a.sav", std::string(200000, 'a') + "end");
    EXPECT_EQ(daxLinkFile(a.c_str(), dir_.file("b.sav").c_str()), 0);
    EXPECT_EQ(TempDir::read(dir_.file("b.sav")), TempDir::read(a));
    EXPECT_NE(daxLinkFile(a.c_str(), dir_.file("b.sav").c_str()), 0);
    EXPECT_EQ(al_get_errno(), EEXIST);
    EXPECT_EQ(daxCopyFile(a.c_str(), dir_.file("c.sav").c_str()), 0);
    EXPECT_EQ(TempDir::read(dir_.file("c.sav")), TempDir::read(a));
    EXPECT_NE(daxCopyFile(dir_.file("missing.sav").c_str(), dir_.file("d.sav").c_str()), 0);
    EXPECT_EQ(al_get_errno(), ENOENT);
    EXPECT_FALSE(A5_FsEntry(dir_.file("d.sav").c_str()).exists());
    ASSERT_EQ(mkfifo(dir_.file("pipe.sav").c_str(), 0600), 0);
    EXPECT_NE(daxCopyFile(a.c_str(), dir_.file("pipe.sav").c_str()), 0);
    EXPECT_EQ(al_get_errno(), ENXIO);
}

TEST_F(FileTest, UserFoldersFromTheEnvironment) {
    struct Case {
        const char* xdg_home;
        const char* home;
        const char* expected;
    };
    const Case cases[] = {
        {"/data/me", "/home/me", "/data/me/"},
        {nullptr, "/home/me", "/home/me/.local/share/"},
        {"relative", "/home/me/", "/home/me/.local/share/"},
        {nullptr, nullptr, ""},
    };
    std::string old_xdg = getenv("XDG_DATA_HOME") ? getenv("XDG_DATA_HOME") : "";
    std::string old_home = getenv("HOME") ? getenv("HOME") : "";
    for (const Case& c : cases) {
        c.xdg_home ? setenv("XDG_DATA_HOME", c.xdg_home, 1) : unsetenv("XDG_DATA_HOME");
        c.home ? setenv("HOME", c.home, 1) : unsetenv("HOME");
        EXPECT_EQ(daxGetDocumentsDir(), c.expected);
    }
    old_xdg.empty() ? unsetenv("XDG_DATA_HOME") : setenv("XDG_DATA_HOME", old_xdg.c_str(), 1);
    setenv("HOME", old_home.c_str(), 1);

    setenv("XDG_DATA_DIRS", "/opt/share:/usr/share", 1);
    EXPECT_EQ(daxGetCommonAppDataDir(), "/opt/share/");
    unsetenv("XDG_DATA_DIRS");
    EXPECT_EQ(daxGetCommonAppDataDir(), "/usr/local/share/");
}

}  // namespace
