// The program from start to end: display, screens, game loop and the game's
// configuration, run in the working directory that holds "zor.ini".
#pragma once

#include <functional>

class DaxGameLoop;

// Runs the program. drive replaces the loop's run() (tests step the loop
// themselves); it gets the loop after all settings are read. Returns 0; a
// DaxException that reaches it ends the process as a fatal check.
int rnRunProgram(const char* program_path, const std::function<void(DaxGameLoop&)>& drive = {});

// The version text the window title and the version dialog show.
extern const char* const kRnVersionText;
