#include "dax2/dax_gameloop.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "al5gcn/allegro5graphics.hpp"
#include "al5gcn/allegro5input.hpp"
#include "dax2/dax_clock.h"
#include "dax2/dax_dialog.h"
#include "dax2/dax_dialog_ifc.h"
#include "dax2/dax_error.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_menu_ifc.h"
#include "dax2/dax_msg.h"
#include "dax2/dax_platform.h"
#include "gcn/color.hpp"
#include "gcn/font.hpp"
#include "gcn/gui.hpp"
#include "gcn/rectangle.hpp"
#include "gcn/widgets/container.hpp"

DaxGameLoopIfc* dax_game_loop = nullptr;
DaxLoopStats dax_loop_stats;

namespace {

const char* const kLoopSrc = "dax2\\dax_gameloop";

// Timeouts are read in seconds and kept in hundredths; far beyond any
// sensible value the product would overflow.
int secondsToHundredths(int seconds) { return std::clamp(seconds, -1000000, 1000000) * 100; }

const gcn::Color kConsoleBack(0, 0, 0, 180);
const gcn::Color kConsoleText(255, 255, 255, 255);

}  // namespace

void DaxLoopStats::rollSecond(uint64_t frequency) {
    if (frequency == 0) {
        frequency = 1;
    }
    last_ticks = ticks;
    last_flips = flips;
    last_passes = passes;
    last_logic_pct = static_cast<int>(logic_time * 100 / frequency);
    last_draw_pct = static_cast<int>(draw_time * 100 / frequency);
    last_flip_pct = static_cast<int>(flip_time * 100 / frequency);
    ticks = flips = passes = 0;
    logic_time = draw_time = flip_time = 0;
}

DaxTickResult daxRunLogicTicks(int& pending, const DaxTickStep& step, const std::function<void()>& gui_logic,
                               const std::function<void()>& game_tick) {
    DaxTickResult r;
    int i = -1;
    while (pending > 0) {
        gui_logic();
        ++r.ticks;
        --pending;
        ++i;
        r.logic_ran = true;
        if (!step.dialog_on_top) {
            if (step.runs_game) {
                game_tick();
                ++r.game_ticks;
            }
            if (step.catches_up && i > step.max_skip) {
                // After a long stall the game jumps ahead a little and
                // forgets the rest rather than running minutes of ticks.
                r.dropped = pending;
                pending = 0;
                break;
            }
        }
        if (!step.catches_up) {
            break;
        }
    }
    return r;
}

std::vector<ALLEGRO_EVENT> DaxPrintScreenFix::process(const ALLEGRO_EVENT& event) {
    std::vector<ALLEGRO_EVENT> out;
    if (event.keyboard.keycode == ALLEGRO_KEY_PRINTSCREEN) {
        if (event.type == ALLEGRO_EVENT_KEY_DOWN) {
            down_ = true;
        } else if (event.type == ALLEGRO_EVENT_KEY_UP) {
            if (down_) {
                down_ = false;
            } else {
                // Some platforms take the press for themselves and send only
                // the release: make up the press the gui expects.
                ALLEGRO_EVENT down = event;
                down.type = ALLEGRO_EVENT_KEY_DOWN;
                down.keyboard.repeat = false;
                out.push_back(down);
                ALLEGRO_EVENT chr = event;
                chr.type = ALLEGRO_EVENT_KEY_CHAR;
                chr.keyboard.repeat = false;
                out.push_back(chr);
            }
        }
    }
    out.push_back(event);
    return out;
}

DaxGameLoop::DaxGameLoop(DaxLoopGameCallback* callback)
    : callback_(callback), queue_(al_create_event_queue()), previous_(dax_game_loop) {
    dax_game_loop = this;
}

DaxGameLoop::~DaxGameLoop() {
    if (started_) {
        finish();
    }
    if (dax_game_loop == this) {
        dax_game_loop = previous_;
    }
    // The loop owns the dialogs pushed on it; those still open go with it.
    std::deque<DaxDialogIfc*> left;
    left.swap(dialogs_);
    for (DaxDialogIfc* d : left) {
        delete d;
    }
}

