// Game time: DaxGameTime is the compact time value (5-minute units) that
// objects, queues and messages store; DaxGameClock turns logic ticks into game
// time at an adjustable speed and can be paused.
#pragma once

#include <cstddef>
#include <cstdint>

// Game time in 5-minute units since the start of the game: 12 an hour, 288 a
// day, 2016 a week, 105120 a year of 365 days (no leap days). 0xFFFFFFFF is
// the null time. A plain 4-byte value, saved raw.
class DaxGameTime {
public:
    static constexpr uint32_t kNull = 0xFFFFFFFFu;
    static constexpr uint32_t kPerHour = 12;
    static constexpr uint32_t kPerDay = 288;
    static constexpr uint32_t kPerWeek = 2016;
    static constexpr uint32_t kPerYear = 105120;

    constexpr DaxGameTime(uint32_t t = 0) : time_(t) {}
    static constexpr DaxGameTime null() { return DaxGameTime(kNull); }

    constexpr operator uint32_t() const { return time_; }
    constexpr uint32_t value() const { return time_; }

    constexpr bool isNull() const { return time_ == kNull; }
    void setNull() { time_ = kNull; }

    // Adds h hours (h * 12 units, truncated toward zero); the result wraps
    // modulo 2^32 like the unsigned value it is. A NaN or infinite h leaves
    // the time unchanged. Inline: buildings and walkers call it on every
    // wake-up; a sum beyond what int64 holds (or not a number) takes the
    // careful path.
    void addHours(float h) {
        const double r = static_cast<double>(time_) + static_cast<double>(h) * 12.0;
        // The conversion truncates toward zero as std::trunc would.
        if (r > -9.0e18 && r < 9.0e18) {
            time_ = static_cast<uint32_t>(static_cast<int64_t>(r));
            return;
        }
        addHoursWide(r);
    }

    // Whole hours from start to this time (unsigned 32-bit difference).
    uint32_t hoursSince(DaxGameTime start) const;
    // The same whole number of hours as a floating value.
    float hoursSinceF(DaxGameTime start) const;

    int minute() const { return static_cast<int>(time_ % 12u) * 5; }
    int hour() const { return static_cast<int>(time_ / 12u % 24u); }
    uint32_t totalHours() const { return time_ / kPerHour; }
    uint32_t totalDays() const { return time_ / kPerDay; }
    int week() const { return static_cast<int>(time_ / kPerWeek + 1u); }
    int year() const { return static_cast<int>(time_ / kPerYear + 1u); }
    // Day in the month, from 1.
    int dayOfMonth() const;
    // Month of the year, 1 to 12.
    int month() const;
    // Running month number: month + 12 * (year - 1).
    int monthCount() const;

private:
    // addHours for a sum beyond int64, infinite or not a number.
    void addHoursWide(double r);

    uint32_t time_;
};
static_assert(sizeof(DaxGameTime) == 4, "DaxGameTime is saved as 4 raw bytes");

// The time between a and b at fraction t, rounded to the nearest unit:
// (1 - t) * a + 0.5 + t * b, truncated. Results outside the range of a game
// time are clamped to it (0 to 0xFFFFFFFE); a NaN result gives a.
DaxGameTime daxLerpGameTime(DaxGameTime a, DaxGameTime b, double t);

// The game clock. Game time is kept in tenths of a game hour (double); each
// tick adds speed / normal_fps * 0.1 * (1000 / msec_per_game_hour), so at speed
// 100 one game hour passes in msec_per_game_hour real milliseconds.
class DaxGameClock {
public:
    static constexpr uint32_t kMementoMagic = 0xCEF20A00u;

    // The clock's saved state, written raw (24 bytes) into save games. The
    // padding is kept as explicit zeroed fields so that saved bytes do not
    // depend on what was in memory.
    struct Memento {
        uint32_t magic_ = 0;
        uint32_t pad0_ = 0;
        double game_time_ = 0.0;  // tenths of a game hour
        int16_t speed_ = 100;
        int16_t flags_ = 0;       // bit 0: paused
        uint32_t pad1_ = 0;
    };

    DaxGameClock() = default;
    virtual ~DaxGameClock() = default;

    // Reads msec_per_game_hour, normal_fps, min_speed and max_speed from
    // section daxk_timers, each defaulting to its current value. Raises when
    // normal_fps or msec_per_game_hour is not positive (either would divide
    // by zero or run time backwards); the clock is then left unchanged.
    void readConfig();

    // One logic tick: advances the game time unless paused.
    virtual void tick();

    // The current game time: tenths * 1.2, truncated. A time below zero reads
    // as 0, one beyond the 32-bit range as 0xFFFFFFFE.
    DaxGameTime gameTime() const;

    // New game: time 0, speed 100, running.
    void reset();
    void togglePause() { paused_ = !paused_; }

    // Step the speed up or down (by 2 below 40, 10 below 200, 20 below 400,
    // 40 above); at or beyond the bound nothing changes. Return the new speed.
    int faster();
    int slower();

    void createMemento(Memento& m) const;
    // Restores time, speed and pause flag. Raises "GameClock Memento not
    // recognized" for a foreign magic or a time that is not a finite number,
    // leaving the clock unchanged.
    void setMemento(const Memento& m);

    int speed() const { return speed_; }
    bool paused() const { return paused_; }
    void setPaused(bool p) { paused_ = p; }
    int minSpeed() const { return min_speed_; }
    int maxSpeed() const { return max_speed_; }
    int normalFps() const { return normal_fps_; }
    int msecPerGameHour() const { return msec_per_game_hour_; }
    // Game time in tenths of a game hour.
    double rawTime() const { return game_time_; }

private:
    int min_speed_ = 10;
    int max_speed_ = 600;
    int normal_fps_ = 30;
    int msec_per_game_hour_ = 1000;
    double game_time_ = 0.0;
    int speed_ = 100;
    bool paused_ = false;
};

static_assert(sizeof(DaxGameClock::Memento) == 24, "clock memento is 24 bytes in save games");
static_assert(offsetof(DaxGameClock::Memento, magic_) == 0, "memento layout");
static_assert(offsetof(DaxGameClock::Memento, game_time_) == 8, "memento layout");
static_assert(offsetof(DaxGameClock::Memento, speed_) == 16, "memento layout");
static_assert(offsetof(DaxGameClock::Memento, flags_) == 18, "memento layout");

// The one game clock of the program.
extern DaxGameClock dax_gameclock;

// Pauses a clock (the global one by default) for the guard's lifetime while
// saving or loading. Only a guard that found the clock running resumes it, so
// a game the player had paused stays paused.
class DaxGameClockPause {
public:
    explicit DaxGameClockPause(DaxGameClock& clock = dax_gameclock);
    ~DaxGameClockPause();
    DaxGameClockPause(const DaxGameClockPause&) = delete;
    DaxGameClockPause& operator=(const DaxGameClockPause&) = delete;

private:
    DaxGameClock& clock_;
    bool paused_by_me_ = false;
};
