// The program's entry: it works in its own folder, where "zor.ini" and the
// data folder are.
#include <unistd.h>

#include <string>

#include "dax2/dax_platform.h"
#include "rn_gui_startup.h"

int main(int /*argc*/, char** argv) {
    const std::string dir = daxExecutableDir();
    if (!dir.empty() && chdir(dir.c_str()) != 0) {
        return 1;
    }
    const std::string self = daxExecutablePath();
    return rnRunProgram(self.empty() ? argv[0] : self.c_str());
}
