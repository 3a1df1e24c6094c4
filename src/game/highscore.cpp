#include "game/highscore.h"

#include <algorithm>
#include <limits>

#include "game/saved_files.h"
#include "game/text_and_sound.h"
#include "graphics/vex2d.h"
#include "stream/stream_exception.h"
#include "stream/text_stream.h"

namespace morvelle {

String THighscore::ToString() const {
    return Name + u" ~ " + vexel::IntToString(Points);
}

int THighscore::Compare(const vexel::Object& other) const {
    const auto& entry = static_cast<const THighscore&>(other);
    const int64_t difference = int64_t{entry.Points} - Points;
    return static_cast<int>(std::clamp<int64_t>(difference, std::numeric_limits<int>::min(),
                                                std::numeric_limits<int>::max()));
}

void THighscore::Add(const String& name, int32_t points) {
    GameState& game = Game();
    auto entry = std::make_shared<THighscore>();
    entry->Name = name;
    entry->Points = points;
    game.HighscoreList.AddFirst(entry);
    game.HighscoreList.Sort(
        [](const HighscorePtr& a, const HighscorePtr& b) { return a->Compare(*b) < 0; });
    game.LastHighscore = std::move(entry);
}

bool THighscore::WriteTo(vexel::TStream& stream) {
    int32_t written = 0;
    for (const HighscorePtr& entry : Game().HighscoreList) {
        if (written++ == SHOWN_ENTRIES) break;
        if (!stream.WriteLine(entry->Name)) return false;
        stream.WriteInt(entry->Points);
    }
    return true;
}

void THighscore::Save() {
    SaveGameFile(FILE_PATH, WriteTo);
}

void THighscore::ReadFrom(vexel::TStream& stream) {
    for (int32_t records = 0; records < MAX_LOADED_RECORDS && !stream.Eof(); ++records) {
        String name;
        if (!vexel::ReadBoundedLine(stream, MAX_NAME_BYTES, name)) return;
        int32_t points = 0;
        try {
            points = stream.ReadInt();
        } catch (const vexel::TStreamReadException&) {
            return;
        }
        Add(name, points);
    }
}

void THighscore::Load() {
    bool found = false;
    LoadGameFile(FILE_PATH, [&found](vexel::TStream& stream) {
        found = true;
        ReadFrom(stream);
    });
    if (!found) Fill();
    Game().LastHighscore = nullptr;
}

void THighscore::Draw() {
    GameState& game = Game();
    const float width = static_cast<float>(game.ScreenWidth);
    const float height = static_cast<float>(game.ScreenHeight);
    int32_t rank = 0;
    for (const HighscorePtr& entry : game.HighscoreList) {
        if (++rank > SHOWN_ENTRIES) break;
        const int32_t y = ToInt(height * 0.025f + height * 0.07f * static_cast<float>(rank));
        const float row = static_cast<float>(y);
        if (entry == game.LastHighscore) {
            vexel::SetDrawColor(64, 200, 64);
            vexel::DrawRectangle(width * 0.2f, row - 16, width * 0.6f, 32);
        }
        // White on its outline, like every text of the game, also on the green bar.
        vexel::SetDrawColor(255, 255, 255);
        DrawTextAligned(vexel::IntToString(rank) + u".", width * 0.25f, row, 1, 0.5f);
        DrawTextAligned(entry->Name, width * 0.5f, row, 0.5f, 0.5f);
        DrawTextAligned(vexel::IntToString(entry->Points), width * 0.77f, row, 1, 0.5f);
    }
    vexel::SetDrawColor(255, 255, 255);
}

void THighscore::Fill() {
    for (int32_t i = 0; i < 10; ++i) {
        Add(u"Orlan", 15 * i * i + 10 * i + 10);
    }
    Game().LastHighscore = nullptr;
}

}  // namespace morvelle
