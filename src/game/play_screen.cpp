#include "game/play_screen.h"

// Not built yet: the play, name-entry and notice screens come with the targets, the gun and
// the recipes. Until then these screens draw nothing.

namespace morvelle {

void StartGame() {}
void UpdatePlayScreen() {}
void UpdateNameEntry() {}
void UpdateNoticeScreen() {}
String FormatClock(int32_t) {
    return {};
}

}  // namespace morvelle
