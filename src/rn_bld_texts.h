// The texts of roads and buildings: each kind's info text (its state, for the
// player) and debug text (timers, links and walkers, for the developer), and
// the pieces the interface's texts share with them. Words the player reads
// are numbered texts of the language file used as printf formats; a format
// is checked against the arguments before it is used, so a faulty language
// file shows a wrong text, never a crash.
#pragma once

#include <cstdint>
#include <string>

class RnGenericBuilding;
class RnWalkerGeneric;

// The numbered text, or "#<number>" when the language has none.
std::string rnMsg(int number);

// Appends numbered text `number` used as a printf format with the arguments
// that follow. sig names their kinds in order: 'd' int, 'u' unsigned, 's'
// const char*, 'f' double (daxFormatFits). A text whose conversions do not
// take exactly those kinds is appended as it stands, and logged once.
void rnAppendMsg(std::string& buf, int number, const char* sig, ...);

// Declares every numbered text the game uses as a format with the kinds of
// its arguments, so that the texts are checked as soon as they are loaded
// (DaxStringMgr::declareFormat). The program calls it once at start-up.
void rnDeclareTextFormats();

// How much debug output the tile and building texts carry: 0 none, 1 to 4
// more and more (the user's map_display setting, read only with debugging
// enabled).
int rnTextDebugLevel();

// The supply line of a building short of building material: "\n" and text
// 2148 with the supply in per cent and the goods' name; nothing otherwise.
void rnAppendSupplyLine(const RnGenericBuilding& b, std::string& buf);

// One walker's debug line: "\nWlk:[id] passed=<steps>", with its home when
// with_home, " trg=[id]" when it heads for a building, its cached steps
// (" n{...}", at most max_steps of them; with braces_always also for none),
// then " kill" or " return".
void rnAppendWalkerLine(std::string& buf, const RnWalkerGeneric& w, bool with_home, bool braces_always,
                        int max_steps);
