// Fails or interrupts the file calls of the code under test, as a preloaded
// shim library would: this program's own write, fsync, close, rename, link
// and remove stand in front of the C library's and pass every call through,
// except the ones a test picks among the calls on files of one folder.
#pragma once

#include <string>
#include <vector>

namespace filefaults {

enum class Call { Write, Fsync, Close, Rename, Link, Remove };
constexpr int kCalls = 6;
const char* callName(Call call);

// The n-th call (counted from 1) of a kind fails with error: write, fsync,
// rename, link and remove without doing anything, close after closing.
struct Fault {
    Call call;
    int n;
    int error;
};

// Counts the calls on files under folder (ending in '/') from now on and
// fails those that faults name.
void arm(const std::string& folder, const std::vector<Fault>& faults = {});
// Counts the calls under folder and ends the process with SIGKILL at the
// n-th one of any kind, before it is made.
void armKill(const std::string& folder, int n);
// Stops counting and failing.
void disarm();

// The calls counted since arm, in order ("rename", "write", ...).
std::vector<std::string> trace();

}  // namespace filefaults
