#include "al5gcn/allegro5input.hpp"

#include "gcn/exception.hpp"
#include "gcn/key.hpp"

namespace gcn {

Allegro5Input::Allegro5Input() = default;

KeyInput Allegro5Input::dequeueKeyInput() {
    if (key_queue_.empty()) {
        throw GCN_EXCEPTION("Key queue is empty.", "gcn::Allegro5Input::dequeueKeyInput");
    }
    KeyInput k = key_queue_.front();
    key_queue_.pop_front();
    return k;
}

MouseInput Allegro5Input::dequeueMouseInput() {
    if (mouse_queue_.empty()) {
        throw GCN_EXCEPTION("Mouse queue is empty.", "gcn::Allegro5Input::dequeueMouseInput");
    }
    MouseInput m = mouse_queue_.front();
    mouse_queue_.pop_front();
    return m;
}

int Allegro5Input::convertKeyCode(int keycode, int unichar) {
    if (keycode >= ALLEGRO_KEY_F1 && keycode <= ALLEGRO_KEY_F12) {
        return Key::F1 + (keycode - ALLEGRO_KEY_F1);
    }
    switch (keycode) {
    case ALLEGRO_KEY_ESCAPE:
        return Key::Escape;
    case ALLEGRO_KEY_BACKSPACE:
        return Key::Backspace;
    case ALLEGRO_KEY_ENTER:
    case ALLEGRO_KEY_PAD_ENTER:
        return Key::Enter;
    case ALLEGRO_KEY_INSERT:
        return Key::Insert;
    case ALLEGRO_KEY_DELETE:
    case ALLEGRO_KEY_PAD_DELETE:
        return Key::Delete;
    case ALLEGRO_KEY_HOME:
        return Key::Home;
    case ALLEGRO_KEY_END:
        return Key::End;
    case ALLEGRO_KEY_PGUP:
        return Key::PageUp;
    case ALLEGRO_KEY_PGDN:
        return Key::PageDown;
    case ALLEGRO_KEY_LEFT:
        return Key::Left;
    case ALLEGRO_KEY_RIGHT:
        return Key::Right;
    case ALLEGRO_KEY_UP:
        return Key::Up;
    case ALLEGRO_KEY_DOWN:
        return Key::Down;
    case ALLEGRO_KEY_PRINTSCREEN:
        return Key::PrintScreen;
    case ALLEGRO_KEY_PAUSE:
        return Key::Pause;
    case ALLEGRO_KEY_LSHIFT:
        return Key::LeftShift;
    case ALLEGRO_KEY_RSHIFT:
        return Key::RightShift;
    case ALLEGRO_KEY_LCTRL:
        return Key::LeftControl;
    case ALLEGRO_KEY_RCTRL:
        return Key::RightControl;
    case ALLEGRO_KEY_ALT:
        return Key::LeftAlt;
    case ALLEGRO_KEY_ALTGR:
        return Key::RightAlt;
    case ALLEGRO_KEY_LWIN:
        return Key::LeftMeta;
    case ALLEGRO_KEY_RWIN:
        return Key::RightMeta;
    case ALLEGRO_KEY_SCROLLLOCK:
        return Key::ScrollLock;
    case ALLEGRO_KEY_NUMLOCK:
        return Key::NumLock;
    case ALLEGRO_KEY_CAPSLOCK:
        return Key::CapsLock;
    default:
        return unichar;
    }
}

bool Allegro5Input::isNumericPadKey(int keycode) {
    return (keycode >= ALLEGRO_KEY_PAD_0 && keycode <= ALLEGRO_KEY_PAD_9) || keycode == ALLEGRO_KEY_PAD_SLASH ||
           keycode == ALLEGRO_KEY_PAD_MINUS || keycode == ALLEGRO_KEY_PAD_PLUS;
}

void Allegro5Input::pushKey(const ALLEGRO_KEYBOARD_EVENT& event, int type, int unichar) {
    KeyInput k(Key(convertKeyCode(event.keycode, unichar)), type);
    const unsigned int mods = event.modifiers;
    k.setShiftPressed((mods & ALLEGRO_KEYMOD_SHIFT) != 0);
    k.setControlPressed((mods & ALLEGRO_KEYMOD_CTRL) != 0);
    k.setAltPressed((mods & ALLEGRO_KEYMOD_ALT) != 0);
    k.setMetaPressed((mods & (ALLEGRO_KEYMOD_LWIN | ALLEGRO_KEYMOD_RWIN | ALLEGRO_KEYMOD_COMMAND)) != 0);
    k.setNumericPad(isNumericPadKey(event.keycode));
    key_queue_.push_back(k);
}

void Allegro5Input::pushMouse(const ALLEGRO_MOUSE_EVENT& event, int type, int button) {
    // No time stamp: presses of the same button always count as quick.
    mouse_queue_.push_back(MouseInput(button, type, event.x, event.y, 0));
}

void Allegro5Input::pushInput(const ALLEGRO_EVENT& event) {
    const ALLEGRO_KEYBOARD_EVENT& kb = event.keyboard;
    // Hand-made events may carry any key code: only real ones are remembered.
    const bool known_key = kb.keycode > 0 && kb.keycode < ALLEGRO_KEY_MAX;
    switch (event.type) {
    case ALLEGRO_EVENT_KEY_DOWN:
    case ALLEGRO_EVENT_KEY_CHAR:
        if (event.type == ALLEGRO_EVENT_KEY_DOWN && kb.unichar == 0) {
            break;
        }
        if (ignore_key_repeat_ && kb.repeat) {
            break;
        }
        if (known_key) {
            last_char_[kb.keycode] = kb.unichar;
        }
        pushKey(kb, KeyInput::Pressed, kb.unichar);
        break;
    case ALLEGRO_EVENT_KEY_UP: {
        int unichar = kb.unichar;
        if (known_key) {
            if (unichar == 0) {
                unichar = last_char_[kb.keycode];
            }
            last_char_[kb.keycode] = 0;
        }
        pushKey(kb, KeyInput::Released, unichar);
        break;
    }
    case ALLEGRO_EVENT_MOUSE_AXES: {
        int type = MouseInput::Moved;
        if (event.mouse.dz > 0) {
            type = MouseInput::WheelMovedUp;
        } else if (event.mouse.dz < 0) {
            type = MouseInput::WheelMovedDown;
        }
        pushMouse(event.mouse, type, MouseInput::Empty);
        break;
    }
    case ALLEGRO_EVENT_MOUSE_BUTTON_DOWN:
    case ALLEGRO_EVENT_MOUSE_BUTTON_UP: {
        int button = MouseInput::Middle;
        if (event.mouse.button == 1) {
            button = MouseInput::Left;
        } else if (event.mouse.button == 2) {
            button = MouseInput::Right;
        }
        pushMouse(event.mouse,
                  event.type == ALLEGRO_EVENT_MOUSE_BUTTON_DOWN ? MouseInput::Pressed : MouseInput::Released, button);
        break;
    }
    default:
        break;
    }
}

}  // namespace gcn
