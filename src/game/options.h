#pragma once

// The options file: the player's name and the sound switch, read once at start-up and
// written once at exit.
//
// Layout: the name, one byte per character (the low 8 bits), then CR LF, then SoundOn as a
// signed 32-bit little-endian integer.

#include "runtime/string.h"
#include "stream/stream.h"

namespace morvelle {

inline constexpr char16_t OPTIONS_FILE[] = u"Data/Options";

// The name the name entry offers before any options file: the login name, from USERNAME, or
// when that is unset or empty from USER, then LOGNAME (Linux sessions seldom set USERNAME);
// empty when none is set.
vexel::String DefaultPlayerName();

// Reads the options file, replacing PlayerName and SoundOn; keeps the defaults when there
// is no file. A damaged file never stops the game: a name without its integer keeps the
// name and leaves SoundOn alone, and a name line longer than any name keeps both defaults.
void LoadOptions();
// Writes PlayerName and SoundOn, replacing the file atomically. Run at exit.
void SaveOptions();

// The reading and writing of the bytes, over any stream.
void ReadOptions(vexel::TStream& stream);
bool WriteOptions(vexel::TStream& stream);

}  // namespace morvelle
