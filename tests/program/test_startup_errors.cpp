// The program itself started in a program folder with broken settings, as a
// player would meet them: each start-up error names the file, the line, the
// section and key and what was expected, the program ends at once, and no
// folder or file is made that the settings did not name.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "support/text_checks.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

const char* const kFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// Seven lines: the names and a font, so that the program gets as far as the
// case's own settings.
std::string baseIni() {
    return std::string("[daxk]\nshrt_name=zt\nlong_name=ZorTest\n[daxk_fonts]\ndefault_font=") + kFont +
           "\ndefault_fontw=12\ndefault_fonth=12\n";
}

struct Outcome {
    bool aborted = false;  // ended by SIGABRT, as the fatal check ends it
    int exit_code = -1;    // when it exited instead
    std::string err;
};

class StartupErrorTest : public ::testing::Test {
protected:
    void SetUp() override {
        prog_ = dir_.file("prog/");
        fs::create_directories(prog_);
        // The program reads its settings beside itself: a link of the built
        // program in a folder of its own (a copy where links cannot be made).
        std::error_code ec;
        fs::create_hard_link(ZOR_PROGRAM, prog_ + "zor", ec);
        if (ec) {
            fs::copy_file(ZOR_PROGRAM, prog_ + "zor", ec);
            ASSERT_FALSE(ec) << ec.message();
            fs::permissions(prog_ + "zor", fs::perms::owner_all);
        }
        dir_.write("prog/data/zt.en.txt", "1026 Leave\n");
        fs::create_directories(dir_.file("home"));
        before_ = entries();
    }

    // Every file and folder below the temporary folder, relative to it.
    std::set<std::string> entries() const {
        std::set<std::string> out;
        for (const auto& e : fs::recursive_directory_iterator(dir_.path())) {
            out.insert(fs::relative(e.path(), dir_.path()).string());
        }
        return out;
    }

    // What the run added, the file holding stderr aside.
    std::set<std::string> added() const {
        std::set<std::string> out;
        for (const std::string& e : entries()) {
            if (!before_.count(e) && e != "stderr.txt") {
                out.insert(e);
            }
        }
        return out;
    }

    // Starts the program with message boxes on stderr and the user folders
    // below the temporary folder, and waits for its end.
    Outcome run() {
        std::vector<std::string> env = {"DAX_MSGBOX=stderr", "XDG_DATA_HOME=" + dir_.file("home"),
                                        "XDG_DATA_DIRS=" + dir_.file("common")};
        for (char** e = environ; *e; ++e) {
            const std::string var = *e;
            if (var.rfind("DAX_MSGBOX=", 0) != 0 && var.rfind("XDG_DATA_", 0) != 0 && var.rfind("CI=", 0) != 0) {
                env.push_back(var);
            }
        }
        std::vector<char*> envp;
        for (std::string& v : env) {
            envp.push_back(v.data());
        }
        envp.push_back(nullptr);
        const std::string exe = prog_ + "zor";
        const std::string err_file = dir_.file("stderr.txt");
        char* argv[] = {const_cast<char*>(exe.c_str()), nullptr};

        Outcome out;
        pid_t pid = fork();
        if (pid == 0) {
            // Nothing but system calls before exec: the parent may hold an
            // X connection and threads. A program that should have ended
            // and did not goes with the test.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            int fd = open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            int null = open("/dev/null", O_RDWR);
            if (fd < 0 || null < 0 || dup2(fd, 2) < 0 || dup2(null, 1) < 0 || dup2(null, 0) < 0) {
                _exit(120);
            }
            execve(exe.c_str(), argv, envp.data());
            _exit(121);
        }
        if (pid < 0) {
            ADD_FAILURE() << "fork failed";
            return out;
        }
        int status = 0;
        while (waitpid(pid, &status, 0) < 0) {
        }
        out.aborted = WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT;
        out.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        out.err = TempDir::read(err_file);
        return out;
    }

    TempDir dir_;
    std::string prog_;
    std::set<std::string> before_;
};

