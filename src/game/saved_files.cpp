#include "game/saved_files.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "game/game_state.h"
#include "stream/c_stream.h"
#include "stream/durable_save.h"

namespace morvelle {
namespace {

bool Unreadable(const String& data_path) {
    const auto& files = Game().UnreadableFiles;
    return std::find(files.begin(), files.end(), data_path) != files.end();
}

}  // namespace

bool PackagedBuild() {
    // An installed game run as root could write into its installed Data folder; a packaged
    // build keeps the installed tree as shipped.
#ifdef MORVELLE_PER_USER_DATA
    return true;
#else
    return false;
#endif
}

void ChooseSaveFolder(bool per_user_data) {
    GameState& game = Game();
    game.SaveFolder = DATA_FOLDER;
    if (!per_user_data && access(vexel::ToUtf8(DATA_FOLDER).c_str(), W_OK) == 0) return;
    const String folder = vexel::UserDataFolder(u"morvelle");
    if (!folder.empty()) game.SaveFolder = folder;
}

String SavedFilePath(const String& data_path) {
    const String prefix = String(DATA_FOLDER) + u"/";
    if (!data_path.starts_with(prefix)) return data_path;
    return Game().SaveFolder + u"/" + data_path.substr(prefix.size());
}

String SavedFileToRead(const String& data_path) {
    const String saved = SavedFilePath(data_path);
    // Whatever is there, even something that is no file, is the player's and is not skipped.
    return access(vexel::ToUtf8(saved).c_str(), F_OK) == 0 ? saved : data_path;
}

void SaveGameFile(const String& data_path, const std::function<bool(vexel::TStream&)>& write) {
    if (Unreadable(data_path)) return;
    const String path = SavedFilePath(data_path);
    const vexel::FileOutcome outcome = vexel::ReplaceFileWith(path, write);
    if (!outcome.Ok()) {
        std::fprintf(stderr, "morvelle: could not save %s: %s\n", vexel::ToUtf8(path).c_str(),
                     vexel::ToUtf8(outcome.Reason()).c_str());
    }
}

bool LoadGameFile(const String& data_path, const std::function<void(vexel::TStream&)>& read) {
    const String path = SavedFileToRead(data_path);
    vexel::FileOutcome outcome;
    const auto stream = vexel::OpenUserFileRead(path, outcome);
    if (stream) {
        read(*stream);
        outcome.error = stream->LastError();
        stream->Close();
        if (outcome.Ok()) return true;
    }
    if (outcome.Missing()) return false;
    Game().UnreadableFiles.push_back(data_path);
    std::fprintf(stderr, "morvelle: cannot read %s (%s); it is kept as it is and not saved\n",
                 vexel::ToUtf8(path).c_str(), vexel::ToUtf8(outcome.Reason()).c_str());
    return false;
}

}  // namespace morvelle
