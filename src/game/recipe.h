#pragma once

// The soups being cooked while the player shoots: the current recipe asks for one
// ingredient at a time, a hit on a matching target ticks it off, and a finished soup rewards
// the player and a new recipe is drawn. Main thread only.

#include <cstdint>
#include <functional>
#include <vector>

#include "game/game_state.h"
#include "runtime/object.h"

namespace morvelle {

class TRecipe : public vexel::Object {
  public:
    using Reward = std::function<int32_t()>;

    String Name;
    // The full ingredient list, never changed after Create.
    std::vector<String> Source;
    // The ingredients still needed; the last one is asked for next.
    std::vector<String> Zutaten;
    // Run when the last ingredient is in; calling it unset throws std::bad_function_call.
    Reward Reaktion;

    // A recipe with these values, registered at the end of RecipeList; its ingredients stay
    // empty until it is chosen.
    static RecipePtr Create(const String& name, std::vector<String> source, Reward reaktion);
    // Chooses a recipe of RecipeList at random, refills its ingredients and makes it the
    // current one. The same recipe may come twice in a row.
    static void Random();

    // Ticks off `name` when it is the ingredient asked for; the last one runs the reward and
    // chooses the next recipe.
    void Get(const String& name);
    // The panel in the bottom-left corner: soup, next ingredient and progress in percent.
    void Draw();
};

// Rewards of a finished soup: more time, more time and points, more chickens.
int32_t RewardTime();
int32_t RewardVegetable();
int32_t RewardChicken();

// Creates the game's four recipes in their order.
void CreateRecipes();

}  // namespace morvelle
