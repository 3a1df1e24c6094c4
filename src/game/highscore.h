#pragma once

// The high-score table: entries of a name and points, best first, kept in the file
// "High.Score" and shown by the high-score screen with the newest entry highlighted.
//
// File layout: at most ten records in table order, no header; each record is the name, one
// byte per character (the low 8 bits), CR LF, then the points as a signed 32-bit
// little-endian integer.

#include <cstdint>

#include "game/game_state.h"
#include "runtime/object.h"
#include "stream/stream.h"

namespace morvelle {

class THighscore : public vexel::Object {
  public:
    static constexpr char16_t FILE_PATH[] = u"Data/High.Score";
    // Entries shown on the screen and written to the file.
    static constexpr int32_t SHOWN_ENTRIES = 10;
    // Records read from one file at most: the game writes ten, so anything far beyond that
    // is damage and not worth the time.
    static constexpr int32_t MAX_LOADED_RECORDS = 100;

    String Name;
    int32_t Points = 0;

    // Name + " ~ " + Points.
    String ToString() const override;
    // The other entry's points minus this one's (saturated to the range of an int), so that
    // an ascending sort puts the higher score first.
    int Compare(const vexel::Object& other) const override;

    // Puts a new entry at the front of HighscoreList, sorts the list stably (so the new
    // entry ends above older ones with the same points) and makes it LastHighscore.
    static void Add(const String& name, int32_t points);
    // Writes the first ten entries, replacing the file atomically. Run at exit.
    static void Save();
    // Reads the table at start-up, or fills it with the default entries when there is no
    // file. Clears LastHighscore.
    static void Load();
    // Ten entries named "Orlan" with 15i² + 10i + 10 points, i = 0 .. 9.
    static void Fill();
    // Draws the first ten rows, the newest entry on a green bar, in the high-score screen's
    // layout.
    static void Draw();

    // The records of a file, added one by one; stops before a record that is cut short or
    // whose name is longer than any name, keeping every complete record before it.
    static void ReadFrom(vexel::TStream& stream);
    static bool WriteTo(vexel::TStream& stream);
};

}  // namespace morvelle
