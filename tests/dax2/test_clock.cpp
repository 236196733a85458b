// Game time calendar and arithmetic, the game clock's ticking, speed steps,
// memento and pause guard.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "dax2/dax_clock.h"
#include "dax2/dax_error.h"
#include "dax2/dax_ini.h"
#include "support/temp_dir.h"

namespace {

struct CalendarCase {
    uint32_t time;
    int minute, hour, day, month, week, year, month_count;
    uint32_t total_hours, total_days;
};

TEST(DaxGameTime, CalendarParts) {
    const CalendarCase cases[] = {
        // Start of the game: 1 January of year 1, 00:00.
        {0, 0, 0, 1, 1, 1, 1, 1, 0, 0},
        {13, 5, 1, 1, 1, 1, 1, 1, 1, 0},
        {287, 55, 23, 1, 1, 1, 1, 1, 23, 0},
        {288, 0, 0, 2, 1, 1, 1, 1, 24, 1},
        {2015, 55, 23, 7, 1, 1, 1, 1, 167, 6},
        {2016, 0, 0, 8, 1, 2, 1, 1, 168, 7},
        // Last and first day of January / February / March.
        {30 * 288, 0, 0, 31, 1, 5, 1, 1, 720, 30},
        {31 * 288, 0, 0, 1, 2, 5, 1, 2, 744, 31},
        {58 * 288, 0, 0, 28, 2, 9, 1, 2, 1392, 58},
        {59 * 288, 0, 0, 1, 3, 9, 1, 3, 1416, 59},
        {334 * 288, 0, 0, 1, 12, 48, 1, 12, 8016, 334},
        // 31 December 23:55 of year 1, then 1 January of year 2.
        {105119, 55, 23, 31, 12, 53, 1, 12, 8759, 364},
        {105120, 0, 0, 1, 1, 53, 2, 13, 8760, 365},
        // The largest valid time: no overflow in the running counts.
        {0xFFFFFFFEu, 10, 21, 3, 10, 2130441, 40858, 490294, 357913941, 14913080},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("time " + std::to_string(c.time));
        DaxGameTime t(c.time);
        EXPECT_EQ(t.minute(), c.minute);
        EXPECT_EQ(t.hour(), c.hour);
        EXPECT_EQ(t.dayOfMonth(), c.day);
        EXPECT_EQ(t.month(), c.month);
        EXPECT_EQ(t.week(), c.week);
        EXPECT_EQ(t.year(), c.year);
        EXPECT_EQ(t.monthCount(), c.month_count);
        EXPECT_EQ(t.totalHours(), c.total_hours);
        EXPECT_EQ(t.totalDays(), c.total_days);
    }
}

TEST(DaxGameTime, EveryDayOfAYearHasAValidDate) {
    // Walking a whole year day by day must step the date by one each time.
    int prev_month = 1;
    int prev_day = 0;
    for (uint32_t d = 0; d < 365; ++d) {
        DaxGameTime t(105120u * 3 + d * 288 + 100);
        if (t.month() == prev_month) {
            EXPECT_EQ(t.dayOfMonth(), prev_day + 1) << "day " << d;
        } else {
            EXPECT_EQ(t.month(), prev_month + 1) << "day " << d;
            EXPECT_EQ(t.dayOfMonth(), 1) << "day " << d;
        }
        prev_month = t.month();
        prev_day = t.dayOfMonth();
    }
    EXPECT_EQ(prev_month, 12);
    EXPECT_EQ(prev_day, 31);
}

TEST(DaxGameTime, NullTime) {
    EXPECT_TRUE(DaxGameTime::null().isNull());
    EXPECT_EQ(DaxGameTime::null().value(), 0xFFFFFFFFu);
    DaxGameTime t(5);
    EXPECT_FALSE(t.isNull());
    t.setNull();
    EXPECT_TRUE(t.isNull());
    EXPECT_EQ(DaxGameTime().value(), 0u);
}

TEST(DaxGameTime, AddHours) {
    struct Case {
        uint32_t start;
        float hours;
        uint32_t expected;
    };
    const Case cases[] = {
        {0, 1.0f, 12},
        {0, 0.5f, 6},
        {10, 0.1f, 11},           // 11.2 truncated
        {100, 24.0f, 388},
        {12, -1.0f, 0},
        {100, -0.05f, 99},        // 99.4 truncated toward zero
        // Going below zero wraps like unsigned arithmetic instead of being
        // undefined (the old double-to-unsigned conversion of a negative).
        {5, -1.0f, 0xFFFFFFF9u},
        {0, -0.5f, 0xFFFFFFFAu},
        {0xFFFFFFF0u, 2.0f, 8},   // wraps past the top the same way
        {1000, 0.0f, 1000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.start) + " + " + std::to_string(c.hours) + "h");
        DaxGameTime t(c.start);
        t.addHours(c.hours);
        EXPECT_EQ(t.value(), c.expected);
    }
}

