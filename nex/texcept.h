// Exceptions of the nex template library: a numeric code and a shared,
// reference-counted text "<file> line <n>: <code> <text>" naming the check.
#pragma once

#include <cstdint>
#include <cstring>
#include <new>

namespace nex {

// Source names the checks report; tools and logs match on them.
namespace src {
constexpr const char* tappend = "nex\\tappend.h";
constexpr const char* appendable = "nex\\appendablewithfreelist.h";
constexpr const char* tbag = "nex\\tbag.h";
constexpr const char* tgraph = "nex\\tgraph";
constexpr const char* tgraph_algo = "nex\\tgraph_algo";
}  // namespace src

// Error codes of the library.
constexpr int32_t kNexErrInit = 16001;      // index list initialised twice
constexpr int32_t kNexErrMalloc = 16102;    // "no more Memory"
constexpr int32_t kNexErrRange = 16103;     // index out of range
constexpr int32_t kNexErrGraph = 16110;     // "tDiGraph inconsistent"
constexpr int32_t kNexErrEdge = 16111;      // "edge not valid"
constexpr int32_t kNexErrNode = 16112;      // "... node not valid"
constexpr int32_t kNexErrView = 16113;      // additions to a subgraph view

// Root of the nex exceptions. Copies share one text record; the last copy
// frees it, so a thrown copy keeps the text after the thrower's frame is gone.
class tExceptBase {
public:
    static constexpr int kTextSize = 1024;  // 1023 characters and the terminator

    tExceptBase(const char* file, int line, int32_t code, const char* text, int32_t extra = 0)
        : code_(code) {
        if (!allocText()) return;
        appendHeader(file, line);
        appendText(text);
        if (extra != 0) {
            appendText(" - ");
            appendNumber(extra);
        }
    }

    tExceptBase(const tExceptBase& other) : code_(other.code_), text_(other.text_) {
        if (text_) ++text_->refs_;
    }

    tExceptBase& operator=(const tExceptBase& other) {
        TextRecord* shared = other.text_;
        if (shared) ++shared->refs_;
        release();
        code_ = other.code_;
        text_ = shared;
        return *this;
    }

    ~tExceptBase() { release(); }

    int32_t code() const { return code_; }
    // The full text; empty when no text record could be allocated.
    const char* text() const { return text_ ? text_->chars_ : ""; }
    bool hasText() const { return text_ != nullptr; }
    // How many exceptions share the text record (0 without one).
    int32_t textRefs() const { return text_ ? text_->refs_ : 0; }

protected:
    // Range form: "index <i> out of range (<low>-<high>)" in place of a text.
    tExceptBase(const char* file, int line, int32_t code, int32_t index, int32_t low, int32_t high)
        : code_(code) {
        if (!allocText()) return;
        appendHeader(file, line);
        appendText("index ");
        appendNumber(index);
        appendText(" out of range (");
        appendNumber(low);
        appendText("-");
        appendNumber(high);
        appendText(")");
    }

private:
    struct TextRecord {
        int32_t refs_;
        char chars_[kTextSize];
    };

    bool allocText() {
        // Exceptions are often raised when memory is short: try twice, and
        // go without a text rather than fail to report at all.
        text_ = new (std::nothrow) TextRecord;
        if (!text_) text_ = new (std::nothrow) TextRecord;
        if (!text_) return false;
        text_->refs_ = 1;
        text_->chars_[0] = '\0';
        len_ = 0;
        return true;
    }

    void release() {
        if (text_ && --text_->refs_ == 0) freeText(text_);
        text_ = nullptr;
    }

    // Kept out of line: inlined, the compiler cannot see that a shared
    // record outlives this copy and warns of a use after free.
    [[gnu::noinline]] static void freeText(TextRecord* record) { delete record; }

    void appendHeader(const char* file, int line) {
        appendText(file);
        appendText(" line ");
        appendNumber(line);
        appendText(": ");
        appendNumber(code_);
        appendText(" ");
    }

    // Appends as much of s as still fits; the terminator is always written.
    void appendText(const char* s) {
        if (!s) return;
        int room = kTextSize - 1 - len_;
        int n = 0;
        while (n < room && s[n] != '\0') ++n;
        std::memcpy(text_->chars_ + len_, s, static_cast<size_t>(n));
        len_ += n;
        text_->chars_[len_] = '\0';
    }

    void appendNumber(int64_t v) {
        char digits[24];
        int n = 0;
        uint64_t u = v < 0 ? static_cast<uint64_t>(-(v + 1)) + 1 : static_cast<uint64_t>(v);
        do {
            digits[n++] = static_cast<char>('0' + u % 10);
            u /= 10;
        } while (u != 0);
        char out[26];
        int k = 0;
        if (v < 0) out[k++] = '-';
        while (n > 0) out[k++] = digits[--n];
        out[k] = '\0';
        appendText(out);
    }

    int32_t code_;
    TextRecord* text_ = nullptr;
    int len_ = 0;  // only used while the text is built
};

// General library error.
class tExcept : public tExceptBase {
public:
    tExcept(const char* file, int line, int32_t code, const char* text, int32_t extra = 0)
        : tExceptBase(file, line, code, text, extra) {}

protected:
    tExcept(const char* file, int line, int32_t code, int32_t index, int32_t low, int32_t high)
        : tExceptBase(file, line, code, index, low, high) {}
};

// Index out of range: code 16103, "index <i> out of range (<low>-<high>)".
class tExRange : public tExcept {
public:
    tExRange(const char* file, int line, int32_t index, int32_t low, int32_t high)
        : tExcept(file, line, kNexErrRange, index, low, high) {}
};

// Allocation failure: code 16102, "no more Memory".
class tExMalloc : public tExcept {
public:
    tExMalloc(const char* file, int line) : tExcept(file, line, kNexErrMalloc, "no more Memory") {}
};

[[noreturn]] inline void nexThrowRange(const tExRange& e) { throw e; }
[[noreturn]] inline void nexThrowExcept(const tExcept& e) { throw e; }
[[noreturn]] inline void nexThrowMalloc(const tExMalloc& e) { throw e; }

}  // namespace nex

// The game names the exceptions without the namespace.
using nex::nexThrowExcept;
using nex::nexThrowMalloc;
using nex::nexThrowRange;
using nex::tExcept;
using nex::tExceptBase;
using nex::tExMalloc;
using nex::tExRange;
