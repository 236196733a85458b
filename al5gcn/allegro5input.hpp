// The input back end on Allegro 5. It is not polled: the game loop hands it
// each keyboard and mouse event through pushInput, and it queues zero or
// one key or mouse record per event for the gui.
#pragma once

#include <allegro5/allegro.h>

#include <array>
#include <deque>

#include "gcn/input.hpp"

namespace gcn {

class Allegro5Input : public Input {
public:
    Allegro5Input();

    bool isKeyQueueEmpty() override { return key_queue_.empty(); }
    // Raises "Key queue is empty." on an empty queue.
    KeyInput dequeueKeyInput() override;
    bool isMouseQueueEmpty() override { return mouse_queue_.empty(); }
    // Raises "Mouse queue is empty." on an empty queue.
    MouseInput dequeueMouseInput() override;
    void _pollInput() override {}
    void setIgnoreKeyRepeat(bool ignore) override { ignore_key_repeat_ = ignore; }
    bool getIgnoreKeyRepeat() override { return ignore_key_repeat_; }

    // Key down (only with a character), key char, key up, mouse axes and
    // buttons; other events are ignored.
    void pushInput(const ALLEGRO_EVENT& event);

    // The key value of an Allegro key code: the special keys' values, else
    // the character.
    static int convertKeyCode(int keycode, int unichar);
    // Keypad digits, slash, minus and plus.
    static bool isNumericPadKey(int keycode);

private:
    void pushKey(const ALLEGRO_KEYBOARD_EVENT& event, int type, int unichar);
    void pushMouse(const ALLEGRO_MOUSE_EVENT& event, int type, int button);

    std::deque<KeyInput> key_queue_;
    std::deque<MouseInput> mouse_queue_;
    bool ignore_key_repeat_ = false;
    // The character of the last key char event per key code: key-up events
    // carry none on some platforms, yet a released Space or Enter must still
    // read as that key.
    std::array<int, ALLEGRO_KEY_MAX> last_char_{};
};

}  // namespace gcn
