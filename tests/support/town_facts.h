// What a player can tell of a running town at a glance, as text that
// compares: its names, money, people, the clock and how many buildings and
// walkers of each type it has. For tests that save a town and load it back.
// Needs the world library.
#pragma once

#include <sstream>
#include <string>

#include "dax2/dax_clock.h"
#include "rn_bld_bldr.h"
#include "rn_bld_deco.h"
#include "rn_bld_hous.h"
#include "rn_bld_mrkt.h"
#include "rn_bld_prod.h"
#include "rn_bld_road.h"
#include "rn_bld_serv.h"
#include "rn_bld_stor.h"
#include "rn_game.h"
#include "rn_wlk_bldr.h"
#include "rn_wlk_mrkt.h"
#include "rn_wlk_prod.h"
#include "rn_wlk_serv.h"
#include "rn_wlk_stor.h"

namespace townfacts {

// One line per fact; types without instances are left out.
inline std::string facts() {
    std::ostringstream out;
    out << "town " << grn_game.map_name_ << " / " << grn_game.game_name_ << "\nmoney " << grn_game.money_
        << "\npopulation " << grn_game.population_ << "\nclock " << dax_gameclock.gameTime().value() << " speed "
        << dax_gameclock.speed() << (dax_gameclock.paused() ? " paused" : " running") << "\n";
    for (const RnPeoplType& pt : grn_game.peoplTypes()) out << "people " << pt.id_ << " " << pt.population_ << "\n";
    auto count = [&out](const char* kind, const auto& types) {
        for (size_t i = 0; i < types.size(); ++i) {
            const int n = types[i].instances_.liveCount();
            if (n > 0) out << kind << " " << i << ": " << n << "\n";
        }
    };
    count("road", grn_game.roadTypes());
    count("house", grn_game.housTypes());
    count("service", grn_game.servTypes());
    count("storage", grn_game.storTypes());
    count("production", grn_game.prodTypes());
    count("market", grn_game.mrktTypes());
    count("decoration", grn_game.decoTypes());
    count("builder", grn_game.bldrTypes());
    count("service walker", grn_game.servWalkerTypes());
    count("production walker", grn_game.prodWalkerTypes());
    count("market walker", grn_game.mrktWalkerTypes());
    count("storage walker", grn_game.storWalkerTypes());
    count("builder walker", grn_game.bldrWalkerTypes());
    return out.str();
}

// The walkers out in the town.
inline int walkers() {
    int n = 0;
    auto count = [&n](const auto& types) {
        for (const auto& t : types) n += t.instances_.liveCount();
    };
    count(grn_game.servWalkerTypes());
    count(grn_game.prodWalkerTypes());
    count(grn_game.mrktWalkerTypes());
    count(grn_game.storWalkerTypes());
    count(grn_game.bldrWalkerTypes());
    return n;
}

// Whether every instance list is without holes: a loaded world numbers its
// objects from 0 on, so only then does it save the ids the original saved.
inline bool withoutHoles() {
    bool none = true;
    auto check = [&none](const auto& types) {
        for (const auto& t : types) none = none && t.instances_.freeCount() == 0;
    };
    check(grn_game.roadTypes());
    check(grn_game.housTypes());
    check(grn_game.servTypes());
    check(grn_game.storTypes());
    check(grn_game.prodTypes());
    check(grn_game.mrktTypes());
    check(grn_game.decoTypes());
    check(grn_game.bldrTypes());
    check(grn_game.servWalkerTypes());
    check(grn_game.prodWalkerTypes());
    check(grn_game.mrktWalkerTypes());
    check(grn_game.storWalkerTypes());
    check(grn_game.bldrWalkerTypes());
    return none;
}

}  // namespace townfacts
