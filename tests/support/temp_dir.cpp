#include "support/temp_dir.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

// The folder every temporary folder of a test process is made in. A death
// test's child ends without running its fixture's clean-up, so a folder it
// made would stay behind: the child finds the root of the process that
// started it in the environment and makes its folders there, and that
// process removes the root with everything in it when it ends.
class TempRoot {
public:
    static const std::string& path() {
        static TempRoot root;
        return root.path_;
    }

private:
    static constexpr const char* kVariable = "ZOR_TEST_TEMP_ROOT";

    TempRoot() {
        const char* inherited = std::getenv(kVariable);
        std::error_code ec;
        if (inherited && fs::is_directory(inherited, ec)) {
            path_ = inherited;
            return;
        }
        std::string tmpl = (fs::temp_directory_path() / "zortest-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) {
            throw std::runtime_error("cannot create a temporary folder in " + fs::temp_directory_path().string());
        }
        path_ = tmpl;
        owner_ = getpid();
        setenv(kVariable, path_.c_str(), 1);
    }
    ~TempRoot() {
        // A forked child that ends normally inherited this object but not
        // the root.
        if (owner_ != getpid()) {
            return;
        }
        std::error_code ec;
        fs::remove_all(path_, ec);
    }

    std::string path_;
    pid_t owner_ = 0;
};

}  // namespace

TempDir::TempDir() {
    std::string tmpl = TempRoot::path() + "/XXXXXX";
    if (!mkdtemp(tmpl.data())) {
        throw std::runtime_error("cannot create a temporary folder in " + TempRoot::path());
    }
    path_ = tmpl + "/";
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::string TempDir::write(const std::string& name, const std::string& text) const {
    std::string full = file(name);
    fs::create_directories(fs::path(full).parent_path());
    std::ofstream out(full, std::ios::binary);
    out << text;
    return full;
}

bool TempDir::copy(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    std::ofstream out(to, std::ios::binary);
    if (!in || !out) {
        return false;
    }
    out << in.rdbuf();
    return static_cast<bool>(out);
}

std::string TempDir::read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return "";
    }
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}