void DaxGameLoop::readConfig(const char* ini_path) {
    daxIniOpenBase(ini_path);
    std::string user_ini = dax_config.user_dir_ + dax_config.usr_ini_;
    daxIniOpenOverlay(user_ini.c_str());
    loop_display_ = daxIniGetInt("daxk_debug", "loop_display", loop_display_);
    loop_x_ = daxIniGetInt("daxk_debug", "loop_x", loop_x_);
    loop_y_ = daxIniGetInt("daxk_debug", "loop_y", loop_y_);
    console_msg_timeout_ =
        secondsToHundredths(daxIniGetInt("daxk_debug", "console_msg_timeout", console_msg_timeout_ / 100));
    console_err_timeout_ =
        secondsToHundredths(daxIniGetInt("daxk_debug", "console_err_timeout", console_err_timeout_ / 100));
    if (console_err_timeout_ < console_msg_timeout_) {
        console_err_timeout_ = console_msg_timeout_;
    }
    daxIniOpenOverlay(nullptr);

    keyboard_repeat_ = daxIniGetInt("daxk", "keyboard_repeat", 1) != 0;
    max_skip_ = daxIniGetInt("daxk_timers", "max_skip", max_skip_);
    rest_dur_ms_ = daxIniGetInt("daxk_timers", "rest_dur_ms", rest_dur_ms_);
    normal_fps_ = daxIniGetInt("daxk_timers", "normal_fps", normal_fps_);

    if (normal_fps_ > 0) {
        frame_timer_.reset(al_create_timer(1.0 / normal_fps_));
        if (frame_timer_ && queue_) {
            al_register_event_source(queue_.get(), al_get_timer_event_source(frame_timer_.get()));
        }
    }
    stats_timer_.reset(al_create_timer(1.0));
    if (stats_timer_ && queue_) {
        al_register_event_source(queue_.get(), al_get_timer_event_source(stats_timer_.get()));
    }
}

void DaxGameLoop::start() {
    input_ = std::make_unique<gcn::Allegro5Input>();
    if (!keyboard_repeat_) {
        input_->setIgnoreKeyRepeat(true);
    }
    graphics_ = std::make_unique<gcn::Allegro5Graphics>();
    perf_frequency_ = daxPerfFrequency();

    screen_gui_ = std::make_unique<gcn::Gui>();
    dialog_gui_ = std::make_unique<gcn::Gui>();
    for (gcn::Gui* gui : {screen_gui_.get(), dialog_gui_.get()}) {
        gui->setInput(input_.get());
        gui->setGraphics(graphics_.get());
        gui->addGlobalKeyListener(this);
    }

    connectInputSources(true);
    if (frame_timer_ && !manual_ticks_) {
        al_start_timer(frame_timer_.get());
    }
    if (stats_timer_) {
        al_start_timer(stats_timer_.get());
    }

    pending_ticks_ = 0;
    seconds_ = 0;
    print_screen_ = DaxPrintScreenFix();
    daxInstallMsgDialogSink();  // class-1 messages open dialogs on this loop
    started_ = true;
    ended_ = false;
}

void DaxGameLoop::finish() {
    if (!started_) {
        return;
    }
    started_ = false;
    daxRemoveMsgDialogSink();
    if (frame_timer_) {
        al_stop_timer(frame_timer_.get());
    }
    if (stats_timer_) {
        al_stop_timer(stats_timer_.get());
    }
    connectInputSources(false);
    for (gcn::Gui* gui : {screen_gui_.get(), dialog_gui_.get()}) {
        gui->removeGlobalKeyListener(this);
    }
    dialog_gui_.reset();
    screen_gui_.reset();
    graphics_.reset();
    input_.reset();
}

void DaxGameLoop::connectInputSources(bool connect) {
    if (!queue_) {
        return;
    }
    // Whatever of keyboard, mouse and display this process has: a loop
    // without them (tests, tools) still runs its logic.
    std::vector<ALLEGRO_EVENT_SOURCE*> sources;
    if (al_is_keyboard_installed()) {
        sources.push_back(al_get_keyboard_event_source());
    }
    if (al_is_mouse_installed()) {
        sources.push_back(al_get_mouse_event_source());
    }
    if (ALLEGRO_DISPLAY* d = al_get_current_display()) {
        sources.push_back(al_get_display_event_source(d));
    }
    for (ALLEGRO_EVENT_SOURCE* source : sources) {
        if (connect) {
            al_register_event_source(queue_.get(), source);
        } else {
            al_unregister_event_source(queue_.get(), source);
        }
    }
}

void DaxGameLoop::run() {
    start();
    while (step()) {
    }
    finish();
}

