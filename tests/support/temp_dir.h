// A fresh temporary folder for one test, removed with everything in it when
// the test ends.
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

private:
    std::string path_;
};