TEST(DaxGameTime, AddHoursIgnoresNonFiniteHours) {
    for (float h : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                    -std::numeric_limits<float>::infinity()}) {
        DaxGameTime t(1234);
        t.addHours(h);
        EXPECT_EQ(t.value(), 1234u);
    }
    // Huge but finite still keeps the low 32 bits of the exact result.
    DaxGameTime t(0);
    t.addHours(1.0e18f);
    const double exact = std::trunc(static_cast<double>(1.0e18f) * 12.0);
    EXPECT_EQ(t.value(), static_cast<uint32_t>(std::fmod(exact, 4294967296.0)));
}

TEST(DaxGameTime, HoursSinceCountsWholeHours) {
    EXPECT_EQ(DaxGameTime(36).hoursSince(DaxGameTime(12)), 2u);
    EXPECT_EQ(DaxGameTime(35).hoursSince(DaxGameTime(0)), 2u);
    // The floating variant gives the same whole number, not 35 / 12.
    EXPECT_EQ(DaxGameTime(35).hoursSinceF(DaxGameTime(0)), 2.0f);
    EXPECT_EQ(DaxGameTime(11).hoursSinceF(DaxGameTime(0)), 0.0f);
    // An earlier "start" that is actually later wraps as unsigned.
    EXPECT_EQ(DaxGameTime(0).hoursSince(DaxGameTime(12)), (0u - 12u) / 12u);
}

TEST(DaxGameTime, LerpRoundsToNearestUnit) {
    struct Case {
        uint32_t a, b;
        double t;
        uint32_t expected;
    };
    const Case cases[] = {
        {100, 200, 0.5, 150},
        {100, 101, 0.5, 101},  // 100.5 rounds up
        {0, 10, 0.26, 3},
        {0, 10, 0.24, 2},
        {500, 900, 0.0, 500},
        {500, 900, 1.0, 900},
        {900, 500, 0.5, 700},  // works backwards too
        // Fractions outside [0, 1] are clamped to the range of a time
        // instead of converting a negative double to unsigned.
        {0, 100, -1.0, 0},
        {0xFFFFFFF0u, 0xFFFFFFFEu, 3.0, 0xFFFFFFFEu},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.a) + ".." + std::to_string(c.b) + " at " + std::to_string(c.t));
        EXPECT_EQ(daxLerpGameTime(DaxGameTime(c.a), DaxGameTime(c.b), c.t).value(), c.expected);
    }
    EXPECT_EQ(daxLerpGameTime(DaxGameTime(42), DaxGameTime(80), std::nan("")).value(), 42u);
}

// Sets speed, time and pause of a clock through its memento.
void setClock(DaxGameClock& clock, int speed, double tenths = 0.0, bool paused = false) {
    DaxGameClock::Memento m;
    m.magic_ = DaxGameClock::kMementoMagic;
    m.game_time_ = tenths;
    m.speed_ = static_cast<int16_t>(speed);
    m.flags_ = paused ? 1 : 0;
    clock.setMemento(m);
}

// Opens a base ini with the given text for one test and closes it after.
class IniFixture : public ::testing::Test {
protected:
    void openIni(const std::string& text) { daxIniOpenBase(dir_.write("zor.ini", text).c_str()); }
    void TearDown() override {
        daxIniOpenOverlay(nullptr);
        daxIniOpenBase(nullptr);
    }
    TempDir dir_;
};

struct TickCase {
    int speed, fps, msec, ticks;
};

