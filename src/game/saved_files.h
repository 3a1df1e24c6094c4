#pragma once

// The game's own files (the options and the high-score table): which folder holds them and
// under which names. They are read without trusting what is at their path and replaced
// through the framework's all-or-nothing save. Main thread only.

#include <cstdint>
#include <functional>

#include "runtime/string.h"
#include "stream/stream.h"

namespace morvelle {

using vexel::String;

// The folder beside the executable that ships the game's data.
inline constexpr char16_t DATA_FOLDER[] = u"Data";

// The longest name line the loaders accept, in bytes. The game itself writes names of at
// most 16 characters (or the login name); anything far longer is damage, and the bound keeps
// a hostile file from costing more than a few kilobytes of reading.
inline constexpr int32_t MAX_NAME_BYTES = 1024;

// True in a packaged build (the build option MORVELLE_PER_USER_DATA): the player's files
// then always go to the per-user folder, never into the installed tree.
bool PackagedBuild();

// Picks the folder the saved files live in for this run: "Data" when it can be written and
// `per_user_data` is false; otherwise the per-user data folder of "morvelle"
// ($XDG_DATA_HOME/morvelle, by default ~/.local/share/morvelle), created when missing.
// Stored in the game state's SaveFolder.
void ChooseSaveFolder(bool per_user_data = PackagedBuild());

// Where the file "Data/<name>" is written: "<save folder>/<name>".
String SavedFilePath(const String& data_path);
// Where "Data/<name>" is read from: the save folder's file when anything is there, else the
// one in "Data" (which an installed game may ship).
String SavedFileToRead(const String& data_path);

// Saves the game's file "Data/<name>" into the save folder, all or nothing; a failure leaves
// the old file and says which file and why in one line on standard error. A file that
// LoadGameFile found but could not read is not saved: it is left as it is.
void SaveGameFile(const String& data_path, const std::function<bool(vexel::TStream&)>& write);

// Opens the game's file "Data/<name>" where SavedFileToRead finds it and hands it to `read`;
// false when there is no such file, or when it exists but cannot be read (its permissions,
// something other than a regular file, an I/O error): then one line on standard error says
// which file and why, and the file is not saved this run.
bool LoadGameFile(const String& data_path, const std::function<void(vexel::TStream&)>& read);

}  // namespace morvelle
