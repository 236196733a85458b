// A town saved, loaded over a fresh world and saved again gives the same
// bytes; the loaded town then runs on as the original does.
#include <algorithm>
#include <utility>
#include <vector>

#include "rn_bld_hous.h"
#include "rn_bld_stor.h"
#include "rn_wlk_prod.h"
#include "rn_wlk_serv.h"
#include "rn_wlk_stor.h"
#include "save_fixture.h"

using namespace worldtest;

namespace {

class SaveRoundTripTest : public SaveTest {
protected:
    // The script's globals come in the order Lua keeps its tables, which
    // differs between a table built by the script and one restored from a
    // save; sorted by key within each table they compare.
    static void sortScriptData() {
        std::vector<RnScriptDataEntry>& data = grn_trigger.scriptData();
        size_t pos = 0;
        data = sortedLevel(data, pos);
    }
    static std::vector<RnScriptDataEntry> sortedLevel(const std::vector<RnScriptDataEntry>& data, size_t& pos) {
        std::vector<std::pair<std::string, std::vector<RnScriptDataEntry>>> items;
        while (pos < data.size() && data[pos].value_kind_ != kRnScriptTableEnd) {
            const RnScriptDataEntry& e = data[pos++];
            std::vector<RnScriptDataEntry> item{e};
            if (e.value_kind_ == kRnScriptTableStart) {
                std::vector<RnScriptDataEntry> inner = sortedLevel(data, pos);
                item.insert(item.end(), inner.begin(), inner.end());
                if (pos < data.size()) item.push_back(data[pos++]);
            }
            items.emplace_back(std::to_string(e.key_kind_) + ":" + std::to_string(e.int_key_) + ":" + e.str_key_,
                               item);
        }
        std::sort(items.begin(), items.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<RnScriptDataEntry> out;
        for (const auto& i : items) out.insert(out.end(), i.second.begin(), i.second.end());
        return out;
    }
};

TEST_F(SaveRoundTripTest, SavedLoadedAndSavedAgainGivesTheSameBytesAndRunsOnAlike) {
    townWorld();
    // What the town holds besides its buildings.
    const RnWorkforce& wkf = grn_game.peoplType(0).workforce_;
    EXPECT_GT(wkf.totalAssignments(), 0);
    EXPECT_EQ(grn_game.storType(0).network_.gr_.edgeCount(), 1);
    EXPECT_GT(grn_trigger.scriptData().size(), 3u);
    int walkers = 0;
    for (const auto& t : grn_game.servWalkerTypes()) walkers += t.instanceCount();
    for (const auto& t : grn_game.prodWalkerTypes()) walkers += t.instanceCount();
    for (const auto& t : grn_game.storWalkerTypes()) walkers += t.instanceCount();
    EXPECT_GE(walkers, 3);
    // A loaded walker plans its way again; the original does the same here
    // so that both go on alike.
    savetown::forgetWalkerPaths();
    const std::string a = save("a.sav");
    const std::string bytes_a = unpacked(a);
    ASSERT_GT(bytes_a.size(), 1000u);
    const int32_t money = grn_game.money_;
    const size_t queue = grn_game.updateQueue().size();

    // The original runs on for three days.
    dax_random.seed(77);
    savetown::runHours(72);
    sortScriptData();
    const std::string x = save("x.sav");

    // A fresh world with the save loaded holds the same town.
    ASSERT_EQ(loadFresh(a), "");
    EXPECT_EQ(grn_game.money_, money);
    EXPECT_EQ(grn_game.updateQueue().size(), queue);
    EXPECT_EQ(grn_game.housType(0).instanceCount(), 4);
    EXPECT_EQ(grn_game.peoplType(0).population_, 24);
    const std::string b = save("b.sav");
    EXPECT_EQ(firstDifference(unpacked(b), bytes_a), "");

    dax_random.seed(77);
    savetown::runHours(72);
    sortScriptData();
    const std::string y = save("y.sav");
    EXPECT_EQ(firstDifference(unpacked(y), unpacked(x)), "");
}

}  // namespace
