#include "game/options.h"

#include <cstdio>

#include "game/game_state.h"
#include "game/saved_files.h"
#include "stream/stream_factory.h"

namespace morvelle {

void ReadOptions(vexel::TStream& stream) {
    GameState& game = Game();
    String name;
    if (!ReadBoundedLine(stream, kMaxNameBytes, name)) return;
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
    const vexel::StreamPtr stream = vexel::OpenFileRead(SavedFileToRead(kOptionsFile));
    if (!stream) return;
    ReadOptions(*stream);
    stream->Close();
}

void SaveOptions() {
    const String path = SavedFilePath(kOptionsFile);
    if (!SaveFileAtomically(path, WriteOptions)) {
        std::fprintf(stderr, "Morvelle: could not save %s\n", vexel::ToUtf8(path).c_str());
    }
}

}  // namespace morvelle