bool DaxGameLoop::step() {
    if (!started_) {
        start();
    }
    if (ended_) {
        return false;
    }
    ALLEGRO_EVENT event;
    while (queue_ && al_get_next_event(queue_.get(), &event)) {
        handleEvent(event);
    }
    frame();
    return !ended_;
}

int DaxGameLoop::runPasses(int max_passes, const std::function<bool()>& until) {
    if (!started_) {
        start();
    }
    int n = 0;
    while (n < max_passes && !ended_) {
        if (until && until()) {
            break;
        }
        step();
        ++n;
    }
    return n;
}

void DaxGameLoop::handleEvent(const ALLEGRO_EVENT& event) {
    switch (event.type) {
    case ALLEGRO_EVENT_KEY_DOWN:
    case ALLEGRO_EVENT_KEY_CHAR:
    case ALLEGRO_EVENT_KEY_UP:
        for (const ALLEGRO_EVENT& e : print_screen_.process(event)) {
            if (input_) {
                input_->pushInput(e);
            }
        }
        break;
    case ALLEGRO_EVENT_TIMER:
        if (stats_timer_ && event.timer.source == stats_timer_.get()) {
            ++seconds_;
        } else if (frame_timer_ && event.timer.source == frame_timer_.get()) {
            ++pending_ticks_;
        }
        break;
    case ALLEGRO_EVENT_DISPLAY_CLOSE:
        if (callback_) {
            callback_->windowClosing();
        }
        if (dax_menu_handler) {
            dax_menu_handler->requestState(0);
        }
        break;
    default:
        // Mouse and joystick events; display and user events are not ours.
        if (event.type < ALLEGRO_EVENT_TIMER && input_) {
            input_->pushInput(event);
        }
        break;
    }
}

void DaxGameLoop::frame() {
    DaxMenuHandler* handler = dax_menu_handler;
    DAX_ASSERT(handler != nullptr);

    gcn::Container* new_top = handler->takeNewTopWidget();
    if (handler->currentQuits()) {
        ended_ = true;
        return;
    }
    if (new_top) {
        screen_gui_->setTop(new_top);
        handler->deleteUnneededInstances();
    }
    if (!screen_gui_->getTop()) {
        daxAssertFailed(kLoopSrc, 316, "no top widget for gui");
    }

    DaxDialogIfc* top = nullptr;
    if (!dialogs_.empty() && !(callback_ && callback_->dialogsBlocked())) {
        top = dialogs_.back();
    }
    if (top) {
        gcn::Container* c = top->getContainer();
        if (c != dialog_gui_->getTop()) {
            dialog_gui_->setTop(c);
        }
    }

    dax_msgmgr.frame();

    // Without a frame timer every frame runs one tick.
    if (!frame_timer_ && !manual_ticks_ && pending_ticks_ <= 0) {
        pending_ticks_ = 1;
    }
    uint64_t t0 = daxPerfCounter();
    DaxTickStep tick_step;
    tick_step.dialog_on_top = top != nullptr;
    tick_step.runs_game = handler->currentRunsGame();
    tick_step.catches_up = handler->currentCatchesUp();
    tick_step.max_skip = max_skip_;
    gcn::Gui* logic_gui = top ? dialog_gui_.get() : screen_gui_.get();
    last_ticks_ = daxRunLogicTicks(
        pending_ticks_, tick_step, [logic_gui] { logic_gui->logic(); },
        [this] {
            dax_gameclock.tick();
            if (callback_) {
                callback_->updateGame();
            }
        });
    dax_loop_stats.ticks += last_ticks_.ticks;
    uint64_t t1 = daxPerfCounter();
    dax_loop_stats.logic_time += t1 - t0;

    if (last_ticks_.logic_ran) {
        if (ALLEGRO_DISPLAY* display = al_get_current_display()) {
            al_set_target_backbuffer(display);
            screen_gui_->draw();
            if (dialog_gui_->getTop()) {
                dialog_gui_->draw();
            }
            drawOverlays(al_get_display_height(display));
            uint64_t t2 = daxPerfCounter();
            dax_loop_stats.draw_time += t2 - t1;
            al_flip_display();
            ++dax_loop_stats.flips;
            dax_loop_stats.flip_time += daxPerfCounter() - t2;
        }
    } else if (handler->currentRunsGame()) {
        if (rest_dur_ms_ > 0) {
            daxSleepMs(rest_dur_ms_);
        }
    } else {
        daxSleepMs(1);
    }

    if (top && top->isFinished()) {
        finishDialog(top);
    }

    ++dax_loop_stats.passes;
    if (seconds_ > 0) {
        dax_loop_stats.rollSecond(perf_frequency_);
        seconds_ = 0;
    }
}