using DaxGameClockConfig = IniFixture;

TEST_F(DaxGameClockConfig, TickAdvancesBySpeedFpsAndHourLength) {
    const TickCase cases[] = {
        {100, 30, 1000, 30}, {100, 30, 1000, 3000}, {600, 30, 1000, 90}, {10, 30, 1000, 300},
        {100, 60, 500, 120}, {250, 25, 1500, 77},   {37, 1, 3, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.speed) + "% " + std::to_string(c.fps) + "fps " + std::to_string(c.msec) +
                     "ms x" + std::to_string(c.ticks));
        openIni("[daxk_timers]\nnormal_fps=" + std::to_string(c.fps) + "\nmsec_per_game_hour=" +
                std::to_string(c.msec) + "\n");
        DaxGameClock clock;
        clock.readConfig();
        setClock(clock, c.speed);
        double expected = 0.0;
        for (int i = 0; i < c.ticks; ++i) {
            clock.tick();
            expected += static_cast<double>(c.speed) / static_cast<double>(c.fps) * 0.1 *
                        (1000.0 / static_cast<double>(c.msec));
        }
        EXPECT_EQ(clock.rawTime(), expected);
        EXPECT_EQ(clock.gameTime().value(), static_cast<uint32_t>(expected * 1.2));
        // Sanity on the units: ticks / fps real seconds, 12 units per game
        // hour, speed / 100 game hours per msec_per_game_hour.
        double units = c.ticks / double(c.fps) * 1000.0 / c.msec * c.speed / 100.0 * 12.0;
        EXPECT_NEAR(clock.gameTime().value(), units, 1.001);
    }
}

TEST_F(DaxGameClockConfig, ReadsTimersAndKeepsDefaultsForMissingKeys) {
    openIni("[daxk_timers]\nmin_speed=20\nmax_speed=300\n");
    DaxGameClock clock;
    clock.readConfig();
    EXPECT_EQ(clock.minSpeed(), 20);
    EXPECT_EQ(clock.maxSpeed(), 300);
    EXPECT_EQ(clock.normalFps(), 30);
    EXPECT_EQ(clock.msecPerGameHour(), 1000);
    // The new bounds apply to the speed steps.
    setClock(clock, 300);
    EXPECT_EQ(clock.faster(), 300);
    setClock(clock, 20);
    EXPECT_EQ(clock.slower(), 20);
}

