// The game's statistics: the weekly goods rates counted from the types and
// their buildings, the period counters, one advice a day (each once a game),
// the statistics log and the population milestones.
#include <string>
#include <vector>

#include "dax2/dax_msg.h"
#include "rn_bld_texts.h"
#include "test_model_fixture.h"

using namespace worldtest;

namespace {

class GameStatsTest : public ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        rnDeclareTextFormats();
        const std::pair<int, const char*> texts[] = {
            {3001, "The town has grown to %d people!"},
            {3100, "Build houses."},
            {3101, "The houses need %s."},
            {3102, "No market sells %s."},
            {3103, "Nothing makes %s."},
            {3104, "No builder delivers %s."},
            {3105, "%s is needed."},
            {3106, "The houses want a %s: build a %s."},
            {3107, "Build a %s for taxes."},
        };
        for (const auto& [n, t] : texts) dax_strings.addString(n, t, true);
        first_message_ = dax_msgmgr.history().size();
    }

    // The texts of the messages posted since the test began (or since the
    // last call), in order.
    std::vector<std::string> posted() {
        std::vector<std::string> out;
        const auto& history = dax_msgmgr.history();
        for (size_t i = first_message_; i < history.size(); ++i) out.push_back(history[i].text_);
        first_message_ = history.size();
        return out;
    }
    static void setDay(uint32_t day) { setNow(day * DaxGameTime::kPerDay); }

    // The well: a service using one bread per walker round, its walkers
    // going 24 tiles at 0.1 hours a tile, a new one every 2 hours.
    static void addWell(SmallModel& model, int16_t tax_percent = 0) {
        RnWalkerServType wt;
        wt.type_id_ = 700;
        wt.name_ = "water carrier";
        wt.distance_to_return_ = 24;
        wt.hours_for_1tile_road_ = 0.1f;
        grn_game.addServWalkerType(wt);
        RnServType well;
        well.type_id_ = 300;
        well.name_ = "well";
        well.walker_type_idx_ = 0;
        well.hours_respawn_ = 2;
        well.tax_percent_ = tax_percent;
        well.needs_ = {{2, 1}};
        model.servs.push_back(well);
    }
    // A garden that takes `amount` of the goods for each 48 hours it is
    // active.
    static void addGarden(SmallModel& model, int16_t goods, uint16_t amount) {
        RnDecoType garden;
        garden.type_id_ = 950;
        garden.name_ = "garden";
        garden.hours_attr_ = 48;
        garden.goods_ = {{goods, amount}};
        model.decos.push_back(garden);
    }
    // A house of the model's type at (x, y) with its level, its people and,
    // as a house of that level keeps them, its bread and planks entries.
    static RnHous& addHouse(int x, int y, int level, int people) {
        RnHous& h = grn_game.housByOid(grn_game.housType(0).createBuilding(x, y));
        h.state_ = static_cast<uint32_t>(level) | static_cast<uint32_t>(people) << RnHousPersData::kPeopleShift;
        RnHouseGoodsData bread;
        bread.level_ = 1;
        bread.hours_ = 24;
        h.goods_[2] = bread;
        h.material_in_store_[1] = RnMaterialInf();
        return h;
    }

    size_t first_message_ = 0;
};

