// The program's one main loop: it feeds Allegro's events to the widget
// input, switches screens when the screen state machine asks, runs logic
// ticks (widget logic, game clock, game update) at the frame timer's rate,
// draws the screen, the top dialog, the console and the statistics line,
// and keeps the stack of open dialogs.
#pragma once

#include <allegro5/allegro.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "dax2/dax_error.h"
#include "dax2/dax_mptr.h"
#include "gcn/listeners.hpp"

class DaxDialogIfc;

namespace gcn {
class Allegro5Graphics;
class Allegro5Input;
class Gui;
}  // namespace gcn

// How the loop calls the game.
class DaxLoopGameCallback {
public:
    virtual ~DaxLoopGameCallback() = default;
    // One game update; once per logic tick while the current screen state
    // runs the game, right after the game-clock tick.
    virtual void updateGame() = 0;
    // The player closed the display window (called once, before the loop
    // asks for state 0).
    virtual void windowClosing() = 0;
    // While true the top dialog is not given to the dialog gui, gets no
    // logic and is not checked for being finished.
    virtual bool dialogsBlocked() = 0;
};

// The loop as screens and dialogs see it.
class DaxGameLoopIfc {
public:
    virtual ~DaxGameLoopIfc() = default;
    // Puts a dialog on top of the dialog stack; the loop owns it from then
    // on and deletes it once it is finished. Null, and a dialog already on
    // the stack, are ignored.
    virtual void pushDialog(DaxDialogIfc* dialog) = 0;
};

// The loop while it lives; null otherwise.
extern DaxGameLoopIfc* dax_game_loop;

// Loop statistics of the running and of the last whole second.
struct DaxLoopStats {
    // This second so far.
    int ticks = 0;
    int flips = 0;
    int passes = 0;
    uint64_t logic_time = 0;  // performance-counter units
    uint64_t draw_time = 0;
    uint64_t flip_time = 0;
    // The last whole second: counts, and times in percent of the second.
    int last_ticks = 0;
    int last_flips = 0;
    int last_passes = 0;
    int last_logic_pct = 0;
    int last_draw_pct = 0;
    int last_flip_pct = 0;

    // Ends a second: snapshots the counts, turns the times into percentages
    // of one second of a counter running at frequency, restarts counting.
    void rollSecond(uint64_t frequency);
};

extern DaxLoopStats dax_loop_stats;

// One frame's logic step, kept apart from the loop so that its tick counting
// can be checked without timers.
struct DaxTickStep {
    bool dialog_on_top = false;  // ticks run the dialog gui, not the game
    bool runs_game = false;      // the current state runs the game clock
    bool catches_up = false;     // the current state may run several ticks
    int max_skip = 0;
};

struct DaxTickResult {
    int ticks = 0;       // logic ticks run
    int game_ticks = 0;  // of which advanced the game
    int dropped = 0;     // backlog thrown away
    bool logic_ran = false;
};

// Runs pending logic ticks: gui_logic once per tick, game_tick once per tick
// that advances the game. A state that does not catch up runs one tick; one
// that does runs them all, but without a dialog on top stops after
// max_skip + 2 and drops the rest of the backlog.
DaxTickResult daxRunLogicTicks(int& pending, const DaxTickStep& step, const std::function<void()>& gui_logic,
                               const std::function<void()>& game_tick);

// Makes a PrintScreen press reach the gui as down, character and up even
// where the platform delivers only the key up.
class DaxPrintScreenFix {
public:
    // The events to hand on for one keyboard event, in order.
    std::vector<ALLEGRO_EVENT> process(const ALLEGRO_EVENT& event);
    bool keyIsDown() const { return down_; }

private:
    bool down_ = false;
};

class DaxGameLoop : public DaxGameLoopIfc, public gcn::KeyListener {
public:
    // Creates the event queue and becomes dax_game_loop. The callback is
    // not owned.
    explicit DaxGameLoop(DaxLoopGameCallback* callback);
    // Destroys the timers and the queue and deletes the dialogs still on the
    // stack.
    ~DaxGameLoop() override;
    DaxGameLoop(const DaxGameLoop&) = delete;
    DaxGameLoop& operator=(const DaxGameLoop&) = delete;

    // Reads the loop settings (base ini_path, user ini as overlay) and
    // creates the frame and statistics timers.
    void readConfig(const char* ini_path);
    // Runs until the current screen state quits.
    void run();

