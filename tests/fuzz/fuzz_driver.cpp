// Runs a harness over files and folders of inputs, without libFuzzer: the
// corpora become regression tests of the normal builds.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_support.h"

namespace {

void collect(const std::string& path, std::vector<std::string>& files) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        std::fprintf(stderr, "no such input: %s\n", path.c_str());
        return;
    }
    if (!S_ISDIR(st.st_mode)) {
        files.push_back(path);
        return;
    }
    std::vector<std::string> names;
    if (DIR* dir = opendir(path.c_str())) {
        while (dirent* e = readdir(dir)) {
            std::string name = e->d_name;
            if (name != "." && name != "..") names.push_back(path + "/" + name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    for (const std::string& n : names) collect(n, files);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) collect(argv[i], files);
    if (files.empty()) {
        std::fprintf(stderr, "usage: %s <input file or folder>...: no inputs found\n", argv[0]);
        return 1;
    }
    for (const std::string& f : files) {
        std::ifstream in(f, std::ios::binary);
        std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    }
    std::printf("%zu inputs ran\n", files.size());
    return 0;
}