TEST_F(GameStatsTest, RatesCountTheTypesAndTheirBuildings) {
    SmallModel model;
    addWell(model);
    addGarden(model, 2, 2);
    ASSERT_EQ("", check(model));

    grn_game.prodType(1).createBuilding(2, 2);  // two sawmills
    grn_game.prodType(1).createBuilding(4, 2);
    grn_game.decoType(0).createBuilding(6, 2);
    grn_game.servType(0).createBuilding(8, 2);
    grn_game.mrktType(0).createBuilding(10, 2);
    grn_game.storType(0).createBuilding(12, 2);
    grn_game.bldrType(0).createBuilding(14, 2);
    addHouse(2, 10, 1, 10);  // eats bread: 10 people, one unit a day each
    addHouse(4, 10, 0, 4);   // would eat bread at the next level
    grn_game.updateGoodsStatistics();

    const RnGoodsType& wood = grn_game.goodsType(0);
    const RnGoodsType& planks = grn_game.goodsType(1);
    const RnGoodsType& bread = grn_game.goodsType(2);
    // A sawmill makes 1 lot of 2 planks from 2 lots of 4 wood every 6 hours.
    EXPECT_EQ(2u, planks.production_sites_);
    EXPECT_DOUBLE_EQ(2 * 1 * 2 * 168.0 / 6, planks.rate_prod_);
    EXPECT_DOUBLE_EQ(2 * 2 * 4 * 168.0 / 6, wood.rate_p_in_);
    EXPECT_EQ(0u, wood.production_sites_);
    EXPECT_DOUBLE_EQ(0.0, wood.rate_prod_);
    // Houses: 7 units a week a person from the level that needs it.
    EXPECT_DOUBLE_EQ(7.0 * 10, bread.rate_hous_);
    EXPECT_DOUBLE_EQ(7.0 * 4, bread.rate_hous_next_);
    // The level's planks: two units lasting 240 hours each.
    EXPECT_DOUBLE_EQ(168.0 / 240, planks.rate_hous_);
    // The garden takes 2 units for each 48 hours it is active.
    EXPECT_DOUBLE_EQ(2 * 168.0 / 48, bread.rate_deco_);
    // The well: one lot of bread a round of 2 x 24 x 0.1 + 2 hours.
    EXPECT_NEAR(4 * 168.0 / 6.8, bread.rate_serv_, 1e-4);
    EXPECT_EQ(1u, bread.market_instances_);
    EXPECT_EQ(1u, planks.builder_instances_);
    // The storehouse wears 2 planks of 480 hours.
    EXPECT_DOUBLE_EQ(168.0 / 480, planks.rate_other_);

    // Removing the sawmills takes their share away again.
    for (int x : {2, 4}) grn_game.prodType(1).removeBuilding(grn_map.tile(x, 2), x, 2);
    EXPECT_EQ(0u, planks.production_sites_);
    EXPECT_DOUBLE_EQ(0.0, planks.rate_prod_);
    EXPECT_DOUBLE_EQ(0.0, wood.rate_p_in_);
}

TEST_F(GameStatsTest, AdviceComesOnceADayAndEachOnceAGame) {
    ASSERT_EQ("", check(SmallModel()));
    setDay(0);
    grn_game.updateGoodsStatistics();
    grn_game.updateGoodsStatistics();
    EXPECT_EQ(std::vector<std::string>{"Build houses."}, posted());
    // No house yet: nothing else is advised, and that advice not again.
    for (uint32_t day = 1; day < 4; ++day) {
        setDay(day);
        grn_game.rollStatistics(false);
    }
    EXPECT_TRUE(posted().empty());

    // A new game gives its advice anew, also on the day the last one had.
    grn_game.resetForNewGame("testmap", "second");
    setDay(3);
    grn_game.updateGoodsStatistics();
    EXPECT_EQ(std::vector<std::string>{"Build houses."}, posted());
}

TEST_F(GameStatsTest, AdvicePointsAtTheFirstGapOfTheEconomy) {
    SmallModel model;
    addWell(model);
    ASSERT_EQ("", check(model));
    // A house that eats bread, wears planks and wants water.
    RnHous& house = addHouse(2, 10, 1, 10);
    house.services_[0] = RnHouseServiceData();
    struct Step {
        RnGenericBuildingType* build;  // built on the day before the advice
        const char* advice;            // null: none
    } steps[] = {
        // Services first, then the goods in their order.
        {nullptr, "The houses want a water carrier: build a well."},
        {&grn_game.servType(0), "Nothing makes planks."},
        {&grn_game.prodType(1), "wood is needed."},  // the sawmill wants wood
        {&grn_game.prodType(0), "No builder delivers planks."},
        {&grn_game.bldrType(0), "The houses need bread."},
        {&grn_game.prodType(2), "No market sells bread."},
        {&grn_game.mrktType(0), nullptr},
    };
    uint32_t day = 0;
    int x = 4;
    for (const Step& s : steps) {
        SCOPED_TRACE(s.advice ? s.advice : "none");
        if (s.build) s.build->createBuilding(x, 2);
        x += 2;
        setDay(++day);
        grn_game.updateGoodsStatistics();
        std::vector<std::string> expected;
        if (s.advice) expected.push_back(s.advice);
        EXPECT_EQ(expected, posted());
    }
}

TEST_F(GameStatsTest, ServiceAndDecorationAdviceNameWhatIsMissing) {
    // A well that collects taxes, and flowers only a garden takes and
    // nothing makes.
    SmallModel model;
    addWell(model, 10);
    model.goods.push_back(RnGoodsType("flowers", 514, 4, 1, -2));
    addGarden(model, 3, 1);
    ASSERT_EQ("", check(model));
    addHouse(2, 10, 0, 3).services_[0] = RnHouseServiceData();
    // Everything else the town needs stands.
    int x = 2;
    for (RnGenericBuildingType* t : std::vector<RnGenericBuildingType*>{
             &grn_game.prodType(0), &grn_game.prodType(1), &grn_game.prodType(2), &grn_game.mrktType(0),
             &grn_game.bldrType(0), &grn_game.decoType(0)}) {
        t->createBuilding(x += 2, 2);
    }
    const char* advice[] = {"Build a well for taxes.", "flowers is needed.", nullptr, nullptr};
    uint32_t day = 0;
    for (const char* a : advice) {
        SCOPED_TRACE(a ? a : "none");
        setDay(++day);
        grn_game.updateGoodsStatistics();
        std::vector<std::string> expected;
        if (a) expected.push_back(a);
        EXPECT_EQ(expected, posted());
    }
}