    // The loop's own key listener on both guis: the top dialog (else the
    // current screen) gets unconsumed keys.
    void keyPressed(gcn::KeyEvent& event) override;
    void pushDialog(DaxDialogIfc* dialog) override;

    // run() in pieces, for tests and tools: start builds the guis and
    // starts the timers; step is one pass (all queued events, then a frame)
    // and returns false once the loop has ended; finish tears the guis
    // down.
    void start();
    bool step();
    void finish();
    // Steps at most max_passes times, stopping early when the loop ends or
    // until() (checked before each pass) holds. Returns the passes run.
    int runPasses(int max_passes, const std::function<bool()>& until = {});
    // One Allegro event as the loop handles it.
    void handleEvent(const ALLEGRO_EVENT& event);

    // With manual ticks the frame timer is not started and logic ticks come
    // only from addPendingTicks, so a run is the same each time.
    void setManualTicks(bool manual) { manual_ticks_ = manual; }
    void addPendingTicks(int n) { pending_ticks_ += n; }
    int pendingTicks() const { return pending_ticks_; }
    // Drops the console lines that are older than their timeout at real
    // time now (hundredths); while any line is important all of them stay
    // for the error timeout. Returns whether one was important.
    static bool expireConsole(std::deque<DaxConsoleEntry>& queue, uint32_t now, int msg_timeout, int err_timeout);

    // Draws the console lines and, when switched on, the statistics line
    // over the current target, for a display display_height pixels high;
    // each frame does it after the guis, before the flip. Ages the console
    // first.
    void drawOverlays(int display_height);

    // What the last frame's logic step did.
    const DaxTickResult& lastTicks() const { return last_ticks_; }

    bool ended() const { return ended_; }
    const std::deque<DaxDialogIfc*>& dialogs() const { return dialogs_; }
    gcn::Gui* screenGui() const { return screen_gui_.get(); }
    gcn::Gui* dialogGui() const { return dialog_gui_.get(); }
    gcn::Allegro5Input* input() const { return input_.get(); }
    ALLEGRO_TIMER* frameTimer() const { return frame_timer_.get(); }
    ALLEGRO_TIMER* statsTimer() const { return stats_timer_.get(); }
    ALLEGRO_EVENT_QUEUE* eventQueue() const { return queue_.get(); }

    bool keyboardRepeat() const { return keyboard_repeat_; }
    int maxSkip() const { return max_skip_; }
    int restDurMs() const { return rest_dur_ms_; }
    int normalFps() const { return normal_fps_; }
    int loopDisplay() const { return loop_display_; }
    int loopX() const { return loop_x_; }
    int loopY() const { return loop_y_; }
    // In hundredths of a second.
    int consoleMsgTimeout() const { return console_msg_timeout_; }
    int consoleErrTimeout() const { return console_err_timeout_; }

private:
    void frame();
    void drawConsole(int display_height);
    void drawStatistics(int display_height);
    void finishDialog(DaxDialogIfc* dialog);
    // Registers (or unregisters) the keyboard, the mouse and the current
    // display with the queue, as far as this process has them.
    void connectInputSources(bool connect);

    DaxLoopGameCallback* callback_;
    std::deque<DaxDialogIfc*> dialogs_;
    ALLEGRO_TIMER_mptr frame_timer_;
    ALLEGRO_TIMER_mptr stats_timer_;
    ALLEGRO_EVENT_QUEUE_mptr queue_;
    bool keyboard_repeat_ = true;
    int max_skip_ = 0;
    int rest_dur_ms_ = 1;
    int normal_fps_ = 0;
    int loop_display_ = 0;
    int loop_x_ = 0;
    int loop_y_ = -1;
    int console_msg_timeout_ = 300;
    int console_err_timeout_ = 900;

    std::unique_ptr<gcn::Allegro5Input> input_;
    std::unique_ptr<gcn::Allegro5Graphics> graphics_;
    std::unique_ptr<gcn::Gui> screen_gui_;
    std::unique_ptr<gcn::Gui> dialog_gui_;
    DaxPrintScreenFix print_screen_;
    int pending_ticks_ = 0;
    int seconds_ = 0;
    uint64_t perf_frequency_ = 1;
    bool manual_ticks_ = false;
    bool started_ = false;
    bool ended_ = false;
    DaxTickResult last_ticks_;
    DaxGameLoopIfc* previous_ = nullptr;
};
