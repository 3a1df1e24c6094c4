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

void ResetScore() {
    Game().Score = 0;
}

void AddScore(int32_t points) {
    Game().Score += points;
}

void AddWeightedScore(float weight, int32_t points) {
    int32_t& score = Game().Score;
    score = ToInt(static_cast<float>(score) + weight * static_cast<float>(points));
}

void ResetGameState() {
    StateSlot() = std::make_unique<GameState>();
}

}  // namespace morvelle