void DaxGameLoop::finishDialog(DaxDialogIfc* dialog) {
    dialog_gui_->setTop(nullptr);
    // A dialog's ok handler may have pushed another dialog in the same
    // pass: remove the finished one itself, not whatever is on top now.
    auto it = std::find(dialogs_.begin(), dialogs_.end(), dialog);
    if (it != dialogs_.end()) {
        dialogs_.erase(it);
    }
    delete dialog;
}

void DaxGameLoop::pushDialog(DaxDialogIfc* dialog) {
    if (!dialog || std::find(dialogs_.begin(), dialogs_.end(), dialog) != dialogs_.end()) {
        return;
    }
    dialogs_.push_back(dialog);
}

void DaxGameLoop::keyPressed(gcn::KeyEvent& event) {
    if (event.isConsumed()) {
        return;
    }
    if (!dialogs_.empty() && dialogs_.back()) {
        dialogs_.back()->keyPressed(event);
    } else if (dax_menu_handler) {
        dax_menu_handler->dispatchKey(event);
    }
}

bool DaxGameLoop::expireConsole(std::deque<DaxConsoleEntry>& queue, uint32_t now, int msg_timeout,
                                int err_timeout) {
    bool important = false;
    for (const DaxConsoleEntry& e : queue) {
        important = important || e.important;
    }
    const int64_t timeout = important ? err_timeout : msg_timeout;
    // Ages by unsigned difference: the real-time counter wraps.
    while (!queue.empty() && static_cast<int64_t>(static_cast<uint32_t>(now - queue.front().time)) >= timeout) {
        queue.pop_front();
    }
    return important;
}

void DaxGameLoop::drawOverlays(int display_height) {
    if (!graphics_) {
        return;
    }
    drawConsole(display_height);
    if (loop_display_ != 0) {
        drawStatistics(display_height);
    }
}

void DaxGameLoop::drawConsole(int display_height) {
    DaxMutexLock lock(DaxLog::consoleMutex());
    std::deque<DaxConsoleEntry>& queue = DaxLog::consoleQueue();
    const bool important = expireConsole(queue, daxRealTime(), console_msg_timeout_, console_err_timeout_);
    const int show = dax_config.console_show_;
    gcn::Font* font = dax_config.overlay_font_.get();
    if (show <= 0 || queue.empty() || !(show > 1 || important) || !font) {
        return;
    }
    const int line_height = font->getHeight() + 2;
    const int x = loop_x_;
    int y = loop_y_ < 0 ? display_height + loop_y_ - static_cast<int>(queue.size()) * line_height : loop_y_;
    graphics_->_beginDraw();
    graphics_->setFont(font);
    for (const DaxConsoleEntry& e : queue) {
        if (y >= line_height) {
            graphics_->setColor(kConsoleBack);
            graphics_->fillRectangle(gcn::Rectangle(x, y, font->getWidth(e.text) + 2, line_height));
            graphics_->setColor(kConsoleText);
            graphics_->drawText(e.text, x + 1, y, gcn::Graphics::Left);
        }
        y += line_height;
    }
    graphics_->_endDraw();
}

void DaxGameLoop::drawStatistics(int display_height) {
    gcn::Font* font = dax_config.overlay_font_.get();
    if (!font) {
        return;
    }
    const DaxLoopStats& s = dax_loop_stats;
    char text[128];
    std::snprintf(text, sizeof(text), "fps=%3d/%3d/%3d cpu=%3d/%3d/%3d", s.last_ticks, s.last_flips, s.last_passes,
                  s.last_logic_pct, s.last_draw_pct, s.last_flip_pct);
    const int h = font->getHeight();
    const int x = loop_x_;
    const int y = loop_y_ < 0 ? display_height + loop_y_ - h : loop_y_;
    graphics_->_beginDraw();
    graphics_->setFont(font);
    graphics_->setColor(kConsoleBack);
    graphics_->fillRectangle(gcn::Rectangle(x, y, font->getWidth(text) + 4, h + 4));
    graphics_->setColor(kConsoleText);
    graphics_->drawText(text, x + 2, y + 2, gcn::Graphics::Left);
    graphics_->_endDraw();
}
