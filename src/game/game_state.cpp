#include "game/game_state.h"

namespace morvelle {
namespace {

std::unique_ptr<GameState>& StateSlot() {
    static std::unique_ptr<GameState> state = std::make_unique<GameState>();
    return state;
}

}  // namespace

GameState& Game() {
    return *StateSlot();
}

void ResetGameState() {
    StateSlot() = std::make_unique<GameState>();
}

}  // namespace morvelle
