#include "dax2/dax_clock.h"

#include <cmath>

#include "dax2/dax_error.h"
#include "dax2/dax_ini.h"

namespace {

const int kMonthLength[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

// Day of the 365-day year, from 0.
int dayOfYear(uint32_t t) {
    return static_cast<int>(t / DaxGameTime::kPerDay % 365u);
}

// Converts a whole-numbered double to uint32 keeping the low 32 bits, as
// unsigned arithmetic would. A direct cast of a negative or too large double
// is undefined, so go through int64 (exact for any game-time sized value) and
// fall back to fmod for values beyond its range.
uint32_t low32(double whole) {
    if (std::fabs(whole) < 9.0e18) {
        return static_cast<uint32_t>(static_cast<int64_t>(whole));
    }
    double m = std::fmod(whole, 4294967296.0);
    if (m < 0) {
        m += 4294967296.0;
    }
    return static_cast<uint32_t>(m);
}

// Largest game time that is not the null time.
constexpr double kMaxTime = 4294967294.0;

uint32_t clampToTime(double v) {
    if (!(v > 0.0)) {  // also NaN
        return 0;
    }
    if (v >= kMaxTime) {
        return static_cast<uint32_t>(kMaxTime);
    }
    return static_cast<uint32_t>(v);
}

}  // namespace

void DaxGameTime::addHoursWide(double r) {
    r = std::trunc(r);
    if (!std::isfinite(r)) {
        return;
    }
    time_ = low32(r);
}

uint32_t DaxGameTime::hoursSince(DaxGameTime start) const {
    return (time_ - start.time_) / kPerHour;
}

float DaxGameTime::hoursSinceF(DaxGameTime start) const {
    return static_cast<float>(hoursSince(start));
}

int DaxGameTime::dayOfMonth() const {
    int d = dayOfYear(time_);
    for (int i = 0; i < 12 && d >= kMonthLength[i]; ++i) {
        d -= kMonthLength[i];
    }
    return d + 1;
}

int DaxGameTime::month() const {
    int d = dayOfYear(time_);
    for (int i = 0; i < 12; ++i) {
        if (d < kMonthLength[i]) {
            return i + 1;
        }
        d -= kMonthLength[i];
    }
    daxRaiseError("invalid date, month not found");
}

int DaxGameTime::monthCount() const {
    return month() + 12 * static_cast<int>(time_ / kPerYear);
}

DaxGameTime daxLerpGameTime(DaxGameTime a, DaxGameTime b, double t) {
    double v = (1.0 - t) * a.value() + 0.5 + t * b.value();
    if (std::isnan(v)) {
        return a;
    }
    return DaxGameTime(clampToTime(v));
}

DaxGameClock dax_gameclock;

void DaxGameClock::readConfig() {
    int msec = daxIniGetInt("daxk_timers", "msec_per_game_hour", msec_per_game_hour_);
    int fps = daxIniGetInt("daxk_timers", "normal_fps", normal_fps_);
    int lo = daxIniGetInt("daxk_timers", "min_speed", min_speed_);
    int hi = daxIniGetInt("daxk_timers", "max_speed", max_speed_);
    if (fps <= 0) {
        daxIniRaiseBadValue("daxk_timers", "normal_fps", "a number greater than 0");
    }
    if (msec <= 0) {
        daxIniRaiseBadValue("daxk_timers", "msec_per_game_hour", "a number greater than 0");
    }
    msec_per_game_hour_ = msec;
    normal_fps_ = fps;
    min_speed_ = lo;
    max_speed_ = hi;
}

void DaxGameClock::tick() {
    if (paused_) {
        return;
    }
    game_time_ += static_cast<double>(speed_) / static_cast<double>(normal_fps_) * 0.1 *
                  (1000.0 / static_cast<double>(msec_per_game_hour_));
}

DaxGameTime DaxGameClock::gameTime() const {
    return DaxGameTime(clampToTime(game_time_ * 1.2));
}

void DaxGameClock::reset() {
    speed_ = 100;
    game_time_ = 0.0;
    paused_ = false;
}

namespace {

int speedStep(int speed) {
    if (speed < 40) {
        return 2;
    }
    if (speed < 200) {
        return 10;
    }
    if (speed < 400) {
        return 20;
    }
    return 40;
}

}  // namespace

int DaxGameClock::faster() {
    if (speed_ < max_speed_) {
        speed_ += speedStep(speed_);
    }
    return speed_;
}

int DaxGameClock::slower() {
    if (speed_ > min_speed_) {
        speed_ -= speedStep(speed_);
    }
    return speed_;
}

void DaxGameClock::createMemento(Memento& m) const {
    m = Memento();
    m.magic_ = kMementoMagic;
    m.game_time_ = game_time_;
    m.speed_ = static_cast<int16_t>(speed_);
    m.flags_ = paused_ ? 1 : 0;
}

void DaxGameClock::setMemento(const Memento& m) {
    if (m.magic_ != kMementoMagic || !std::isfinite(m.game_time_)) {
        daxRaiseError("GameClock Memento not recognized");
    }
    game_time_ = m.game_time_;
    speed_ = m.speed_;
    paused_ = (m.flags_ & 1) != 0;
}

DaxGameClockPause::DaxGameClockPause(DaxGameClock& clock) : clock_(clock) {
    if (!clock_.paused()) {
        clock_.setPaused(true);
        paused_by_me_ = true;
    }
}

DaxGameClockPause::~DaxGameClockPause() {
    if (paused_by_me_) {
        clock_.setPaused(false);
    }
}
