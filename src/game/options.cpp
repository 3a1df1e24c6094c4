#include "game/options.h"

#include "game/game_state.h"
#include "game/saved_files.h"
#include "runtime/startup.h"
#include "stream/stream_exception.h"
#include "stream/text_stream.h"

namespace morvelle {

String DefaultPlayerName() {
    for (const char16_t* variable : {u"USERNAME", u"USER", u"LOGNAME"}) {
        String name = vexel::GetEnvVar(variable);
        if (!name.empty()) return name;
    }
    return {};
}

void ReadOptions(vexel::TStream& stream) {
    GameState& game = Game();
    String name;
    if (!vexel::ReadBoundedLine(stream, MAX_NAME_BYTES, name)) return;
    game.PlayerName = name;
    try {
        game.SoundOn = stream.ReadInt();
    } catch (const vexel::TStreamReadException&) {
        // The file ends before the switch: keep the name that was read and the sound as it
        // was.
    }
}

bool WriteOptions(vexel::TStream& stream) {
    const GameState& game = Game();
    if (!stream.WriteLine(game.PlayerName)) return false;
    stream.WriteInt(game.SoundOn);
    return true;
}

void LoadOptions() {
    LoadGameFile(OPTIONS_FILE, ReadOptions);
}

void SaveOptions() {
    SaveGameFile(OPTIONS_FILE, WriteOptions);
}

}  // namespace morvelle
