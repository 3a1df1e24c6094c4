#pragma once

// The game's own files (the options and the high-score table): which folder holds them,
// how they are read without trusting their bytes, and how they are replaced without ever
// leaving a half-written file behind. Main thread only.

#include <cstdint>
#include <functional>

#include "runtime/string.h"
#include "stream/stream.h"

namespace morvelle {

using vexel::String;

// The folder beside the executable that ships the game's data.
inline constexpr char16_t kDataFolder[] = u"Data";

// The longest name line the loaders accept, in bytes. The game itself writes names of at
// most 16 characters (or the login name); anything far longer is damage, and the bound keeps
// a hostile file from costing more than a few kilobytes of reading.
inline constexpr int32_t kMaxNameBytes = 1024;

// Picks the folder the saved files live in for this run: "Data" when it can be written;
// otherwise $XDG_DATA_HOME/morvelle (by default ~/.local/share/morvelle), created when
// missing. Stored in the game state's SaveFolder.
void ChooseSaveFolder();

// Where the file "Data/<name>" is written: "<save folder>/<name>".
String SavedFilePath(const String& data_path);
// Where "Data/<name>" is read from: the save folder's file when it exists, else the one in
// "Data" (which an installed game may ship).
String SavedFileToRead(const String& data_path);

// Replaces the file at `path` with what `write` puts into a stream. The bytes go to a new
// file in the same folder, which is flushed, synced to the disk and renamed over `path`; if
// `write` returns false or throws a stream exception, or any step fails, the old file stays
// as it was and the new one is removed. Returns whether `path` now holds the new bytes.
bool SaveFileAtomically(const String& path, const std::function<bool(vexel::TStream&)>& write);

// Saves the game's file "Data/<name>" into the save folder through SaveFileAtomically; a
// failure leaves the old file and says so in one line on standard error.
void SaveGameFile(const String& data_path, const std::function<bool(vexel::TStream&)>& write);

// Opens the game's file "Data/<name>" where SavedFileToRead finds it and hands it to `read`;
// nothing happens when there is no such file.
void LoadGameFile(const String& data_path, const std::function<void(vexel::TStream&)>& read);

// Reads a line as TStream::ReadLine does (up to LF, a 0 byte or the end; CR dropped), but
// stores at most `limit` bytes: false when the line is longer, with the stream left just past
// the byte that broke the limit.
bool ReadBoundedLine(vexel::TStream& stream, int32_t limit, String& line);

}  // namespace morvelle
