// A fresh temporary folder for one test, removed with everything in it when
// the test ends. It lies in a folder of the test process's own below the
// system's temporary folder (TMPDIR), which goes when the process ends, with
// what death tests' children left in it.
#pragma once

#include <string>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder, ending in '/'.
    const std::string& path() const { return path_; }
    // path() + name.
    std::string file(const std::string& name) const { return path_ + name; }
    // Writes a text file below the folder (creating missing folders).
    std::string write(const std::string& name, const std::string& text) const;
    // The whole content of a file, or "" when it cannot be read.
    static std::string read(const std::string& path);
    // Copies the file from to the path to (whose folder must exist); false
    // when either cannot be opened or the copy is not written whole.
    static bool copy(const std::string& from, const std::string& to);

private:
    std::string path_;
};
