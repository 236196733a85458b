// The gzip file interface behind Allegro's file functions: what it reads
// must equal what zlib itself reads from the same file (any bytes: a damaged
// save, a plain file, a real gzip stream), read in pieces of every size with
// single characters, pushed-back characters, seeks and the size in between;
// and what it writes in pieces must read back through zlib unchanged.
#include <zlib.h>

#include <allegro5/allegro.h>

#include <string>
#include <vector>

#include "dax2/dax_file.h"
#include "dax2/dax_mptr.h"
#include "fuzz_support.h"

namespace {

// The whole uncompressed content as zlib reads it; clean is false when the
// stream ended in an error (zlib then refuses seeks).
std::string zlibRead(const std::string& path, bool* clean = nullptr) {
    std::string out;
    gzFile g = gzopen(path.c_str(), "rb");
    FUZZ_CHECK(g != nullptr, "zlib cannot open the file");
    char buf[4096];
    int got;
    while ((got = gzread(g, buf, sizeof(buf))) > 0) out.append(buf, static_cast<size_t>(got));
    int err = Z_OK;
    gzerror(g, &err);
    if (clean) *clean = got == 0 && (err == Z_OK || err == Z_BUF_ERROR);
    gzclose(g);
    return out;
}

std::string gzipped(const std::string& plain) {
    std::string path = fuzzTempDir() + "plain.gz";
    gzFile g = gzopen(path.c_str(), "wb");
    FUZZ_CHECK(g != nullptr, "zlib cannot write");
    if (!plain.empty()) gzwrite(g, plain.data(), static_cast<unsigned>(plain.size()));
    gzclose(g);
    std::string raw;
    ALLEGRO_FILE_mptr f(al_fopen(path.c_str(), "rb"));
    char buf[4096];
    size_t got;
    while ((got = al_fread(f.get(), buf, sizeof(buf))) > 0) raw.append(buf, got);
    return raw;
}

// Reads file through the interface in pieces the input chooses and checks
// every piece against zlib's content.
void readBack(const std::string& path, FuzzInput& in) {
    bool clean = true;
    const std::string expect = zlibRead(path, &clean);
    ALLEGRO_FILE_mptr f(daxGzOpen(path.c_str(), "rb"));
    FUZZ_CHECK(f, "the interface cannot open what zlib opens");
    al_set_errno(0);
    FUZZ_CHECK(al_fsize(f.get()) == -1 && al_get_errno() != 0, "size must be unknown");
    size_t pos = 0;
    bool pushed = false;  // a pushed-back character not read again yet
    std::string buf;
    for (int step = 0; step < 64 && !in.empty(); ++step) {
        switch (in.byte() % 5) {
            case 0: {
                const int c = al_fgetc(f.get());
                const int want = pos < expect.size() ? static_cast<unsigned char>(expect[pos]) : -1;
                FUZZ_CHECK(c == want, "fgetc");
                if (c != -1) ++pos;
                pushed = false;
                break;
            }
            case 1: {
                const size_t n = static_cast<size_t>(in.range(0, 5000));
                buf.assign(n, '\0');
                const size_t got = al_fread(f.get(), buf.data(), n);
                const size_t want = std::min(n, expect.size() - pos);
                FUZZ_CHECK(got == want, "fread count");
                FUZZ_CHECK(buf.compare(0, got, expect, pos, got) == 0, "fread bytes");
                pos += got;
                if (got > 0) pushed = false;
                break;
            }
            case 2:
                // A character pushed back is read again (one at a time:
                // Allegro's own push-back buffer holds only a few).
                if (pos > 0 && !pushed) {
                    const int c = static_cast<unsigned char>(expect[pos - 1]);
                    FUZZ_CHECK(al_fungetc(f.get(), c) == c, "fungetc");
                    --pos;
                    pushed = true;
                }
                break;
            case 3: {
                const int64_t to = in.range(0, static_cast<int64_t>(expect.size()) + 8);
                const bool ok = al_fseek(f.get(), to, ALLEGRO_SEEK_SET);
                // Past the end, or in a damaged stream, the position is
                // zlib's to judge: stop comparing there.
                if (!ok || to > static_cast<int64_t>(expect.size())) {
                    FUZZ_CHECK(!clean || to > static_cast<int64_t>(expect.size()), "seek inside the content");
                    return;
                }
                pos = static_cast<size_t>(to);
                pushed = false;
                break;
            }
            default:
                FUZZ_CHECK(al_ftell(f.get()) == static_cast<int64_t>(pos), "ftell");
                break;
        }
    }
    // The rest in one piece.
    buf.assign(expect.size() - pos + 1, '\0');
    const size_t got = al_fread(f.get(), buf.data(), buf.size());
    FUZZ_CHECK(got == expect.size() - pos && buf.compare(0, got, expect, pos, got) == 0, "rest");
    FUZZ_CHECK(!clean || al_feof(f.get()), "eof at the end");
}

void writeBack(const std::string& content, FuzzInput& in) {
    const std::string path = fuzzTempDir() + "written.gz";
    {
        ALLEGRO_FILE_mptr f(daxGzOpen(path.c_str(), "wb"));
        FUZZ_CHECK(f, "cannot write a gzip file");
        size_t pos = 0;
        while (pos < content.size()) {
            const size_t n = std::min(content.size() - pos, static_cast<size_t>(in.range(1, 70000)));
            FUZZ_CHECK(al_fwrite(f.get(), content.data() + pos, n) == n, "fwrite");
            pos += n;
            if (in.flag()) FUZZ_CHECK(al_fflush(f.get()), "fflush");
        }
        FUZZ_CHECK(al_ftell(f.get()) == static_cast<int64_t>(content.size()), "ftell after writing");
        FUZZ_CHECK(al_fclose(f.detach()), "fclose");
    }
    FUZZ_CHECK(zlibRead(path) == content, "written content");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzInitFramework();
    FuzzInput in(data, size);
    const uint8_t mode = in.byte();
    // The content: the input's own bytes (raw, or gzipped first so that
    // real streams are read too), repeated to cross zlib's buffers.
    std::string content = in.bytes(4096);
    const int repeat = static_cast<int>(in.range(1, 40));
    std::string body;
    for (int i = 0; i < repeat; ++i) body += content;
    const std::string path = fuzzTempDir() + "input.bin";
    switch (mode % 3) {
        case 0: fuzzWriteFile("input.bin", body); break;
        case 1: fuzzWriteFile("input.bin", gzipped(body)); break;
        default: writeBack(body, in); return 0;
    }
    readBack(path, in);
    return 0;
}
