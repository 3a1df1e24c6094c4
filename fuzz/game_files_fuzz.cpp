// The game's two loaders over the same bytes: the options file, then the high-score table.
// Whatever the bytes, loading ends quickly with a bounded table and bounded names.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "game/game_state.h"
#include "game/highscore.h"
#include "game/options.h"
#include "game/saved_files.h"
#include "stream/memory_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace morvelle;
    ResetGameState();
    const auto stream = vexel::TMemoryStream::CreateBorrowed(std::span(data, size), nullptr);
    ReadOptions(*stream);
    if (Game().PlayerName.size() > size_t{MAX_NAME_BYTES}) std::abort();

    stream->Seek(0);
    THighscore::ReadFrom(*stream);
    const GameState& game = Game();
    if (game.HighscoreList.Count() > size_t{THighscore::MAX_LOADED_RECORDS}) std::abort();
    int64_t previous = INT64_MAX;
    for (const HighscorePtr& entry : Game().HighscoreList) {
        // Best first, and no name longer than the bound.
        if (entry->Points > previous || entry->Name.size() > size_t{MAX_NAME_BYTES}) std::abort();
        previous = entry->Points;
    }
    if (stream->Pos() > THighscore::MAX_LOADED_RECORDS * (MAX_NAME_BYTES + 6)) std::abort();
    ResetGameState();
    return 0;
}
