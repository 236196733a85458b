// Numbered texts and in-game messages: DaxStringMgr looks every text the
// player reads up by number (language file and script imports); DaxMsgMgr
// time-stamps, logs and shows posted game messages by their display class.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>

#include "dax2/dax_clock.h"
#include "dax2/dax_geometry.h"

// Whether the printf format fmt takes exactly the argument kinds of sig, one
// letter per argument in order: 'd' int, 'u' unsigned, 's' const char*, 'f'
// double. Widths and precisions given as '*', positional arguments, %n, %p
// and long integers never fit.
bool daxFormatFits(const char* fmt, const char* sig);

// The numbered texts of the current language. Texts imported by scripts win
// over those of the language file. The implementation object is made by the
// first load (loadLanguage, loadFile or addString).
//
// Texts used as printf formats come from files the program does not control,
// so a format is never run with arguments it does not take: the program
// declares the arguments of each such text, a declared text is checked as
// soon as it is known, and a text that does not fit is reported and shown as
// it stands.
class DaxStringMgr {
public:
    DaxStringMgr();
    ~DaxStringMgr();
    DaxStringMgr(const DaxStringMgr&) = delete;
    DaxStringMgr& operator=(const DaxStringMgr&) = delete;

    // The text of a number: imported texts first, then the language texts.
    // Raises "DaxStringMgr has no implementation object" before any load and
    // "string %d not found" for an unknown number. The reference stays valid
    // until that number's text is replaced or the imported texts are cleared.
    const std::string& get(int number) const;
    // Whether get(number) would find a text (never raises).
    bool hasString(int number) const;

    // Reads "language" of section "system" from lang_ini (base) with the
    // user ini as overlay (default "en"), stores it in dax_config.language_,
    // finds shrt_name.language.txt on the search path and reads it as the
    // language texts. Raises "<language key>: can't find file %s ... in
    // <search path>" or "cannot open file %s".
    void loadLanguage(const char* lang_ini);

    // Reads a text file of numbered lines into the imported texts (imported
    // true) or the language texts. A later line with the same number replaces
    // an earlier text. Raises "cannot open file %s".
    //
    // Format: a line starting with '#' is a comment; the first token (up to a
    // blank or tab) is the number (atoi rule); the text is the rest of the
    // line after the one separator; a number below 1 or an empty text skips
    // the line; each '\' in the text becomes a line break. A trailing CR is
    // dropped; a UTF-8 byte-order mark at the start is ignored; long lines
    // are read whole.
    void loadFile(const char* path, bool imported);

    // Stores text under number in the imported or language texts, only when
    // the number is in neither; returns whether it stored it.
    bool addString(int number, const std::string& text, bool imported);

    // Forgets the imported texts (a new game).
    void clearImported();

    // Declares that text `number` is used as a printf format with the
    // argument kinds of sig (as for daxFormatFits). A declared text is
    // checked now if it exists and whenever a load or addString changes it:
    // one that does not fit is logged (level 1) once per text. Declaring a
    // number again with other kinds is a fatal check.
    void declareFormat(int number, const char* sig);
    // The kinds declared for text `number`, null when it has none.
    const char* declaredFormat(int number) const;

    // Text `number` used as a printf format with the arguments that follow,
    // whose kinds sig names, written into buf of size bytes (terminated; a
    // longer result is cut). A text that does not fit sig is copied as it
    // stands (and logged once); a missing text gives "#<number>". A sig
    // other than the one declared for the number is a fatal check. Returns
    // the length written.
    size_t format(char* buf, size_t size, int number, const char* sig, ...);
    size_t vformat(char* buf, size_t size, int number, const char* sig, va_list args);

private:
    class Impl;
    std::unique_ptr<Impl> impl_;

    Impl& impl();
    // Checks the declared texts; only number when it is not 0.
    void checkFormats(int number);
};

// One posted message.
struct DaxMessage {
    uint32_t real_time_ = 0;  // daxRealTime when it was posted
    DaxGameTime game_time_;
    int number_ = 0;
    std::string text_;
    DaxMapPositionI pos_ = DaxMapPositionI::none();
};