TEST_F(GameStatsTest, MilestonesAnnounceTheTownsGrowthOnce) {
    struct Step {
        int delta;
        const char* message;  // null: none
        uint32_t last_milestone;
    } steps[] = {
        {19, nullptr, 0},
        {-9, nullptr, 0},
        // From 10 to 120 passes three milestones: one message.
        {110, "The town has grown to 120 people!", 120},
        {70, nullptr, 120},
        {10, "The town has grown to 200 people!", 200},
        // Falling below a milestone and rising again says nothing.
        {-150, nullptr, 200},
        {150, nullptr, 200},
        {300, "The town has grown to 500 people!", 500},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.delta);
        grn_game.changePopulation(s.delta);
        std::vector<std::string> expected;
        if (s.message) expected.push_back(s.message);
        EXPECT_EQ(expected, posted());
        EXPECT_EQ(s.last_milestone, grn_game.last_milestone_);
    }
    EXPECT_EQ(500u, grn_game.population_);
}

TEST_F(GameStatsTest, AMilestoneTextIsNeverRunWithArgumentsItDoesNotTake) {
    // A text asking for a string gets the number: shown as it stands.
    dax_config.debug_level_ = 1;
    clearConsole();
    grn_game.clear();
    dax_strings.addString(3001, "%s have come!", true);
    EXPECT_TRUE(loggedLine("text 3001 does not fit its arguments (u): %s have come!"));
    grn_game.changePopulation(20);
    EXPECT_EQ(std::vector<std::string>{"%s have come!"}, posted());

    // A long one is cut to the message's 256 bytes.
    grn_game.clear();
    const std::string long_text = std::string(300, 'x') + " %d";
    dax_strings.addString(3001, long_text, true);
    grn_game.changePopulation(40);
    const std::vector<std::string> texts = posted();
    ASSERT_EQ(1u, texts.size());
    EXPECT_EQ(std::string(255, 'x'), texts[0]);
}

TEST_F(GameStatsTest, ANewPeriodKeepsTheLastPeriodsCounts) {
    ASSERT_EQ("", check(SmallModel()));
    RnGoodsType& planks = grn_game.goodsType(1);
    planks.produced_cur_ = 12;
    planks.consumed_cur_ = 5;
    grn_game.rollStatistics(false);
    EXPECT_EQ(12u, planks.produced_cur_);
    EXPECT_EQ(0u, planks.produced_);
    grn_game.rollStatistics(true);
    EXPECT_EQ(12u, planks.produced_);
    EXPECT_EQ(5u, planks.consumed_);
    EXPECT_EQ(0u, planks.produced_cur_);
    EXPECT_EQ(0u, planks.consumed_cur_);
}

TEST_F(GameStatsTest, TheStatisticsLogListsHousesPeopleAndGoods) {
    ASSERT_EQ("", check(SmallModel()));
    grn_game.prodType(1).createBuilding(2, 2);
    addHouse(4, 10, 1, 10);
    grn_game.population_ = 10;
    RnPeoplType& settlers = grn_game.peoplType(0);
    settlers.population_ = 10;
    settlers.population_prev_ = 8;
    settlers.population_max_ = 6;
    grn_game.goodsType(1).produced_ = 3;
    grn_game.updateGoodsStatistics();

    dax_config.debug_ltype_ = 1;  // class 16 off: nothing
    clearConsole();
    grn_game.logStatistics();
    EXPECT_FALSE(loggedContaining("Statistics"));

    dax_config.debug_ltype_ = 16;
    grn_game.logStatistics();
    EXPECT_TRUE(loggedLine("Statistics: 1 houses, 10 population  ht 600 #1 ppl 200 #6(2,4)"));
    EXPECT_TRUE(loggedLine(" 1 id=  512 lot=  2 hc=    0.7 dc=    0.0 sc=    0.0 pc=    0.0 oc=    0.0 "
                           "consumed=    0 pp=   56.0 produced=    3 in    1 sites planks"));
    // Wood and bread: wood is used by the sawmill, bread by the house.
    EXPECT_TRUE(loggedContaining(" 0 id=  511 lot=  4 hc=    0.0 dc=    0.0 sc=    0.0 pc=  224.0"));
    EXPECT_TRUE(loggedContaining(" 2 id=  513 lot=  4 hc=   70.0"));
}

}  // namespace
