// The game as the game loop sees it (RnGameLoopCallback), on the world-core
// test fixture: no window is needed.
#include "rn_game_loop.h"
#include "world/test_game_fixture.h"

using namespace worldtest;

namespace {

class GameTest : public WorldTest {};

TEST_F(GameTest, WindowCloseSavesOnlyACompletelyLoadedWorld) {
    RecordingServices svc;
    grn_game.setTickServices(&svc);
    RnGameLoopCallback cb;
    cb.windowClosing();  // nothing loaded
    EXPECT_EQ(svc.last_saves, 0);
    makeMap(4);
    cb.windowClosing();  // terrains defined, but the load did not finish
    EXPECT_EQ(svc.last_saves, 0);
    grn_game.setWorldLoaded(true);
    cb.windowClosing();
    EXPECT_EQ(svc.last_saves, 1);
    grn_game.clear();
    EXPECT_FALSE(grn_game.isWorldLoaded());
    cb.windowClosing();
    EXPECT_EQ(svc.last_saves, 1);

    EXPECT_FALSE(cb.dialogsBlocked());
    bool armed = true;
    cb.setDialogsBlockedTest([&armed] { return armed; });
    EXPECT_TRUE(cb.dialogsBlocked());
    armed = false;
    EXPECT_FALSE(cb.dialogsBlocked());

    grn_game.updateQueue().schedule(0, RnObjectID(RnIdScriptJob, 0, 0));
    setNow(0);
    cb.updateGame();
    EXPECT_EQ(svc.runs.size(), 1u);
}

}  // namespace