// Jumps the view to a message's map position; the main map registers itself.
class DaxMsgGotoCallback {
public:
    virtual ~DaxMsgGotoCallback() = default;
    virtual void gotoPosition(DaxMapPositionI pos) = 0;
};

class DaxMsgMgr;

// Opens the dialog of a class-1 message (a message dialog on the game
// loop's dialog stack); implemented by the dialog and game-loop code.
class DaxMsgDialogSinkIfc {
public:
    virtual ~DaxMsgDialogSinkIfc() = default;
    // mgr is the manager that posted msg (the dialog stores the chosen class
    // through it); msg is only valid during the call.
    virtual void showMessageDialog(DaxMsgMgr& mgr, const DaxMessage& msg) = 0;
};

// Display classes of a message number (msg.ini, section "msg").
enum : int {
    kDaxMsgDialog = 1,  // a message dialog
    kDaxMsgScreen = 2,  // the on-screen message list
    kDaxMsgLogOnly = 3, // the log only
};

// The game's message manager: keeps the history of posted messages, the
// on-screen list (oldest first, at most msg_num_lines long) and the display
// class of every number seen so far.
class DaxMsgMgr {
public:
    DaxMsgMgr();
    ~DaxMsgMgr();
    DaxMsgMgr(const DaxMsgMgr&) = delete;
    DaxMsgMgr& operator=(const DaxMsgMgr&) = delete;

    // Time-stamps the message (real and game time), appends it to the
    // history, logs it and shows it by its class: class 1 through the dialog
    // sink, class 2 on the on-screen list, class 3 nowhere else.
    void post(int number, const std::string& text, DaxMapPositionI pos);
    // post with no map position.
    void postNoPos(int number, const std::string& text);

    // The display class of a number: cached, else read from the user
    // directory's msg.ini (opened as base ini, and left open as base). Without
    // an entry: 2 below 2200, 1 from 2200 on. 3 and 2 are kept, any other
    // value reads as 1.
    int modeOf(int number);
    // Sets the class (values other than 2 and 3 count as 1); when it changed,
    // writes it to msg.ini (opened as base) and saves the dirty ini files.
    void setMode(int number, int mode);

    // Per-frame step: drops the oldest on-screen message once it has been
    // shown longer than msg_show_timeout seconds; at most one per frame.
    void frame();
    // The same at real time now (hundredths of a second, as daxRealTime).
    void frame(uint32_t now);
    // Whether a message posted at real time posted has been shown longer
    // than timeout_s seconds at real time now. Compared by unsigned
    // difference, so the wrap of the 32-bit real time does not matter; a
    // negative timeout counts as 0.
    static bool expired(uint32_t posted, uint32_t now, int timeout_s);

    // The callback the message dialogs use to jump to a position; not
    // owned; null clears it.
    void setGotoCallback(DaxMsgGotoCallback* callback) { goto_callback_ = callback; }
    DaxMsgGotoCallback* gotoCallback() const { return goto_callback_; }

    // Where class-1 messages go; not owned; null: they are only logged.
    void setDialogSink(DaxMsgDialogSinkIfc* sink) { dialog_sink_ = sink; }
    DaxMsgDialogSinkIfc* dialogSink() const { return dialog_sink_; }

    // The on-screen list, oldest first.
    const std::deque<DaxMessage>& screenMessages() const { return screen_queue_; }
    size_t screenCount() const { return screen_queue_.size(); }
    // On-screen message i; an index past the list is a fatal check.
    const DaxMessage& screenMessage(size_t i) const;

    // Every message posted since the start, oldest first.
    const std::deque<DaxMessage>& history() const { return history_; }

private:
    std::map<int, int> mode_cache_;
    std::deque<DaxMessage> screen_queue_;
    std::deque<DaxMessage> history_;
    DaxMsgGotoCallback* goto_callback_ = nullptr;
    DaxMsgDialogSinkIfc* dialog_sink_ = nullptr;
};

extern DaxStringMgr dax_strings;
extern DaxMsgMgr dax_msgmgr;
