// The template containers driven by a sequence of operations, each checked
// against a plain standard-library model: the block list (small blocks, so
// that block edges are crossed often), the bag, the list with a free list
// and the index list with its ring and reuse order.
#include <algorithm>
#include <list>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "nex/appendablewithfreelist.h"
#include "nex/tbag.h"
#include "nex/tgraph.h"

namespace {

void blockList(FuzzInput& in) {
    nex::tappend<int32_t, 4> list;
    std::vector<int32_t> model;
    while (!in.empty()) {
        const int32_t i = static_cast<int32_t>(in.range(-2, static_cast<int64_t>(model.size()) + 2));
        switch (in.byte() % 7) {
            case 0: {
                const int32_t v = static_cast<int32_t>(in.u32());
                list.append(v);
                model.push_back(v);
                break;
            }
            case 1: {
                const bool ok = !model.empty();
                FUZZ_CHECK(fuzzThrowsNex([&] { list.removeLast(); }) != ok, "removeLast");
                if (ok) model.pop_back();
                break;
            }
            case 2: {
                const bool ok = i >= 0 && i < static_cast<int32_t>(model.size());
                int32_t got = 0;
                FUZZ_CHECK(fuzzThrowsNex([&] { got = list[i]; }) != ok, "index check");
                FUZZ_CHECK(!ok || got == model[static_cast<size_t>(i)], "element");
                break;
            }
            case 3: {
                const int32_t n = static_cast<int32_t>(in.range(0, 40));
                const int32_t v = static_cast<int32_t>(in.byte());
                list.resizeFill(n, v);
                model.resize(static_cast<size_t>(n), v);
                break;
            }
            case 4: {
                nex::tappend<int32_t, 4> copy(list);
                list = std::move(copy);
                break;
            }
            case 5:
                list.clear();
                model.clear();
                break;
            default: {
                const bool ok = i >= 0 && i < static_cast<int32_t>(model.size());
                const int32_t v = static_cast<int32_t>(in.u16());
                FUZZ_CHECK(fuzzThrowsNex([&] { list.at(i) = v; }) != ok, "at check");
                if (ok) model[static_cast<size_t>(i)] = v;
                break;
            }
        }
        FUZZ_CHECK(list.size() == static_cast<int32_t>(model.size()), "size");
        FUZZ_CHECK(std::equal(list.begin(), list.end(), model.begin(), model.end()), "contents");
    }
}

void bag(FuzzInput& in) {
    nex::tbag<int32_t, 4> b;
    std::vector<int32_t> model;
    while (!in.empty()) {
        if (in.flag()) {
            const int32_t v = static_cast<int32_t>(in.u16());
            b.append(v);
            model.push_back(v);
        } else {
            const int32_t i = static_cast<int32_t>(in.range(-1, static_cast<int64_t>(model.size())));
            const bool ok = i >= 0 && i < static_cast<int32_t>(model.size());
            FUZZ_CHECK(fuzzThrowsNex([&] { b.remove(i); }) != ok, "bag remove check");
            if (ok) {
                model[static_cast<size_t>(i)] = model.back();
                model.pop_back();
            }
        }
        FUZZ_CHECK(std::equal(b.begin(), b.end(), model.begin(), model.end()), "bag contents");
    }
}

void freeList(FuzzInput& in) {
    nex::AppendableWithFreeList<int32_t, 4> list;
    std::vector<int32_t> values;  // by index
    std::vector<bool> used;
    std::vector<int32_t> freed;  // reused last freed first
    while (!in.empty()) {
        const int32_t i = static_cast<int32_t>(in.range(-1, static_cast<int64_t>(values.size())));
        const bool live = i >= 0 && i < static_cast<int32_t>(values.size()) && used[static_cast<size_t>(i)];
        switch (in.byte() % 4) {
            case 0: {
                const int32_t v = static_cast<int32_t>(in.u16());
                int32_t expect = static_cast<int32_t>(values.size());
                if (!freed.empty()) {
                    expect = freed.back();
                    freed.pop_back();
                } else {
                    values.push_back(0);
                    used.push_back(false);
                }
                FUZZ_CHECK(list.add(v) == expect, "add index");
                values[static_cast<size_t>(expect)] = v;
                used[static_cast<size_t>(expect)] = true;
                break;
            }
            case 1:
                // Freeing a free slot twice would hand one index out twice.
                FUZZ_CHECK(fuzzThrowsNex([&] { list.remove(i); }) != live, "remove check");
                if (live) {
                    used[static_cast<size_t>(i)] = false;
                    freed.push_back(i);
                }
                break;
            case 2: {
                int32_t got = 0;
                FUZZ_CHECK(fuzzThrowsNex([&] { got = list[i]; }) != live, "get check");
                FUZZ_CHECK(!live || got == values[static_cast<size_t>(i)], "value");
                break;
            }
            default: {
                std::vector<int32_t> walked;
                for (auto it = list.begin(); it != list.end(); ++it) walked.push_back(it.index());
                std::vector<int32_t> expect;
                for (size_t k = 0; k < used.size(); ++k)
                    if (used[k]) expect.push_back(static_cast<int32_t>(k));
                FUZZ_CHECK(walked == expect, "iteration");
                break;
            }
        }
        FUZZ_CHECK(list.size() == static_cast<int32_t>(values.size()), "size");
        FUZZ_CHECK(list.freeCount() == static_cast<int32_t>(freed.size()), "free count");
        FUZZ_CHECK(list.liveCount() == list.size() - list.freeCount(), "live count");
    }
}

void indexList(FuzzInput& in) {
    nex::tIndexList ids;
    std::list<int32_t> order;    // the ring from next(0) on
    std::vector<int32_t> freed;  // reused last freed first
    int32_t made = 0;
    auto isLive = [&](int32_t id) { return std::find(order.begin(), order.end(), id) != order.end(); };
    while (!in.empty()) {
        const int32_t id = static_cast<int32_t>(in.range(-1, made + 1));
        const uint8_t op = in.byte() % 4;
        if (op == 0 || op == 1) {
            const bool after = op == 0;
            const bool ok = id == 0 || isLive(id);
            int32_t got = 0;
            FUZZ_CHECK(fuzzThrowsNex([&] { got = ids.insert(id, after); }) != ok, "insert check");
            if (ok) {
                int32_t expect = made + 1;
                if (!freed.empty()) {
                    expect = freed.back();
                    freed.pop_back();
                } else {
                    ++made;
                }
                FUZZ_CHECK(got == expect, "insert id");
                // After 0 is the front of the ring, before 0 its end.
                auto at = id == 0 ? (after ? order.begin() : order.end()) : std::find(order.begin(), order.end(), id);
                if (id != 0 && after) ++at;
                order.insert(at, got);
            }
        } else if (op == 2) {
            if (isLive(id)) {
                order.remove(id);
                freed.push_back(id);
            }
            ids.free(id);
        } else {
            ids = nex::tIndexList(ids);
        }
        FUZZ_CHECK(ids.verify(), "index list verify");
        FUZZ_CHECK(ids.count() == static_cast<int32_t>(order.size()), "count");
        std::vector<int32_t> walked;
        for (int32_t k = ids.next(0); k != 0 && walked.size() <= order.size(); k = ids.next(k)) walked.push_back(k);
        FUZZ_CHECK(std::equal(walked.begin(), walked.end(), order.begin(), order.end()), "ring order");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    switch (in.byte() % 4) {
        case 0: blockList(in); break;
        case 1: bag(in); break;
        case 2: freeList(in); break;
        default: indexList(in); break;
    }
    return 0;
}