TEST_F(DaxGameClockConfig, RejectsNonPositiveRatesAndStaysUnchanged) {
    struct Case {
        const char* ini;
        const char* message;
    };
    const Case cases[] = {
        {"[daxk_timers]\nnormal_fps=0\nmin_speed=1\n", ":2: [daxk_timers] normal_fps=0: expected a number greater than 0"},
        {"[daxk_timers]\nnormal_fps=-5\n", ":2: [daxk_timers] normal_fps=-5: expected a number greater than 0"},
        // Would divide by zero (or run time backwards) at every tick.
        {"[daxk_timers]\nmsec_per_game_hour=0\n",
         ":2: [daxk_timers] msec_per_game_hour=0: expected a number greater than 0"},
        {"[daxk_timers]\nmsec_per_game_hour=-1000\nmax_speed=50\n",
         ":2: [daxk_timers] msec_per_game_hour=-1000: expected a number greater than 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ini);
        openIni(c.ini);
        DaxGameClock clock;
        try {
            clock.readConfig();
            ADD_FAILURE() << "no error raised";
        } catch (const DaxException& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
        EXPECT_EQ(clock.normalFps(), 30);
        EXPECT_EQ(clock.msecPerGameHour(), 1000);
        EXPECT_EQ(clock.minSpeed(), 10);
        EXPECT_EQ(clock.maxSpeed(), 600);
    }
}

TEST(DaxGameClock, DefaultsAndOneHourPerSecond) {
    DaxGameClock clock;
    EXPECT_EQ(clock.speed(), 100);
    EXPECT_FALSE(clock.paused());
    EXPECT_EQ(clock.gameTime().value(), 0u);
    EXPECT_EQ(clock.minSpeed(), 10);
    EXPECT_EQ(clock.maxSpeed(), 600);
    // 60 real seconds at 30 ticks a second: one game hour each.
    for (int i = 0; i < 30 * 60; ++i) {
        clock.tick();
    }
    EXPECT_NEAR(clock.rawTime(), 600.0, 1e-9);
    EXPECT_NEAR(clock.gameTime().value(), 720.0, 1.0);
}

TEST(DaxGameClock, PausedClockDoesNotAdvance) {
    DaxGameClock clock;
    setClock(clock, 600, 50.0);
    clock.togglePause();
    EXPECT_TRUE(clock.paused());
    for (int i = 0; i < 100000; ++i) {
        clock.tick();
    }
    EXPECT_EQ(clock.rawTime(), 50.0);
    clock.togglePause();
    clock.tick();
    EXPECT_GT(clock.rawTime(), 50.0);
}

TEST(DaxGameClock, ResetStartsANewGame) {
    DaxGameClock clock;
    setClock(clock, 400, 1234.5, true);
    clock.reset();
    EXPECT_EQ(clock.speed(), 100);
    EXPECT_EQ(clock.rawTime(), 0.0);
    EXPECT_FALSE(clock.paused());
}

TEST(DaxGameClock, GameTimeTruncatesAndClamps) {
    DaxGameClock clock;
    struct Case {
        double tenths;
        uint32_t expected;
    };
    const Case cases[] = {
        {0.0, 0},
        {10.0, 12},
        {0.83, 0},       // 0.996 truncated
        {0.84, 1},       // 1.008
        {-5.0, 0},       // a time below zero reads as the start
        {1.0e10, 0xFFFFFFFEu},  // beyond 32 bits: the last valid time, never null
    };
    for (const auto& c : cases) {
        setClock(clock, 100, c.tenths);
        EXPECT_EQ(clock.gameTime().value(), c.expected) << c.tenths;
    }
}

TEST(DaxGameClock, SpeedSteps) {
    struct Case {
        int speed, faster, slower;
    };
    const Case cases[] = {
        {8, 10, 8},       // below the minimum: slower stops
        {10, 12, 10},     // at the minimum
        {11, 13, 9},
        {38, 40, 36},
        {40, 50, 30},     // steps are taken from the current speed
        {100, 110, 90},
        {198, 208, 188},
        {200, 220, 180},
        {390, 410, 370},
        {400, 440, 360},
        {590, 630, 550},  // the limit only stops further steps
        {600, 600, 560},
        {630, 630, 590},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.speed);
        DaxGameClock clock;
        setClock(clock, c.speed);
        EXPECT_EQ(clock.faster(), c.faster);
        EXPECT_EQ(clock.speed(), c.faster);
        setClock(clock, c.speed);
        EXPECT_EQ(clock.slower(), c.slower);
        EXPECT_EQ(clock.speed(), c.slower);
    }
}

TEST(DaxGameClock, StepsFromDefaultLandOnTheBounds) {
    DaxGameClock clock;
    std::vector<int> up;
    for (int i = 0; i < 40; ++i) {
        up.push_back(clock.faster());
    }
    const std::vector<int> expected_up = {110, 120, 130, 140, 150, 160, 170, 180, 190, 200,
                                          220, 240, 260, 280, 300, 320, 340, 360, 380, 400,
                                          440, 480, 520, 560, 600};
    ASSERT_GE(up.size(), expected_up.size());
    EXPECT_EQ(std::vector<int>(up.begin(), up.begin() + expected_up.size()), expected_up);
    for (size_t i = expected_up.size(); i < up.size(); ++i) {
        EXPECT_EQ(up[i], 600);
    }

    clock.reset();
    int last = 0;
    int steps = 0;
    while (steps < 100 && clock.slower() != last) {
        last = clock.speed();
        ++steps;
    }
    EXPECT_EQ(clock.speed(), 10);
    // 100 -> 40 in tens (6 steps), 40 -> 30, then by 2 down to 10 (10 steps).
    EXPECT_EQ(steps, 17);
}

TEST(DaxGameClock, MementoRoundTrip) {
    DaxGameClock clock;
    for (int i = 0; i < 1000; ++i) {
        clock.tick();
    }
    clock.faster();
    clock.faster();
    clock.togglePause();

    DaxGameClock::Memento m;
    clock.createMemento(m);

    // The bytes as saved: magic, padding, time, speed, flags, padding.
    unsigned char raw[24];
    static_assert(sizeof(m) == sizeof(raw), "memento size");
    std::memcpy(raw, &m, sizeof(raw));
    uint32_t magic;
    double tenths;
    int16_t speed, flags;
    std::memcpy(&magic, raw + 0, 4);
    std::memcpy(&tenths, raw + 8, 8);
    std::memcpy(&speed, raw + 16, 2);
    std::memcpy(&flags, raw + 18, 2);
    EXPECT_EQ(magic, 0xCEF20A00u);
    EXPECT_EQ(tenths, clock.rawTime());
    EXPECT_EQ(speed, 120);
    EXPECT_EQ(flags, 1);
    for (int i : {4, 5, 6, 7, 20, 21, 22, 23}) {
        EXPECT_EQ(raw[i], 0) << "padding byte " << i;
    }

    // Restored from the raw bytes into a fresh clock.
    DaxGameClock::Memento back;
    std::memcpy(&back, raw, sizeof(raw));
    DaxGameClock other;
    other.setMemento(back);
    EXPECT_EQ(other.rawTime(), clock.rawTime());
    EXPECT_EQ(other.gameTime(), clock.gameTime());
    EXPECT_EQ(other.speed(), 120);
    EXPECT_TRUE(other.paused());

    // Only bit 0 of the flags is the pause flag.
    back.flags_ = 2;
    other.setMemento(back);
    EXPECT_FALSE(other.paused());
}

TEST(DaxGameClock, ForeignMementoIsRejectedAndClockUnchanged) {
    DaxGameClock::Memento fresh;
    EXPECT_EQ(fresh.magic_, 0u);
    EXPECT_EQ(fresh.game_time_, 0.0);
    EXPECT_EQ(fresh.speed_, 100);

    DaxGameClock::Memento bad_time;
    bad_time.magic_ = DaxGameClock::kMementoMagic;
    bad_time.game_time_ = std::nan("");
    DaxGameClock::Memento inf_time = bad_time;
    inf_time.game_time_ = std::numeric_limits<double>::infinity();
    DaxGameClock::Memento other_magic = bad_time;
    other_magic.magic_ = 0x000AF2CEu;  // byte-swapped magic
    other_magic.game_time_ = 5.0;

    for (const DaxGameClock::Memento& m : {fresh, bad_time, inf_time, other_magic}) {
        DaxGameClock clock;
        setClock(clock, 250, 77.5, true);
        try {
            clock.setMemento(m);
            ADD_FAILURE() << "memento accepted";
        } catch (const DaxException& e) {
            EXPECT_NE(std::string(e.what()).find("GameClock Memento not recognized"), std::string::npos)
                << e.what();
        }
        EXPECT_EQ(clock.rawTime(), 77.5);
        EXPECT_EQ(clock.speed(), 250);
        EXPECT_TRUE(clock.paused());
    }
}

TEST(DaxGameClockPause, GuardsNestAndRespectAPausedGame) {
    DaxGameClock clock;
    {
        DaxGameClockPause outer(clock);
        EXPECT_TRUE(clock.paused());
        {
            DaxGameClockPause inner(clock);
            EXPECT_TRUE(clock.paused());
        }
        // The inner guard found the clock paused and leaves it so.
        EXPECT_TRUE(clock.paused());
    }
    EXPECT_FALSE(clock.paused());

    // A game the player paused stays paused after a save.
    clock.togglePause();
    {
        DaxGameClockPause guard(clock);
        EXPECT_TRUE(clock.paused());
    }
    EXPECT_TRUE(clock.paused());
}

TEST(DaxGameClockPause, DefaultsToTheGlobalClock) {
    dax_gameclock.reset();
    {
        DaxGameClockPause guard;
        EXPECT_TRUE(dax_gameclock.paused());
        const double before = dax_gameclock.rawTime();
        dax_gameclock.tick();
        EXPECT_EQ(dax_gameclock.rawTime(), before);
    }
    EXPECT_FALSE(dax_gameclock.paused());
    dax_gameclock.reset();
}

}  // namespace
