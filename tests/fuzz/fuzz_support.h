// What the fuzz harnesses share: reading structured values out of the raw
// input, a check that turns a broken property into a crash the fuzzer
// reports, and the quiet framework set-up of one harness process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "nex/texcept.h"

// Every harness defines this; libFuzzer or the corpus driver calls it.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

// Reads values from the input front to back; an exhausted input reads zeros,
// so every byte string is a valid input.
class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : p_(data), n_(size) {}

    bool empty() const { return n_ == 0; }
    size_t left() const { return n_; }
    uint8_t byte() {
        if (n_ == 0) return 0;
        --n_;
        return *p_++;
    }
    uint16_t u16() { return static_cast<uint16_t>(byte() | (byte() << 8)); }
    uint32_t u32() { return static_cast<uint32_t>(u16()) | (static_cast<uint32_t>(u16()) << 16); }
    // A value in lo..hi (inclusive; hi - lo below 2^32).
    int64_t range(int64_t lo, int64_t hi) {
        const uint64_t span = static_cast<uint64_t>(hi - lo) + 1;
        const uint64_t raw = span <= 256 ? byte() : span <= 65536 ? u16() : u32();
        return lo + static_cast<int64_t>(raw % span);
    }
    bool flag() { return (byte() & 1) != 0; }
    // Up to max bytes.
    std::string bytes(size_t max) {
        size_t len = static_cast<size_t>(range(0, static_cast<int64_t>(max)));
        if (len > n_) len = n_;
        std::string s(reinterpret_cast<const char*>(p_), len);
        p_ += len;
        n_ -= len;
        return s;
    }
    // Everything that is left.
    std::string rest() {
        std::string s(reinterpret_cast<const char*>(p_), n_);
        p_ += n_;
        n_ = 0;
        return s;
    }

private:
    const uint8_t* p_;
    size_t n_;
};

// A property that does not hold: printed, then the process aborts so that
// the fuzzer (or the corpus run under CTest) reports the input.
[[noreturn]] void fuzzFail(const char* file, int line, const std::string& what);
#define FUZZ_CHECK(cond, what)                                   \
    do {                                                         \
        if (!(cond)) fuzzFail(__FILE__, __LINE__, (what));       \
    } while (0)

// Whether fn throws one of the containers' exceptions.
template <class Fn>
bool fuzzThrowsNex(Fn fn) {
    try {
        fn();
    } catch (const nex::tExceptBase&) {
        return true;
    }
    return false;
}

// Starts Allegro (system, image and primitives addons) once, with message
// boxes off and only errors logged, and gives every harness process one
// temporary folder (removed at exit), ending in '/'.
void fuzzInitFramework();
const std::string& fuzzTempDir();
// Writes a file below the temporary folder and returns its path.
std::string fuzzWriteFile(const std::string& name, const std::string& content);
// Drops the logged lines: a long run must not collect every error message.
void fuzzForgetLog();