TEST_F(StartupErrorTest, EachErrorNamesWhatToFixAndLeavesNoStrayFiles) {
    const std::string user_ini = dir_.file("home/ZorTest/user.ini");
    const std::set<std::string> nothing;
    // The user folder and its log, named by [daxk] long_name and shrt_name.
    const std::set<std::string> user_log = {"home/ZorTest", "home/ZorTest/zt.log"};
    const std::set<std::string> user_log_ini = {"home/ZorTest", "home/ZorTest/zt.log", "home/ZorTest/user.ini"};
    struct Case {
        const char* what;
        std::string zor_ini;  // none: no zor.ini at all
        std::string user_ini;
        std::string lang_ini;
        std::vector<std::string> messages;  // in this order on stderr
        std::set<std::string> files;        // what the run may add
    };
    const Case cases[] = {
        {"no zor.ini", "", "", "", {"src\\rn:169 can't find file zor.ini in " + prog_ + ": expected the program's settings there"},
         nothing},
        {"a section line without its bracket",
         // Its keys stay in [daxk]: the names are read, the user folder
         // is ZorTest, and the resolution below still ends the start.
         "[daxk]\n[broken section\nshrt_name=zt\nlong_name=ZorTest\nresolution=big\n[daxk_fonts]\ndefault_font=" +
             std::string(kFont) + "\n",
         "",
         "",
         {"Error: zor.ini:2: \"[broken section\": expected \"]\" at the end of the section name; the line is skipped",
          "zor.ini:5: [daxk] resolution=big"},
         user_log},
        {"a resolution that is no size", baseIni() + "[daxk]\nresolution=big\n", "", "",
         {"dax2\\dax_display:79 Can't get screen resolution: zor.ini:9: [daxk] resolution=big: expected two numbers, "
          "width and height, each from 1 to 32767"},
         user_log},
        {"a resolution of no width in the user ini", baseIni(), "# mine\n[daxk]\nresolution=0 768\n", "",
         {"dax2\\dax_display:79 Can't get screen resolution: " + user_ini +
          ":3: [daxk] resolution=0 768: expected two numbers"},
         user_log_ini},
        {"a word for a number", baseIni() + "[menu]\ngame_mini_size=big\n", "", "",
         {"src\\rn:169 zor.ini:9: [menu] game_mini_size=big: expected a whole number"}, user_log},
        {"a tuning value out of range", baseIni() + "[walker]\nmax_path_cache=17\n", "", "",
         {"zor.ini:9: [walker] max_path_cache=17: expected a number from 1 to 16"}, user_log},
        {"a missing font",
         "[daxk]\nshrt_name=zt\nlong_name=ZorTest\n[daxk_fonts]\ndefault_font=missing.ttf\n", "", "",
         {"src\\rn:169 zor.ini:5: [daxk_fonts] default_font=missing.ttf: can't find file missing.ttf in " +
          dir_.file("home/ZorTest/devd/") + ", " + dir_.file("home/ZorTest/data/") + ", " +
          dir_.file("common/ZorTest/data/") + " or " + prog_ + "data/"},
         user_log},
        {"a language without texts", baseIni(), "", "[system]\nlanguage=xx\n",
         {"src\\rn:169 lang.ini:2: [system] language=xx: can't find file zt.xx.txt ([daxk] shrt_name.language.txt) in "},
         user_log},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::error_code ec;
        fs::remove_all(dir_.file("home/ZorTest"), ec);
        fs::remove(prog_ + "zor.ini", ec);
        fs::remove(prog_ + "lang.ini", ec);
        if (!c.zor_ini.empty()) dir_.write("prog/zor.ini", c.zor_ini);
        if (!c.user_ini.empty()) dir_.write("home/ZorTest/user.ini", c.user_ini);
        if (!c.lang_ini.empty()) dir_.write("prog/lang.ini", c.lang_ini);
        before_ = entries();
        if (!c.user_ini.empty()) {
            before_.erase("home/ZorTest");
            before_.erase("home/ZorTest/user.ini");
        }

        const Outcome out = run();
        EXPECT_TRUE(out.aborted) << "exit code " << out.exit_code << ", stderr: " << out.err;
        size_t from = 0;
        for (const std::string& m : c.messages) {
            size_t at = out.err.find(m, from);
            EXPECT_NE(at, std::string::npos) << "\"" << m << "\" not in order in \"" << out.err << "\"";
            from = at == std::string::npos ? from : at + m.size();
        }
        EXPECT_EQ(added(), c.files);
        // The log holds the error that ended the program.
        if (c.files.count("home/ZorTest/zt.log")) {
            EXPECT_TRUE(contains(TempDir::read(dir_.file("home/ZorTest/zt.log")), c.messages.back()));
        }
    }
}

}  // namespace
